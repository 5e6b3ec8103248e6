// The entry of the camera view library, looked up by name when the program opens the view.
#include "app/CameraView.h"

extern "C" __attribute__((visibility("default"))) void quorviewRunCameraView(
    qcl::Settings* settings) {
    qcl::runCameraView(*settings);
}
