// Texts and numbers as the loader reads them from attribute values.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace cxl {

// Drops blanks (space, tab, line feed) at both ends and turns every run of
// blanks inside into one space. Every other byte, carriage return and the
// bytes of multi-byte characters included, is kept as it is.
std::string normaliseText(std::string_view text);
// The same into `out`, whose storage is reused from call to call.
void normaliseText(std::string_view text, std::string& out);

// Leading decimal conversion: white space, an optional sign, then digits up
// to the first other byte. No digits give 0; values beyond 32 bits are
// clamped to the nearest end of the range.
std::int32_t leadingInteger(std::string_view text);

}  // namespace cxl
