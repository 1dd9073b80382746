// Arbitrary bytes through the loader and both page writers, all in memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <streambuf>
#include <string>

#include "map/loader.hpp"
#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"

namespace {

// Counts what the writers produce and keeps nothing.
class CountingBuffer : public std::streambuf {
public:
    std::size_t count = 0;

protected:
    std::streamsize xsputn(const char*, std::streamsize n) override {
        count += static_cast<std::size_t>(n);
        return n;
    }
    int_type overflow(int_type c) override {
        ++count;
        return traits_type::not_eof(c);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The unit name comes from the input too: its first line, when short.
    std::string unitName = "SIGXX";
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (const std::size_t end = bytes.find('\n'); end != std::string::npos && end < 64) {
        unitName = bytes.substr(0, end);
    }
    std::FILE* file = std::tmpfile();
    if (file == nullptr) return 0;
    if (size > 0 && std::fwrite(data, 1, size, file) != size) {
        std::fclose(file);
        return 0;
    }
    std::rewind(file);
    cxl::ConceptMap map;
    if (cxl::loadMap(file, map) != cxl::LoadStatus::Loaded) return 0;  // the loader closed the file

    CountingBuffer sink;
    std::ostream out(&sink);
    const cxl::UnitName unit = cxl::unitNameFor(unitName, "/");
    cxl::writeGraphicPage(out, unit);
    cxl::writeDescriptionPage(out, unit, map);
    cxl::releaseMap(map);
    return 0;
}
