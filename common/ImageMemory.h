// The process's handling of freed image memory.
#pragma once

namespace qcl {

// Keeps the memory of freed working images in the process's heap instead of handing it back to
// the system. A decode allocates and frees images of the same few sizes many times over; memory
// handed back costs a page fault per 4 KiB when it is allocated again, which in a process that
// reads image after image made up about two thirds of a failing decode's time. The setting is
// the C library allocator's and holds for the whole process (glibc only; elsewhere this does
// nothing).
void keepImageMemory();

}  // namespace qcl
