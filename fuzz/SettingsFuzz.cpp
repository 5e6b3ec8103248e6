// The settings file reader on any file content; whatever it read must come back unchanged
// through saving and reading again.
#include <unistd.h>

#include <fstream>
#include <string>
#include <tuple>

#include "app/Settings.h"
#include "fuzz/FuzzSupport.h"

namespace {

auto fields(const qcl::Settings& s) {
    return std::make_tuple(s.logFileName, s.launch, s.logLevel, s.logLevelConsole, s.codeType,
                           s.device, s.mode, s.width, s.height, s.backend, s.binFormat,
                           s.outputChangesOnly);
}

// One file per fuzzing process, so that parallel jobs do not share it.
std::string scratchFile(const char* what) {
    return "/tmp/quorview-settings-fuzz-" + std::to_string(::getpid()) + what + ".json";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string input = scratchFile("-in");
    static const std::string again = scratchFile("-again");
    std::ofstream(input, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    qcl::Settings read;
    if (!qcl::readSettings(read, input)) {
        return 0;
    }
    qcl::Settings back;
    if (!qcl::saveSettings(read, again) || !qcl::readSettings(back, again) ||
        fields(back) != fields(read)) {
        __builtin_trap();
    }
    return 0;
}
