// Windows hosts: names are UTF-8 inside the program and wide at the system;
// console control events stand for signals; a page is written under a
// hidden name and moved to its own, which never replaces a file.
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <array>
#include <cstdio>
#include <iostream>
#include <streambuf>
#include <string>
#include <vector>

#include "driver/platform.hpp"
#include "map/text.hpp"

namespace cxl::host {

const std::string_view kFolderSeparators = "/\\";
const bool kCrLfLineEnds = true;
const bool kQuotedAnswers = true;

std::wstring wide(const std::string& text) {
    if (text.empty()) return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

namespace {


// A console control event is handled on a thread of its own, which waits
// while the main thread holds interruptions off.
CRITICAL_SECTION held;
void (*cleanUpOnInterruption)() = nullptr;
UINT startInputCodePage = 0;
UINT startOutputCodePage = 0;

BOOL WINAPI onControlEvent(DWORD) {
    EnterCriticalSection(&held);
    if (cleanUpOnInterruption != nullptr) cleanUpOnInterruption();
    // The default handler then ends the process as Ctrl+C ends it.
    return FALSE;
}

void restoreCodePages() {
    if (startInputCodePage != 0) SetConsoleCP(startInputCodePage);
    if (startOutputCodePage != 0) SetConsoleOutputCP(startOutputCodePage);
}

// A console delivers typed accents in its own code page to byte reads; read
// as UTF-16 and turned into UTF-8, they are what was typed. A line that
// begins with Ctrl+Z is the end of input, as on a text stream.
class ConsoleInputBuffer : public std::streambuf {
public:
    explicit ConsoleInputBuffer(HANDLE console) : console_(console) {}

protected:
    int_type underflow() override {
        if (ended_) return traits_type::eof();
        wchar_t typed[1024];
        DWORD count = 0;
        if (ReadConsoleW(console_, typed, 1024, &count, nullptr) == 0 || count == 0 || typed[0] == L'\x1A') {
            ended_ = true;
            return traits_type::eof();
        }
        const int size = WideCharToMultiByte(CP_UTF8, 0, typed, static_cast<int>(count), nullptr, 0, nullptr, nullptr);
        line_.assign(static_cast<std::size_t>(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, typed, static_cast<int>(count), line_.data(), size, nullptr, nullptr);
        setg(line_.data(), line_.data(), line_.data() + line_.size());
        return traits_type::to_int_type(line_[0]);
    }

private:
    HANDLE console_;
    std::string line_;
    bool ended_ = false;
};

// A console shows text written to it as UTF-16 the same on every Windows
// and under Wine, where bytes in its code page may not be; so UTF-8 is
// turned into UTF-16 for it, a character cut by the end of a piece kept for
// the next.
class ConsoleOutputBuffer : public std::streambuf {
public:
    explicit ConsoleOutputBuffer(HANDLE console) : console_(console) { setp(buffer_, buffer_ + sizeof buffer_); }

protected:
    int_type overflow(int_type c) override {
        if (sync() != 0) return traits_type::eof();
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }

    int sync() override {
        const std::string text = cut_ + std::string(pbase(), pptr());
        setp(buffer_, buffer_ + sizeof buffer_);
        std::size_t whole = text.size();  // up to the last character that is complete
        for (std::size_t back = 1; back <= std::min<std::size_t>(3, text.size()); ++back) {
            const auto byte = static_cast<unsigned char>(text[text.size() - back]);
            if ((byte & 0xC0) == 0x80) continue;
            const std::size_t length = utf8SequenceLength(byte);
            if (length > back) whole = text.size() - back;
            break;
        }
        cut_ = text.substr(whole);
        const std::wstring shown = wide(text.substr(0, whole));
        DWORD written = 0;
        return shown.empty() || WriteConsoleW(console_, shown.data(), static_cast<DWORD>(shown.size()), &written,
                                              nullptr) != 0
                   ? 0
                   : -1;
    }

private:
    HANDLE console_;
    std::string cut_;
    char buffer_[4096];
};

// Standard output or error: through the console as UTF-16 where it is one,
// else the C++ stream as it is (bytes, each line feed as CR LF).
std::ostream& consoleStream(DWORD handle, std::ostream& bytes) {
    HANDLE output = GetStdHandle(handle);
    DWORD mode = 0;
    if (GetConsoleMode(output, &mode) == 0) return bytes;
    auto* buffer = new ConsoleOutputBuffer(output);  // lives as long as the process
    auto* stream = new std::ostream(buffer);
    stream->setf(std::ios::unitbuf);
    return *stream;
}

}  // namespace

std::ostream& consoleOutput() {
    static std::ostream& stream = consoleStream(STD_OUTPUT_HANDLE, std::cout);
    return stream;
}

std::ostream& consoleErrors() {
    static std::ostream& stream = consoleStream(STD_ERROR_HANDLE, std::cerr);
    return stream;
}

bool inputIsKeyboard() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// The first key pressed that types something, or one pressed ahead; a key
// read so is not echoed, and the console's modes are not changed.
void waitForKey() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    INPUT_RECORD record{};
    DWORD count = 0;
    while (ReadConsoleInputW(input, &record, 1, &count) != 0 && count == 1) {
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown != 0 &&
            record.Event.KeyEvent.uChar.UnicodeChar != 0) {
            return;
        }
    }
}

std::istream& consoleInput() {
    HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (GetConsoleMode(input, &mode) == 0) return std::cin;
    static ConsoleInputBuffer buffer(input);
    static std::istream typed(&buffer);
    return typed;
}

void prepareProcess(void (*cleanUp)()) {
    cleanUpOnInterruption = cleanUp;
    InitializeCriticalSection(&held);
    SetConsoleCtrlHandler(onControlEvent, TRUE);
    // Names and answers are UTF-8 inside the program; the console's own
    // code pages come back when it ends.
    startInputCodePage = GetConsoleCP();
    startOutputCodePage = GetConsoleOutputCP();
    if (startInputCodePage != 0) SetConsoleCP(CP_UTF8);
    if (startOutputCodePage != 0) SetConsoleOutputCP(CP_UTF8);
    std::atexit(restoreCodePages);
}

int openForReading(const std::string& path) { return _wopen(wide(path).c_str(), _O_RDONLY | _O_BINARY); }

long readSome(int fd, char* into, std::size_t size) {
    return _read(fd, into, static_cast<unsigned>(std::min<std::size_t>(size, 1U << 30)));
}

void closeFile(int fd) { _close(fd); }

bool makePipe(int ends[2]) { return _pipe(ends, 1U << 16, _O_BINARY | _O_NOINHERIT) == 0; }

bool writeBytes(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(size, 1U << 30));
        const int written = _write(fd, data, chunk);
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool existsForReading(const std::string& path) {
    const int fd = openForReading(path);
    if (fd < 0) return false;
    _close(fd);
    return true;
}

// Only the main thread holds; the event's thread waits at the door.
void blockInterruptions() { EnterCriticalSection(&held); }

void unblockInterruptions() { LeaveCriticalSection(&held); }

unsigned creationMask() { return 0; }  // Windows gives a new file the folder's rights

void removeFileNow(const char* path) {
    wchar_t name[4096];
    const int size = MultiByteToWideChar(CP_UTF8, 0, path, -1, name, 4096);
    if (size > 0) DeleteFileW(name);
}

void closeNow(int fd) { _close(fd); }

bool writeAll(int fd, const char* data, std::size_t size) {
    // Text: each line feed as a carriage return and a line feed.
    std::string converted;
    converted.reserve(size + size / 16);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == '\n') converted.push_back('\r');
        converted.push_back(data[i]);
    }
    return writeBytes(fd, converted.data(), converted.size());
}

}  // namespace cxl::host
