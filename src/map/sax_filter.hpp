// What the loader keeps of the document, gathered as the parser streams it.
#pragma once

#include <cstdint>
#include <deque>
#include <string_view>

#include <mxml.h>

#include "map/concept_map.hpp"
#include "map/language.hpp"
#include "map/text_arena.hpp"

namespace cxl {

// A text as an attribute gave it, kept with its zero byte; none where the
// attribute was missing. A pointer alone: a large map keeps hundreds of
// thousands of them until the parse has ended and the model is built.
class RawText {
public:
    RawText() = default;
    explicit RawText(const char* text) : text_(text) {}
    [[nodiscard]] bool present() const { return text_ != nullptr; }
    [[nodiscard]] std::string_view text() const { return text_ == nullptr ? std::string_view() : text_; }

private:
    const char* text_ = nullptr;
};

struct RawNode {
    RawText id;
    RawText label;
    NodeKind kind;
};

struct RawConnection {
    RawText fromId;
    RawText toId;
};

// Where an appearance element draws the node of its raw id.
struct Box {
    RawText id;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
};

// The elements that the map is made of, in document order, as raw texts.
// Mini-XML releases each node right after telling it, so every text kept is
// a copy.
struct RawMap {
    TextArena texts;
    std::deque<RawNode> nodes;  // deques: no copy of the whole at each growth
    std::deque<RawConnection> connections;
    std::deque<Box> conceptBoxes;  // the appearances, by kind
    std::deque<Box> phraseBoxes;
    LanguageDeclaration language;
};

// Mini-XML's SAX callback: keeps what the map is made of and nothing else.
class SaxFilter {
public:
    explicit SaxFilter(RawMap& map) : map_(map) {}

    // Called by Mini-XML for every node; must not throw.
    static void onEvent(mxml_node_t* node, mxml_sax_event_t event, void* filter);
    // Character data is kept only where it is read: inside "dc:language".
    static mxml_type_t textType(mxml_node_t* parent);

    // XML requires one root element, closed: Mini-XML returns a tree without
    // a word for a file with no element, or one whose root is left open.
    [[nodiscard]] bool wholeElement() const { return elementOpened_ && openElements_ == 0; }
    // An allocation failed while the map was kept: ours, or Mini-XML's copy
    // of an element's name, which it does not check.
    [[nodiscard]] bool allocationFailed() const { return allocationFailed_; }
    // An id or label that is not XML text (written as a reference such as
    // "&#xFFFE;"), so that the pages would not be well-formed.
    [[nodiscard]] bool badText() const { return badText_; }

private:
    void take(mxml_node_t* node, mxml_sax_event_t event);
    RawText attribute(mxml_node_t* element, const char* name);
    void keepNode(mxml_node_t* element, NodeKind kind);
    void keepAppearance(mxml_node_t* element, std::deque<Box>& boxes);

    RawMap& map_;
    // The node that Mini-XML returns as the document's top, kept alive so
    // that its checks (one root only) hold as in a whole-tree parse.
    mxml_node_t* top_ = nullptr;
    bool elementOpened_ = false;
    long openElements_ = 0;
    bool allocationFailed_ = false;
    bool badText_ = false;
};

}  // namespace cxl
