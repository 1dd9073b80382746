#include "support/support.hpp"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "driver/line_ends.hpp"
#include "map/encoding.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#endif

namespace cxltest {

TempDir::TempDir() {
    std::random_device random;
    while (!fs::create_directory(path_ = fs::temp_directory_path() / ("cxl2xhtml-test-" + std::to_string(random())))) {
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    if (!(out << bytes)) throw std::runtime_error("cannot write " + path.string());
}

std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const bool folder = entry.is_directory() && !entry.is_symlink();
        names.push_back(fs::relative(entry.path(), dir).generic_string() + (folder ? "/" : ""));
    }
    std::sort(names.begin(), names.end());
    return names;
}

fs::path sourceDir() { return CXL2XHTML_SOURCE_DIR; }

bool inCi() { return std::getenv("CI") != nullptr && std::string(std::getenv("CI")) == "true"; }

std::optional<fs::path> corpusDir() {
    const fs::path corpus = sourceDir().parent_path() / "shared" / "corpus";
    if (fs::is_directory(corpus)) return corpus;
    return std::nullopt;
}

cxl::LoadStatus loadBytes(std::string_view bytes, cxl::ConceptMap& map, bool crLf) {
    cxl::DocumentDecoder decoder;
    constexpr std::size_t kPiece = std::size_t{1} << 16;  // as the program reads
    for (std::size_t at = 0; at < bytes.size(); at += kPiece) {
        if (!decoder.feed(bytes.substr(at, kPiece))) return cxl::LoadStatus::NotXml;
    }
    if (!decoder.finish()) return cxl::LoadStatus::NotXml;
    if (crLf) cxl::joinCrLf(decoder.text());
    return cxl::loadMap({-1, std::move(decoder.text())}, map, std::cerr);
}

namespace {

// The cases of one file; its `let` lines before the first case add to
// `texts`, which it gives back.
Texts readCasesOf(const fs::path& file, Texts texts, std::vector<Case>& cases) {
    std::istringstream in(readFile(file));
    bool inCase = false;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::size_t space = std::min(line.find(' '), line.size());
        Line split{line.substr(0, space), line.substr(std::min(space + 1, line.size()))};
        if (split.first == "==") {
            std::string name = file.stem().string() + "_" + split.second;
            for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
            cases.push_back({name, texts, {}});
            inCase = true;
        } else if (split.first == ">" && inCase && !cases.back().lines.empty()) {
            cases.back().lines.back().second += line.substr(std::min<std::size_t>(2, line.size())) + "\\n";
        } else if (inCase) {
            cases.back().lines.push_back(split);
        } else if (split.first == "let") {
            const std::size_t name = std::min(split.second.find(' '), split.second.size());
            texts[split.second.substr(0, name)] = decode(split.second.substr(std::min(name + 1, split.second.size())), texts);
        }
    }
    return texts;
}

// `body` `count` times; in it `#` is the count from 0 and `#+` from 1.
std::string repeated(std::string_view body, long count, const Texts& texts) {
    std::string out;
    for (long n = 0; n < count; ++n) {
        std::string numbered;
        for (std::size_t i = 0; i < body.size(); ++i) {
            const bool next = body.substr(i, 2) == "#+";
            numbered += body[i] != '#' ? std::string(1, body[i]) : std::to_string(next ? n + 1 : n);
            i += next ? 1 : 0;
        }
        out += decode(numbered, texts);
    }
    return out;
}

}  // namespace

std::vector<Case> readCases(const fs::path& folder, const Texts& shared) {
    std::vector<Case> cases;
    const Texts common = readCasesOf(folder / "texts", shared, cases);  // texts every file shares
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) readCasesOf(file, common, cases);
    return cases;
}

std::string decode(std::string_view raw, const Texts& texts) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            const char e = raw[++i];
            const std::size_t known = std::string_view("nrt0s").find(e);
            if (e == 'x') {
                out += static_cast<char>(std::stoi(std::string(raw.substr(i + 1, 2)), nullptr, 16));
                i += 2;
            } else {
                out += known != std::string_view::npos ? std::string_view("\n\r\t\0 ", 5)[known] : e;
            }
        } else if (raw[i] == '$') {
            const std::size_t start = i + (raw.substr(i + 1, 1) == "{" ? 2 : 1);
            std::size_t end = start;
            while (end < raw.size() && (std::isalnum(static_cast<unsigned char>(raw[end])) || raw[end] == '-')) ++end;
            const std::string name(raw.substr(start, end - start));
            if (!texts.count(name)) throw std::runtime_error("no text $" + name);
            out += texts.at(name);
            i = start == i + 2 ? end : end - 1;
        } else if (raw.substr(i, 2) == "{{") {
            const std::size_t star = raw.find('*', i);
            const std::size_t close = raw.find("}}", star);
            out += repeated(raw.substr(star + 1, close - star - 1), std::stol(std::string(raw.substr(i + 2))), texts);
            i = close + 1;
        } else {
            out += raw[i];
        }
    }
    return out;
}

#ifndef _WIN32

bool programEndsLinesWithCrLf() { return CXL2XHTML_CRLF != 0; }

std::string programName() {
    std::string name = CXL2XHTML_PROGRAM_NAME;
    if (!programEndsLinesWithCrLf()) return name;
    std::replace(name.begin(), name.end(), '/', '\\');
    return "Z:" + name;
}

namespace {

// Text as the program wrote it, with the line feeds alone that the tests
// expect: where it writes CR LF, each line feed follows a carriage return.
std::string asWritten(const std::string& text) {
    if (!programEndsLinesWithCrLf()) return text;
    std::string lines;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) throw std::runtime_error("a bare line feed");
        lines.push_back(text[i]);
    }
    return lines;
}

// Why the program did not start, told through a pipe that its start closes.
[[noreturn]] void cannotStart(int reasons, const char* what) {
    const std::string reason = std::string(what) + ": " + std::strerror(errno);
    if (::write(reasons, reason.data(), reason.size()) < 0) ::_exit(127);
    ::_exit(127);
}

std::string shellWord(const std::string& text) {
    std::string word = "'";
    for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

}  // namespace

bool othersReach(const fs::path& path) {
    for (fs::path at = path; at != at.parent_path(); at = at.parent_path()) {
        if ((fs::status(at).permissions() & fs::perms::others_exec) == fs::perms::none) return false;
    }
    return true;
}

// Output goes to pipes, not files, so that a file-size limit hits the pages
// only.
Child::Child(const fs::path& dir, const RunOptions& options) {
    std::string program = CXL2XHTML_BIN;
    if (options.asNobody) {  // nobody may not pass the folders on the way to the build
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
    int in[2], out[2], err[2], reasons[2];
    if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0 || ::pipe2(reasons, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }
    pid_ = options.terminal ? ::forkpty(&terminal_, nullptr, nullptr, nullptr) : ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
        if (::chdir(dir.c_str()) != 0) cannotStart(reasons[1], "chdir");
        if (!options.terminal) {
            ::dup2(in[0], 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
        }
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
        const auto limit = [](int resource, long value) {
            const rlimit both{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
            ::setrlimit(resource, &both);
        };
        limit(RLIMIT_CORE, 0);
        if (options.fileSizeLimit) limit(RLIMIT_FSIZE, *options.fileSizeLimit);
        if (options.addressSpaceLimit) limit(RLIMIT_AS, *options.addressSpaceLimit);
        if (options.umask) ::umask(static_cast<mode_t>(*options.umask));
        if (options.asNobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            cannotStart(reasons[1], "setuid");
        }
        if (options.terminal) ::setenv("LANG", "C.UTF-8", 1);  // what Wine's console writes to it
        if (!options.faults.empty()) {
            ::setenv("CXL2XHTML_FAULTS", options.faults.c_str(), 1);
            ::setenv("LD_PRELOAD", CXL2XHTML_FAULTS_LIBRARY, 1);
            ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
        }
        ::execv(rawArgv[0], rawArgv.data());
        cannotStart(reasons[1], "execv");
    }
    startingTerminal_ = terminalNow();
    ::close(reasons[1]);
    char reason[256];
    const ssize_t told = ::read(reasons[0], reason, sizeof reason);
    ::close(reasons[0]);
    for (int fd : {in[0], out[1], err[1]}) ::close(fd);
    if (options.terminal) {
        for (int fd : {in[1], out[0], err[0]}) ::close(fd);
        in_ = ::dup(terminal_);
        out_ = ::dup(terminal_);
    } else {
        in_ = in[1], out_ = out[0], err_ = err[0];
    }
    if (told > 0) {
        finish();
        throw std::runtime_error("the program did not start: " + std::string(reason, static_cast<std::size_t>(told)));
    }
    ::signal(SIGPIPE, SIG_IGN);
    if (options.terminal) {
        // Keys typed before Wine's console has taken the terminal would
        // reach it as lines: they wait for the first question, and there
        // for the terminal to hand over keys one by one.
        if (!waitForOutput("Introduce")) throw std::runtime_error("no question on the terminal");
        for (int tenths = 0; programEndsLinesWithCrLf() && tenths < 100; ++tenths) {
            termios settings{};
            if (::tcgetattr(terminal_, &settings) == 0 && (settings.c_lflag & ICANON) == 0) break;
            ::usleep(100000);
        }
    }
    type(options.input);
    if (!options.terminal && !options.inputStaysOpen) {
        ::close(in_);
        in_ = -1;
    }
}

Child::~Child() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        finish();
    }
    if (terminal_ >= 0) ::close(terminal_);
}

void Child::type(const std::string& keys) {
    if (::write(in_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
        throw std::runtime_error("write to the program failed");
    }
}

std::string Child::terminalNow() const {
    termios settings{};
    if (terminal_ < 0 || ::tcgetattr(terminal_, &settings) != 0) return {};
    return std::string(reinterpret_cast<const char*>(&settings), sizeof settings);
}

bool Child::waitForOutput(const std::string& text) {
    char buffer[4096];
    while (outText_.find(text) == std::string::npos) {
        pollfd output{out_, POLLIN, 0};
        if (::poll(&output, 1, 60000) != 1) return false;
        const ssize_t got = ::read(out_, buffer, sizeof buffer);
        if (got <= 0) return false;
        outText_.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

bool Child::stillRunning() {
    ::usleep(200000);
    siginfo_t info{};
    return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
}

bool Child::endsWithin(int seconds) {
    for (int fifths = 0; fifths < seconds * 5; ++fifths) {
        if (!stillRunning()) return true;
    }
    ::kill(pid_, SIGKILL);
    return false;
}

RunResult Child::finish(std::optional<std::size_t> outputLimit) {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
    if (outputLimit) {
        char byte = 0;
        while (outText_.size() < *outputLimit && ::read(out_, &byte, 1) == 1) outText_.push_back(byte);
        ::close(out_);
        out_ = -1;
    }
    RunResult result;
    pollfd fds[2] = {{out_, POLLIN, 0}, {err_, POLLIN, 0}};
    std::string* sinks[2] = {&outText_, &result.err};
    char buffer[65536];
    while (fds[0].fd >= 0 || fds[1].fd >= 0) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(got));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
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

RunResult runProgram(const fs::path& dir, const RunOptions& options) { return Child(dir, options).finish(); }

std::string readPage(const fs::path& page) {
    std::string text = readFile(page);
    for (std::size_t at = text.find("\r\n"); programEndsLinesWithCrLf() && at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

FatFolder::FatFolder(const fs::path& folder, long kilobytes) : folder_(folder) {
    fs::create_directories(folder);
    const std::string image = shellWord((image_ / "fat.img").string());
    if (std::system(("mkfs.vfat -C " + image + " " + std::to_string(kilobytes) + " >/dev/null 2>&1").c_str()) != 0) {
        reason_ = "mkfs.vfat could not make a FAT image (apt-get install dosfstools)";
    } else if (std::system(("fusefat -o rw+ " + image + " " + shellWord(folder.string()) + " >/dev/null 2>&1").c_str()) != 0) {
        reason_ = "fusefat could not mount a FAT image (apt-get install fusefat; root and /dev/fuse needed)";
    }
}

FatFolder::~FatFolder() {
    if (reason_.empty()) std::system(("fusermount -u " + shellWord(folder_.string()) + " >/dev/null 2>&1").c_str());
}

std::string xhtmlErrors(const fs::path& page) {
    TempDir io;
    const std::string command = "xmllint --noout --nonet --huge --valid " + shellWord(page.string()) + " > " +
                                shellWord((io / "report").string()) + " 2>&1";
    if (std::system(command.c_str()) == 0) return {};
    return "xmllint: " + readFile(io / "report");
}

#endif

}  // namespace cxltest
