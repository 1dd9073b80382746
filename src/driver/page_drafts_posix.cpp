// Drafts on POSIX hosts: unnamed files (O_TMPFILE) named by linking them;
// else a hidden name, renamed without replacing.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

#include "driver/page_drafts.hpp"
#include "driver/platform.hpp"
#include "driver/run_files.hpp"
#include "pages/page_names.hpp"

namespace cxl::host {

namespace {

std::string folderOf(const std::string& path) {
    const std::string_view folder = splitPath(path, kFolderSeparators).folder;
    return folder.empty() ? "." : std::string(folder);
}

std::string procPath(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool closeChecked(int& fd) {
    const int closing = fd;
    fd = -1;
    return ::close(closing) == 0;
}

// Whether the file system can name the draft without replacing a file, by
// renaming it so or by linking it; tried on a new hidden name, which the
// draft then has, and its entry among this run's files with it.
bool canNameWithoutReplacing(PageDraft& draft) {
    for (char first = 'a'; first <= 'z'; ++first) {
        std::string probe = draft.tempPath;
        probe[probe.size() - kHiddenNameRandom] = first;
        if (probe == draft.tempPath) continue;
        const HeldSignals held;
        bool moved = ::renameat2(AT_FDCWD, draft.tempPath.c_str(), AT_FDCWD, probe.c_str(), RENAME_NOREPLACE) == 0;
        if (!moved && errno != EEXIST && ::link(draft.tempPath.c_str(), probe.c_str()) == 0) {
            moved = ::unlink(draft.tempPath.c_str()) == 0;
            if (!moved) {
                ::unlink(probe.c_str());
                return false;
            }
        }
        if (moved) {
            renameRunFile(draft.tempPath, probe);
            draft.tempPath = probe;
            return true;
        }
        if (errno != EEXIST) return false;  // else that name is taken: another
    }
    return false;
}

// The page itself, made in place with exclusive creation; the entry of its
// discarded draft names it once it exists.
PageResult createInPlace(const std::string& pagePath, const std::string& discarded, PageDraft& draft) {
    const HeldSignals held;
    draft.fd = ::open(pagePath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (draft.fd < 0) return errno == EEXIST ? PageResult::Exists : PageResult::CannotCreate;
    renameRunFile(discarded, pagePath);
    draft.inPlace = true;
    return PageResult::Done;
}

}  // namespace

PageResult createDraft(const std::string& pagePath, PageDraft& draft, bool unnamed) {
    if (pagePath.size() >= PATH_MAX) return PageResult::CannotCreate;  // no page could be named so
    const std::string folder = folderOf(pagePath);
    const std::string_view name = splitPath(pagePath, kFolderSeparators).name;
    errno = 0;
    const long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax < 0 && errno != 0) return PageResult::CannotCreate;  // no such folder
    if (nameMax >= 0 && name.size() > static_cast<std::size_t>(nameMax)) return PageResult::CannotCreate;
    // An unnamed file disappears with the process, whatever ends it. It is
    // named later through /proc, so that is needed too.
    if (unnamed && ::access("/proc/self/fd", X_OK) == 0) {
        draft.fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (draft.fd >= 0) return PageResult::Done;
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) return PageResult::CannotCreate;
    }
    std::string pattern(splitPath(pagePath, kFolderSeparators).folder);
    pattern += hiddenDraftStem(name);
    pattern.append(kHiddenNameRandom, 'X');
    {
        const HeldSignals held;
        draft.fd = ::mkostemp(pattern.data(), O_CLOEXEC);
        if (draft.fd < 0) return PageResult::CannotCreate;
        draft.tempPath = pattern;
        if (!addRunFile(draft.tempPath)) {
            discardDraft(draft);
            return PageResult::CannotCreate;
        }
    }
    if (!canNameWithoutReplacing(draft)) {
        const std::string discarded = draft.tempPath;
        discardDraft(draft);
        return createInPlace(pagePath, discarded, draft);
    }
    ::fchmod(draft.fd, 0666 & ~static_cast<mode_t>(creationMask()));
    return PageResult::Done;
}

bool finishDraft(PageDraft& draft) {
    if (::fsync(draft.fd) != 0) return false;
    if (draft.tempPath.empty() && !draft.inPlace) {
        // An unnamed file lives on through a second handle until it is named.
        const int reader = ::open(procPath(draft.fd).c_str(), O_RDONLY | O_CLOEXEC);
        if (reader < 0) return false;
        const bool closed = closeChecked(draft.fd);
        draft.fd = reader;
        return closed;
    }
    return closeChecked(draft.fd);
}

PageResult publishDraft(PageDraft& draft, const std::string& pagePath) {
    if (draft.inPlace) return PageResult::Done;  // named from the start
    if (draft.tempPath.empty()) {
        if (::linkat(AT_FDCWD, procPath(draft.fd).c_str(), AT_FDCWD, pagePath.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            if (!addRunFile(pagePath)) {
                ::unlink(pagePath.c_str());
                return PageResult::CannotCreate;
            }
            ::close(draft.fd);
            draft.fd = -1;
            return PageResult::Done;
        }
        return errno == EEXIST ? PageResult::Exists : PageResult::CannotCreate;
    }
    // A rename gives the page its name and takes the hidden one away at once,
    // so that even SIGKILL cannot leave both; a link and an unlink where the
    // file system cannot rename so.
    if (::renameat2(AT_FDCWD, draft.tempPath.c_str(), AT_FDCWD, pagePath.c_str(), RENAME_NOREPLACE) == 0 ||
        (errno != EEXIST && ::link(draft.tempPath.c_str(), pagePath.c_str()) == 0)) {
        renameRunFile(draft.tempPath, pagePath);
        ::unlink(draft.tempPath.c_str());
        return PageResult::Done;
    }
    return errno == EEXIST ? PageResult::Exists : PageResult::CannotCreate;
}

void syncFolderOf(const std::string& path) {
    const int folder = ::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) return;
    ::fsync(folder);
    ::close(folder);
}

void discardDraft(PageDraft& draft) {
    if (draft.fd >= 0) ::close(draft.fd);
    draft.fd = -1;
    if (!draft.tempPath.empty()) ::unlink(draft.tempPath.c_str());
    draft.tempPath.clear();
}

}  // namespace cxl::host
