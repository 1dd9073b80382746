// Reads a CXL document into the concept-map model.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "map/concept_map.hpp"
#include "map/encoding.hpp"
#include "map/parser_reason.hpp"

namespace cxl {

enum class LoadStatus {
    Loaded,
    NotXml,       // no element, a parse error, or an id or label that is not XML text
    OutOfMemory,  // an allocation failed, ours or the parser's
    MissingNode,  // a connection names no concept and no linking phrase
};

// The document's text as the parser reads it, once the DocumentDecoder has
// checked and decoded its bytes: from a file descriptor (a pipe that the
// decoded text is written into as the file is read), or whole in memory.
struct DocumentSource {
    int fd = -1;
    std::string text;
};

struct LoadResult {
    LoadStatus status = LoadStatus::Loaded;
    ParserReason reason;  // whatever the parser reported, whatever the verdict
};

// Parses the document and fills `map`, which must be empty. The text is
// given back once parsed. On MissingNode the links added so far stay.
LoadResult loadMap(DocumentSource document, ConceptMap& map);

// A document whose last tag was cut off (`...</cmap`, which the decoder
// sees) is no XML, though the parser takes it: only memory that ran out
// says more.
LoadResult judgeEnding(LoadResult loaded, bool endsCutShort);

// The whole text of `decoder` (fed and finished), loaded.
LoadResult loadDecoded(DocumentDecoder& decoder, ConceptMap& map);

// Where the parser begins in a document whose text begins with `head`:
// white space before the root is passed over, as XML allows it and
// Mini-XML does not, unless a declaration follows it, which XML wants first
// of all. None while `head` cannot tell yet (blanks, and fewer than six
// characters after them) and more text may follow.
std::optional<std::size_t> parserStart(std::string_view head, bool whole);

}  // namespace cxl
