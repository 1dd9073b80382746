// A look at the raw bytes before parsing. The parser passes some bytes that
// are not XML (bad UTF-8 sequences, control characters) and in some cases
// reports them but still returns a tree, cut short at the bad byte, so a map
// would be told only in part. Such files are refused instead.
#pragma once

#include <cstdio>

namespace cxl {

// Reads `file` to its end and rewinds it. True when it is UTF-8 (with or
// without byte-order mark), or UTF-16 with a byte-order mark, holding only
// characters that XML allows.
bool hasXmlCharacters(std::FILE* file);

}  // namespace cxl
