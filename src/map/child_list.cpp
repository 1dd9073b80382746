#include "map/child_list.hpp"

#include <algorithm>

#include "map/concept_map.hpp"

namespace cxl {

namespace {

constexpr std::size_t kBlockSplit = 256;

std::int32_t keyOf(const MapNode* node, SortKey key) { return key == SortKey::X ? node->x : node->y; }

std::int32_t maxOf(const ChildBlock& block, SortKey key) { return key == SortKey::X ? block.maxX : block.maxY; }

void note(ChildBlock& block, const MapNode* node) {
    block.maxX = std::max(block.maxX, node->x);
    block.maxY = std::max(block.maxY, node->y);
}

void recompute(ChildBlock& block) {
    block.maxX = block.maxY = INT32_MIN;
    for (const NodeLink& cell : block.cells) note(block, cell.target);
}

}  // namespace

ChildList::Position ChildList::positionOf(std::size_t index) const {
    Position at;
    while (at.block < blocks_.size() && index >= blocks_[at.block].cells.size()) {
        index -= blocks_[at.block].cells.size();
        ++at.block;
    }
    at.cell = index;
    return at;
}

ChildList::Position ChildList::firstGreater(Position from, SortKey key, std::int32_t value) const {
    for (Position at = from; at.block < blocks_.size(); ++at.block, at.cell = 0) {
        const ChildBlock& block = blocks_[at.block];
        if (maxOf(block, key) <= value) continue;  // nothing greater in here
        for (; at.cell < block.cells.size(); ++at.cell) {
            if (keyOf(block.cells[at.cell].target, key) > value) return at;
        }
    }
    return positionOf(size_);
}

void ChildList::insert(Position at, MapNode* target) {
    if (blocks_.empty()) blocks_.emplace_back();
    if (at.block == blocks_.size()) {  // the end: into the last block
        --at.block;
        at.cell = blocks_.back().cells.size();
    }
    ChildBlock& block = blocks_[at.block];
    block.cells.insert(block.cells.begin() + static_cast<std::ptrdiff_t>(at.cell), NodeLink{target});
    note(block, target);
    ++size_;
    if (block.cells.size() < kBlockSplit) return;
    // Halves keep every insertion within a block cheap.
    ChildBlock tail;
    const auto middle = block.cells.begin() + static_cast<std::ptrdiff_t>(block.cells.size() / 2);
    tail.cells.assign(middle, block.cells.end());
    block.cells.erase(middle, block.cells.end());
    recompute(block);
    recompute(tail);
    blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(at.block) + 1, std::move(tail));
}

ChildList::const_iterator ChildList::begin() const {
    const_iterator it;
    it.blocks_ = &blocks_;
    return it;
}

ChildList::const_iterator ChildList::end() const {
    const_iterator it;
    it.blocks_ = &blocks_;
    it.at_.block = blocks_.size();
    return it;
}

}  // namespace cxl
