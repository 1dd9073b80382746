#include "pages/outline.hpp"

#include "pages/markup.hpp"

namespace cxl {

namespace {

// One list being written: where it stands and which cell comes next.
struct ListFrame {
    ChildList::const_iterator next;
    ChildList::const_iterator end;
    int indent;                 // of its "<ul>" and "</ul>" lines
    std::uint64_t stretch;      // path stretch that its items continue
    std::size_t marksAtItem;    // marks to keep when the open item closes
    bool itemOpen = false;
};

class Walk {
public:
    Walk(std::ostream& out, OutlineState& state) : out_(out), state_(state) {}

    void run(MapNode& start) {
        const std::size_t marksAtStart = state_.marks.size();
        const std::uint64_t stretchAtStart = state_.currentStretch;
        follow(start);
        while (!frames_.empty()) {
            ListFrame& frame = frames_.back();
            if (frame.itemOpen) {
                writeSpaces(out_, static_cast<std::size_t>(frame.indent + 2));
                writeLine(out_, "</li>\n");
                unmarkTo(frame.marksAtItem);
                frame.itemOpen = false;
            }
            if (frame.next == frame.end) {
                state_.indentLevel = frame.indent;
                writeSpaces(out_, static_cast<std::size_t>(frame.indent));
                writeLine(out_, "</ul>\n");
                frames_.pop_back();
                continue;
            }
            MapNode* target = *frame.next;
            ++frame.next;
            writeSpaces(out_, static_cast<std::size_t>(frame.indent + 2));
            writeLine(out_, "<li>");
            frame.itemOpen = true;
            frame.marksAtItem = state_.marks.size();
            state_.indentLevel = frame.indent + 4;
            state_.currentStretch = frame.stretch;
            follow(*target);  // may push a frame: `frame` is not used after this
        }
        unmarkTo(marksAtStart);
        state_.currentStretch = stretchAtStart;
    }

private:
    // Writes a node and the chain of one-target phrases that continues its
    // line; opens the list that ends the chain, if any.
    void follow(MapNode& start) {
        MapNode* node = &start;
        while (true) {
            writeNodeText(out_, *node, state_);
            if (node->kind == NodeKind::Concept) {
                if (node->visited) return;
                node->visited = true;
                if (!node->children.empty()) openList(*node, ++state_.lastStretch);
                return;
            }
            if (node->pathMark == state_.currentStretch) return;  // a cycle of phrases
            node->visited = true;
            state_.marks.emplace_back(node, node->pathMark);
            node->pathMark = state_.currentStretch;
            if (node->children.size() > 1) {
                openList(*node, state_.currentStretch);
                return;
            }
            if (node->children.empty()) return;
            node = node->children.front();
        }
    }

    void openList(const MapNode& owner, std::uint64_t stretch) {
        const int indent = state_.indentLevel;
        writeSpaces(out_, static_cast<std::size_t>(indent));
        writeLine(out_, "<ul>\n");
        state_.indentLevel = indent + 2;
        frames_.push_back(ListFrame{owner.children.begin(), owner.children.end(), indent, stretch, 0});
    }

    void unmarkTo(std::size_t size) {
        while (state_.marks.size() > size) {
            auto [node, previous] = state_.marks.back();
            node->pathMark = previous;
            state_.marks.pop_back();
        }
    }

    std::ostream& out_;
    OutlineState& state_;
    std::vector<ListFrame> frames_;
};

}  // namespace

void writeNodeText(std::ostream& out, const MapNode& node, OutlineState& state) {
    if (node.kind == NodeKind::Concept) {
        if (node.visited && node.childCount > 0) {
            state.italicsUsed = true;
            writeLine(out, "<em>%s</em>\n", node.label);
        } else {
            writeLine(out, "<strong>%s</strong>\n", node.label);
        }
        return;
    }
    writeText(out, node.label);
    writeLine(out, node.childCount > 1 ? "\n" : " ");
}

void writeSubtree(std::ostream& out, MapNode& node, OutlineState& state) {
    Walk(out, state).run(node);
}

void writeOutline(std::ostream& out, const RootList& roots, OutlineState& state) {
    state.indentLevel = 8;
    writeLine(out, "    <ul>\n");
    for (const NodeLink& root : roots) {
        writeLine(out, "      <li>");
        writeSubtree(out, *root.target, state);
        writeLine(out, "      </li>\n");
    }
    writeLine(out, "    </ul>\n");
}

}  // namespace cxl
