// What the tests share: folders and files, maps loaded as a run loads them,
// and (POSIX) the program run as a process.
#pragma once

#include <filesystem>
#include <optional>
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
std::vector<std::string> listing(const fs::path& dir);  // sorted, folders with a final "/"
fs::path sourceDir();
// The shared corpus of real maps beside the repository; in CI its absence fails.
std::optional<fs::path> corpusDir();

// A CXL file's bytes into `map` as a run reads them: in pieces, checked and
// decoded, each CR LF joined when `crLf`. Bytes that are not XML text: NotXml.
cxl::LoadStatus loadBytes(std::string_view bytes, cxl::ConceptMap& map, bool crLf = false);

#ifndef _WIN32
// The program under test: the Linux one, or the Windows one through Wine,
// which writes CR LF.
bool programEndsLinesWithCrLf();
std::string programName();  // argument 0 as the program sees it

struct RunOptions {
    std::vector<std::string> args;
    std::string input;          // standard input, then its end
    bool inputStaysOpen = false;  // no end to it, as a console's
    bool terminal = false;      // on a pseudo-terminal; `input` typed at the first question
    bool asNobody = false;      // as root: as the user nobody
    std::optional<long> fileSizeLimit, addressSpaceLimit;
    std::optional<unsigned> umask;
    std::string faults;         // CXL2XHTML_FAULTS for the preloaded support/faults.cpp
};

struct RunResult {
    int exitCode = -1;  // 128 plus the signal that ended it, if one did
    std::string out, err;
};

// The program running in `dir`; throws when it cannot start.
class Child {
public:
    Child(const fs::path& dir, const RunOptions& options);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    [[nodiscard]] int pid() const { return pid_; }
    bool waitForOutput(const std::string& text);  // a minute at most
    void type(const std::string& keys);
    bool stillRunning();  // after a short while
    bool endsWithin(int seconds);  // else killed
    [[nodiscard]] std::string terminal() const;  // its settings, as bytes
    [[nodiscard]] const std::string& startingTerminal() const { return startingTerminal_; }
    // Both streams to their end (standard output closed after `outputLimit`
    // bytes, as `| head -c N`), and the exit.
    RunResult finish(std::optional<std::size_t> outputLimit = std::nullopt);

private:
    int pid_ = -1, terminal_ = -1, in_ = -1, out_ = -1, err_ = -1;
    std::optional<TempDir> copy_;  // the program where nobody can reach it
    std::string startingTerminal_, outText_;
};

RunResult runProgram(const fs::path& dir, const RunOptions& options);
std::string readPage(const fs::path& page);  // the Windows program's CR LF as line feeds
bool othersReach(const fs::path& path);      // every folder on the way lets others through
std::string xhtmlErrors(const fs::path& page);  // empty when valid XHTML 1.0 Strict

// A FAT file system mounted at `folder` with fusefat while this lives;
// `reason()` says why it could not be.
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
#endif

}  // namespace cxltest
