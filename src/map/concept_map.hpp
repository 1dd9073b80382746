// The in-memory concept map: concepts and linking phrases with their boxes,
// each node's outgoing links in drawing order, and the root concepts.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "map/child_list.hpp"
#include "map/first_index.hpp"
#include "map/text_arena.hpp"

namespace cxl {

enum class NodeKind : std::int32_t { Concept = 0, LinkingPhrase = 1 };

struct MapNode {
    std::string_view id;     // normalised; only used to resolve connections
    std::string_view label;  // normalised; what the description shows
    std::int32_t x = 0;  // centre of the box
    std::int32_t y = 0;
    std::int32_t width = 0;
    NodeKind kind = NodeKind::Concept;
    bool isTarget = false;
    // Creation order over both lists, from 0: readers keep their own
    // per-node data in vectors indexed by it.
    std::uint32_t index = 0;
    ChildList children;

    [[nodiscard]] std::size_t childCount() const { return children.size(); }
};

// Nodes of one kind in document order. A deque keeps every node where it was
// created, so links and the id index can point at it.
class NodeList {
public:
    MapNode& append(MapNode node) { return nodes_.emplace_back(std::move(node)); }
    [[nodiscard]] std::size_t size() const { return nodes_.size(); }
    [[nodiscard]] bool empty() const { return nodes_.empty(); }
    void clear() { nodes_.clear(); }
    auto begin() { return nodes_.begin(); }
    auto end() { return nodes_.end(); }
    auto begin() const { return nodes_.begin(); }
    auto end() const { return nodes_.end(); }

private:
    std::deque<MapNode> nodes_;
};

using RootList = std::vector<NodeLink>;

inline std::string_view idOf(const MapNode& node) { return node.id; }

struct ConceptMap {
    NodeList conceptList;  // the concepts, in document order
    NodeList phraseList;   // the linking phrases, in document order
    RootList rootList;     // the concepts that nothing points at, by x

    // The language the map declares for its labels: a well-formed language
    // tag, or empty when it declares none.
    std::string language;

    [[nodiscard]] std::size_t nodeCount() const { return conceptList.size() + phraseList.size(); }

    // Owns every id and label that the nodes view.
    TextArena texts;

    // First node of each id, concepts and phrases apart, so that a lookup
    // answers what a scan of the concepts and then the phrases would.
    FirstIndex<MapNode, idOf> conceptIndex;
    FirstIndex<MapNode, idOf> phraseIndex;
};

// Creates a node at the tail of its kind's list, with copies of both texts.
MapNode& appendNode(ConceptMap& map, NodeKind kind, std::string_view id, std::string_view label,
                    std::int32_t x, std::int32_t y, std::int32_t width);

// The first concept whose id is `key` byte for byte, else the first such
// linking phrase, else none.
MapNode* findNode(const ConceptMap& map, std::string_view key);

// Records one connection and places the new cell by where the target is drawn.
void addLink(MapNode& source, MapNode& target);

// Untargeted concepts, ordered by x; equal x keep document order.
void buildRootList(ConceptMap& map);

}  // namespace cxl
