// What differs by host: the system calls behind the console, the CXL file,
// interruptions and files, and nothing that knows of pages or of this
// run's files. Everything here is decided for the host it is built for; the
// layers below the driver get host rules as plain values, and the rest of
// the driver (page_drafts, run_files, output_files) builds on these calls.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <string_view>

namespace cxl::host {

// Characters that separate folders in a path.
extern const std::string_view kFolderSeparators;

// Whether text ends its lines with a carriage return and a line feed: then
// the pages and the console are written so, and each such pair read (from
// the CXL file, in an answer) is a line feed.
extern const bool kCrLfLineEnds;

// Whether an answer in double quotes stands for the name inside them, as
// Windows' "Copy as path" and a file dropped on the console write a name.
extern const bool kQuotedAnswers;

// Standard input as UTF-8 text; on a console, what the user types.
std::istream& consoleInput();
// Standard output and error; on a console, text it shows as written.
std::ostream& consoleOutput();
std::ostream& consoleErrors();
// Whether standard input is a terminal (a console on Windows): then a pause
// ends at any key.
bool inputIsKeyboard();
// Waits for the first key that types something (a letter, Space, Enter,
// Esc, or one typed ahead), without Enter and without echoing it; the
// terminal is as it was afterwards, and also when a signal ends the wait.
void waitForKey();

// Ignores a closed standard output and the file-size signal (a failed write
// then says so); makes each interruption (Ctrl+C, a closed terminal,
// SIGTERM, SIGQUIT) call `cleanUp` and end the process as that signal ends
// it. `cleanUp` must be safe where a signal is handled.
void prepareProcess(void (*cleanUp)());

// The permissions that new files lose, as the process found them.
unsigned creationMask();

// A file opened for reading, as bytes; -1 when it does not open.
int openForReading(const std::string& path);
// Up to `size` bytes: how many were read, 0 at the end, -1 when the read failed.
long readSome(int fd, char* into, std::size_t size);
void closeFile(int fd);
// A pipe, its reading end first, as bytes; false when none can be made.
bool makePipe(int ends[2]);
// Writes bytes as they are; false when the write failed.
bool writeBytes(int fd, const char* data, std::size_t size);
// A file counts as existing when it opens for reading.
bool existsForReading(const std::string& path);

// Interruptions wait while blocked (run_files.hpp counts the holds).
void blockInterruptions();
void unblockInterruptions();

// Writes bytes of a page, each line feed as the host ends lines; false when
// the write failed.
bool writeAll(int fd, const char* data, std::size_t size);

// Safe where an interruption is handled: no allocation, no lock.
void removeFileNow(const char* path);
void closeNow(int fd);

#ifdef _WIN32
// A UTF-8 name as the system's UTF-16.
std::wstring wide(const std::string& text);
#endif

}  // namespace cxl::host
