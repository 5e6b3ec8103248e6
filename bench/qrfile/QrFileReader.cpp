// A small command-line QR reader over the same image file reader Quorview uses: the start-up
// comparator for the whole-process cost of one file decode.
//
//     quorview_qr_file FILE              prints the QR code's text; exit 0 read, 1 none, 3 no image
//     quorview_qr_file --make FILE TEXT  writes a QR code of TEXT into a 640 x 640 PGM picture
//
// It writes PGM by hand so that no image codec library is loaded: a read costs what a read needs.
#define ZX_USE_UTF8 1
#include <ZXing/BarcodeFormat.h>
#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>

#include <opencv2/imgproc.hpp>

#include <fstream>
#include <iostream>
#include <string>

#include "imaging/ImageFile.h"

namespace {

// Side of the written QR picture, the size of the reader's own working image.
constexpr int kPictureSide = 640;

int makeCode(const std::string& path, const std::string& text) {
    const ZXing::BitMatrix bits = ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                      .setMargin(4)
                                      .encode(text, kPictureSide, kPictureSide);
    const auto matrix = ZXing::ToMatrix<std::uint8_t>(bits);
    std::ofstream out(path, std::ios::binary);
    out << "P5\n" << matrix.width() << " " << matrix.height() << "\n255\n";
    out.write(reinterpret_cast<const char*>(matrix.data()),
              static_cast<std::streamsize>(matrix.size()));
    return out ? 0 : 1;
}

int readCode(const std::string& path) {
    const qcl::ImageReadResult read = qcl::readImageFile(path);
    if (!read.ok()) {
        std::cerr << read.error << "\n";
        return 3;
    }
    cv::Mat grey;
    if (read.image.channels() == 3) {
        cv::cvtColor(read.image, grey, cv::COLOR_BGR2GRAY);
    } else {
        grey = read.image;
    }
    const ZXing::ImageView view(grey.data, grey.cols, grey.rows, ZXing::ImageFormat::Lum,
                                static_cast<int>(grey.step));
    const ZXing::Result result = ZXing::ReadBarcode(view);
    if (!result.isValid()) {
        return 1;
    }
    std::cout << result.text() << "\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first == "--make" && argc == 4) {
        return makeCode(argv[2], argv[3]);
    }
    if (argc == 2) {
        return readCode(first);
    }
    std::cerr << "usage: quorview_qr_file FILE | --make FILE TEXT\n";
    return 2;
}
