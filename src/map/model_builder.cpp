#include "map/model_builder.hpp"

#include <string>

#include "map/first_index.hpp"

#include "map/text.hpp"

namespace cxl {

namespace {

std::string_view idOfBox(const Box& box) { return box.id.text(); }
using BoxIndex = FirstIndex<Box, idOfBox>;

// The first appearance of each raw id: a later one draws nothing.
BoxIndex indexOf(const std::deque<Box>& boxes) {
    BoxIndex index;
    index.reserve(boxes.size());
    for (const Box& box : boxes) index.insertFirst(const_cast<Box*>(&box));
    return index;
}

}  // namespace

void buildNodes(RawMap& raw, ConceptMap& map) {
    map.language = raw.language.tag();
    const BoxIndex conceptBoxes = indexOf(raw.conceptBoxes);
    const BoxIndex phraseBoxes = indexOf(raw.phraseBoxes);
    std::size_t concepts = 0;
    for (const RawNode& node : raw.nodes) concepts += node.kind == NodeKind::Concept ? 1 : 0;
    map.conceptIndex.reserve(concepts);
    map.phraseIndex.reserve(raw.nodes.size() - concepts);
    std::string id;
    std::string label;
    for (; !raw.nodes.empty(); raw.nodes.pop_front()) {
        const RawNode& node = raw.nodes.front();
        // The format lets the label stand in for a missing id.
        const RawText& rawId = node.id.present() ? node.id : node.label;
        normaliseText(rawId.text(), id);
        normaliseText(node.label.text(), label);
        MapNode& made = appendNode(map, node.kind, id, label, 0, 0, 0);
        const BoxIndex& boxes = node.kind == NodeKind::Concept ? conceptBoxes : phraseBoxes;
        if (const Box* box = rawId.present() ? boxes.find(rawId.text()) : nullptr) {  // else no appearance
            made.x = box->x;
            made.y = box->y;
            made.width = box->width;
        }
    }
    std::deque<Box>().swap(raw.conceptBoxes);
    std::deque<Box>().swap(raw.phraseBoxes);
}

bool linkConnections(RawMap& raw, ConceptMap& map) {
    for (; !raw.connections.empty(); raw.connections.pop_front()) {
        const RawConnection& connection = raw.connections.front();
        MapNode* source = connection.fromId.present() ? findNode(map, connection.fromId.text()) : nullptr;
        MapNode* target = connection.toId.present() ? findNode(map, connection.toId.text()) : nullptr;
        if (source == nullptr || target == nullptr) return false;
        addLink(*source, *target);
    }
    return true;
}

}  // namespace cxl
