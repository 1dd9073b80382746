#include "map/loader.hpp"

#include <cstring>
#include <string>

#include <mxml.h>

#include "map/model_builder.hpp"
#include "map/text.hpp"
#include "map/sax_filter.hpp"

namespace cxl {

namespace {

// Mini-XML reports its errors through a callback that carries no data of
// the caller's, so the parse under way is found through this pointer.
struct ParseErrors {
    ParserReason* reason = nullptr;
    bool any = false;
    bool outOfMemory = false;  // all its messages that begin so are failed allocations
};
thread_local ParseErrors* activeErrors = nullptr;

void noteParseError(const char* message) {
    if (activeErrors == nullptr) return;
    activeErrors->reason->add(message);
    activeErrors->any = true;
    if (std::strncmp(message, "Unable to", 9) == 0) activeErrors->outOfMemory = true;
}

class ErrorsNoted {
public:
    explicit ErrorsNoted(ParseErrors& errors) {
        activeErrors = &errors;
        mxmlSetErrorCallback(noteParseError);
    }
    ~ErrorsNoted() {
        mxmlSetErrorCallback(nullptr);
        activeErrors = nullptr;
    }
    ErrorsNoted(const ErrorsNoted&) = delete;
    ErrorsNoted& operator=(const ErrorsNoted&) = delete;
};

}  // namespace

LoadResult loadMap(DocumentSource document, ConceptMap& map) {
    // The document streams through Mini-XML, which parses and checks every
    // byte; no tree of it is ever held, only what the map is made of.
    LoadResult result;
    ParseErrors errors{&result.reason};
    RawMap raw;
    SaxFilter filter(raw);
    mxml_node_t* top = nullptr;
    {
        const ErrorsNoted noted(errors);
        top = document.fd >= 0
                  ? mxmlSAXLoadFd(nullptr, document.fd, SaxFilter::textType, SaxFilter::onEvent, &filter)
                  : mxmlSAXLoadString(nullptr, document.text.c_str() + parserStart(document.text, true).value_or(0),
                                      SaxFilter::textType, SaxFilter::onEvent, &filter);
    }
    if (top != nullptr) mxmlDelete(top);  // on a failed parse Mini-XML has deleted it
    std::string().swap(document.text);
    const auto verdict = [&](LoadStatus status) {
        result.status = status;
        return result;
    };
    if (errors.outOfMemory || filter.allocationFailed()) return verdict(LoadStatus::OutOfMemory);
    // A parse that reported an error may have dropped attributes or ended early.
    if (errors.any || top == nullptr || !filter.wholeElement() || filter.badText()) {
        return verdict(LoadStatus::NotXml);
    }
    buildNodes(raw, map);
    if (!linkConnections(raw, map)) return verdict(LoadStatus::MissingNode);
    buildRootList(map);
    return verdict(LoadStatus::Loaded);
}

LoadResult judgeEnding(LoadResult loaded, bool endsCutShort) {
    if (endsCutShort && loaded.status != LoadStatus::OutOfMemory) loaded.status = LoadStatus::NotXml;
    return loaded;
}

LoadResult loadDecoded(DocumentDecoder& decoder, ConceptMap& map) {
    return judgeEnding(loadMap({-1, std::move(decoder.text())}, map), decoder.endsCutShort());
}

std::optional<std::size_t> parserStart(std::string_view head, bool whole) {
    const std::size_t first = head.find_first_not_of(kXmlBlanks);
    if (first == 0) return 0;
    constexpr std::string_view kDeclaration = "<?xml";
    if (first == std::string_view::npos || head.size() - first <= kDeclaration.size()) {
        if (!whole) return std::nullopt;
        if (first == std::string_view::npos) return 0;
    }
    const bool declaration = head.substr(first).starts_with(kDeclaration) && first + 5 < head.size() &&
                             isXmlBlank(static_cast<unsigned char>(head[first + 5]));
    return declaration ? 0 : first;
}

}  // namespace cxl
