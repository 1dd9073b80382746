// Helpers for every host the tests run on: temporary folders and files,
// maps built by hand, pages written to strings.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "map/concept_map.hpp"

namespace cxltest {

namespace fs = std::filesystem;

// The stop routine's and the final pause's text.
inline const std::string kPause = "Presiona cualquier tecla para salir del programa...\n";

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const fs::path& path() const { return path_; }
    [[nodiscard]] fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

std::string readFile(const fs::path& path);
void writeFile(const fs::path& path, const std::string& bytes);


// Source tree and the shared corpus beside the repository.
fs::path sourceDir();
std::optional<fs::path> corpusDir();
// In CI a missing corpus or tool is a failure, elsewhere a skip.
bool inCi();

// UTF-16 with its byte-order mark, in either byte order.
std::string withUtf16Mark(const std::u16string& text, bool bigEndian);

// Builds a map by hand, as the loader would.
cxl::MapNode& addConcept(cxl::ConceptMap& map, const std::string& id, const std::string& label,
                      int x = 0, int y = 0, int width = 0);
cxl::MapNode& addPhrase(cxl::ConceptMap& map, const std::string& id, const std::string& label,
                     int x = 0, int y = 0, int width = 0);
void link(cxl::ConceptMap& map, const std::string& from, const std::string& to);

// Two roots, "Late" (x 500, first in the document) and "Early" (x 100), both
// leading to "Shared", which has a link of its own: Shared is told in full
// under Early and in italics under Late.
void buildSharedBelowTwoRoots(cxl::ConceptMap& map);

// The outline, description or graphic page of a map, as a string.
std::string outlineOf(const cxl::ConceptMap& map, bool* italicsUsed = nullptr);
std::string descriptionOf(const cxl::ConceptMap& map, const std::string& unitName);
std::string graphicOf(const std::string& unitName);

}  // namespace cxltest
