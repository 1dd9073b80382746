// Drafts on Windows: a hidden file, deletable while open, moved to the
// page's name, which a move without MOVEFILE_REPLACE_EXISTING never replaces.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>

#include "driver/page_drafts.hpp"
#include "driver/platform.hpp"
#include "driver/run_files.hpp"
#include "pages/page_names.hpp"

namespace cxl::host {

PageResult createDraft(const std::string& pagePath, PageDraft& draft, bool) {
    if (!windowsHoldsPath(pagePath)) return PageResult::CannotCreate;
    const PathParts parts = splitPath(pagePath, kFolderSeparators);
    // Opened so that it can be deleted while open: a stop or Ctrl+C removes
    // it at once.
    const std::string stem = std::string(parts.folder) + hiddenDraftStem(parts.name);
    static_assert(kHiddenNameRandom == 6);
    for (unsigned attempt = 0; attempt < 100; ++attempt) {
        char random[kHiddenNameRandom + 1];
        std::snprintf(random, sizeof random, "%06lx", (GetTickCount() + GetCurrentProcessId() * 7919UL + attempt) & 0xFFFFFFUL);
        const std::string temp = stem + random;
        const HeldSignals holding;
        HANDLE file = CreateFileW(wide(temp).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            if (GetLastError() == ERROR_FILE_EXISTS) continue;
            return PageResult::CannotCreate;
        }
        draft.fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_WRONLY | _O_BINARY);
        if (draft.fd < 0) {
            CloseHandle(file);
            DeleteFileW(wide(temp).c_str());
            return PageResult::CannotCreate;
        }
        draft.tempPath = temp;
        if (!addRunFile(temp, draft.fd)) {
            discardDraft(draft);
            return PageResult::CannotCreate;
        }
        return PageResult::Done;
    }
    return PageResult::CannotCreate;
}

bool finishDraft(PageDraft& draft) {
    const bool flushed = _commit(draft.fd) == 0;
    forgetRunFileDescriptor(draft.fd);
    const bool closed = _close(draft.fd) == 0;
    draft.fd = -1;
    return flushed && closed;
}

PageResult publishDraft(PageDraft& draft, const std::string& pagePath) {
    // Without MOVEFILE_REPLACE_EXISTING a move never replaces a file.
    if (MoveFileExW(wide(draft.tempPath).c_str(), wide(pagePath).c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
        renameRunFile(draft.tempPath, pagePath);
        draft.tempPath.clear();
        return PageResult::Done;
    }
    const DWORD error = GetLastError();
    return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? PageResult::Exists : PageResult::CannotCreate;
}

void syncFolderOf(const std::string&) {
    // The move was written through; Windows has no flush of a folder.
}

void discardDraft(PageDraft& draft) {
    forgetRunFileDescriptor(draft.fd);
    if (draft.fd >= 0) _close(draft.fd);
    draft.fd = -1;
    if (!draft.tempPath.empty()) DeleteFileW(wide(draft.tempPath).c_str());
    draft.tempPath.clear();
}

}  // namespace cxl::host
