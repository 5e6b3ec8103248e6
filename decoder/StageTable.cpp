// The decoder's own stages, as the stage chain calls them, and the decode entry on them. Kept
// apart from the chain and the entry so that both can be exercised with fake stages alone.
#include "decoder/CenterFinder.h"
#include "decoder/Decoder.h"
#include "decoder/InnerZebra.h"
#include "decoder/OuterZebra.h"
#include "decoder/RadialZebra.h"
#include "decoder/StageChain.h"
#include "decoder/StartMarker.h"
#include "decoder/data/DataMask.h"
#include "decoder/data/FrameDecoder.h"
#include "decoder/data/GreyModuleReader.h"
#include "decoder/data/ModuleSampler.h"

namespace qcl {

const StageFunctions& realStages() {
    static const StageFunctions stages = [] {
        StageFunctions table;
        table.findCenter = findCenter;
        table.findInnerZebra = findInnerZebra;
        table.findStartMarker = findStartMarker;
        table.findOuterZebra = findOuterZebra;
        table.applyTransform2 = applyTransform2;
        table.radialProbe = radialProbe;
        table.findRadialZebra = findRadialZebra;
        table.warpInputImage = warpInputImage;
        table.readMaskedData = readMaskedData;
        table.readModulesByGrey = readModulesByGrey;
        table.applyMaskAndLayout = applyMaskAndLayout;
        table.decodeFrame = decodeFrame;
        return table;
    }();
    return stages;
}

}  // namespace qcl
