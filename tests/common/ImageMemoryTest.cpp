#include "common/ImageMemory.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// A 12-megapixel colour photo: larger than the C library ever maps into the heap by itself.
constexpr int kPhotoWidth = 4000;
constexpr int kPhotoHeight = 3000;

// An image freed by one decode is still in the heap for the next: nothing handed back to the
// system that would have to be faulted in again.
TEST(ImageMemory, FreedPhotoStaysInTheHeap) {
#if !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "the heap is glibc's own only in a build without a sanitizer";
#else
    qcl::keepImageMemory();
    const std::size_t freeBefore = mallinfo2().fordblks;
    {
        cv::Mat photo(kPhotoHeight, kPhotoWidth, CV_8UC3, cv::Scalar::all(1));
        ASSERT_EQ(photo.at<cv::Vec3b>(kPhotoHeight - 1, kPhotoWidth - 1)[2], 1);
    }
    EXPECT_GE(mallinfo2().fordblks, freeBefore + std::size_t{kPhotoWidth} * kPhotoHeight * 3);
#endif
}

}  // namespace
