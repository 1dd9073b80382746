#include "map/loader.hpp"

#include <cstring>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "map/encoding.hpp"
#include "map/text.hpp"
#include "map/xml_document.hpp"

namespace cxl {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

using AppearanceIndex = std::unordered_map<std::string_view, mxml_node_t*>;

// The elements the loader reads, gathered in one walk of the document.
struct Elements {
    std::vector<mxml_node_t*> concepts;
    std::vector<mxml_node_t*> phrases;
    std::vector<mxml_node_t*> connections;
    AppearanceIndex conceptAppearances;  // first appearance of each raw id
    AppearanceIndex phraseAppearances;
};

void noteAppearance(AppearanceIndex& index, mxml_node_t* element) {
    if (const char* id = mxmlElementGetAttr(element, "id")) index.emplace(id, element);
}

Elements gatherElements(mxml_node_t* top) {
    Elements found;
    for (mxml_node_t* node = mxmlFindElement(top, top, nullptr, nullptr, nullptr, MXML_DESCEND);
         node != nullptr;
         node = mxmlFindElement(node, top, nullptr, nullptr, nullptr, MXML_DESCEND)) {
        const char* name = mxmlGetElement(node);
        if (std::strcmp(name, "concept") == 0) {
            found.concepts.push_back(node);
        } else if (std::strcmp(name, "linking-phrase") == 0) {
            found.phrases.push_back(node);
        } else if (std::strcmp(name, "connection") == 0) {
            found.connections.push_back(node);
        } else if (std::strcmp(name, "concept-appearance") == 0) {
            noteAppearance(found.conceptAppearances, node);
        } else if (std::strcmp(name, "linking-phrase-appearance") == 0) {
            noteAppearance(found.phraseAppearances, node);
        }
    }
    return found;
}

std::int32_t numberAttr(mxml_node_t* element, const char* name) {
    if (element == nullptr) return 0;
    const char* value = mxmlElementGetAttr(element, name);
    return value == nullptr ? 0 : leadingInteger(value);
}

void createNodes(ConceptMap& map, NodeKind kind, const std::vector<mxml_node_t*>& elements,
                 const AppearanceIndex& appearances) {
    for (mxml_node_t* element : elements) {
        const char* rawLabel = mxmlElementGetAttr(element, "label");
        const char* rawId = mxmlElementGetAttr(element, "id");
        // The format lets the label stand in for a missing id.
        if (rawId == nullptr) rawId = rawLabel;
        mxml_node_t* appearance = nullptr;
        if (rawId != nullptr) {
            if (auto it = appearances.find(rawId); it != appearances.end()) appearance = it->second;
        }
        appendNode(map, kind, normaliseText(rawId == nullptr ? "" : rawId),
                   normaliseText(rawLabel == nullptr ? "" : rawLabel),
                   numberAttr(appearance, "x"), numberAttr(appearance, "y"),
                   numberAttr(appearance, "width"));
    }
}

}  // namespace

LoadStatus loadMap(std::FILE* cxlFile, ConceptMap& map) {
    std::unique_ptr<std::FILE, FileCloser> file(cxlFile);
    if (!hasXmlCharacters(file.get())) return LoadStatus::NotXml;
    XmlDocument document(mxmlLoadFile(nullptr, file.get(), MXML_NO_CALLBACK));
    if (!document) return LoadStatus::NotXml;

    const Elements elements = gatherElements(document.top());
    createNodes(map, NodeKind::Concept, elements.concepts, elements.conceptAppearances);
    createNodes(map, NodeKind::LinkingPhrase, elements.phrases, elements.phraseAppearances);

    for (mxml_node_t* connection : elements.connections) {
        const char* fromId = mxmlElementGetAttr(connection, "from-id");
        const char* toId = mxmlElementGetAttr(connection, "to-id");
        MapNode* source = fromId == nullptr ? nullptr : findNode(map, fromId);
        MapNode* target = toId == nullptr ? nullptr : findNode(map, toId);
        if (source == nullptr || target == nullptr) return LoadStatus::MissingNode;
        addLink(*source, *target);
    }
    buildRootList(map);
    return LoadStatus::Loaded;
}

}  // namespace cxl
