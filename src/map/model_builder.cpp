#include "map/model_builder.hpp"

#include <string>

#include "map/text.hpp"

namespace cxl {

void buildNodes(RawMap& raw, ConceptMap& map) {
    map.language = raw.language.tag();
    std::string id;
    std::string label;
    for (; !raw.nodes.empty(); raw.nodes.pop_front()) {
        const RawNode& node = raw.nodes.front();
        // The format lets the label stand in for a missing id.
        const RawText& rawId = node.id.present() ? node.id : node.label;
        normaliseText(rawId.text(), id);
        normaliseText(node.label.text(), label);
        MapNode& made = appendNode(map, node.kind, id, label, 0, 0, 0);
        const BoxIndex& boxes = node.kind == NodeKind::Concept ? raw.conceptBoxes : raw.phraseBoxes;
        if (const Box* box = rawId.present() ? boxes.find(rawId.text()) : nullptr) {  // else no appearance
            made.x = box->x;
            made.y = box->y;
            made.width = box->width;
        }
    }
    raw.conceptBoxes.clear();
    raw.phraseBoxes.clear();
    raw.boxes.clear();
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
