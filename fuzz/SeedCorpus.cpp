// Writes the seed corpora of the fuzz targets, one folder per target under the given folder,
// from the writer's output: symbol images in several file types, raw pixels, module grids,
// compressed payloads, settings files and Quorgen command lines.
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/Settings.h"
#include "writer/PayloadEncoder.h"
#include "writer/SymbolEncoder.h"
#include "writer/SymbolRenderer.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Side of the raw image seeds: the raw image target's largest.
constexpr std::uint8_t kRawSide = 64;

void save(const fs::path& folder, const std::string& name, const Bytes& bytes) {
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// The fuzz targets take their small numbers from the end of the input, the first one last.
void appendTail(Bytes& bytes, const Bytes& taken) {
    bytes.insert(bytes.end(), taken.rbegin(), taken.rend());
}

void symbolSeeds(const fs::path& root, const std::string& text, qcl::CodeType codeType, int side) {
    qcl::writer::SymbolOptions options;
    options.codeType = codeType;
    const qcl::writer::SymbolContent content = qcl::writer::encodeSymbol(text, options);
    qcl::RenderOptions render;
    render.imageSize = {side, side};
    const cv::Mat image =
        qcl::SymbolRenderer(content.modulesPerRing, content.ringCount, codeType, render)
            .render(content.modules);
    const std::string name = text + "-" + std::to_string(side);
    for (const char* type : {".png", ".jpg", ".bmp", ".webp", ".tiff", ".ppm"}) {
        Bytes file;
        cv::imencode(type, image, file);
        save(root / "ImageBytesFuzz", name + type, file);
    }
    cv::Mat grey;
    cv::cvtColor(image, grey, cv::COLOR_BGR2GRAY);
    Bytes pgm;
    cv::imencode(".pgm", grey, pgm);
    save(root / "ImageBytesFuzz", name + ".pgm", pgm);
    const bool colour = codeType == qcl::CodeType::Color;
    cv::Mat small;
    cv::resize(colour ? image : grey, small, {kRawSide, kRawSide}, 0, 0, cv::INTER_AREA);
    Bytes raw(small.datastart, small.dataend);
    const int searchSide = kRawSide - 1;
    appendTail(raw, {kRawSide - 1, kRawSide - 1, colour, colour, 1, 0, 12,
                     static_cast<std::uint8_t>(searchSide >> 8),
                     static_cast<std::uint8_t>(searchSide & 0xFF)});
    save(root / "RawImageFuzz", name, raw);
    Bytes grid(content.modules.begin(), content.modules.end());
    const std::size_t count = grid.size();
    appendTail(grid,
               {1, static_cast<std::uint8_t>(content.modulesPerRing),
                static_cast<std::uint8_t>(content.ringCount), colour, 1,
                static_cast<std::uint8_t>(content.mask), static_cast<std::uint8_t>(content.layout),
                static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count & 0xFF)});
    save(root / "FrameFuzz", name, grid);
}

void payloadSeed(const fs::path& root, const std::string& text, qcl::PayloadType type) {
    const qcl::writer::EncodedPayload encoded = qcl::writer::encodePayload(text, type);
    Bytes bytes = encoded.bytes;
    appendTail(bytes,
               {static_cast<std::uint8_t>(type), static_cast<std::uint8_t>(encoded.bitLength >> 8),
                static_cast<std::uint8_t>(encoded.bitLength & 0xFF)});
    save(root / "DecompressFuzz", text, bytes);
    Bytes plain(text.begin(), text.end());
    appendTail(plain, {static_cast<std::uint8_t>(type), 0, 0});
    save(root / "DecompressFuzz", text + "-text", plain);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    const fs::path root = argv[1];
    symbolSeeds(root, "Quorel", qcl::CodeType::BlackAndWhite, 96);
    symbolSeeds(root, "0123456789", qcl::CodeType::BlackAndWhite, 160);
    symbolSeeds(root, "colour", qcl::CodeType::Color, 128);
    payloadSeed(root, "0123456789", qcl::PayloadType::Digits);
    payloadSeed(root, "HELLO WORLD.", qcl::PayloadType::Letters);
    payloadSeed(root, "12,5-3.0:_", qcl::PayloadType::Numbers);
    payloadSeed(root, "Hello {ascii}", qcl::PayloadType::Ascii);
    payloadSeed(root, "0b10100000", qcl::PayloadType::Binary);
    payloadSeed(root, "gr\xC3\xBC\xC3\x9F", qcl::PayloadType::UTF8);
    qcl::Settings settings;
    settings.launch = "filesrc location=\"a b.avi\" ! decodebin ! appsink";
    fs::create_directories(root / "SettingsFuzz");
    qcl::saveSettings(settings, (root / "SettingsFuzz" / "settings.json").string());
    const char* const commandLines[] = {
        "Quorel\n-o\nx.png\n-s\n120x120",
        "0b1010\n-c\nColor\n-e\nHigh\n-m\n16\n-r\n2\n-o\nx.svg\n-p\n6",
        "text\n-t\nAscii\n-l\nScrambled\n--mask\n3\n--rotation\n45\n--mirror\n-d\n90\n-o\nx.png",
        "123\n-q\n2\n-s\n64x48\n-o\n-\n--format\nsvg"};
    int index = 0;
    for (const char* line : commandLines) {
        save(root / "QuorgenFuzz", "args" + std::to_string(index++),
             Bytes(line, line + std::strlen(line)));
    }
    return 0;
}
