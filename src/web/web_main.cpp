// The browser edition's side of the WebAssembly: the page's worker hands over
// the chosen file's bytes, its name and the typed unit name, and reads back
// either both pages or the message a person sees. Every rule of conversion
// and every message text is the core's; only what a zip unpacked on Windows
// needs is decided here.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <new>
#include <sstream>
#include <string>
#include <string_view>

#include "pages/conversion.hpp"
#include "pages/messages.hpp"
#include "pages/page_names.hpp"

namespace {

// What the last conversion gave, read by the worker through the functions
// below; a worker converts one map at a time.
enum Part { ZipName, GraphicPath, DescriptionPath, PicturePath, GraphicPage, DescriptionPage, Message, kParts };
struct Result {
    std::string parts[kParts];  // the message is the failure as the console writes it; empty on success
};
Result result;

// Authors on Windows type either separator; the zip and the links use "/".
std::string slashesOnly(std::string_view typed) {
    std::string unit(typed.empty() ? cxl::kDefaultUnitName : typed);
    for (char& c : unit) {
        if (c == '\\') c = '/';
    }
    return unit;
}

// A path that unpacks as the file it names on any computer: relative, each
// part a name (none empty, none ".."), and one that Windows can hold.
bool unpacksEverywhere(std::string_view path) {
    if (path.empty() || path.front() == '/') return false;
    if (path.size() >= 2 && path[1] == ':') return false;  // a drive
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part == "..") return false;
        start = end + 1;
    }
    return cxl::windowsHoldsPath(path);
}

void fail(const cxl::Failure& failure, std::ostringstream& messages) {
    cxl::writeMessage(messages, failure);
    result.parts[Message] = messages.str();
}

void convert(std::string_view bytes, const std::string& fileName, std::string_view typedUnit) {
    const std::string unit = slashesOnly(typedUnit);
    std::string* parts = result.parts;
    parts[ZipName] = std::string(cxl::unitNameFor(unit, "/").linkName) + ".zip";
    parts[GraphicPath] = cxl::unitFileName(unit, cxl::UnitFile::GraphicPage);
    parts[DescriptionPath] = cxl::unitFileName(unit, cxl::UnitFile::DescriptionPage);
    parts[PicturePath] = cxl::unitFileName(unit, cxl::UnitFile::Picture);
    std::ostringstream messages;
    if (!unpacksEverywhere(parts[GraphicPath])) return fail({cxl::Problem::PageNotCreated, parts[GraphicPath]}, messages);
    auto converted = cxl::convertDocument(bytes, fileName, unit, "/");
    if (converted.failed()) return fail(converted.failure(), messages);
    parts[GraphicPage] = std::move(converted.value().graphicPage);
    parts[DescriptionPage] = std::move(converted.value().descriptionPage);
}

const std::string& part(int which) { return result.parts[which >= 0 && which < kParts ? which : Message]; }

}  // namespace

extern "C" {

// Converts; then part 6 is empty on success, else the message.
EMSCRIPTEN_KEEPALIVE void cxl_convert(const char* bytes, std::size_t size, const char* fileName,
                                      std::size_t fileNameSize, const char* unitName, std::size_t unitNameSize) {
    result = {};
    try {
        convert({bytes, size}, std::string(fileName, fileNameSize), {unitName, unitNameSize});
    } catch (const std::bad_alloc&) {
        result = {};
        result.parts[Message] = cxl::messageOf(cxl::Problem::OutOfMemory);
    }
}

// The message of a file the browser could not read.
EMSCRIPTEN_KEEPALIVE void cxl_unreadable(const char* fileName, std::size_t fileNameSize) {
    result = {};
    std::ostringstream messages;
    fail({cxl::Problem::CxlUnreadable, std::string(fileName, fileNameSize)}, messages);
}

// The message of a conversion that ran out of memory in an instance that then stopped.
EMSCRIPTEN_KEEPALIVE void cxl_out_of_memory() {
    result = {};
    result.parts[Message] = cxl::messageOf(cxl::Problem::OutOfMemory);
}

// 0 the zip's name, 1-3 the paths of the pages and the picture, 4 and 5 the
// pages, 6 the message.
EMSCRIPTEN_KEEPALIVE const char* cxl_part(int which) { return part(which).data(); }
EMSCRIPTEN_KEEPALIVE std::size_t cxl_part_size(int which) { return part(which).size(); }

}
