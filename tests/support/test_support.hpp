// Running the program as a process with scripted standard input, and
// reading what it wrote; POSIX hosts only.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "support/common.hpp"

namespace cxltest {

namespace fs = std::filesystem;

struct RunResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

struct RunOptions {
    std::vector<std::string> args;            // after argument 0
    std::optional<std::string> input;         // standard input, then its end
    std::optional<long> fileSizeLimit;        // bytes; the size signal is ignored
    std::optional<long> addressSpaceLimit;    // bytes of virtual memory
    std::optional<unsigned> umask;            // the creation mask
    std::optional<std::size_t> outputLimit;   // standard output closed after this many bytes
    bool asNobody = false;                    // as root: run as the unprivileged user nobody
    std::string faults;                       // CXL2XHTML_FAULTS for the preloaded shim (support/faults.cpp)
    bool terminal = false;                    // on a pseudo-terminal: standard input, output and error
};

// Whether the program under test writes its text with CR LF line ends (the
// Windows one, run through Wine).
bool programEndsLinesWithCrLf();

// Argument 0 as the program sees it: under Wine, the Windows name of the
// executable on the drive that holds the root folder.
std::string programName();

// Text as the program wrote it, back with the line feeds alone that the
// tests expect: where the program ends lines with CR LF, every line feed
// must follow a carriage return (a failure otherwise), which is dropped.
std::string asWritten(std::string text);

// A page the program wrote, read through asWritten.
std::string readPage(const fs::path& path);

// Every folder from the root to `path` lets others through.
bool othersReach(const fs::path& path);

// Options with only standard input set.
RunOptions withInput(std::string input);

// Runs the program in `dir`, waits for it and collects both output streams.
RunResult runProgram(const fs::path& dir, const RunOptions& options);

// The program running in `dir`, for tests that act while it runs: its
// standard input receives options.input and is closed after it unless kept
// open.
class Child {
public:
    Child(const fs::path& dir, const RunOptions& options, bool keepInputOpen = false);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    [[nodiscard]] int pid() const { return pid_; }
    // Waits until standard output holds `text`; false when it ended first.
    bool waitForOutput(const std::string& text);
    // Types `keys`, as on a keyboard when on a terminal.
    void type(const std::string& keys);
    // The terminal's settings now, and as they were when the program
    // started, as bytes; empty when not on one.
    [[nodiscard]] std::string terminalSettings() const;
    [[nodiscard]] const std::string& startingTerminalSettings() const { return startingSettings_; }
    // Whether the program is still running, after a short wait.
    bool stillRunning();
    // Whether it ends within `seconds`; killed when it does not.
    bool endsWithin(int seconds);
    // Reads both streams to their end (standard output only up to
    // `outputLimit`, then closed) and waits; the status is 128 plus the
    // signal that ended it, if one did.
    RunResult finish(std::optional<std::size_t> outputLimit = std::nullopt);

private:
    int pid_ = -1;
    int terminal_ = -1;
    std::string startingSettings_;
    std::optional<TempDir> copy_;  // the program where nobody can reach it
    int in_ = -1;
    int out_ = -1;
    int err_ = -1;
    std::string outText_;
};

// A FAT file system of `kilobytes` mounted at `folder` (with fusefat) for as
// long as this lives, where a file can be neither linked nor renamed
// without replacing; `reason` says why it could not be mounted.
class FatFolder {
public:
    FatFolder(const fs::path& folder, long kilobytes);
    ~FatFolder();
    FatFolder(const FatFolder&) = delete;
    FatFolder& operator=(const FatFolder&) = delete;
    [[nodiscard]] bool mounted() const { return reason_.empty(); }
    [[nodiscard]] const std::string& reason() const { return reason_; }

private:
    TempDir image_;
    fs::path folder_;
    std::string reason_;
};

// Validates a page against the XHTML 1.0 Strict DTD offline; empty when valid,
// else xmllint's report.
std::string xhtmlErrors(const fs::path& page);

}  // namespace cxltest
