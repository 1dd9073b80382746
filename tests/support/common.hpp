// Helpers for every host the tests run on: temporary folders and files,
// the source tree, and cases kept as data.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "map/loader.hpp"

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
// Every entry below `dir`, sorted, folders with a final "/".
std::vector<std::string> listing(const fs::path& dir);
void writeFile(const fs::path& path, const std::string& bytes);


// Source tree and the shared corpus beside the repository.
fs::path sourceDir();
std::optional<fs::path> corpusDir();
// In CI a missing corpus or tool is a failure, elsewhere a skip.
bool inCi();

// A CXL file's bytes into `map`, as a run reads them: checked and decoded,
// each CR LF joined when `crLf`, then loaded. Bytes that are not XML text
// give NotXml.
cxl::LoadStatus loadBytes(std::string_view bytes, cxl::ConceptMap& map, bool crLf = false);

// UTF-8 text as UTF-16 with its byte-order mark, in either byte order.
std::string utf16WithMark(const std::string& utf8, bool bigEndian);

// Cases kept as data (tests/data/README.md): every case of the .txt files
// of a folder, with the texts of its file "texts" and of its own file.
using Texts = std::map<std::string, std::string>;
using Line = std::pair<std::string, std::string>;
struct Case {
    std::string name;  // the file's and the title's words, as a test name
    Texts texts;
    std::vector<Line> lines;
};
inline void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }
std::vector<Case> readCases(const fs::path& folder, Texts shared = {});
Line splitLine(const std::string& line);

// The bytes a value stands for, its escapes and texts replaced.
std::string decode(std::string_view raw, const Texts& texts = {});

}  // namespace cxltest
