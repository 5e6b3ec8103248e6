// Reads every Quorel code in an image file and prints one line per symbol:
//   read_symbols IMAGE [--color]
#include <quorview/quorview.h>

#include <opencv2/imgcodecs.hpp>

#include <cstring>
#include <iostream>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: read_symbols IMAGE [--color]\n";
        return 2;
    }
    const cv::Mat image = cv::imread(argv[1], cv::IMREAD_COLOR);
    if (image.empty()) {
        std::cerr << "cannot read " << argv[1] << "\n";
        return 3;
    }
    quorview::ReadOptions options;
    if (argc > 2 && std::strcmp(argv[2], "--color") == 0) {
        options.codeType = quorview::CodeType::Color;
    }
    try {
        const quorview::ReadResult result = quorview::read(image, options);
        for (const quorview::Symbol& symbol : result.symbols) {
            std::cout << symbol.payload << "\t" << quorview::toString(symbol.eccStrength) << "\t"
                      << symbol.center.x << "," << symbol.center.y << "\n";
        }
        if (result.symbols.empty()) {
            std::cerr << "no symbol: " << result.errorMessage << " (" << result.failedStage
                      << ")\n";
            return 1;
        }
    } catch (const quorview::Error& error) {
        std::cerr << error.what() << "\n";
        return 2;
    }
    return 0;
}
