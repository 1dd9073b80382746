// Arbitrary bytes through the loader and both page writers, all in memory.
// Whatever the map and the unit name hold, both pages must be well-formed
// XML in UTF-8, and the description must name every node of the map.
#include <libxml/parser.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "map/encoding.hpp"
#include "map/loader.hpp"
#include "pages/conversion.hpp"
#include "pages/markup.hpp"

namespace {

void ignoreXmlErrors(void*, const char*, ...) {}

// The pages name the XHTML DTD, which is not at hand here: only its two
// entities that the pages use are declared in its place.
void requireWellFormed(const std::string& page) {
    const std::size_t doctypeEnd = page.find("xhtml1-strict.dtd\">\n");
    if (doctypeEnd == std::string::npos) std::abort();
    const std::string standalone =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE html [<!ENTITY oacute \"&#243;\"><!ENTITY aacute \"&#225;\">]>\n" +
        page.substr(doctypeEnd + 20);
    xmlDocPtr document = xmlReadMemory(standalone.data(), static_cast<int>(standalone.size()), "page.html",
                                       "UTF-8", XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (document == nullptr) {
        std::fprintf(stderr, "not well-formed:\n%s\n", page.c_str());
        std::abort();
    }
    xmlFreeDoc(document);
}

std::string asText(std::string_view label) {
    std::ostringstream out;
    cxl::writeText(out, label);
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    xmlSetGenericErrorFunc(nullptr, ignoreXmlErrors);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The unit name comes from the input too: its first line, when short.
    std::string unitName = "SIGXX";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (const std::size_t end = bytes.find('\n'); end != std::string::npos && end < 64) {
        unitName = bytes.substr(0, end);
        unitName.resize(std::min(unitName.size(), unitName.find('\0')));  // as the console reads it
    }
    auto converted = cxl::convertDocument(bytes, "mc.cxl", unitName, "/");
    if (converted.failed()) return 0;
    requireWellFormed(converted.value().graphicPage);
    const std::string& page = converted.value().descriptionPage;
    requireWellFormed(page);
    // The map again, to know what the page must name.
    cxl::DocumentDecoder decoder;
    if (!decoder.feed(bytes) || !decoder.finish()) std::abort();
    cxl::ConceptMap map;
    if (cxl::loadDecoded(decoder, map).status != cxl::LoadStatus::Loaded) std::abort();
    for (const cxl::NodeList* nodes : {&map.conceptList, &map.phraseList}) {
        for (const cxl::MapNode& node : *nodes) {
            if (page.find(asText(node.label)) == std::string::npos) std::abort();
        }
    }
    return 0;
}
