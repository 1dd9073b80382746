// The ordered outgoing links of one node.
//
// The insertion rule compares a new target with the first cell and then scans
// for the first later cell whose key is strictly greater. A plain list makes
// that linear per insertion, so a node with many links costs quadratic time.
// Small lists stay flat (the first two cells inside the list itself, most
// nodes have no more); a long one becomes a list of blocks that each know
// their largest x and y, so the scan skips whole blocks. The order that
// results is exactly the one a plain list would give.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

namespace cxl {

struct MapNode;

// One cell of a list of links: the node it points at, not owned.
struct NodeLink {
    MapNode* target;
};

enum class SortKey { X, Y };

class ChildList {
public:
    ChildList();
    ~ChildList();
    ChildList(ChildList&&) noexcept;
    ChildList& operator=(ChildList&&) noexcept;
    ChildList(const ChildList&) = delete;
    ChildList& operator=(const ChildList&) = delete;

    [[nodiscard]] std::size_t size() const { return blocks_ ? blockedSize_ : flatSize_; }
    [[nodiscard]] bool empty() const { return size() == 0; }
    [[nodiscard]] MapNode* front() const;

    // Puts a cell for `target` in front of the first cell.
    void insertFront(MapNode* target);
    // Puts a cell for `target` immediately before the first cell after the
    // first one whose `key` is strictly greater than `value`; at the end when
    // there is none.
    void insertAfterLowerOrEqual(MapNode* target, SortKey key, std::int32_t value);

    void clear();

    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = MapNode*;
        using difference_type = std::ptrdiff_t;
        using pointer = MapNode* const*;
        using reference = MapNode*;

        MapNode* operator*() const;
        const_iterator& operator++();
        const_iterator operator++(int) {
            const_iterator old = *this;
            ++*this;
            return old;
        }
        bool operator==(const const_iterator&) const = default;

    private:
        friend class ChildList;
        const ChildList* list_ = nullptr;
        std::size_t block_ = 0;
        std::size_t cell_ = 0;
    };
    [[nodiscard]] const_iterator begin() const;
    [[nodiscard]] const_iterator end() const;

private:
    struct Block;
    static constexpr std::uint32_t kInline = 2;

    [[nodiscard]] NodeLink* flat() { return flatCapacity_ > kInline ? heap_ : inline_; }
    [[nodiscard]] const NodeLink* flat() const { return flatCapacity_ > kInline ? heap_ : inline_; }
    void insertFlat(std::size_t at, MapNode* target);
    void freeFlat();
    void becomeBlocks();
    void splitIfFull(std::size_t block);

    // While the list is short: its cells, inside the list or on the heap.
    std::uint32_t flatSize_ = 0;
    std::uint32_t flatCapacity_ = kInline;
    union {
        NodeLink inline_[kInline];
        NodeLink* heap_;
    };
    // Once it is long: blocks, and the number of cells in them.
    std::unique_ptr<std::vector<Block>> blocks_;
    std::size_t blockedSize_ = 0;
};

}  // namespace cxl
