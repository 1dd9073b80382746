#include "map/loader.hpp"

#include <cstring>
#include <deque>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include <mxml.h>

#include "map/encoding.hpp"
#include "map/text.hpp"
#include "map/text_arena.hpp"

namespace cxl {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isAsciiDigit(char c) { return c >= '0' && c <= '9'; }

// The tag that a map's "dc:language" text declares, as taken, when it is a
// well-formed language tag once blanks at both ends are dropped; else empty.
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

// Each carriage return followed by a line feed becomes a line feed.
void joinCrLf(std::string& text) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        text[kept++] = text[i];
    }
    text.resize(kept);
}

// A text as an attribute gave it, or none where the attribute was missing.
struct RawText {
    std::string_view text;
    bool present = false;
};

struct Box {
    std::string_view id;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
};

std::string_view idOfBox(const Box& box) { return box.id; }
using BoxIndex = FirstIndex<Box, idOfBox>;

struct RawNode {
    NodeKind kind;
    RawText id;
    RawText label;
};

struct RawConnection {
    RawText fromId;
    RawText toId;
};

// What the loader needs from the document, gathered as the parser streams
// it: Mini-XML releases each node right after telling it, so every text kept
// is copied. Nothing of the model is made until the parse has succeeded.
class Collector {
public:
    // Called by Mini-XML for every node; returns nothing and must not throw.
    static void onEvent(mxml_node_t* node, mxml_sax_event_t event, void* data) {
        auto& self = *static_cast<Collector*>(data);
        try {
            self.take(node, event);
        } catch (const std::bad_alloc&) {
            self.outOfMemory_ = true;
        }
    }

    // Text is read only where it is needed: inside "dc:language".
    static mxml_type_t textType(mxml_node_t* parent) {
        const char* name = mxmlGetElement(parent);
        return name != nullptr && std::strcmp(name, "dc:language") == 0 ? MXML_OPAQUE : MXML_IGNORE;
    }

    // The node that Mini-XML returns as the document's top, kept alive so
    // that its checks (one root only) hold as in a whole-tree parse.
    [[nodiscard]] mxml_node_t* top() const { return top_; }

    [[nodiscard]] bool outOfMemory() const { return outOfMemory_ || nameless_; }
    // An id or label that is not XML text (written as a reference such as
    // "&#xFFFE;"), so that the pages would not be well-formed.
    [[nodiscard]] bool hasBadText() const { return badText_; }

    // Makes the nodes in document order, each with its box, giving back what
    // was collected as it goes: the model and the collection never stand
    // whole side by side.
    void build(ConceptMap& map) {
        map.language = languageTag(language_);
        std::string id;
        std::string label;
        while (!nodes_.empty()) {
            const RawNode& raw = nodes_.front();
            // The format lets the label stand in for a missing id.
            const RawText& rawId = raw.id.present ? raw.id : raw.label;
            normaliseText(rawId.text, id);
            normaliseText(raw.label.text, label);
            MapNode& node = appendNode(map, raw.kind, id, label, 0, 0, 0);
            const BoxIndex& boxes = raw.kind == NodeKind::Concept ? conceptBoxes_ : phraseBoxes_;
            if (const Box* box = rawId.present ? boxes.find(rawId.text) : nullptr) {  // else no appearance
                node.x = box->x;
                node.y = box->y;
                node.width = box->width;
            }
            nodes_.pop_front();
        }
        conceptBoxes_.clear();
        phraseBoxes_.clear();
        boxStore_.clear();
    }

    // Links the connections in document order; false at the first one that
    // names no node.
    bool linkConnections(ConceptMap& map) {
        for (; !connections_.empty(); connections_.pop_front()) {
            const RawConnection& connection = connections_.front();
            MapNode* source = connection.fromId.present ? findNode(map, connection.fromId.text) : nullptr;
            MapNode* target = connection.toId.present ? findNode(map, connection.toId.text) : nullptr;
            if (source == nullptr || target == nullptr) return false;
            addLink(*source, *target);
        }
        return true;
    }

private:
    void take(mxml_node_t* node, mxml_sax_event_t event) {
        if (top_ == nullptr && node != nullptr) {
            top_ = node;
            mxmlRetain(node);
            return;  // only what lies below the top counts
        }
        if (inLanguage_) noteLanguageContent(node, event);
        if (event != MXML_SAX_ELEMENT_OPEN) return;
        const char* name = mxmlGetElement(node);
        if (name == nullptr) {
            // Mini-XML does not check the copy of an element's name: only
            // memory that ran out leaves an element without one.
            nameless_ = true;
        } else if (std::strcmp(name, "concept") == 0) {
            noteNode(node, NodeKind::Concept);
        } else if (std::strcmp(name, "linking-phrase") == 0) {
            noteNode(node, NodeKind::LinkingPhrase);
        } else if (std::strcmp(name, "connection") == 0) {
            connections_.push_back({attribute(node, "from-id"), attribute(node, "to-id")});
        } else if (std::strcmp(name, "concept-appearance") == 0) {
            noteAppearance(node, conceptBoxes_);
        } else if (std::strcmp(name, "linking-phrase-appearance") == 0) {
            noteAppearance(node, phraseBoxes_);
        } else if (!languageSeen_ && std::strcmp(name, "dc:language") == 0) {
            languageSeen_ = true;
            inLanguage_ = true;
            languageNode_ = node;
        }
    }

    // The first "dc:language" counts by its character data alone: anything
    // else inside it (an element, a comment, CDATA) makes it say nothing.
    void noteLanguageContent(mxml_node_t* node, mxml_sax_event_t event) {
        if (event == MXML_SAX_ELEMENT_CLOSE && node == languageNode_) {
            inLanguage_ = false;
            if (languageSpoilt_) language_.clear();
        } else if (event == MXML_SAX_DATA && node != nullptr) {
            if (const char* text = mxmlGetOpaque(node)) language_ += text;
        } else {
            languageSpoilt_ = true;
        }
    }

    RawText attribute(mxml_node_t* element, const char* name) {
        const char* value = mxmlElementGetAttr(element, name);
        if (value == nullptr) return {};
        return {texts_.store(value), true};
    }

    void noteNode(mxml_node_t* element, NodeKind kind) {
        RawNode raw{kind, attribute(element, "id"), attribute(element, "label")};
        if ((raw.id.present && !isXmlText(raw.id.text)) || (raw.label.present && !isXmlText(raw.label.text))) {
            badText_ = true;
        }
        nodes_.push_back(raw);
    }

    // The first appearance of each raw id counts, for its kind.
    void noteAppearance(mxml_node_t* element, BoxIndex& boxes) {
        const char* id = mxmlElementGetAttr(element, "id");
        if (id == nullptr || boxes.find(id) != nullptr) return;
        Box& box = boxStore_.emplace_back();
        box.id = texts_.store(id);
        box.x = number(element, "x");
        box.y = number(element, "y");
        box.width = number(element, "width");
        boxes.insertFirst(&box);
    }

    static std::int32_t number(mxml_node_t* element, const char* name) {
        const char* value = mxmlElementGetAttr(element, name);
        return value == nullptr ? 0 : leadingInteger(value);
    }

    mxml_node_t* top_ = nullptr;
    TextArena texts_;  // copies of every raw text kept
    std::deque<RawNode> nodes_;  // deques: no copy of the whole at each growth
    std::deque<RawConnection> connections_;
    std::deque<Box> boxStore_;
    BoxIndex conceptBoxes_;
    BoxIndex phraseBoxes_;
    bool languageSeen_ = false;
    bool inLanguage_ = false;
    bool languageSpoilt_ = false;
    mxml_node_t* languageNode_ = nullptr;
    std::string language_;
    bool badText_ = false;
    bool nameless_ = false;
    bool outOfMemory_ = false;
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

}  // namespace

LoadStatus loadMap(std::FILE* cxlFile, ConceptMap& map, bool crLfLineEnds) {
    const std::unique_ptr<std::FILE, FileCloser> file(cxlFile);
    // A regular UTF-8 file is checked, then parsed in place. A pipe can be
    // read only once, and UTF-16 is turned into UTF-8 first: both are held
    // in memory as they are read and checked.
    const bool seekable = std::fseek(file.get(), 0, SEEK_CUR) == 0;
    std::string text;
    const bool inMemory = crLfLineEnds || !seekable || startsAsUtf16(file.get());
    const ReadStatus read = inMemory ? readAsUtf8(file.get(), text) : checkUtf8InPlace(file.get());
    if (read != ReadStatus::Ok) return statusOf(read);
    if (crLfLineEnds) joinCrLf(text);

    // The document streams through Mini-XML, which parses and checks every
    // byte; no tree of it is ever held.
    ParseErrors errors;
    Collector collector;
    mxml_node_t* top = nullptr;
    {
        const ErrorsNoted noted(errors);
        top = inMemory ? mxmlSAXLoadString(nullptr, text.c_str(), Collector::textType, Collector::onEvent,
                                           &collector)
                       : mxmlSAXLoadFd(nullptr, fileno(file.get()), Collector::textType, Collector::onEvent,
                                       &collector);
    }
    if (top != nullptr) mxmlDelete(top);  // on a failed parse Mini-XML has deleted it
    std::string().swap(text);
    if (errors.outOfMemory || collector.outOfMemory()) return LoadStatus::OutOfMemory;
    // A parse that reported an error may have dropped attributes or ended early.
    if (errors.any || top == nullptr) return LoadStatus::NotXml;
    if (collector.hasBadText()) return LoadStatus::NotXml;
    collector.build(map);
    if (!collector.linkConnections(map)) return LoadStatus::MissingNode;
    buildRootList(map);
    return LoadStatus::Loaded;
}

}  // namespace cxl
