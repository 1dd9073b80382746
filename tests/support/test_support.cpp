#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <poll.h>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <cstring>
#include <grp.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>


namespace cxltest {

bool programEndsLinesWithCrLf() { return CXL2XHTML_CRLF != 0; }

std::string programName() {
    std::string name = CXL2XHTML_PROGRAM_NAME;
    if (!programEndsLinesWithCrLf()) return name;
    for (char& c : name) c = c == '/' ? '\\' : c;
    return "Z:" + name;
}

std::string asWritten(std::string text) {
    if (!programEndsLinesWithCrLf()) return text;
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
            ADD_FAILURE() << "a line feed without carriage return at byte " << i;
        }
        lines.push_back(text[i]);
    }
    return lines;
}

std::string readPage(const fs::path& path) { return asWritten(readFile(path)); }

RunOptions withInput(std::string input) {
    RunOptions options;
    options.input = std::move(input);
    return options;
}

RunResult runProgram(const fs::path& dir, const RunOptions& options) {
    Child child(dir, options);
    return child.finish(options.outputLimit);
}

namespace {

// A reason the program could not be started, told through a pipe that its
// start closes.
[[noreturn]] void cannotStart(int reasons, const char* what) {
    const std::string reason = std::string(what) + ": " + std::strerror(errno);
    if (::write(reasons, reason.data(), reason.size()) < 0) ::_exit(127);
    ::_exit(127);
}

}  // namespace

bool othersReach(const fs::path& path) {
    for (fs::path at = path; at != at.parent_path(); at = at.parent_path()) {
        if ((fs::status(at).permissions() & fs::perms::others_exec) == fs::perms::none) return false;
    }
    return true;
}

// The program with pipes on its three streams, or on a pseudo-terminal.
// Output goes to pipes, not files, so that a file-size limit hits the pages
// only.
Child::Child(const fs::path& dir, const RunOptions& options, bool keepInputOpen) {
    std::string program = CXL2XHTML_BIN;
    if (options.asNobody) {
        // Nobody may not pass the folders on the way to the build.
        copy_.emplace();
        fs::permissions(copy_->path(), fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
        fs::copy_file(program, *copy_ / "cxl2xhtml");
        program = (*copy_ / "cxl2xhtml").string();
    }
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), options.args.begin(), options.args.end());
    std::vector<char*> rawArgv;
    for (std::string& arg : argv) rawArgv.push_back(arg.data());
    rawArgv.push_back(nullptr);
    int inPipe[2];
    int outPipe[2];
    int errPipe[2];
    int reasonPipe[2];
    if (::pipe(inPipe) != 0 || ::pipe(outPipe) != 0 || ::pipe(errPipe) != 0 || ::pipe2(reasonPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    pid_ = options.terminal ? ::forkpty(&terminal_, nullptr, nullptr, nullptr) : ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        if (::chdir(dir.c_str()) != 0) cannotStart(reasonPipe[1], "chdir");
        if (!options.terminal) {
            ::dup2(inPipe[0], 0);
            ::dup2(outPipe[1], 1);
            ::dup2(errPipe[1], 2);
        }
        for (int fd : {inPipe[0], inPipe[1], outPipe[0], outPipe[1], errPipe[0], errPipe[1]}) ::close(fd);
        const auto limit = [](int resource, long value) {
            const rlimit both{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
            ::setrlimit(resource, &both);
        };
        limit(RLIMIT_CORE, 0);
        if (options.fileSizeLimit) {
            ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
            limit(RLIMIT_FSIZE, *options.fileSizeLimit);
        }
        if (options.addressSpaceLimit) limit(RLIMIT_AS, *options.addressSpaceLimit);
        if (options.umask) ::umask(static_cast<mode_t>(*options.umask));
        if (options.asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            cannotStart(reasonPipe[1], "setuid");
        }
        if (options.terminal) ::setenv("LANG", "C.UTF-8", 1);  // what Wine's console writes to it
        if (!options.faults.empty()) {
            ::setenv("CXL2XHTML_FAULTS", options.faults.c_str(), 1);
            ::setenv("LD_PRELOAD", CXL2XHTML_FAULTS_LIBRARY, 1);
            ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
        }
        ::execv(rawArgv[0], rawArgv.data());
        cannotStart(reasonPipe[1], "execv");
    }
    startingSettings_ = terminalSettings();
    ::close(reasonPipe[1]);
    char reason[256];
    const ssize_t told = ::read(reasonPipe[0], reason, sizeof reason);
    ::close(reasonPipe[0]);
    for (int fd : {inPipe[0], outPipe[1], errPipe[1]}) ::close(fd);
    if (options.terminal) {
        for (int fd : {inPipe[1], outPipe[0], errPipe[0]}) ::close(fd);
        in_ = ::dup(terminal_);
        out_ = ::dup(terminal_);
    } else {
        in_ = inPipe[1];
        out_ = outPipe[0];
        err_ = errPipe[0];
    }
    if (told > 0) {
        finish();
        throw std::runtime_error("the program did not start: " + std::string(reason, static_cast<std::size_t>(told)));
    }
    ::signal(SIGPIPE, SIG_IGN);
    // Keys typed before Wine's console has taken the terminal would reach
    // it as lines, not keys: they wait for the first question, and there
    // for the terminal to hand over keys one by one.
    if (options.terminal && !waitForOutput("Introduce")) throw std::runtime_error("no question on the terminal");
    for (int tenths = 0; options.terminal && programEndsLinesWithCrLf() && tenths < 100; ++tenths) {
        termios settings{};
        if (::tcgetattr(terminal_, &settings) == 0 && (settings.c_lflag & ICANON) == 0) break;
        ::usleep(100000);
    }
    type(options.input.value_or(""));
    if (!keepInputOpen && !options.terminal) {
        ::close(in_);
        in_ = -1;
    }
}

void Child::type(const std::string& keys) {
    if (::write(in_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
        throw std::runtime_error("write to the program failed");
    }
}

std::string Child::terminalSettings() const {
    termios settings{};
    if (terminal_ < 0 || ::tcgetattr(terminal_, &settings) != 0) return {};
    return std::string(reinterpret_cast<const char*>(&settings), sizeof settings);
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        finish();
    }
    if (terminal_ >= 0) ::close(terminal_);
}

bool Child::waitForOutput(const std::string& text) {
    char buffer[4096];
    while (outText_.find(text) == std::string::npos) {
        pollfd output{out_, POLLIN, 0};
        if (::poll(&output, 1, 60000) != 1) return false;  // a minute: no run takes longer
        const ssize_t got = ::read(out_, buffer, sizeof buffer);
        if (got <= 0) return false;
        outText_.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

bool Child::stillRunning() {
    ::usleep(200000);
    int status = 0;
    return ::waitpid(pid_, &status, WNOHANG) == 0;
}

bool Child::endsWithin(int seconds) {
    for (int tenths = 0; tenths < seconds * 10; ++tenths) {
        siginfo_t info{};
        if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_) {
            return true;
        }
        ::usleep(100000);
    }
    ::kill(pid_, SIGKILL);
    return false;
}

RunResult Child::finish(std::optional<std::size_t> outputLimit) {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    if (outputLimit) {
        // As `| head -c N`: the reader goes away after N bytes.
        char byte = 0;
        while (outText_.size() < *outputLimit && ::read(out_, &byte, 1) == 1) outText_.push_back(byte);
        ::close(out_);
        out_ = -1;
    }
    RunResult result;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    std::string* sinks[2] = {&outText_, &result.err};
    int open = (out_ >= 0 ? 1 : 0) + (err_ >= 0 ? 1 : 0);
    char buffer[65536];
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = asWritten(outText_);
    result.err = asWritten(result.err);
    return result;
}

// A path as one word of the shell, whatever it holds.
std::string shellWord(const std::string& text) {
    std::string word = "'";
    for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

FatFolder::FatFolder(const fs::path& folder, long kilobytes) : folder_(folder) {
    fs::create_directories(folder);
    const std::string image = shellWord((image_ / "fat.img").string());
    const std::string make = "mkfs.vfat -C " + image + " " + std::to_string(kilobytes) + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) {
        reason_ = "mkfs.vfat could not make a FAT image (apt-get install dosfstools)";
    } else if (std::system(("fusefat -o rw+ " + image + " " + shellWord(folder.string()) + " >/dev/null 2>&1").c_str()) != 0) {
        reason_ = "fusefat could not mount a FAT image (apt-get install fusefat; /dev/fuse and root needed)";
    }
}

FatFolder::~FatFolder() {
    if (mounted()) std::system(("fusermount -u " + shellWord(folder_.string()) + " >/dev/null 2>&1").c_str());
}

std::string xhtmlErrors(const fs::path& page) {
    TempDir io;
    const fs::path report = io / "report";
    const std::string command = "xmllint --noout --nonet --huge --valid " + shellWord(page.string()) + " > " +
                                shellWord(report.string()) + " 2>&1";
    const int status = std::system(command.c_str());
    if (status == 0) return {};
    std::string text = readFile(report);
    return text.empty() ? "xmllint failed with status " + std::to_string(status) : text;
}

}  // namespace cxltest
