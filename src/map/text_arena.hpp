// Storage for the model's texts: a few large blocks instead of one
// allocation per id and label, all given back at once.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <vector>

namespace cxl {

class TextArena {
public:
    // A copy of `text` that lives as long as the arena.
    std::string_view store(std::string_view text) {
        if (text.empty()) return {};
        return {copy(text, 0), text.size()};
    }

    // The same followed by a zero byte, for those who keep only the start.
    std::string_view storeWithZero(std::string_view text) { return {copy(text, 1), text.size()}; }

private:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

    // `text` and `zeros` zero bytes after it.
    char* copy(std::string_view text, std::size_t zeros) {
        const std::size_t size = text.size() + zeros;
        char* at = nullptr;
        if (size > kBlockSize / 4) {
            // A long text gets a block of its own, so the current block goes on.
            large_.emplace_back(new char[size]);
            at = large_.back().get();
        } else {
            if (current_ == nullptr || kBlockSize - used_ < size) {
                // Not zeroed: a page of the block costs memory only once used.
                blocks_.emplace_back(new char[kBlockSize]);
                current_ = blocks_.back().get();
                used_ = 0;
            }
            at = current_ + used_;
            used_ += size;
        }
        std::memcpy(at, text.data(), text.size());
        std::memset(at + text.size(), 0, zeros);
        return at;
    }
    std::vector<std::unique_ptr<char[]>> blocks_;
    std::vector<std::unique_ptr<char[]>> large_;
    char* current_ = nullptr;  // the last block of `blocks_`, being filled
    std::size_t used_ = 0;
};

}  // namespace cxl
