#include "driver/run_files.hpp"

#include <array>
#include <csignal>
#include <cstring>

#include "driver/platform.hpp"

namespace cxl {

namespace {

// The ledger of this run's files. A handler sees only what is prepared in
// advance: paths as C strings that never move, and how many of them count;
// so it is process-wide, as an interruption belongs to the process (so are
// the platform's record of the process at its start and the terminal's
// settings during a pause). A run names at most four files: each page under
// a hidden name (or none), then under its own; a draft that moves to
// another hidden name keeps its entry, and a page made in place takes the
// entry its discarded draft had.
constexpr std::size_t kMaxRunFiles = 4;
constexpr std::size_t kMaxPath = 4096;
std::array<std::array<char, kMaxPath>, kMaxRunFiles> runFilePaths{};
std::array<int, kMaxRunFiles> runFileDescriptors{};
volatile std::sig_atomic_t runFileCount = 0;
int holdDepth = 0;

std::size_t count() { return static_cast<std::size_t>(runFileCount); }

}  // namespace

bool addRunFile(const std::string& path, int fd) {
    const HeldSignals held;
    if (count() >= kMaxRunFiles || path.size() >= kMaxPath) return false;
    std::memcpy(runFilePaths[count()].data(), path.c_str(), path.size() + 1);
    runFileDescriptors[count()] = fd;
    runFileCount = runFileCount + 1;
    return true;
}

void renameRunFile(const std::string& from, const std::string& to) {
    const HeldSignals held;
    for (std::size_t i = 0; i < count(); ++i) {
        if (from == runFilePaths[i].data() && to.size() < kMaxPath) {
            std::memcpy(runFilePaths[i].data(), to.c_str(), to.size() + 1);
        }
    }
}

void forgetRunFileDescriptor(int fd) {
    const HeldSignals held;
    for (std::size_t i = 0; i < count(); ++i) {
        if (runFileDescriptors[i] == fd) runFileDescriptors[i] = -1;
    }
}

void removeRunFiles() {
    const HeldSignals held;
    for (std::size_t i = 0; i < count(); ++i) {
        if (runFileDescriptors[i] >= 0) host::closeNow(runFileDescriptors[i]);
        runFileDescriptors[i] = -1;
    }
    removeRunFilesOnInterruption();
    runFileCount = 0;
}

void removeRunFilesOnInterruption() {
    for (std::size_t i = 0; i < count(); ++i) host::removeFileNow(runFilePaths[i].data());
}

void keepRunFiles() { runFileCount = 0; }

void holdSignals() {
    if (holdDepth++ == 0) host::blockInterruptions();
}

void releaseSignals() {
    if (holdDepth > 0 && --holdDepth == 0) host::unblockInterruptions();
}

std::string hiddenDraftStem(std::string_view pageName) {
    const std::size_t kept = pageName.size() > kHiddenNameShortening ? pageName.size() - kHiddenNameShortening : 0;
    std::string stem = ".";
    stem.append(pageName.substr(0, kept));
    return stem;
}

}  // namespace cxl
