#include "writer/SymbolWriter.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "decoder/Decoder.h"
#include "writer/PayloadEncoder.h"

namespace qcl::writer {
namespace {

// The search for a size that reads grows the asked size by this factor a step...
constexpr double kGrowth = 1.25;
// ...for at most this many steps, and then halves the last step this many times.
constexpr int kMostGrowthSteps = 12;
constexpr int kBisections = 4;
// A larger size that raises the ring pitch in the reader's working image by less than this share
// shows nothing the asked one did not: the reader shrinks every image to 640 pixels.
constexpr double kPitchProgress = 0.01;

// The size that decides how large the symbol is drawn: a ring pitch, a diameter or the image.
enum class SizeKind { Pitch, Diameter, Image };

SizeKind sizeKind(const RenderOptions& render) {
    if (render.ringPitch > 0) {
        return SizeKind::Pitch;
    }
    return render.diameter > 0 ? SizeKind::Diameter : SizeKind::Image;
}

double sizeValue(const RenderOptions& render) {
    switch (sizeKind(render)) {
        case SizeKind::Pitch:
            return render.ringPitch;
        case SizeKind::Diameter:
            return render.diameter;
        case SizeKind::Image:
            break;
    }
    return render.imageSize.width;
}

RenderOptions withSize(RenderOptions render, double value) {
    switch (sizeKind(render)) {
        case SizeKind::Pitch:
            render.ringPitch = value;
            break;
        case SizeKind::Diameter:
            render.diameter = value;
            break;
        case SizeKind::Image: {
            const double factor = value / render.imageSize.width;
            render.imageSize =
                cv::Size(static_cast<int>(value),
                         static_cast<int>(std::ceil(render.imageSize.height * factor)));
            break;
        }
    }
    return render;
}

std::string sizeText(const RenderOptions& render) {
    std::ostringstream text;
    switch (sizeKind(render)) {
        case SizeKind::Pitch:
            text << "a ring pitch of " << render.ringPitch << " px";
            break;
        case SizeKind::Diameter:
            text << "a diameter of " << render.diameter << " px";
            break;
        case SizeKind::Image:
            text << "an image of " << render.imageSize.width << " x " << render.imageSize.height
                 << " px";
            break;
    }
    return text.str();
}

double workingPitch(const SymbolGeometry& g) {
    return g.pitch / g.workingScale;
}

void checkImageSide(cv::Size size) {
    if (size.width > kMaxImageSide || size.height > kMaxImageSide) {
        throw QCException(InvalidConfiguration,
                          "an image of " + std::to_string(size.width) + " x " +
                              std::to_string(size.height) + " px; at most " +
                              std::to_string(kMaxImageSide) + " px a side are drawn");
    }
}

// The renderer for a size, or nothing when the symbol does not fit it.
std::optional<SymbolRenderer> rendererFor(const SymbolContent& content,
                                          const RenderOptions& render) {
    try {
        SymbolRenderer renderer(content.modulesPerRing, content.ringCount, content.codeType,
                                render);
        checkImageSide(renderer.geometry().imageSize);
        return renderer;
    } catch (const std::invalid_argument&) {
        return std::nullopt;
    } catch (const QCException&) {
        return std::nullopt;
    }
}

// The smallest value of the request's size kind, above the asked one, at which the symbol reads
// back; nothing when growing it stops helping before any size reads.
std::optional<double> smallestReadableSize(const SymbolContent& content, const std::string& payload,
                                           const RenderOptions& asked, double askedPitch) {
    auto reads = [&](double value, double& pitch) {
        const std::optional<SymbolRenderer> renderer = rendererFor(content, withSize(asked, value));
        if (!renderer || workingPitch(renderer->geometry()) < pitch * (1.0 + kPitchProgress)) {
            return std::optional<bool>();  // too large to draw, or no better than before
        }
        pitch = workingPitch(renderer->geometry());
        return std::optional<bool>(readsBack(renderer->render(content.modules), content, payload));
    };
    const double value = sizeValue(asked);
    // Start where the reader's own ring-pitch limit says the symbol should read.
    const double needed = minimumRingPitch(content.modulesPerRing);
    double candidate = std::ceil(std::max(value * kGrowth, value * needed / askedPitch));
    double below = value;
    double pitch = askedPitch;
    std::optional<double> found;
    for (int step = 0; step < kMostGrowthSteps && !found; ++step) {
        const std::optional<bool> read = reads(candidate, pitch);
        if (!read) {
            return std::nullopt;
        }
        if (*read) {
            found = candidate;
        } else {
            below = candidate;
            candidate = std::ceil(candidate * kGrowth);
        }
    }
    for (int step = 0; found && step<kBisections&& * found - below> 1.0; ++step) {
        const double middle = std::ceil((below + *found) / 2.0);
        double ignored = 0.0;
        if (reads(middle, ignored).value_or(false)) {
            found = middle;
        } else {
            below = middle;
        }
    }
    return found;
}

// The reader's text for the payload when it reads Binary payloads in lower-case hexadecimal.
std::string expectedReading(const SymbolContent& content, const std::string& payload) {
    if (content.payloadType != PayloadType::Binary) {
        return payload;
    }
    if (payload.rfind("0b", 0) == 0) {
        return binaryToHex(payload, true);
    }
    std::string lower = payload;  // "0x" and hexadecimal digits
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

}  // namespace

bool readsBack(const cv::Mat& image, const SymbolContent& content, const std::string& payload) {
    DecodeParameters parameters;
    parameters.codeType = content.codeType;
    parameters.layout = content.layout;
    parameters.binaryFormat = BinaryFormat::HexaLowerCase;
    DecodeOptions options;
    options.maxSymbols = 1;
    const DecodeAllResult result = decodeAll(parameters, image, options);
    return !result.symbols.empty() &&
           result.symbols.front().payload == expectedReading(content, payload);
}

CheckedSymbol writeCheckedSymbol(const SymbolRequest& request) {
    if (request.payload.empty()) {
        throw QCException(InvalidConfiguration,
                          "the payload is empty; a symbol holds at least one character");
    }
    checkImageSide(request.render.imageSize);
    // Bytes that are not UTF-8 would read back as text with replacement characters: left to the
    // automatic choice, they are written as a Binary payload of the same bytes.
    SymbolOptions options = request.symbol;
    std::string payload = request.payload;
    if (options.payloadType == PayloadType::Automatic && !isValidUtf8(payload)) {
        payload = bytesAsHexText(payload);
        options.payloadType = PayloadType::Binary;
    }
    const SymbolContent content = encodeSymbol(payload, options);
    std::optional<SymbolRenderer> renderer;
    try {
        renderer.emplace(content.modulesPerRing, content.ringCount, content.codeType,
                         request.render);
    } catch (const std::invalid_argument& error) {
        throw QCException(CodeCannotBeCreated, error.what());
    }
    checkImageSide(renderer->geometry().imageSize);
    cv::Mat image = renderer->render(content.modules);
    if (!request.force && !readsBack(image, content, payload)) {
        const std::optional<double> size = smallestReadableSize(content, payload, request.render,
                                                                workingPitch(renderer->geometry()));
        std::string message = "our reader does not read this symbol at " + sizeText(request.render);
        message +=
            size ? "; the smallest size that reads is " + sizeText(withSize(request.render, *size))
                 : "; no larger size reads it either";
        throw UnreadableSymbol(message);
    }
    return CheckedSymbol{content, *renderer, image};
}

}  // namespace qcl::writer
