// Choosing the symbol size: modules per ring and number of data rings for a payload.
//
// A symbol of M modules per ring and R rings has (M - 5) * R data modules; their whole bytes form
// the block, which must stay within one Reed-Solomon codeword (255 bytes; the reader rejects a
// larger grid) and must hold the frame (header, payload, checksum) next to the parity of the
// chosen strength.
//
// "Smallest" is the fewest modules in all, M * R: for a given printed diameter that gives the
// largest modules. Ties go to fewer rings, the smaller diameter for a given module size.
#pragma once

#include <array>
#include <cstddef>

#include "common/CodeTypes.h"

namespace qcl::writer {

// Modules per ring the reader recognises: four times the 4, 8, 12, 16 or 20 inner-zebra notches.
constexpr std::array<int, 5> kModulesPerRingChoices = {16, 32, 48, 64, 80};

// The radial zebra needs at least two rings to show the ring pitch.
constexpr int kMinRingCount = 2;

// Most rings the automatic choice uses: the reader shrinks every image to 640 pixels and needs a
// ring pitch of about 23 pixels there, which leaves room for nine data rings at most.
constexpr int kMaxAutoRingCount = 9;

struct SymbolSize {
    int modulesPerRing = 0;
    int ringCount = 0;
};

// Whole bytes of the grid's module bits (not capped at the codeword length).
std::size_t gridBytes(CodeType codeType, int modulesPerRing, int ringCount);

// Largest ring count whose grid stays within one codeword (255 bytes).
int maxRingCount(CodeType codeType, int modulesPerRing);

// Most payload bytes a symbol of this size holds at `strength`; 0 for a size the reader cannot
// read (modules per ring not in the list, fewer than two rings, grid above 255 bytes, layout that
// does not fit).
std::size_t symbolPayloadBytes(const SymbolSize& size, ECCtype strength, CodeType codeType,
                               Layout layout);

// Checks an explicit size. Throws QCException: InvalidConfiguration when the reader cannot read
// a symbol of that size at all, NotEnoughCapacity when it is readable but too small for
// `payloadBytes`.
void checkSymbolSize(const SymbolSize& size, std::size_t payloadBytes, ECCtype strength,
                     CodeType codeType, Layout layout);

// The smallest size holding `payloadBytes` (at least one: every payload has its type byte). A
// non-zero field of `requested` fixes that dimension (it is checked as above); zero fields are
// chosen, rings from kMinRingCount up to kMaxAutoRingCount. Throws QCException
// DataSizeExceedsMaximum when no size fits, and as checkSymbolSize for fixed dimensions.
SymbolSize chooseSymbolSize(std::size_t payloadBytes, ECCtype strength, CodeType codeType,
                            Layout layout, const SymbolSize& requested = SymbolSize{});

}  // namespace qcl::writer
