#include "app/CameraViewLoader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "common/Logger.h"

namespace qcl {

const char* const kCameraViewLibrary = "libquorview_cameraview.so";

namespace {

using ViewEntry = void (*)(Settings*);

// The folder of the running program, with a trailing slash; "" when it cannot be told.
std::string programFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0) {
        return std::string();
    }
    const std::string program(path, static_cast<std::size_t>(length));
    return program.substr(0, program.rfind('/') + 1);
}

ViewEntry loadEntry() {
    // Beside the program in the build tree; where `cmake --install` puts it relative to the
    // program; then on the library path.
    const std::string places[] = {
        programFolder() + kCameraViewLibrary,
#ifdef QUORVIEW_CAMERAVIEW_FROM_PROGRAM
        programFolder() + QUORVIEW_CAMERAVIEW_FROM_PROGRAM + "/" + kCameraViewLibrary,
#endif
        kCameraViewLibrary};
    void* library = nullptr;
    for (const std::string& place : places) {
        library = library != nullptr ? library : ::dlopen(place.c_str(), RTLD_NOW | RTLD_GLOBAL);
    }
    if (library == nullptr) {
        const char* reason = ::dlerror();
        logError() << "The camera view cannot be opened: " << kCameraViewLibrary
                   << " is not loadable (" << (reason != nullptr ? reason : "not found") << ")";
        return nullptr;
    }
    // The library stays loaded to the end of the run.
    return reinterpret_cast<ViewEntry>(::dlsym(library, "quorviewRunCameraView"));
}

}  // namespace

void openCameraView(Settings& settings) {
    static const ViewEntry entry = loadEntry();
    if (entry != nullptr) {
        entry(&settings);
    }
}

}  // namespace qcl
