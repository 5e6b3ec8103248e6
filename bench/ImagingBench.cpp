// Image conditioning of one decoder input: enhancement and binarisation of a 640 x 640 colour
// image, the largest the decode entry hands on.
#include <benchmark/benchmark.h>
#include <opencv2/imgproc.hpp>

#include "imaging/Preprocessing.h"

namespace {

// A photo-like frame: a lighting gradient, a few dark and coloured shapes, sensor noise.
cv::Mat photoLikeFrame() {
    constexpr int kSize = 640;
    cv::Mat frame(kSize, kSize, CV_8UC3);
    for (int row = 0; row < kSize; ++row) {
        for (int col = 0; col < kSize; ++col) {
            const auto level = static_cast<unsigned char>(120 + (row + col) * 100 / (2 * kSize));
            frame.at<cv::Vec3b>(row, col) =
                cv::Vec3b(level, level, static_cast<unsigned char>(level - 10));
        }
    }
    cv::RNG rng(20261206);
    for (int i = 0; i < 40; ++i) {
        const cv::Point centre(rng.uniform(0, kSize), rng.uniform(0, kSize));
        const cv::Scalar colour(rng.uniform(0, 256), rng.uniform(0, 256), rng.uniform(0, 256));
        if (i % 2 == 0) {
            cv::circle(frame, centre, rng.uniform(5, 60), colour, cv::FILLED, cv::LINE_AA);
        } else {
            cv::rectangle(frame, cv::Rect(centre, cv::Size(rng.uniform(5, 80), rng.uniform(5, 80))),
                          colour, cv::FILLED);
        }
    }
    cv::circle(frame, cv::Point(kSize / 2, kSize / 2), 150, cv::Scalar::all(20), 25);
    cv::Mat noise(frame.size(), CV_16SC3);
    rng.fill(noise, cv::RNG::NORMAL, 0, 12);
    cv::Mat noisy;
    frame.convertTo(noisy, CV_16SC3);
    noisy += noise;
    noisy.convertTo(frame, CV_8UC3);
    return frame;
}

void BM_EnhanceAndBinarize640(benchmark::State& state) {
    const cv::Mat frame = photoLikeFrame();
    cv::Mat enhanced;
    cv::Mat binary;
    for (auto _ : state) {
        qcl::enhanceImage(frame, enhanced);
        benchmark::DoNotOptimize(qcl::binarizeImage(enhanced, binary, 0, qcl::Otsu));
    }
}
BENCHMARK(BM_EnhanceAndBinarize640)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_EnhanceImage640(benchmark::State& state) {
    const cv::Mat frame = photoLikeFrame();
    cv::Mat enhanced;
    for (auto _ : state) {
        qcl::enhanceImage(frame, enhanced);
    }
}
BENCHMARK(BM_EnhanceImage640)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_BinarizeImage640(benchmark::State& state) {
    const cv::Mat frame = photoLikeFrame();
    cv::Mat binary;
    for (auto _ : state) {
        benchmark::DoNotOptimize(qcl::binarizeImage(frame, binary, 0, qcl::Otsu));
    }
}
BENCHMARK(BM_BinarizeImage640)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
