// Helpers shared by the tests: temporary folders, files, and running the
// program as a process with scripted standard input.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "map/concept_map.hpp"

namespace cxltest {

namespace fs = std::filesystem;

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

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct RunOptions {
    std::vector<std::string> args;            // after argument 0
    std::optional<std::string> input;         // standard input; none: /dev/null
    std::optional<long> fileSizeLimit;        // bytes; the size signal is ignored
    std::optional<long> addressSpaceLimit;    // bytes of virtual memory
    std::optional<unsigned> umask;            // the creation mask
    std::optional<std::size_t> outputLimit;   // standard output closed after this many bytes
};

// Options with only standard input set.
RunOptions withInput(std::string input);

// Runs the program in `dir`, waits for it and collects both output streams.
RunResult runProgram(const fs::path& dir, const RunOptions& options);

// The program running in `dir` with pipes on its standard streams, for tests
// that act while it runs.
class Child {
public:
    Child(const fs::path& dir, const std::string& input, bool closeInput);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    [[nodiscard]] int pid() const { return pid_; }
    // Waits until standard output holds `text`; false when it ended first.
    bool waitForOutput(const std::string& text);
    // Waits until the program holds a file open in `dir` (a page being
    // written); false when it ended first.
    bool waitForOpenFileIn(const fs::path& dir);
    // Reads both streams to their end and waits; the status is 128 plus the
    // signal that ended it, if one did.
    RunResult finish();

private:
    int pid_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string outText_;
};

// Source tree and the shared corpus beside the repository.
fs::path sourceDir();
std::optional<fs::path> corpusDir();
// In CI a missing corpus or tool is a failure, elsewhere a skip.
bool inCi();

// Validates a page against the XHTML 1.0 Strict DTD offline; empty when valid,
// else xmllint's report.
std::string xhtmlErrors(const fs::path& page);

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
