// Writes the seed corpora of the fuzz targets, one folder per target under the given folder,
// from the writer's output: symbol images in several file types, raw pixels, module grids,
// compressed payloads, settings files, Quorgen command lines and scripting-mode command lines.
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
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
constexpr int kRawSide = 128;
// Side of the larger picture whose middle is a raw seed too.
constexpr int kCropFrom = 320;

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

cv::Mat renderSymbol(const qcl::writer::SymbolContent& content, int side) {
    qcl::RenderOptions render;
    render.imageSize = {side, side};
    return qcl::SymbolRenderer(content.modulesPerRing, content.ringCount, content.codeType, render)
        .render(content.modules);
}

// Raw pixels of `image` (the raw image target's largest side at most) and the target's options:
// its side, the code type of the picture, enhancement, every symbol, the locator's defaults.
void rawSeed(const fs::path& root, const std::string& name, const cv::Mat& image, bool colour) {
    Bytes raw(image.datastart, image.dataend);
    const auto side = static_cast<std::uint8_t>(image.cols - 1);
    const int searchSide = image.cols - 1;
    appendTail(raw,
               {side, side, colour, colour, 1, 0, 0, 12, static_cast<std::uint8_t>(searchSide >> 8),
                static_cast<std::uint8_t>(searchSide & 0xFF)});
    save(root / "RawImageFuzz", name, raw);
}

void symbolSeeds(const fs::path& root, const std::string& text, qcl::CodeType codeType, int side) {
    qcl::writer::SymbolOptions options;
    options.codeType = codeType;
    const qcl::writer::SymbolContent content = qcl::writer::encodeSymbol(text, options);
    const cv::Mat image = renderSymbol(content, side);
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
    // The whole symbol at the raw side, and the middle of a larger picture of it.
    cv::Mat small;
    const int rawSide = std::min(side, kRawSide);
    cv::resize(colour ? image : grey, small, {rawSide, rawSide}, 0, 0, cv::INTER_AREA);
    rawSeed(root, name, small, colour);
    const cv::Mat large = renderSymbol(content, kCropFrom);
    const cv::Rect middle((kCropFrom - kRawSide) / 2, (kCropFrom - kRawSide) / 2, kRawSide,
                          kRawSide);
    cv::Mat crop = large(middle).clone();
    if (!colour) {
        cv::cvtColor(crop, crop, cv::COLOR_BGR2GRAY);
    }
    rawSeed(root, name + "-middle", crop, colour);
    Bytes grid(content.modules.begin(), content.modules.end());
    const std::size_t count = grid.size();
    appendTail(grid,
               {1, static_cast<std::uint8_t>(content.modulesPerRing),
                static_cast<std::uint8_t>(content.ringCount), colour, 1,
                static_cast<std::uint8_t>(content.mask), static_cast<std::uint8_t>(content.layout),
                static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count & 0xFF)});
    save(root / "FrameFuzz", name, grid);
}

// Command lines of the scripting mode (one argument a line, path kinds as @kind), with the
// content after a NUL byte: a symbol picture, or a settings file.
void scriptingSeeds(const fs::path& root, const Bytes& picture, const Bytes& settings) {
    const std::pair<const char*, const Bytes*> lines[] = {
        {"--format\njson\n@image\n@missing\n@empty", nullptr},
        {"--format\ntext\n@truncated\n@fifo\n@image", &picture},
        {"-j\n2\n@bytes\n-\n--code-type\nauto", &picture},
        {"--format\njson\n--max-symbols\n1\n@image\n@dir", nullptr},
        {"--format\njson\n@huge\n@image", nullptr},
        {"--overlay-dir\nout\n--format\njson\n@image\n@fifo", &picture},
        {"--overlay\nout.png\n--log\nrun.log\n--binary-format\nhex\n@bytes", &picture},
        {"--settings\n@bytes\n--time-budget\n50\n@image\n@image", &settings},
        {"--help", nullptr},
        {"--version\n@image", nullptr},
        {"--format\nxml\n@image", nullptr},
    };
    int index = 0;
    for (const auto& [text, content] : lines) {
        Bytes seed(text, text + std::strlen(text));
        if (content != nullptr) {
            seed.push_back(0);
            seed.insert(seed.end(), content->begin(), content->end());
        }
        save(root / "ScriptingFuzz", "command" + std::to_string(index++), seed);
    }
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
    const fs::path settingsFile = root / "SettingsFuzz" / "settings.json";
    qcl::saveSettings(settings, settingsFile.string());
    std::ifstream settingsIn(settingsFile, std::ios::binary);
    const Bytes settingsBytes((std::istreambuf_iterator<char>(settingsIn)),
                              std::istreambuf_iterator<char>());
    Bytes picture;
    cv::imencode(".png", renderSymbol(qcl::writer::encodeSymbol("Quorel"), 96), picture);
    scriptingSeeds(root, picture, settingsBytes);
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
