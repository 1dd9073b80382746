#include "driver/run_files.hpp"

#include <array>
#include <csignal>
#include <cstring>

#include "driver/platform.hpp"

namespace cxl {

namespace {

// A handler sees only what is prepared in advance: paths as C strings that
// never move, and how many of them count. The one piece of process-wide
// state, since an interruption belongs to the process. A run makes at most
// four files (two drafts, two pages); a path longer than a slot cannot name
// a file anyway.
constexpr std::size_t kMaxRunFiles = 8;
constexpr std::size_t kMaxPath = 4096;
std::array<std::array<char, kMaxPath>, kMaxRunFiles> runFilePaths{};
std::array<int, kMaxRunFiles> runFileDescriptors{};
volatile std::sig_atomic_t runFileCount = 0;
int holdDepth = 0;

std::size_t count() { return static_cast<std::size_t>(runFileCount); }

}  // namespace

void addRunFile(const std::string& path, int fd) {
    const HeldSignals held;
    if (count() >= kMaxRunFiles || path.size() >= kMaxPath) return;
    std::memcpy(runFilePaths[count()].data(), path.c_str(), path.size() + 1);
    runFileDescriptors[count()] = fd;
    runFileCount = runFileCount + 1;
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
