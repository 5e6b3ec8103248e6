// A symbol as an SVG drawing: annular sectors (arcs as path segments) for the rings and zebras,
// and the inner zebra's notches as outlines traced from the renderer's own drawing rule, so the
// vector picture matches the pixel picture at any size.
#pragma once

#include <string>

#include "writer/SymbolRenderer.h"

namespace qcl {

// The SVG document of the symbol `renderer` draws with `modules` (same size, same geometry).
std::string symbolSvg(const SymbolRenderer& renderer, const ModuleList& modules);

}  // namespace qcl
