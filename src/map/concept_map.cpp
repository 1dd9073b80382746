#include "map/concept_map.hpp"

#include <algorithm>
#include <cstdlib>

namespace cxl {

namespace {

std::int64_t halfWidth(const MapNode& n) { return n.width / 2; }  // truncates toward zero

std::int64_t distance(std::int64_t a, std::int64_t b) { return a > b ? a - b : b - a; }

constexpr std::int64_t kAlignTolerance = 3;

// N lines up with F when its centre, left edge or right edge is within the
// tolerance of F's; 64-bit arithmetic keeps it exact for every 32-bit value.
bool isAligned(const MapNode& n, const MapNode& f) {
    const std::int64_t nx = n.x;
    const std::int64_t fx = f.x;
    return distance(nx, fx) <= kAlignTolerance ||
           distance(nx - halfWidth(n), fx - halfWidth(f)) <= kAlignTolerance ||
           distance(nx + halfWidth(n), fx + halfWidth(f)) <= kAlignTolerance;
}

}  // namespace

MapNode& appendNode(ConceptMap& map, NodeKind kind, std::string_view id, std::string_view label,
                    std::int32_t x, std::int32_t y, std::int32_t width) {
    MapNode node;
    node.id = map.texts.store(id);
    node.label = map.texts.store(label);
    node.x = x;
    node.y = y;
    node.width = width;
    node.kind = kind;
    node.index = static_cast<std::uint32_t>(map.nodeCount());
    const bool isConcept = kind == NodeKind::Concept;
    MapNode& added = (isConcept ? map.conceptList : map.phraseList).append(std::move(node));
    (isConcept ? map.conceptIndex : map.phraseIndex).insertFirst(&added);
    return added;
}

MapNode* findNode(const ConceptMap& map, std::string_view key) {
    if (MapNode* found = map.conceptIndex.find(key)) return found;
    return map.phraseIndex.find(key);
}

// One connection: the target is marked, and its cell takes its place among
// the source's links by where the target is drawn.
void addLink(MapNode& source, MapNode& target) {
    target.isTarget = true;
    ChildList& children = source.children;
    // The first link of a node is its only cell.
    if (children.empty()) {
        children.insert(children.positionOf(0), &target);
        return;
    }
    // A target that lines up with the first one is ordered by y, any other
    // by x, always against the first cell.
    const MapNode& first = *children.front();
    const SortKey key = isAligned(target, first) ? SortKey::Y : SortKey::X;
    const std::int32_t value = key == SortKey::Y ? target.y : target.x;
    const std::int32_t firstValue = key == SortKey::Y ? first.y : first.x;
    // Drawn before the first: in front of it.
    if (value < firstValue) {
        children.insert(children.positionOf(0), &target);
        return;
    }
    // Otherwise before the first later cell, from the second on, whose key is
    // greater; at the end when there is none.
    children.insert(children.firstGreater(children.positionOf(1), key, value), &target);
}

void buildRootList(ConceptMap& map) {
    map.rootList.clear();
    for (MapNode& node : map.conceptList) {
        if (!node.isTarget) map.rootList.push_back(NodeLink{&node});
    }
    // Inserting each root before the first later root of greater x is a
    // stable sort by x.
    std::stable_sort(map.rootList.begin(), map.rootList.end(),
                     [](const NodeLink& a, const NodeLink& b) { return a.target->x < b.target->x; });
}

}  // namespace cxl
