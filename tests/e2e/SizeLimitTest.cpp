// How small a symbol the reader still reads: a sweep over the ring pitch in the reader's 640 x 640
// square for every modules-per-ring value. Disabled by default (it is a measurement, not a
// check); run with --gtest_also_run_disabled_tests to print the table.
#include <gtest/gtest.h>

#include <iomanip>
#include <iostream>

#include "support/RoundTrip.h"

namespace qcl {
namespace {

TEST(SizeLimit, DISABLED_DecodeRateByRingPitch) {
    constexpr int kRotations = 8;
    test::SeededRandom random(99);
    std::cout << "pitch(px) diameter of 2 rings(px)   M=16  M=32  M=48  M=64  M=80\n";
    for (double pitch = 25; pitch >= 15; pitch -= 1) {
        RenderOptions two;
        two.ringPitch = pitch;
        const SymbolGeometry g = SymbolRenderer(32, 2, CodeType::BlackAndWhite, two).geometry();
        std::cout << std::setw(8) << pitch << " " << std::setw(22) << 2 * g.outerRadius();
        for (const int modules : {16, 32, 48, 64, 80}) {
            test::RateCounter counter;
            for (int r = 0; r < kRotations; ++r) {
                writer::SymbolOptions symbol;
                symbol.modulesPerRing = modules;
                symbol.ringCount = modules == 16 ? 3 : 2;  // 16 modules: room for a payload
                symbol.codeType = modules == 16 ? CodeType::Color : CodeType::BlackAndWhite;
                symbol.eccStrength = ECCtype::Low;
                RenderOptions render;
                render.imageSize = cv::Size(640, 640);
                render.ringPitch = pitch;
                render.startAngle = random.uniformReal(0, 2 * CV_PI);
                const std::string text =
                    test::fillingPayload(PayloadType::Letters, symbol, 0.8, random);
                try {
                    const auto written = test::writeSymbol(text, symbol, render);
                    const auto read = test::readSymbol(written.image, symbol.codeType);
                    counter.add(read.decoded && read.payload == text);
                } catch (const std::exception&) {
                    counter.add(false);
                }
            }
            std::cout << "  " << std::setw(2) << counter.decoded << "/" << counter.total;
        }
        std::cout << "\n";
    }
}

}  // namespace
}  // namespace qcl
