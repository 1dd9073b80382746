#include "driver/line_ends.hpp"

#include "driver/platform.hpp"

namespace cxl {

void joinCrLf(std::string& text) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        text[kept++] = text[i];
    }
    text.resize(kept);
}

std::string readLine(std::istream& in) {
    std::string line;
    std::getline(in, line);
    if (!host::kCrLfLineEnds || in.eof()) return line;
    line.push_back('\n');  // getline took it: the pair is judged whole
    joinCrLf(line);
    line.pop_back();
    return line;
}

}  // namespace cxl
