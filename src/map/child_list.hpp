// The ordered outgoing links of one node, kept in blocks.
//
// The order itself is addLink's business. This list only answers where the
// first cell from a position on lies whose key is strictly greater than a
// value, and inserts there. A plain list would make that linear per
// insertion, so a node with many links would cost quadratic time: each
// block knows its largest x and y, so the search skips whole blocks. A
// block splits in halves once it holds kBlockSplit cells.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

namespace cxl {

struct MapNode;

// One cell of a list of links: the node it points at, not owned.
struct NodeLink {
    MapNode* target;
};

enum class SortKey { X, Y };

// A run of consecutive cells, with the largest x and y of their targets.
struct ChildBlock {
    std::vector<NodeLink> cells;
    std::int32_t maxX = INT32_MIN;
    std::int32_t maxY = INT32_MIN;
};

class ChildList {
public:
    struct Position {
        std::size_t block = 0;
        std::size_t cell = 0;
    };

    [[nodiscard]] std::size_t size() const { return size_; }
    [[nodiscard]] bool empty() const { return size_ == 0; }
    [[nodiscard]] MapNode* front() const { return blocks_.front().cells.front().target; }

    // The position of the cell with index `index` (at most size()).
    [[nodiscard]] Position positionOf(std::size_t index) const;
    // The first cell at or after `from` whose `key` is strictly greater than
    // `value`; the end of the list when there is none.
    [[nodiscard]] Position firstGreater(Position from, SortKey key, std::int32_t value) const;
    // Puts a cell for `target` at `at`, before the cell that stood there.
    void insert(Position at, MapNode* target);

    void clear() {
        blocks_.clear();
        size_ = 0;
    }

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = MapNode*;
        using difference_type = std::ptrdiff_t;
        using pointer = MapNode* const*;
        using reference = MapNode*;

        MapNode* operator*() const { return (*blocks_)[at_.block].cells[at_.cell].target; }
        const_iterator& operator++() {
            if (++at_.cell == (*blocks_)[at_.block].cells.size()) {
                ++at_.block;
                at_.cell = 0;
            }
            return *this;
        }
        bool operator==(const const_iterator& other) const {
            return at_.block == other.at_.block && at_.cell == other.at_.cell;
        }

    private:
        friend class ChildList;
        const std::vector<ChildBlock>* blocks_ = nullptr;
        Position at_;
    };
    [[nodiscard]] const_iterator begin() const;
    [[nodiscard]] const_iterator end() const;

private:
    std::vector<ChildBlock> blocks_;
    std::size_t size_ = 0;
};

}  // namespace cxl
