// The description's body: the map told as nested lists, root by root.
#pragma once

#include <cstdint>
#include <ostream>
#include <utility>
#include <vector>

#include "map/concept_map.hpp"

namespace cxl {

struct OutlineState {
    int indentLevel = 8;       // spaces before a list that would open here
    bool italicsUsed = false;  // some concept was written in italics

    // Linking phrases on the current path since its last concept, so that a
    // cycle made only of phrases is written once and not followed again.
    // Each expanded concept opens a new stretch of the path.
    std::uint64_t lastStretch = 1;
    std::uint64_t currentStretch = 1;
    std::vector<std::pair<MapNode*, std::uint64_t>> marks;  // to undo, in order
};

// Writes the whole outline: one item per root, in the root list's order.
void writeOutline(std::ostream& out, const RootList& roots, OutlineState& state);

// Writes the node's text and everything below it. The walk keeps its own
// stack, so the depth of a map never reaches the call stack.
void writeSubtree(std::ostream& out, MapNode& node, OutlineState& state);

// A concept in bold, or in italics when it was written before and has links;
// a linking phrase in plain text, followed by a line feed when a list of its
// targets follows, else by one space.
void writeNodeText(std::ostream& out, const MapNode& node, OutlineState& state);

}  // namespace cxl
