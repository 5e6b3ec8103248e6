#include "common/Stage.h"

#include <string>

#include "common/Logger.h"

namespace qcl {
namespace {
const char* const kStageNames[] = {
    "decode",          "findCenter",     "findInnerZebra",  "perspectiveTransform",
    "findStartMarker", "findOuterZebra", "findRadialZebra", "readMaskedData",
    "readData",        "decodeRS",       "decompress",
};
constexpr std::int32_t kStageCount = 11;
}  // namespace

const char* stageName(std::int32_t stage) {
    return (stage >= 0 && stage < kStageCount) ? kStageNames[stage] : "";
}

void logStage(std::int32_t stage) {
    LogLine line = logDebug();
    if (line.enabled()) {
        line << std::string(static_cast<std::size_t>(stage > 0 ? stage : 0), ' ')
             << stageName(stage);
    }
}

}  // namespace qcl
