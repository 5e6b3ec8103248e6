// Quorview: reads Quorel codes from an image file or live from a camera.
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "app/Application.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

#if defined(__GLIBC__)
// Image buffers of up to this many bytes (a 12-megapixel colour photo is 36 MB) come from the
// heap, and freed memory is kept up to this much: a decode allocates and frees its working images
// many times over, and memory handed back to the system costs a page fault per 4 KiB when it is
// allocated again, which made up a third of a failing decode's time.
constexpr int kHeldImageBytes = 64 << 20;
#endif

// Lets the reader's working images be reused between allocations instead of mapped anew.
void keepImageMemory() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, kHeldImageBytes);
    mallopt(M_TRIM_THRESHOLD, kHeldImageBytes);
#endif
}

}  // namespace

int main(int argc, char** argv) {
    keepImageMemory();
    try {
        return qcl::runApplication(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::cerr << "Error: " << e.what() << std::endl;
    } catch (...) {
        std::cerr << "Error: unexpected failure" << std::endl;
    }
    return 1;
}
