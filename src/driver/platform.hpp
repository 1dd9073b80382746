// What differs by host: signals, the files of this run that a stop or an
// interruption removes, and writing a page aside and naming it.
// Everything here is decided for the host it is built for; the layers below
// the driver get host rules as plain values.
#pragma once

#include <cstddef>
#include <cstdio>
#include <istream>
#include <string>
#include <string_view>

namespace cxl::host {

// Characters that separate folders in a unit name.
extern const std::string_view kFolderSeparators;

// Whether text ends its lines with a carriage return and a line feed: then
// the pages are written so, the CXL file's pairs reach the parser as line
// feeds, and an answer's carriage return is dropped.
extern const bool kCrLfLineEnds;

// Standard input as UTF-8 text; on a console, what the user types.
std::istream& consoleInput();

// Opens the CXL file for reading, as bytes; none when it does not open.
std::FILE* openCxlFile(const std::string& path);

// A file counts as existing when it opens for reading.
bool existsForReading(const std::string& path);

// Ignores a closed standard output and the file-size signal (a failed write
// then says so); makes each interruption (Ctrl+C, a closed terminal,
// SIGTERM, SIGQUIT) remove this run's files and end the process as that
// signal ends it.
void prepareProcess();

// The files of this run, removed by a stop and by an interruption. A path is
// added before its file can exist, so that nothing is ever left behind.
void addRunFile(const std::string& path);
// Removes every file of this run and forgets them.
void removeRunFiles();
// The run is complete: its files stay, whatever comes.
void keepRunFiles();

// Holds interruptions, so that a step is never cut in half; released as
// often as held, they take effect. A stop releases every hold before its
// pause.
void holdSignals();
void releaseSignals();
void releaseAllSignals();

class HeldSignals {
public:
    HeldSignals() { holdSignals(); }
    ~HeldSignals() { releaseSignals(); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;
};

// A page written aside in the folder where it will be named: unnamed where
// the file system allows, else under a hidden name no longer than the page's.
struct PageDraft {
    int fd = -1;
    std::string tempPath;  // empty while unnamed
};

// False when no file of that name can be made there (no such folder, a name
// too long, no rights). `unnamed` false asks for the hidden name, as on a
// file system without unnamed files.
bool createDraft(const std::string& pagePath, PageDraft& draft, bool unnamed = true);

// Writes bytes of a page, each line feed as the host ends lines; false when
// the write failed.
bool writeAll(int fd, const char* data, std::size_t size);

// Flushes the draft to the disk and closes its writing handle.
bool finishDraft(PageDraft& draft);

enum class Publication { Named, Exists, CannotCreate };
// Gives the finished draft its page name, never replacing a file; a named
// page becomes a file of this run. Call it with interruptions held.
Publication publishDraft(PageDraft& draft, const std::string& pagePath);

// Flushes the folder that holds `path`, so that its new names survive.
void syncFolderOf(const std::string& path);

// Removes a draft that will not be named.
void discardDraft(PageDraft& draft);

}  // namespace cxl::host
