// Opens the camera view from its own library, loaded only when the view is asked for: the video
// capture and window modules it needs pull in hundreds of system libraries that a file decode
// never uses.
#pragma once

#include "app/Settings.h"

namespace qcl {

// Name of the library holding the camera view, looked for beside the program, then where the
// installed tree keeps it (lib/quorview beside the program's bin), then on the library path.
extern const char* const kCameraViewLibrary;

// Loads the camera view library (once) and runs the view as runCameraView does. A library that
// cannot be loaded is reported at Error through the logger and the view does not open.
void openCameraView(Settings& settings);

}  // namespace qcl
