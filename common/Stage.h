// The stages of the decoder, in chain order. The index is a stage's depth in the failure rule
// (deeper failures win) and its indentation in the log's stage trace.
#pragma once

#include <cstdint>

namespace qcl {

enum Stage : std::int32_t {
    StageDecode = 0,
    StageFindCenter = 1,
    StageFindInnerZebra = 2,
    StagePerspectiveTransform = 3,
    StageFindStartMarker = 4,
    StageFindOuterZebra = 5,
    StageFindRadialZebra = 6,
    StageReadMaskedData = 7,
    StageReadData = 8,
    StageDecodeRS = 9,
    StageDecompress = 10,
};

// The stage's name as the log shows it; "" outside the table.
const char* stageName(std::int32_t stage);

// Logs the stage line at Debug: as many blanks as the stage index, then the stage name.
void logStage(std::int32_t stage);

}  // namespace qcl
