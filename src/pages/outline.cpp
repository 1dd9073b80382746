#include "pages/outline.hpp"

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "map/text.hpp"
#include "pages/markup.hpp"

namespace cxl {

namespace {

constexpr int kTopIndent = 8;  // a root's own list stands at 8 spaces

// One list being written: where it stands and which cell comes next.
struct ListFrame {
    ChildList::const_iterator next;
    ChildList::const_iterator end;
    int indent;                 // of its "<ul>" and "</ul>" lines
    std::uint64_t segment;      // the path segment that its items continue
    std::size_t marksAtItem;    // marks to keep when the open item closes
    bool itemOpen = false;
};

// Writes top-level items. It owns what the walk needs to remember: which
// nodes were told (`visited`), and which linking phrases stand on the current
// path since its last concept, so that a cycle made only of phrases is told
// once and not followed again. The path is cut into segments, each begun by
// an item or an expanded concept and numbered anew; a phrase marked with the
// number of the current segment is on it.
class Walk {
public:
    Walk(std::ostream& out, std::size_t nodeCount)
        : out_(out), visited_(nodeCount, false), segmentOf_(nodeCount, 0) {}

    void writeItem(const MapNode& start) {
        if (out_.fail()) return;  // nothing more can reach the page
        writeBytes(out_, "      <li>");
        indentLevel_ = kTopIndent;
        currentSegment_ = ++lastSegment_;
        writeSubtree(start);
        writeBytes(out_, "      </li>\n");
    }

    [[nodiscard]] bool visited(const MapNode& node) const { return visited_[node.index]; }
    [[nodiscard]] bool allVisited() const { return visitedCount_ == visited_.size(); }
    [[nodiscard]] bool italicsUsed() const { return italicsUsed_; }

private:
    // The node's text and everything below it, with a stack of its own, so
    // that the depth of a map never reaches the call stack.
    void writeSubtree(const MapNode& start) {
        follow(start);
        while (!frames_.empty()) {
            ListFrame& frame = frames_.back();
            if (frame.itemOpen) {
                writeSpaces(out_, static_cast<std::size_t>(frame.indent + 2));
                writeBytes(out_, "</li>\n");
                unmarkTo(frame.marksAtItem);
                frame.itemOpen = false;
            }
            if (frame.next == frame.end) {
                indentLevel_ = frame.indent;
                writeSpaces(out_, static_cast<std::size_t>(frame.indent));
                writeBytes(out_, "</ul>\n");
                frames_.pop_back();
                continue;
            }
            const MapNode* target = *frame.next;
            ++frame.next;
            writeSpaces(out_, static_cast<std::size_t>(frame.indent + 2));
            writeBytes(out_, "<li>");
            frame.itemOpen = true;
            frame.marksAtItem = marks_.size();
            indentLevel_ = frame.indent + 4;
            currentSegment_ = frame.segment;
            follow(*target);  // may push a frame: `frame` is not used after this
            if (out_.fail()) break;  // nothing more can reach the page
        }
        frames_.clear();
        unmarkTo(0);
    }

    // Writes a node and the chain of one-target phrases that continues its
    // line; opens the list that ends the chain, if any.
    void follow(const MapNode& start) {
        const MapNode* node = &start;
        while (true) {
            writeNodeText(*node);
            if (node->kind == NodeKind::Concept) {
                if (visited_[node->index]) return;
                markVisited(*node);
                if (!node->children.empty()) openList(*node, ++lastSegment_);
                return;
            }
            std::uint64_t& mark = segmentOf_[node->index];
            if (mark == currentSegment_) return;  // a cycle of phrases
            if (!visited_[node->index]) markVisited(*node);
            marks_.emplace_back(node->index, mark);
            mark = currentSegment_;
            if (node->childCount() > 1) {
                openList(*node, currentSegment_);
                return;
            }
            if (node->children.empty()) return;
            node = node->children.front();
        }
    }

    // A concept in bold, or in italics when it was told before and has
    // links; a linking phrase in plain text, followed by a line feed when a
    // list of its targets follows, else by one space.
    void writeNodeText(const MapNode& node) {
        if (node.kind == NodeKind::Concept) {
            const bool toldBefore = visited_[node.index] && node.childCount() > 0;
            italicsUsed_ = italicsUsed_ || toldBefore;
            writeBytes(out_, toldBefore ? "<em>" : "<strong>");
            writeText(out_, node.label);
            writeBytes(out_, toldBefore ? "</em>\n" : "</strong>\n");
            return;
        }
        writeText(out_, node.label);
        writeBytes(out_, node.childCount() > 1 ? "\n" : " ");
    }

    void markVisited(const MapNode& node) {
        visited_[node.index] = true;
        ++visitedCount_;
    }

    void openList(const MapNode& owner, std::uint64_t segment) {
        const int indent = indentLevel_;
        writeSpaces(out_, static_cast<std::size_t>(indent));
        writeBytes(out_, "<ul>\n");
        indentLevel_ = indent + 2;
        frames_.push_back(ListFrame{owner.children.begin(), owner.children.end(), indent, segment, 0});
    }

    void unmarkTo(std::size_t size) {
        while (marks_.size() > size) {
            const auto [index, previous] = marks_.back();
            segmentOf_[index] = previous;
            marks_.pop_back();
        }
    }

    std::ostream& out_;
    int indentLevel_ = kTopIndent;  // spaces before a list that would open here
    bool italicsUsed_ = false;
    std::vector<bool> visited_;
    std::size_t visitedCount_ = 0;
    std::vector<std::uint64_t> segmentOf_;  // of each phrase on the path; 0: none
    std::uint64_t lastSegment_ = 0;
    std::uint64_t currentSegment_ = 0;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> marks_;  // to undo, in order
    std::vector<ListFrame> frames_;
};

// The nodes of one list, top-most first: by y, then x, then document order.
std::vector<const MapNode*> topMostFirst(const NodeList& nodes) {
    std::vector<const MapNode*> order;
    order.reserve(nodes.size());
    for (const MapNode& node : nodes) order.push_back(&node);
    std::stable_sort(order.begin(), order.end(), [](const MapNode* a, const MapNode* b) {
        return a->y != b->y ? a->y < b->y : a->x < b->x;
    });
    return order;
}

// The map's own language on the outline, so that its labels are spoken in
// it; none where that is the Spanish of the page itself.
bool needsOwnLanguage(std::string_view tag) {
    if (tag.empty()) return false;
    const std::string_view primary = tag.substr(0, tag.find('-'));
    return !equalsIgnoringAsciiCase(primary, "es");
}

}  // namespace

OutlineResult writeOutline(std::ostream& out, const ConceptMap& map) {
    if (map.nodeCount() == 0) return {};  // an empty list would not be valid XHTML
    if (needsOwnLanguage(map.language)) {
        // A well-formed tag holds no markup character.
        writeBytes(out, "    <ul xml:lang=\"");
        writeBytes(out, map.language);
        writeBytes(out, "\" lang=\"");
        writeBytes(out, map.language);
        writeBytes(out, "\">\n");
    } else {
        writeBytes(out, "    <ul>\n");
    }
    Walk walk(out, map.nodeCount());
    for (const NodeLink& root : map.rootList) walk.writeItem(*root.target);
    // Whatever no root reaches is told too: a picture's long description
    // leaves nothing out.
    for (const NodeList* nodes : {&map.conceptList, &map.phraseList}) {
        if (walk.allVisited()) break;
        for (const MapNode* node : topMostFirst(*nodes)) {
            if (!walk.visited(*node)) walk.writeItem(*node);
        }
    }
    writeBytes(out, "    </ul>\n");
    return OutlineResult{walk.italicsUsed()};
}

}  // namespace cxl
