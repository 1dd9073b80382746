// The files this run has made, which a stop or an interruption removes, and
// the holds that keep an interruption from cutting a step in half. The same
// on every host; the system calls are the platform's.
#pragma once

#include <string>
#include <string_view>

namespace cxl {

// A path is added before its file can exist (or with interruptions held
// while it comes to exist), so that nothing is ever left behind; `fd`, when
// given, is closed before the file is removed (Windows cannot remove a file
// that is open without sharing). False, and nothing added, when the ledger
// is full or the path longer than any file's: then the file must not be made.
[[nodiscard]] bool addRunFile(const std::string& path, int fd = -1);
// The file at `from` now goes by `to` (a draft renamed to another hidden
// name): its entry says so.
void renameRunFile(const std::string& from, const std::string& to);
// The file's descriptor was closed by its owner: no longer the stop's to close.
void forgetRunFileDescriptor(int fd);
// Closes and removes every file of this run and forgets them.
void removeRunFiles();
// What an interruption's handler does: removes them, no more.
void removeRunFilesOnInterruption();
// The run is complete: its files stay, whatever comes.
void keepRunFiles();

// Holds interruptions; released as often as held, they take effect.
void holdSignals();
void releaseSignals();

class HeldSignals {
public:
    HeldSignals() { holdSignals(); }
    ~HeldSignals() { releaseSignals(); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;
};

// The hidden name of a draft, where a file system cannot make unnamed
// files: a dot, the page's name less its last `kHiddenNameShortening` bytes,
// then `kHiddenNameRandom` random characters (added by the host); one byte
// shorter than the page's name, so that it fits wherever the page's fits.
inline constexpr std::size_t kHiddenNameRandom = 6;
inline constexpr std::size_t kHiddenNameShortening = 1 + kHiddenNameRandom + 1;  // the dot, the random part, one byte
std::string hiddenDraftStem(std::string_view pageName);

}  // namespace cxl
