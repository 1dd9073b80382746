#include "map/loader.hpp"

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "map/encoding.hpp"
#include "map/text.hpp"
#include "map/xml_document.hpp"

namespace cxl {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct Box {
    const char* id = nullptr;  // in the document tree
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
};

std::string_view idOfBox(const Box& box) { return box.id; }
using BoxIndex = FirstIndex<Box, idOfBox>;

// A node waiting for its appearance, found by its raw (unnormalised) id.
struct PendingBox {
    MapNode* node;
    const char* rawId;  // in the document tree
};

// Raw keys in the document tree; none where the attribute is missing.
struct RawConnection {
    const char* fromId;
    const char* toId;
};

// What the loader needs from the document, gathered in one walk in document
// order so that the tree is read front to back. The raw texts stay in the
// tree, which lives until the connections are linked.
class DocumentWalk {
public:
    explicit DocumentWalk(ConceptMap& map) : map_(map) {}

    void run(mxml_node_t* top) {
        for (mxml_node_t* node = mxmlFindElement(top, top, nullptr, nullptr, nullptr, MXML_DESCEND);
             node != nullptr;
             node = mxmlFindElement(node, top, nullptr, nullptr, nullptr, MXML_DESCEND)) {
            const char* name = mxmlGetElement(node);
            if (std::strcmp(name, "concept") == 0) {
                createNode(node, NodeKind::Concept);
            } else if (std::strcmp(name, "linking-phrase") == 0) {
                createNode(node, NodeKind::LinkingPhrase);
            } else if (std::strcmp(name, "connection") == 0) {
                noteConnection(node);
            } else if (std::strcmp(name, "concept-appearance") == 0) {
                noteAppearance(node, conceptBoxes_);
            } else if (std::strcmp(name, "linking-phrase-appearance") == 0) {
                noteAppearance(node, phraseBoxes_);
            }
        }
    }

    // Gives each node the first appearance of its kind that carries its raw id.
    void placeNodes() {
        for (const PendingBox& pending : pending_) {
            BoxIndex& boxes = pending.node->kind == NodeKind::Concept ? conceptBoxes_ : phraseBoxes_;
            if (const Box* box = boxes.find(pending.rawId)) {
                pending.node->x = box->x;
                pending.node->y = box->y;
                pending.node->width = box->width;
            }
        }
    }

    // Links the connections in document order; false at the first one that
    // names no node.
    bool linkConnections() {
        for (const RawConnection& connection : connections_) {
            MapNode* source = connection.fromId == nullptr ? nullptr : findNode(map_, connection.fromId);
            MapNode* target = connection.toId == nullptr ? nullptr : findNode(map_, connection.toId);
            if (source == nullptr || target == nullptr) return false;
            addLink(*source, *target);
        }
        return true;
    }

private:
    void createNode(mxml_node_t* element, NodeKind kind) {
        const char* rawLabel = mxmlElementGetAttr(element, "label");
        const char* rawId = mxmlElementGetAttr(element, "id");
        // The format lets the label stand in for a missing id.
        if (rawId == nullptr) rawId = rawLabel;
        normaliseText(rawId == nullptr ? "" : rawId, id_);
        normaliseText(rawLabel == nullptr ? "" : rawLabel, label_);
        MapNode& node = appendNode(map_, kind, id_, label_, 0, 0, 0);
        if (rawId != nullptr) pending_.push_back({&node, rawId});  // else no appearance
    }

    void noteAppearance(mxml_node_t* element, BoxIndex& boxes) {
        const char* id = mxmlElementGetAttr(element, "id");
        if (id == nullptr || boxes.find(id) != nullptr) return;
        Box& box = boxStore_.emplace_back();
        box.id = id;
        box.x = numberAttr(element, "x");
        box.y = numberAttr(element, "y");
        box.width = numberAttr(element, "width");
        boxes.insertFirst(&box);
    }

    void noteConnection(mxml_node_t* element) {
        connections_.push_back({mxmlElementGetAttr(element, "from-id"), mxmlElementGetAttr(element, "to-id")});
    }

    static std::int32_t numberAttr(mxml_node_t* element, const char* name) {
        const char* value = mxmlElementGetAttr(element, name);
        return value == nullptr ? 0 : leadingInteger(value);
    }

    ConceptMap& map_;
    std::deque<Box> boxStore_;
    BoxIndex conceptBoxes_;
    BoxIndex phraseBoxes_;
    std::vector<PendingBox> pending_;
    std::vector<RawConnection> connections_;
    std::string id_;  // reused normalisation buffers
    std::string label_;
};

// The file is read twice, once to look at its bytes and once to parse it. A
// pipe cannot be rewound, so its content is first copied to a temporary file.
std::unique_ptr<std::FILE, FileCloser> rewindable(std::unique_ptr<std::FILE, FileCloser> file) {
    if (std::fseek(file.get(), 0, SEEK_CUR) == 0) return file;
    std::unique_ptr<std::FILE, FileCloser> copy(std::tmpfile());
    if (!copy) return nullptr;
    char buffer[1 << 16];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (std::fwrite(buffer, 1, got, copy.get()) != got) return nullptr;
    }
    if (std::ferror(file.get()) != 0 || std::fflush(copy.get()) != 0) return nullptr;
    std::rewind(copy.get());
    return copy;
}

}  // namespace

LoadStatus loadMap(std::FILE* cxlFile, ConceptMap& map) {
    auto file = rewindable(std::unique_ptr<std::FILE, FileCloser>(cxlFile));
    if (!file || !hasXmlCharacters(file.get())) return LoadStatus::NotXml;
    XmlDocument document(mxmlLoadFile(nullptr, file.get(), MXML_NO_CALLBACK));
    if (!document) return LoadStatus::NotXml;
    DocumentWalk walk(map);
    walk.run(document.top());
    walk.placeNodes();
    if (!walk.linkConnections()) return LoadStatus::MissingNode;
    buildRootList(map);
    return LoadStatus::Loaded;
}

}  // namespace cxl
