// Line ends as text is read: where the host ends lines with a carriage
// return and a line feed, each such pair read is one line feed.
#pragma once

#include <istream>
#include <string>

namespace cxl {

// Each carriage return followed by a line feed becomes the line feed.
void joinCrLf(std::string& text);

// One line of `in` without its line end; the last line may lack one.
std::string readLine(std::istream& in);

}  // namespace cxl
