// What the tests share: folders and files, maps loaded as a run loads them,
// and (POSIX) the program run as a process.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "driver/line_ends.hpp"
#include "map/encoding.hpp"
#include "map/loader.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <libxml/parser.h>

#include <cstring>
#endif

extern "C" void __asan_init() __attribute__((weak));  // there under the address sanitizer

namespace cxltest {

namespace fs = std::filesystem;

inline const std::string kPause = "Presiona cualquier tecla para salir del programa...\n";

class TempDir {
public:
    TempDir() {
        std::random_device random;
        while (!fs::create_directory(path_ = fs::temp_directory_path() / ("cxl2xhtml-test-" + std::to_string(random())))) {}
    }
    ~TempDir() {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete; TempDir& operator=(const TempDir&) = delete;
    [[nodiscard]] const fs::path& path() const { return path_; }
    [[nodiscard]] fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

inline void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    if (!(out << bytes)) throw std::runtime_error("cannot write " + path.string());
}

// Sorted, folders with a final "/".
inline std::vector<std::string> listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        const bool folder = entry.is_directory() && !entry.is_symlink();
        names.push_back(fs::relative(entry.path(), dir).generic_string() + (folder ? "/" : ""));
    }
    std::sort(names.begin(), names.end());
    return names;
}

inline fs::path sourceDir() { return CXL2XHTML_SOURCE_DIR; }

// The shared corpus of real maps beside the repository; in CI its absence fails.
inline std::optional<fs::path> corpusDir() {
    const fs::path corpus = sourceDir().parent_path() / "shared" / "corpus";
    if (fs::is_directory(corpus)) return corpus;
    if (std::getenv("CI") != nullptr && std::string(std::getenv("CI")) == "true") ADD_FAILURE() << "no corpus in CI";
    return std::nullopt;
}

// A CXL file's bytes into `map` as a run reads them: in pieces, checked and
// decoded, each CR LF joined when `crLf`. Bytes that are not XML text: NotXml.
inline cxl::LoadStatus loadBytes(std::string_view bytes, cxl::ConceptMap& map, bool crLf = false) {
    cxl::DocumentDecoder decoder;
    if (!cxl::decodeWhole(bytes, decoder)) return cxl::LoadStatus::NotXml;
    if (crLf) cxl::joinCrLf(decoder.text());
    return cxl::loadDecoded(decoder, map).status;
}

// A path of this machine as the Windows program sees it under Wine.
inline std::string windowsPath(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return "Z:" + path;
}

#ifndef _WIN32
// The program under test: the Linux one, or the Windows one through Wine,
// which writes CR LF.
inline bool programEndsLinesWithCrLf() { return CXL2XHTML_CRLF != 0; }

inline std::string programName() { return programEndsLinesWithCrLf() ? windowsPath(CXL2XHTML_PROGRAM_NAME) : CXL2XHTML_PROGRAM_NAME; }

// Text as the Windows program wrote it, with line feeds alone.
inline std::string withLineFeeds(std::string text) {
    for (std::size_t at = text.find("\r\n"); programEndsLinesWithCrLf() && at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    return text;
}

inline std::string shellWord(const std::string& text) {
    std::string word = "'";
    for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

inline std::string readToEnd(int& fd, std::size_t limit = std::string::npos) {
    std::string text;
    char buffer[65536];
    for (ssize_t got = 0; text.size() < limit && (got = ::read(fd, buffer, std::min(sizeof buffer, limit - text.size()))) > 0;) text.append(buffer, static_cast<std::size_t>(got));
    ::close(fd);
    fd = -1;
    return text;
}

struct RunOptions {
    std::vector<std::string> args;
    std::string input;            // standard input, then its end
    bool inputStaysOpen = false;  // no end to it, as a console's
    bool terminal = false;        // on a pseudo-terminal; `input` typed at the first question
    std::optional<long> fileSizeLimit, addressSpaceLimit;
    std::optional<unsigned> umask;
    std::vector<int> ignoredSignals;  // as nohup leaves SIGHUP
    // On the terminal as a job of a shell's: a process group of its own in
    // this session, so that Ctrl+Z stops it (the terminal is then not its
    // controlling one, and typed Ctrl+C sends nothing).
    bool stoppable = false;
    std::string faults;  // CXL2XHTML_FAULTS for the preloaded support/faults.cpp
};

struct RunResult {
    int exitCode = -1;  // 128 plus the signal that ended it, if one did
    std::string out, err;
};

// This process's environment, with what the options add.
inline std::vector<std::string> environmentFor(const RunOptions& options) {
    std::vector<std::string> added, env;
    if (options.terminal) added.emplace_back("LANG=C.UTF-8");  // what Wine's console writes
    if (!options.faults.empty()) added.insert(added.end(), {"CXL2XHTML_FAULTS=" + options.faults, std::string("LD_PRELOAD=") + CXL2XHTML_FAULTS_LIBRARY,
                                                            "ASAN_OPTIONS=verify_asan_link_order=0:detect_leaks=0"});
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string name = std::string(*entry).substr(0, std::string(*entry).find('=') + 1);
        if (std::none_of(added.begin(), added.end(), [&name](const std::string& a) { return a.starts_with(name); })) env.emplace_back(*entry);
    }
    env.insert(env.end(), added.begin(), added.end());
    return env;
}

// The program running in `dir`; throws when it cannot start. Output goes to
// pipes, not files, so that a file-size limit hits the pages only. A program
// that does not start says why through a pipe its start closes.
class Child {
public:
    Child(const fs::path& dir, const RunOptions& options) {
        std::vector<std::string> argv{CXL2XHTML_BIN};
        argv.insert(argv.end(), options.args.begin(), options.args.end());
        std::vector<char*> rawArgv;
        for (std::string& arg : argv) rawArgv.push_back(arg.data());
        rawArgv.push_back(nullptr);
        // Made before the fork: a child of a threaded process must not allocate.
        std::vector<std::string> env = environmentFor(options);
        std::vector<char*> rawEnv;
        for (std::string& entry : env) rawEnv.push_back(entry.data());
        rawEnv.push_back(nullptr);
        int in[2], out[2], err[2], reasons[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0 || ::pipe(err) != 0 || ::pipe2(reasons, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
        int jobTerminal = -1;
        if (options.stoppable && ::openpty(&terminal_, &jobTerminal, nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
        pid_ = options.terminal && !options.stoppable ? ::forkpty(&terminal_, nullptr, nullptr, nullptr) : ::fork();
        if (pid_ > 0 && options.stoppable) ::setpgid(pid_, pid_), ::close(jobTerminal);
        if (pid_ > 0 && options.terminal && options.inputStaysOpen && !options.stoppable) shell_ = ::open(::ptsname(terminal_), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (pid_ == 0) {
            if (options.stoppable) {
                ::setpgid(0, 0);
                for (int fd : {0, 1, 2}) ::dup2(jobTerminal, fd);
                ::close(jobTerminal), ::close(terminal_);
            }
            const auto limit = [](int resource, long value) {
                const rlimit both{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
                ::setrlimit(resource, &both);
            };
            const char* failed = ::chdir(dir.c_str()) != 0 ? "chdir" : nullptr;
            if (!options.terminal) ::dup2(in[0], 0), ::dup2(out[1], 1), ::dup2(err[1], 2);
            for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) ::close(fd);
            limit(RLIMIT_CORE, 0);
            if (options.fileSizeLimit) limit(RLIMIT_FSIZE, *options.fileSizeLimit);
            if (programEndsLinesWithCrLf()) ::signal(SIGXFSZ, SIG_IGN);  // Windows has no such signal: a write fails
            if (options.addressSpaceLimit) limit(RLIMIT_AS, *options.addressSpaceLimit);
            if (options.umask) ::umask(static_cast<mode_t>(*options.umask));
            for (const int signal : options.ignoredSignals) ::signal(signal, SIG_IGN);
            if (failed == nullptr) ::execve(rawArgv[0], rawArgv.data(), rawEnv.data());
            const char* const why = std::strerror(errno);
            for (const char* part : {failed != nullptr ? failed : "execve", ": ", why}) if (::write(reasons[1], part, std::strlen(part)) < 0) break;
            ::_exit(127);
        }
        startingTerminal_ = terminal();
        ::close(reasons[1]);
        char reason[256];
        const ssize_t told = ::read(reasons[0], reason, sizeof reason);
        ::close(reasons[0]);
        for (int fd : {in[0], out[1], err[1]}) ::close(fd);
        in_ = options.terminal ? ::dup(terminal_) : in[1];
        out_ = options.terminal ? ::dup(terminal_) : out[0];
        if (options.terminal) ::close(in[1]), ::close(out[0]), ::close(err[0]);
        else err_ = err[0];
        if (told > 0) throw std::runtime_error("the program did not start: " + std::string(reason, static_cast<std::size_t>(told)));
        ::signal(SIGPIPE, SIG_IGN);
        if (options.terminal) {
            // Keys typed before Wine's console has the terminal would reach it
            // as lines: they wait for the first question, and there for keys to
            // be handed over one by one.
            if (!waitForOutput("Introduce")) throw std::runtime_error("no question on the terminal");
            for (int tenths = 0; programEndsLinesWithCrLf() && tenths < 100; ++tenths) {
                termios settings{};
                if (::tcgetattr(terminal_, &settings) == 0 && (settings.c_lflag & ICANON) == 0) break;
                ::usleep(100000);
            }
        }
        type(options.input);
        if (!options.terminal && !options.inputStaysOpen) ::close(in_), in_ = -1;
    }
    ~Child() {
        if (pid_ > 0) ::kill(pid_, SIGKILL), finish();
        if (terminal_ >= 0) ::close(terminal_);
    }
    Child(const Child&) = delete; Child& operator=(const Child&) = delete;
    [[nodiscard]] int pid() const { return pid_; }

    void type(const std::string& keys) { if (::write(in_, keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) throw std::runtime_error("write failed"); }

    void setTerminal(const std::string& settings) {
        termios wanted{};
        if (settings.size() == sizeof wanted) std::memcpy(&wanted, settings.data(), sizeof wanted), ::tcsetattr(terminal_, TCSANOW, &wanted);
    }

    // The terminal's settings, as bytes.
    [[nodiscard]] std::string terminal() const {
        termios settings{};
        if (terminal_ < 0 || ::tcgetattr(terminal_, &settings) != 0) return {};
        return std::string(reinterpret_cast<const char*>(&settings), sizeof settings);
    }
    [[nodiscard]] const std::string& startingTerminal() const { return startingTerminal_; }
    // What the program, ended at a pause, left typed for the next reader: a shell, which reads keys.
    std::string leftForShell() {
        termios settings{};
        if (shell_ < 0 || ::tcgetattr(shell_, &settings) != 0) return {};
        termios keys = settings;
        keys.c_lflag &= ~static_cast<tcflag_t>(ICANON);
        ::tcsetattr(shell_, TCSANOW, &keys);
        char left[64];
        const ssize_t got = ::read(shell_, left, sizeof left);
        ::tcsetattr(shell_, TCSANOW, &settings);
        ::close(shell_), shell_ = -1;  // else the terminal's output would never end
        return got > 0 ? std::string(left, static_cast<std::size_t>(got)) : "";
    }

    bool waitForOutput(const std::string& text) {  // a minute at most
        char buffer[4096];
        pollfd output{out_, POLLIN, 0};
        ssize_t got = 0;
        while (outText_.find(text) == std::string::npos) {
            if (::poll(&output, 1, 60000) != 1 || (got = ::read(out_, buffer, sizeof buffer)) <= 0) return false;
            outText_.append(buffer, static_cast<std::size_t>(got));
        }
        return true;
    }

    bool stillRunning() {  // after a short while
        ::usleep(200000);
        siginfo_t info{};
        return ::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == 0;
    }

    bool endsWithin(int seconds) {  // else killed
        for (int fifths = 0; fifths < seconds * 5; ++fifths) if (!stillRunning()) return true;
        ::kill(pid_, SIGKILL);
        return false;
    }

    // Both streams to their end (standard output closed after `outputLimit`
    // bytes, as `| head -c N`), and the exit. Output first: the program's
    // messages fit a pipe's buffer.
    RunResult finish(std::optional<std::size_t> outputLimit = std::nullopt) {
        if (in_ >= 0) ::close(in_), in_ = -1;
        if (shell_ >= 0) ::close(shell_), shell_ = -1;
        RunResult result;
        const std::size_t left = !outputLimit ? std::string::npos : std::max(*outputLimit, outText_.size()) - outText_.size();
        result.out = withLineFeeds(outText_ + readToEnd(out_, left));
        if (err_ >= 0) result.err = withLineFeeds(readToEnd(err_));
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return result;
    }

private:
    int pid_ = -1, terminal_ = -1, shell_ = -1, in_ = -1, out_ = -1, err_ = -1;
    std::string startingTerminal_, outText_;
};

// The Windows program's CR LF as line feeds; that program ends every line so.
inline std::string readPage(const fs::path& page) {
    const std::string bytes = readFile(page), text = withLineFeeds(bytes);
    EXPECT_TRUE(!programEndsLinesWithCrLf() || bytes.size() - text.size() == std::size_t(std::count(text.begin(), text.end(), '\n'))) << page;
    return text;
}

// Empty when valid XHTML 1.0 Strict: libxml2 checks it against the DTD it
// names, found through the system's XML catalog, never on the network.
inline std::string xhtmlErrors(const fs::path& page) {
    std::string errors;
    xmlSetStructuredErrorFunc(&errors, [](void* into, xmlErrorPtr error) {
        static_cast<std::string*>(into)->append("line " + std::to_string(error->line) + ": " + error->message);
    });
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    xmlDocPtr document = xmlCtxtReadFile(context, page.c_str(), nullptr, XML_PARSE_DTDVALID | XML_PARSE_NONET | XML_PARSE_HUGE);
    if ((document == nullptr || context->valid == 0) && errors.empty()) errors = "not valid";
    xmlFreeDoc(document);
    xmlFreeParserCtxt(context);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    return errors.empty() ? "" : "libxml2: " + errors;
}

// A FAT file system mounted at `folder` with fusefat while this lives;
// `reason()` says why it could not be.
class FatFolder {
public:
    FatFolder(const fs::path& folder, long kilobytes) : folder_(folder) {
        fs::create_directories(folder);
        const std::string image = shellWord((image_ / "fat.img").string());
        struct stat inside {}, outside {};  // a mount is a device of its own
        // mkfs.vfat lies in /usr/sbin, outside an ordinary user's PATH.
        const std::string mkfs = fs::exists("/usr/sbin/mkfs.vfat") ? "/usr/sbin/mkfs.vfat" : "mkfs.vfat";
        if (std::system((mkfs + " -C " + image + " " + std::to_string(kilobytes) + " >/dev/null 2>&1").c_str()) != 0) {
            reason_ = "mkfs.vfat could not make a FAT image (apt-get install dosfstools)";
        } else if (::access("/dev/fuse", R_OK | W_OK) != 0) {
            reason_ = "/dev/fuse cannot be opened by this user, so fusefat cannot mount a FAT image";
        } else if (std::system(("fusefat -o rw+ " + image + " " + shellWord(folder.string()) + " >/dev/null 2>&1").c_str()) != 0 ||
                   ::stat(folder.c_str(), &inside) != 0 || ::stat(folder.parent_path().c_str(), &outside) != 0 || inside.st_dev == outside.st_dev) {
            reason_ = "fusefat could not mount a FAT image (apt-get install fusefat)";
        }
    }
    ~FatFolder() {
        if (reason_.empty()) std::system(("fusermount -u " + shellWord(folder_.string()) + " >/dev/null 2>&1").c_str());
    }
    FatFolder(const FatFolder&) = delete; FatFolder& operator=(const FatFolder&) = delete;
    [[nodiscard]] const std::string& reason() const { return reason_; }

private:
    TempDir image_;
    fs::path folder_;
    std::string reason_;
};
#endif

}  // namespace cxltest
