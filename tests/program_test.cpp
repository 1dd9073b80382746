// The program run as a process, one case of tests/data/runs/ at a time: set
// up a folder, run, compare. The cases' language is in tests/data/README.md.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <sstream>
#include <thread>

#include "support/test_support.hpp"

namespace fs = std::filesystem;
using namespace cxltest;

namespace {

std::vector<std::string> words(const std::string& raw, const Texts& vars) {
    std::vector<std::string> list;
    std::istringstream in(raw);
    for (std::string word; in >> word;) list.push_back(decode(word, vars));
    return list;
}

// Word n of a line, decoded alone: what follows may be any value.
std::string word(const std::string& raw, std::size_t n, const Texts& vars) {
    std::istringstream in(raw);
    std::string found;
    for (std::size_t k = 0; k <= n; ++k) in >> found;
    return decode(found, vars);
}

std::vector<Case> runCases() {
    std::vector<Case> cases =
        readCases(sourceDir() / "tests/data/runs", {{"pause", kPause}, {"program", programName()}});
    // A case for the other host is not one of this run's.
    std::erase_if(cases, [](const Case& c) {
        return std::any_of(c.lines.begin(), c.lines.end(), [](const Line& line) {
            return line.first == "host" && (splitLine(line.second).first == "windows") != programEndsLinesWithCrLf();
        });
    });
    return cases;
}

// Every entry below `dir` with its bytes and modification time.
std::map<std::string, std::string> snapshot(const fs::path& dir) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        struct stat info {};
        ::lstat(entry.path().c_str(), &info);
        const std::string bytes = entry.is_regular_file() ? readFile(entry.path()) : "";
        entries[entry.path().string()] = bytes + "@" + std::to_string(info.st_mtim.tv_sec) + "." +
                                         std::to_string(info.st_mtim.tv_nsec);
    }
    return entries;
}

const std::map<std::string, int> kSignals = {
    {"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP}, {"SIGQUIT", SIGQUIT}, {"SIGKILL", SIGKILL}};

class Runs : public testing::TestWithParam<Case> {};

// One run of case `c`; `late` tells that the program finished its pages
// before a signal meant to reach it while writing, which a busy machine can
// make happen: the run proves nothing then.
void runCase(const Case& c, bool& late) {
    TempDir dir;
    Texts vars = c.texts;
    vars["dir"] = dir.path().string();
    vars["windir"] = "Z:" + dir.path().string();
    std::replace(vars["windir"].begin(), vars["windir"].end(), '/', '\\');
    const bool update = std::getenv("CXL2XHTML_UPDATE_GOLDEN") != nullptr;

    RunOptions options;
    std::vector<std::string> unreadable;
    bool readOnly = false;
    std::vector<std::pair<std::string, std::string>> signals;  // kind, then the signal and the text
    std::vector<Line> checks;
    std::jthread feeder;  // joined however the case ends
    std::optional<FatFolder> fat;  // unmounted before the folder goes
    std::size_t fed = 0;
    for (const Line& line : c.lines) {
        const std::string& key = line.first;  // named, not bound: lambdas below use them
        const std::string& raw = line.second;
        const auto at = [&](std::size_t n) { return dir / word(raw, n, vars); };
        const auto rest = [&](std::size_t n) {  // the value after n words
            std::size_t start = 0;
            for (std::size_t k = 0; k < n; ++k) start = raw.find(' ', start) + 1;
            return decode(raw.substr(start), vars);
        };
        if (key == "host") {
            continue;  // chosen when the cases were read
        } else if (key == "let") {
            vars[word(raw, 0, vars)] = rest(1);
        } else if (key == "read") {
            vars[word(raw, 0, vars)] = readFile(sourceDir() / word(raw, 1, vars));
        } else if (key == "copy") {
            writeFile(at(0), readFile(sourceDir() / word(raw, 1, vars)));
        } else if (key == "file") {
            writeFile(at(0), rest(1));
        } else if (key == "utf16le" || key == "utf16be") {
            writeFile(at(0), utf16WithMark(rest(1), key == "utf16be"));
        } else if (key == "dir") {
            fs::create_directories(at(0));
        } else if (key == "fat-folder") {
            fat.emplace(at(0), std::stol(word(raw, 1, vars)));
            if (!fat->mounted()) GTEST_SKIP() << fat->reason();
        } else if (key == "symlink") {
            fs::create_symlink(at(1), at(0));
        } else if (key == "fifo" || key == "feed") {
            ASSERT_EQ(::mkfifo(at(0).c_str(), 0600), 0);
            if (key == "feed") {
                feeder = std::jthread([path = at(0), count = std::stol(word(raw, 1, vars)), bytes = rest(2),
                                       &fed](std::stop_token stop) {
                    // Waits for the program to open the pipe, unless the run ends first.
                    int fd = -1;
                    while ((fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && !stop.stop_requested()) {
                        ::usleep(1000);
                    }
                    if (fd < 0) return;
                    ::fcntl(fd, F_SETFL, 0);  // then blocking writes, each failing once the program has gone
                    for (long n = 0; n < count; ++n) {
                        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
                        if (written <= 0) break;
                        fed += static_cast<std::size_t>(written);
                    }
                    ::close(fd);
                });
            }
        } else if (key == "unreadable") {
            unreadable.push_back(at(0).string());
        } else if (key == "read-only-folder") {
            readOnly = true;
        } else if (key == "args") {
            options.args = words(raw, vars);
        } else if (key == "input") {
            options.input = rest(0);
        } else if (key == "file-size-limit") {
            options.fileSizeLimit = std::stol(raw);
        } else if (key == "umask") {
            options.umask = static_cast<unsigned>(std::stoul(raw, nullptr, 8));
        } else if (key == "fault") {
            options.faults += " " + raw;
        } else if (key == "output-limit") {
            options.outputLimit = std::stoul(raw);
        } else if (key == "terminal") {
            options.terminal = true;
        } else if (key == "signal-after" || key == "signal-at-pause" || key == "type-at-pause") {
            signals.emplace_back(key, raw);
        } else {
            checks.emplace_back(key, raw);
        }
    }

    const auto before = snapshot(dir.path());
    for (const std::string& path : unreadable) ::chmod(path.c_str(), 0);
    // Root writes anywhere: it runs the program as nobody, whom the folder
    // does not let write.
    options.asNobody = readOnly && ::geteuid() == 0;
    if (options.asNobody && !othersReach(dir.path())) {
        GTEST_SKIP() << "nobody cannot reach " << dir.path() << ": a folder on the way lets no others through";
    }
    if (readOnly && !options.asNobody) ::chmod(dir.path().c_str(), 0555);
    RunResult result;
    std::string settingsBefore;
    std::string settingsAfter;
    {
        Child child(dir.path(), options, !signals.empty());
        settingsBefore = child.startingTerminalSettings();
        for (const auto& [kind, raw] : signals) {
            if (kind == "type-at-pause") {
                ASSERT_TRUE(child.waitForOutput(kPause.substr(0, kPause.size() - 1))) << "no pause";
                EXPECT_TRUE(child.stillRunning()) << "the program waits at the pause";
                child.type(decode(raw, vars));
                EXPECT_TRUE(child.endsWithin(10)) << "the pause did not end at " << raw;
                continue;
            }
            ASSERT_TRUE(child.waitForOutput(decode(splitLine(raw).second, vars))) << raw;
            if (kind == "signal-at-pause") {
                EXPECT_TRUE(child.stillRunning()) << "the program waits at the pause";
            }
            ::kill(child.pid(), kSignals.at(splitLine(raw).first));
        }
        result = child.finish(options.outputLimit);
        settingsAfter = child.terminalSettings();
    }
    late = std::any_of(signals.begin(), signals.end(), [](const auto& s) { return s.first == "signal-after"; }) &&
           result.out.find("Salida generada.") != std::string::npos;
    if (late) return;
    if (feeder.joinable()) {
        feeder.request_stop();
        feeder.join();
    }
    ::chmod(dir.path().c_str(), 0755);
    for (const std::string& path : unreadable) ::chmod(path.c_str(), 0600);

    ASSERT_TRUE(std::any_of(checks.begin(), checks.end(), [](const Line& line) { return line.first == "exit"; }))
        << "a case without its exit status";
    bool updated = false;
    for (const Line& line : checks) {
        const std::string& key = line.first;
        const std::string& raw = line.second;
        SCOPED_TRACE(key + " " + raw.substr(0, 200));
        const auto page = [&] { return dir / word(raw, 0, vars); };
        if (key == "exit") {
            EXPECT_EQ(result.exitCode, std::stoi(raw)) << result.err;
        } else if (key == "out") {
            EXPECT_EQ(result.out, decode(raw, vars));
        } else if (key == "out-has") {
            // What a terminal shows, without its carriage returns and the
            // escape sequences that Wine's console adds.
            std::string out;
            for (std::size_t i = 0; i < result.out.size(); ++i) {
                if (result.out.compare(i, 2, "\x1B[") == 0) {
                    i = result.out.find_first_of("ABCDEFGHJKSTfhlmnsu", i + 2);
                } else if (result.out[i] != '\r') {
                    out += result.out[i];
                }
            }
            EXPECT_NE(out.find(decode(raw, vars)), std::string::npos) << out;
        } else if (key == "terminal-restored") {
            EXPECT_FALSE(settingsBefore.empty());
            EXPECT_EQ(settingsAfter, settingsBefore) << "the terminal's settings changed";
        } else if (key == "err") {
            EXPECT_EQ(result.err, decode(raw, vars));
        } else if (key == "err-ends") {
            const std::string end = decode(raw, vars);
            EXPECT_TRUE(result.err.size() >= end.size() && result.err.substr(result.err.size() - end.size()) == end)
                << result.err;
        } else if (key == "files") {
            std::vector<std::string> expected = words(raw, vars);
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(listing(dir.path()), expected);
        } else if (key == "unchanged") {
            EXPECT_EQ(snapshot(dir.path()), before);
        } else if (key == "golden") {
            const std::string unit = word(raw, 0, vars);
            for (const std::string suffix : {"_MapaConceptual.html", "_Desc.html"}) {
                const fs::path expected = sourceDir() / word(raw, 1, vars) / ("page" + suffix);
                if (update) {
                    fs::create_directories(expected.parent_path());
                    writeFile(expected, readPage(dir / (unit + suffix)));
                    updated = true;
                    continue;
                }
                EXPECT_EQ(readPage(dir / (unit + suffix)), readFile(expected)) << suffix;
                EXPECT_EQ(xhtmlErrors(dir / (unit + suffix)), "") << suffix;
            }
        } else if (key == "valid") {
            EXPECT_EQ(xhtmlErrors(page()).substr(0, 2000), "");
        } else if (key == "has" || key == "lacks") {
            const std::string value = decode(raw.substr(std::min(raw.size(), raw.find(' ') + 1)), vars);
            EXPECT_EQ(readPage(page()).find(value) != std::string::npos, key == "has");
        } else if (key == "mode") {
            struct stat info {};
            ASSERT_EQ(::stat(page().c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, std::stoul(word(raw, 1, vars), nullptr, 8));
        } else if (key == "fed-at-most") {
            EXPECT_LE(fed, std::stoul(raw));
        } else {
            ADD_FAILURE() << "unknown directive";
        }
    }
    if (updated) GTEST_SKIP() << "golden pages rewritten, nothing compared";
}

TEST_P(Runs, Case) {
    for (int attempt = 0; attempt < 5; ++attempt) {
        bool late = false;
        runCase(GetParam(), late);
        if (!late) return;
    }
    FAIL() << "the program finished its pages before the signal, five times";
}

INSTANTIATE_TEST_SUITE_P(Program, Runs, testing::ValuesIn(runCases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
