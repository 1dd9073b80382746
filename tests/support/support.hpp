// What the tests share: folders and files, maps loaded as a run loads them,
// the case files of tests/data/cases, and (POSIX) the program run as a
// process.
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
// Every entry below `dir`, sorted, folders with a final "/".
std::vector<std::string> listing(const fs::path& dir);
fs::path sourceDir();
// The shared corpus of real maps beside the repository; in CI its absence
// is a failure, elsewhere a skip.
std::optional<fs::path> corpusDir();
bool inCi();

// A CXL file's bytes into `map` as a run reads them: in pieces, checked and
// decoded, each CR LF joined when `crLf`, then loaded. Bytes that are not
// XML text give NotXml.
cxl::LoadStatus loadBytes(std::string_view bytes, cxl::ConceptMap& map, bool crLf = false);

// Cases kept as data (tests/data/README.md): each `== title` and its lines.
using Texts = std::map<std::string, std::string>;
using Line = std::pair<std::string, std::string>;
struct Case {
    std::string name;  // the file's and the title's words, as a test name
    Texts texts;
    std::vector<Line> lines;
};
inline void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }
std::vector<Case> readCases(const fs::path& folder, const Texts& shared);
// The bytes a value stands for, its escapes and texts replaced.
std::string decode(std::string_view raw, const Texts& texts = {});

#ifndef _WIN32
// The program under test, as a process: the Linux one, or the Windows one
// through Wine, which writes CR LF line ends.
bool programEndsLinesWithCrLf();
std::string programName();  // argument 0 as the program sees it

struct RunOptions {
    std::vector<std::string> args;            // after argument 0
    std::string input;                        // standard input, then its end
    bool inputStaysOpen = false;              // no end to it, as a console's
    std::optional<long> fileSizeLimit;        // bytes
    std::optional<long> addressSpaceLimit;    // bytes of virtual memory
    std::optional<unsigned> umask;
    bool asNobody = false;                    // as root: as the unprivileged user nobody
    bool terminal = false;                    // on a pseudo-terminal, keys typed when asked
    std::string faults;                       // CXL2XHTML_FAULTS for the preloaded support/faults.cpp
};

struct RunResult {
    int exitCode = -1;  // 128 plus the signal that ended it, if one did
    std::string out;    // with the line feeds alone the tests expect
    std::string err;
};

// The program running in `dir`, its standard streams on pipes or on a
// pseudo-terminal. Throws when it cannot start.
class Child {
public:
    Child(const fs::path& dir, const RunOptions& options);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    [[nodiscard]] int pid() const { return pid_; }
    // Waits (a minute at most) until standard output holds `text`.
    bool waitForOutput(const std::string& text);
    void type(const std::string& keys);
    // Whether it ends within `seconds`; killed when it does not.
    bool endsWithin(int seconds);
    // Still waiting, after a short while.
    bool stillRunning();
    // The terminal's settings, as bytes: when the program started, and now.
    [[nodiscard]] const std::string& startingTerminal() const { return startingTerminal_; }
    [[nodiscard]] std::string terminalNow() const;
    // Reads both streams to their end (standard output only up to
    // `outputLimit`, then closed, as `| head -c N`) and waits.
    RunResult finish(std::optional<std::size_t> outputLimit = std::nullopt);

private:
    int pid_ = -1;
    int terminal_ = -1;
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::optional<TempDir> copy_;  // the program where nobody can reach it
    std::string startingTerminal_;
    std::string outText_;
};

RunResult runProgram(const fs::path& dir, const RunOptions& options);

// A page as the tests expect it: the Windows program's CR LF as line feeds.
std::string readPage(const fs::path& page);

// Every folder from the root to `path` lets others through.
bool othersReach(const fs::path& path);

// A FAT file system of `kilobytes` mounted at `folder` with fusefat while
// this lives: a file there can be neither linked nor renamed without
// replacing. `reason()` says why it could not be mounted.
class FatFolder {
public:
    FatFolder(const fs::path& folder, long kilobytes);
    ~FatFolder();
    FatFolder(const FatFolder&) = delete;
    FatFolder& operator=(const FatFolder&) = delete;
    [[nodiscard]] const std::string& reason() const { return reason_; }

private:
    TempDir image_;
    fs::path folder_;
    std::string reason_;
};

// A page checked against the XHTML 1.0 Strict DTD offline: empty when
// valid, else xmllint's report.
std::string xhtmlErrors(const fs::path& page);
#endif

}  // namespace cxltest
