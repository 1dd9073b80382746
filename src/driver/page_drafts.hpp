// A page's draft on each host: written aside in the folder where it will be
// named, then named without ever replacing a file. Each name a draft takes
// is one of this run's files (run_files) before it can exist.
#pragma once

#include <string>

namespace cxl::host {

// A page written aside in the folder where it will be named: unnamed where
// the file system allows, else under a hidden name no longer than the
// page's. Where the file system can neither link a file nor rename it
// without replacing (FAT, some network shares), the page itself, made in
// place with exclusive creation.
struct PageDraft {
    int fd = -1;
    std::string tempPath;  // empty while unnamed, and in place
    bool inPlace = false;
};

enum class PageResult { Done, Exists, CannotCreate };

// CannotCreate when no file of that name can be made there (no such folder,
// a name too long, no rights); Exists when a page made in place finds its
// name taken. `unnamed` false asks for the hidden name, as on a file system
// without unnamed files.
PageResult createDraft(const std::string& pagePath, PageDraft& draft, bool unnamed = true);

// Flushes the draft to the disk and closes its writing handle.
bool finishDraft(PageDraft& draft);

// Gives the finished draft its page name, never replacing a file; a named
// page becomes a file of this run. Call it with interruptions held.
PageResult publishDraft(PageDraft& draft, const std::string& pagePath);

// Flushes the folder that holds `path`, so that its new names survive.
void syncFolderOf(const std::string& path);

// Removes a draft that will not be named.
void discardDraft(PageDraft& draft);

}  // namespace cxl::host
