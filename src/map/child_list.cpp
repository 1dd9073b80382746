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
std::size_t firstGreater(const std::vector<NodeLink>& cells, std::size_t from, SortKey key,
                         std::int32_t value) {
    for (std::size_t i = from; i < cells.size(); ++i) {
        if (keyOf(cells[i].target, key) > value) return i;
    }
    return cells.size();
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

ChildList::ChildList() = default;
ChildList::~ChildList() = default;
ChildList::ChildList(ChildList&&) noexcept = default;
ChildList& ChildList::operator=(ChildList&&) noexcept = default;

MapNode* ChildList::front() const {
    if (size_ == 0) return nullptr;
    return blocks_ ? blocks_->front().cells.front().target : flat_.front().target;
}

void ChildList::insertFront(MapNode* target) {
    if (blocks_) {
        Block& first = blocks_->front();
        first.cells.insert(first.cells.begin(), NodeLink{target});
        first.note(target);
        if (first.cells.size() >= kBlockSplit) {
            // Split the front block in halves to keep front insertion cheap.
            Block tail;
            auto middle = first.cells.begin() + static_cast<std::ptrdiff_t>(first.cells.size() / 2);
            tail.cells.assign(middle, first.cells.end());
            first.cells.erase(middle, first.cells.end());
            first.recompute();
            tail.recompute();
            blocks_->insert(blocks_->begin() + 1, std::move(tail));
        }
    } else {
        flat_.insert(flat_.begin(), NodeLink{target});
    }
    ++size_;
    if (!blocks_ && flat_.size() > kFlatLimit) becomeBlocks();
}

void ChildList::insertAfterLowerOrEqual(MapNode* target, SortKey key, std::int32_t value) {
    if (!blocks_) {
        std::size_t at = firstGreater(flat_, 1, key, value);
        flat_.insert(flat_.begin() + static_cast<std::ptrdiff_t>(at), NodeLink{target});
        ++size_;
        if (flat_.size() > kFlatLimit) becomeBlocks();
        return;
    }
    std::vector<Block>& blocks = *blocks_;
    std::size_t b = 0;
    std::size_t at = 0;
    bool found = false;
    for (; b < blocks.size(); ++b) {
        if (blocks[b].max(key) <= value) continue;  // nothing greater in here
        at = firstGreater(blocks[b].cells, b == 0 ? 1 : 0, key, value);
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
    ++size_;
    if (block.cells.size() >= kBlockSplit) {
        Block tail;
        auto middle = block.cells.begin() + static_cast<std::ptrdiff_t>(block.cells.size() / 2);
        tail.cells.assign(middle, block.cells.end());
        block.cells.erase(middle, block.cells.end());
        block.recompute();
        tail.recompute();
        blocks.insert(blocks.begin() + static_cast<std::ptrdiff_t>(b) + 1, std::move(tail));
    }
}

void ChildList::becomeBlocks() {
    auto blocks = std::make_unique<std::vector<Block>>(1);
    blocks->front().cells = std::move(flat_);
    blocks->front().recompute();
    flat_ = {};
    blocks_ = std::move(blocks);
}

void ChildList::clear() {
    flat_ = {};
    blocks_.reset();
    size_ = 0;
}

MapNode* ChildList::const_iterator::operator*() const {
    if (list_->blocks_) return (*list_->blocks_)[block_].cells[cell_].target;
    return list_->flat_[cell_].target;
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
        it.cell_ = flat_.size();
    }
    return it;
}

}  // namespace cxl
