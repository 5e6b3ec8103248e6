// Start-up and the three ways to run: decode one file, camera view, interactive menu.
#pragma once

#include <string>
#include <vector>

#include "app/Settings.h"

namespace qcl {

// Runs the program on its arguments (the program name excluded); returns the exit code.
int runApplication(const std::vector<std::string>& arguments);

// Decodes one image file with the code type and binary format of the settings and prints the
// payload (or "No data found") and the decode time. Failures are logged at Error. The logger
// must have been started.
void decodeImageFile(const std::string& path, const Settings& settings);

}  // namespace qcl
