#include "map/child_list.hpp"

#include <algorithm>
#include <iterator>
#include <limits>

#include "map/concept_map.hpp"

namespace cxl {

namespace {

// A flat list longer than this becomes blocks; blocks split at twice this.
constexpr std::size_t kFlatLimit = 64;
constexpr std::size_t kBlockSplit = 256;

std::int32_t keyOf(const MapNode* node, SortKey key) {
    return key == SortKey::X ? node->x : node->y;
}

// First index at or after `from` whose key is strictly greater than `value`.
std::size_t firstGreater(const NodeLink* cells, std::size_t size, std::size_t from, SortKey key,
                         std::int32_t value) {
    for (std::size_t i = from; i < size; ++i) {
        if (keyOf(cells[i].target, key) > value) return i;
    }
    return size;
}

}  // namespace

struct ChildList::Block {
    std::vector<NodeLink> cells;
    std::int32_t maxX = std::numeric_limits<std::int32_t>::min();
    std::int32_t maxY = std::numeric_limits<std::int32_t>::min();

    void note(const MapNode* node) {
        maxX = std::max(maxX, node->x);
        maxY = std::max(maxY, node->y);
    }
    void recompute() {
        maxX = maxY = std::numeric_limits<std::int32_t>::min();
        for (const NodeLink& cell : cells) note(cell.target);
    }
    [[nodiscard]] std::int32_t max(SortKey key) const { return key == SortKey::X ? maxX : maxY; }
};

ChildList::ChildList() : inline_{} {}

ChildList::~ChildList() { freeFlat(); }

ChildList::ChildList(ChildList&& other) noexcept : inline_{} { *this = std::move(other); }

ChildList& ChildList::operator=(ChildList&& other) noexcept {
    if (this == &other) return *this;
    freeFlat();
    flatSize_ = other.flatSize_;
    flatCapacity_ = other.flatCapacity_;
    if (flatCapacity_ > kInline) {
        heap_ = other.heap_;
    } else {
        std::copy(other.inline_, other.inline_ + kInline, inline_);
    }
    blocks_ = std::move(other.blocks_);
    blockedSize_ = other.blockedSize_;
    other.flatSize_ = 0;
    other.flatCapacity_ = kInline;
    other.blockedSize_ = 0;
    return *this;
}

void ChildList::freeFlat() {
    if (flatCapacity_ > kInline) delete[] heap_;
    flatCapacity_ = kInline;
    flatSize_ = 0;
}

void ChildList::insertFlat(std::size_t at, MapNode* target) {
    if (flatSize_ == flatCapacity_) {
        const std::uint32_t capacity = flatCapacity_ * 2;
        auto* grown = new NodeLink[capacity];
        std::copy(flat(), flat() + flatSize_, grown);
        if (flatCapacity_ > kInline) delete[] heap_;
        heap_ = grown;
        flatCapacity_ = capacity;
    }
    NodeLink* cells = flat();
    std::copy_backward(cells + at, cells + flatSize_, cells + flatSize_ + 1);
    cells[at] = NodeLink{target};
    ++flatSize_;
    if (flatSize_ > kFlatLimit) becomeBlocks();
}

MapNode* ChildList::front() const {
    if (empty()) return nullptr;
    return blocks_ ? blocks_->front().cells.front().target : flat()[0].target;
}

void ChildList::insertFront(MapNode* target) {
    if (blocks_) {
        Block& first = blocks_->front();
        first.cells.insert(first.cells.begin(), NodeLink{target});
        first.note(target);
        ++blockedSize_;
        splitIfFull(0);
    } else {
        insertFlat(0, target);
    }
}

void ChildList::insertAfterLowerOrEqual(MapNode* target, SortKey key, std::int32_t value) {
    if (!blocks_) {
        insertFlat(firstGreater(flat(), flatSize_, 1, key, value), target);
        return;
    }
    std::vector<Block>& blocks = *blocks_;
    std::size_t b = 0;
    std::size_t at = 0;
    bool found = false;
    for (; b < blocks.size(); ++b) {
        if (blocks[b].max(key) <= value) continue;  // nothing greater in here
        at = firstGreater(blocks[b].cells.data(), blocks[b].cells.size(), b == 0 ? 1 : 0, key, value);
        if (at < blocks[b].cells.size()) {
            found = true;
            break;
        }
    }
    if (!found) {
        b = blocks.size() - 1;
        at = blocks[b].cells.size();
    }
    Block& block = blocks[b];
    block.cells.insert(block.cells.begin() + static_cast<std::ptrdiff_t>(at), NodeLink{target});
    block.note(target);
    ++blockedSize_;
    splitIfFull(b);
}

void ChildList::splitIfFull(std::size_t b) {
    std::vector<Block>& blocks = *blocks_;
    std::vector<NodeLink>& cells = blocks[b].cells;
    if (cells.size() < kBlockSplit) return;
    // Halves keep every insertion within a block cheap.
    Block tail;
    const auto middle = cells.begin() + static_cast<std::ptrdiff_t>(cells.size() / 2);
    tail.cells.assign(middle, cells.end());
    cells.erase(middle, cells.end());
    blocks[b].recompute();
    tail.recompute();
    blocks.insert(blocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(tail));
}

void ChildList::becomeBlocks() {
    auto blocks = std::make_unique<std::vector<Block>>(1);
    blocks->front().cells.assign(flat(), flat() + flatSize_);
    blocks->front().recompute();
    blockedSize_ = flatSize_;
    freeFlat();
    blocks_ = std::move(blocks);
}

void ChildList::clear() {
    freeFlat();
    blocks_.reset();
    blockedSize_ = 0;
}

MapNode* ChildList::const_iterator::operator*() const {
    if (list_->blocks_) return (*list_->blocks_)[block_].cells[cell_].target;
    return list_->flat()[cell_].target;
}

ChildList::const_iterator& ChildList::const_iterator::operator++() {
    ++cell_;
    if (list_->blocks_ && cell_ == (*list_->blocks_)[block_].cells.size()) {
        ++block_;
        cell_ = 0;
    }
    return *this;
}

ChildList::const_iterator ChildList::begin() const {
    const_iterator it;
    it.list_ = this;
    return it;
}

ChildList::const_iterator ChildList::end() const {
    const_iterator it;
    it.list_ = this;
    if (blocks_) {
        it.block_ = blocks_->size();
    } else {
        it.cell_ = flatSize_;
    }
    return it;
}

}  // namespace cxl
