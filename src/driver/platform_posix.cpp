// POSIX hosts: signals, the terminal, files.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <vector>

#include "driver/platform.hpp"

namespace cxl::host {

const std::string_view kFolderSeparators = "/";
const bool kCrLfLineEnds = false;
const bool kQuotedAnswers = false;

namespace {

// Signals that end the process and that it can catch. The asynchronous ones
// are interruptions: they remove this run's files, and are held while the
// pages are named. Faults of the program itself end it too, and must never
// be held; they only put the terminal back.
constexpr std::array<int, 13> kInterruptions = {SIGINT,  SIGHUP, SIGTERM, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM,
                                                SIGVTALRM, SIGPROF, SIGXCPU, SIGIO,   SIGPWR,  SIGSTKFLT};
constexpr std::array<int, 7> kFaults = {SIGABRT, SIGBUS, SIGFPE, SIGILL, SIGSEGV, SIGSYS, SIGTRAP};

mode_t startCreationMask = 022;
void (*cleanUpOnInterruption)() = nullptr;
sigset_t startMask;
sigset_t interruptions;

// The terminal's own settings while a pause has changed them, for a handler
// to put back, and the pause's, for a stopped pause that goes on.
termios terminalSettings{};
termios pauseSettings{};
volatile sig_atomic_t terminalChanged = 0;

void restoreTerminal() {
    if (terminalChanged != 0) ::tcsetattr(STDIN_FILENO, TCSANOW, &terminalSettings);
    terminalChanged = 0;
}

// Every interruption is blocked while this runs, so that a second Ctrl+C
// cannot cut the cleanup short; then the first signal ends the process as
// it would have.
extern "C" void onInterruption(int signal) {
    restoreTerminal();
    if (cleanUpOnInterruption != nullptr) cleanUpOnInterruption();
    ::signal(signal, SIG_DFL);
    ::raise(signal);  // waits, blocked
    sigset_t first;
    sigemptyset(&first);
    sigaddset(&first, signal);
    ::sigprocmask(SIG_UNBLOCK, &first, nullptr);
}

void handle(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_mask = interruptions;
    // A signal that whoever started us ignores (nohup) or someone else
    // handles (a sanitizer) stays so.
    struct sigaction previous {};
    ::sigaction(signal, nullptr, &previous);
    if (previous.sa_handler == SIG_DFL || previous.sa_handler == handler) ::sigaction(signal, &action, nullptr);
}

// Ctrl+Z: a stopped job leaves the terminal as the shell expects it; when it
// goes on (fg), the pause again takes one key at a time, whatever the shell
// did to the terminal meanwhile.
extern "C" void onStop(int) {
    const int savedErrno = errno;
    const bool paused = terminalChanged != 0;
    restoreTerminal();
    ::signal(SIGTSTP, SIG_DFL);
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGTSTP);
    ::raise(SIGTSTP);
    ::sigprocmask(SIG_UNBLOCK, &stop, nullptr);  // stopped here until continued
    handle(SIGTSTP, onStop);
    if (paused) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &pauseSettings);
        terminalChanged = 1;
    }
    errno = savedErrno;
}

}  // namespace

void prepareProcess(void (*cleanUp)()) {
    cleanUpOnInterruption = cleanUp;
    startCreationMask = ::umask(0);
    ::umask(startCreationMask);
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
    ::sigprocmask(SIG_SETMASK, nullptr, &startMask);
    sigemptyset(&interruptions);
    for (const int signal : kInterruptions) sigaddset(&interruptions, signal);
    for (int signal = SIGRTMIN; signal <= SIGRTMAX; ++signal) sigaddset(&interruptions, signal);
    for (int signal = 1; signal < NSIG; ++signal) {
        if (sigismember(&interruptions, signal) == 1) handle(signal, onInterruption);
    }
    for (const int signal : kFaults) handle(signal, onInterruption);
    handle(SIGTSTP, onStop);
}

std::istream& consoleInput() { return std::cin; }

std::ostream& consoleOutput() { return std::cout; }

std::ostream& consoleErrors() { return std::cerr; }

bool inputIsKeyboard() { return ::isatty(STDIN_FILENO) == 1; }

// Keys arrive one by one, unechoed (Ctrl+C still interrupts); what was typed
// ahead is kept, since it counts, and what follows the key (the rest of an
// Esc sequence) is dropped, so that the shell does not receive it.
void waitForKey() {
    if (::tcgetattr(STDIN_FILENO, &terminalSettings) != 0) return;
    pauseSettings = terminalSettings;
    pauseSettings.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    pauseSettings.c_cc[VMIN] = 1;
    pauseSettings.c_cc[VTIME] = 0;
    terminalChanged = 1;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &pauseSettings);
    char key = 0;
    while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    ::tcflush(STDIN_FILENO, TCIFLUSH);
    restoreTerminal();
}

int openForReading(const std::string& path) { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }

long readSome(int fd, char* into, std::size_t size) {
    while (true) {
        const ssize_t got = ::read(fd, into, size);
        if (got >= 0 || errno != EINTR) return static_cast<long>(got);
    }
}

void closeFile(int fd) { ::close(fd); }

bool makePipe(int ends[2]) {
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
#ifdef F_SETPIPE_SZ
    ::fcntl(ends[1], F_SETPIPE_SZ, 1 << 20);  // fewer turns between its two ends; only a hint
#endif
    return true;
}

bool writeBytes(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool existsForReading(const std::string& path) {
    // Without blocking: a named pipe of that name would otherwise wait for a
    // writer forever.
    const int existing = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (existing < 0) return false;
    ::close(existing);
    return true;
}

void blockInterruptions() { ::sigprocmask(SIG_BLOCK, &interruptions, nullptr); }

void unblockInterruptions() { ::sigprocmask(SIG_SETMASK, &startMask, nullptr); }

unsigned creationMask() { return startCreationMask; }

void removeFileNow(const char* path) { ::unlink(path); }

void closeNow(int fd) { ::close(fd); }

bool writeAll(int fd, const char* data, std::size_t size) { return writeBytes(fd, data, size); }

}  // namespace cxl::host
