#include "common/ImageMemory.h"

#include <cstdlib>  // defines __GLIBC__ when the C library is glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace qcl {
namespace {

#if defined(__GLIBC__)
// Buffers of up to this many bytes (a 12-megapixel colour photo is 36 MB) come from the heap,
// and up to this much freed memory stays there.
constexpr int kHeldImageBytes = 64 << 20;
#endif

}  // namespace

void keepImageMemory() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, kHeldImageBytes);
    mallopt(M_TRIM_THRESHOLD, kHeldImageBytes);
#endif
}

}  // namespace qcl
