#include "map/loader.hpp"

#include <cstring>
#include <deque>
#include <memory>
#include <optional>
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
            if (name == nullptr) {
                // Mini-XML does not check the copy of an element's name: only
                // memory that ran out leaves an element without one.
                nameless_ = true;
                continue;
            }
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
            } else if (!languageSeen_ && std::strcmp(name, "dc:language") == 0) {
                languageSeen_ = true;
                map_.language = languageTag(characterData(node));
            }
        }
    }

    // An id or label that is not XML text (written as a reference such as
    // "&#xFFFE;"), so that the pages would not be well-formed.
    [[nodiscard]] bool hasBadText() const { return badText_; }
    [[nodiscard]] bool hasNamelessElement() const { return nameless_; }

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
        if ((rawId != nullptr && !isXmlText(rawId)) || (rawLabel != nullptr && !isXmlText(rawLabel))) {
            badText_ = true;
        }
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

    // The element's text when it holds nothing else: the parser splits it
    // into words, each marked when blanks stood before it. What is inside
    // matters only when it is one word, so any blanks join as one space.
    static std::string characterData(mxml_node_t* element) {
        std::string text;
        for (mxml_node_t* child = mxmlGetFirstChild(element); child != nullptr;
             child = mxmlGetNextSibling(child)) {
            int blankBefore = 0;
            const char* word = mxmlGetType(child) == MXML_TEXT ? mxmlGetText(child, &blankBefore) : nullptr;
            if (word == nullptr) return {};  // an element, a comment or CDATA
            if (blankBefore != 0 && !text.empty()) text.push_back(' ');
            text.append(word);
        }
        return text;
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
    bool languageSeen_ = false;
    bool badText_ = false;
    bool nameless_ = false;
    std::string id_;  // reused normalisation buffers
    std::string label_;
};

// Mini-XML reports its errors through a callback that carries no data of
// the caller's, so the parse under way is found through this pointer. Its
// messages are printed as Mini-XML itself prints them.
struct ParseErrors {
    bool any = false;
    bool outOfMemory = false;  // all its messages that begin so are failed allocations
};
thread_local ParseErrors* activeErrors = nullptr;

void noteParseError(const char* message) {
    std::fprintf(stderr, "mxml: %s\n", message);
    if (activeErrors == nullptr) return;
    activeErrors->any = true;
    if (std::strncmp(message, "Unable to", 9) == 0) activeErrors->outOfMemory = true;
}

class ErrorsNoted {
public:
    explicit ErrorsNoted(ParseErrors& errors) {
        activeErrors = &errors;
        mxmlSetErrorCallback(noteParseError);
    }
    ~ErrorsNoted() {
        mxmlSetErrorCallback(nullptr);
        activeErrors = nullptr;
    }
    ErrorsNoted(const ErrorsNoted&) = delete;
    ErrorsNoted& operator=(const ErrorsNoted&) = delete;
};

LoadStatus statusOf(ReadStatus status) {
    return status == ReadStatus::NotXml ? LoadStatus::NotXml : LoadStatus::ReadError;
}

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string languageTag(std::string_view text) {
    constexpr std::string_view kBlanks = " \t\n\r";
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    const std::string_view tag = text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
    std::size_t at = 0;
    while (at < tag.size() && isAsciiLetter(tag[at])) ++at;
    if (at < 2 || at > 3) return {};
    while (at < tag.size()) {
        if (tag[at] != '-') return {};
        const std::size_t start = ++at;
        while (at < tag.size() && (isAsciiLetter(tag[at]) || isAsciiDigit(tag[at]))) ++at;
        if (at - start < 1 || at - start > 8) return {};
    }
    return std::string(tag);
}

LoadStatus loadMap(std::FILE* cxlFile, ConceptMap& map) {
    const std::unique_ptr<std::FILE, FileCloser> file(cxlFile);
    // A regular UTF-8 file is checked, then parsed in place. A pipe can be
    // read only once, and UTF-16 is turned into UTF-8 first: both are held
    // in memory as they are read and checked.
    const bool seekable = std::fseek(file.get(), 0, SEEK_CUR) == 0;
    std::string text;
    const bool inMemory = !seekable || startsAsUtf16(file.get());
    const ReadStatus read = inMemory ? readAsUtf8(file.get(), text) : checkUtf8InPlace(file.get());
    if (read != ReadStatus::Ok) return statusOf(read);

    ParseErrors errors;
    std::optional<XmlDocument> document;
    {
        const ErrorsNoted noted(errors);
        document.emplace(inMemory ? mxmlLoadString(nullptr, text.c_str(), MXML_NO_CALLBACK)
                                  : mxmlLoadFile(nullptr, file.get(), MXML_NO_CALLBACK));
    }
    std::string().swap(text);
    if (errors.outOfMemory) return LoadStatus::OutOfMemory;
    // A tree after a reported error may lack attributes or end early.
    if (errors.any || !*document) return LoadStatus::NotXml;
    DocumentWalk walk(map);
    walk.run(document->top());
    if (walk.hasNamelessElement()) return LoadStatus::OutOfMemory;
    if (walk.hasBadText()) return LoadStatus::NotXml;
    walk.placeNodes();
    if (!walk.linkConnections()) return LoadStatus::MissingNode;
    buildRootList(map);
    return LoadStatus::Loaded;
}

}  // namespace cxl
