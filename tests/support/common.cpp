#include "support/common.hpp"

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"
#include "pages/outline.hpp"

namespace cxltest {

TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = fs::temp_directory_path() / ("cxl2xhtml-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no temporary folder");
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

fs::path sourceDir() { return CXL2XHTML_SOURCE_DIR; }

std::optional<fs::path> corpusDir() {
    const fs::path corpus = sourceDir().parent_path() / "shared" / "corpus";
    if (fs::is_directory(corpus)) return corpus;
    return std::nullopt;
}

bool inCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

std::string withUtf16Mark(const std::u16string& text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

cxl::MapNode& addConcept(cxl::ConceptMap& map, const std::string& id, const std::string& label, int x,
                      int y, int width) {
    return cxl::appendNode(map, cxl::NodeKind::Concept, id, label, x, y, width);
}

cxl::MapNode& addPhrase(cxl::ConceptMap& map, const std::string& id, const std::string& label, int x,
                     int y, int width) {
    return cxl::appendNode(map, cxl::NodeKind::LinkingPhrase, id, label, x, y, width);
}

void link(cxl::ConceptMap& map, const std::string& from, const std::string& to) {
    cxl::MapNode* source = cxl::findNode(map, from);
    cxl::MapNode* target = cxl::findNode(map, to);
    if (source == nullptr || target == nullptr) throw std::runtime_error("no node " + from + "/" + to);
    cxl::addLink(*source, *target);
}


void buildSharedBelowTwoRoots(cxl::ConceptMap& map) {
    addConcept(map, "late", "Late", 500);
    addConcept(map, "early", "Early", 100);
    addConcept(map, "shared", "Shared");
    addPhrase(map, "p", "sees", 0);
    addPhrase(map, "q", "sees", 0);
    addPhrase(map, "s", "is", 0);
    addConcept(map, "leaf", "Leaf");
    link(map, "late", "p");
    link(map, "p", "shared");
    link(map, "early", "q");
    link(map, "q", "shared");
    link(map, "shared", "s");
    link(map, "s", "leaf");
    buildRootList(map);
}

std::string outlineOf(const cxl::ConceptMap& map, bool* italicsUsed) {
    std::ostringstream out;
    const cxl::OutlineResult result = cxl::writeOutline(out, map);
    if (italicsUsed != nullptr) *italicsUsed = result.italicsUsed;
    return out.str();
}

std::string descriptionOf(const cxl::ConceptMap& map, const std::string& unitName) {
    std::ostringstream out;
    cxl::writeDescriptionPage(out, cxl::unitNameFor(unitName, "/"), map);
    return out.str();
}

std::string graphicOf(const std::string& unitName) {
    std::ostringstream out;
    cxl::writeGraphicPage(out, cxl::unitNameFor(unitName, "/"));
    return out.str();
}

}  // namespace cxltest
