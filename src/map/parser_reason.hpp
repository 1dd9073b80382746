// What the parser said of a document, as it words it: for each message
// "mxml: ", its text and a line feed. Held without memory of its own, since
// memory may be what ran out; what passes 4 KiB is dropped.
#pragma once

#include <array>
#include <algorithm>
#include <cstddef>
#include <string_view>

namespace cxl {

class ParserReason {
public:
    void add(std::string_view message) {
        for (const std::string_view piece : {std::string_view("mxml: "), message, std::string_view("\n")}) {
            const std::size_t room = std::min(piece.size(), text_.size() - size_);
            piece.copy(text_.data() + size_, room);
            size_ += room;
        }
    }
    [[nodiscard]] std::string_view text() const { return {text_.data(), size_}; }

private:
    std::array<char, 4096> text_{};
    std::size_t size_ = 0;
};

}  // namespace cxl
