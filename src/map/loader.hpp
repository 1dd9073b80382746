// Reads a CXL document into the concept-map model.
#pragma once

#include <string>

#include "map/concept_map.hpp"
#include "map/parser_reason.hpp"

namespace cxl {

enum class LoadStatus {
    Loaded,
    NotXml,       // no element, a parse error, or an id or label that is not XML text
    OutOfMemory,  // an allocation failed, ours or the parser's
    MissingNode,  // a connection names no concept and no linking phrase
};

// The document's bytes as they reach the parser, once the byte check (the
// DocumentDecoder's) has passed them: a UTF-8 file that the parser reads
// itself from its start (which must be no white space), or the text in
// memory.
struct DocumentSource {
    int fd = -1;
    std::string text;
    bool cutShort = false;  // its last tag was cut off (DocumentDecoder::endsCutShort)
};

struct LoadResult {
    LoadStatus status = LoadStatus::Loaded;
    ParserReason reason;  // whatever the parser reported, whatever the verdict
};

// Parses the document and fills `map`, which must be empty. The text is
// given back once parsed. On MissingNode the links added so far stay.
LoadResult loadMap(DocumentSource document, ConceptMap& map);

}  // namespace cxl
