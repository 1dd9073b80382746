// Every case of tests/data/cases/, a test each, in the language of
// tests/README.md: what goes in, a run of the program (or, for the
// model of a map and the bytes of a page, the loader or the markup writer
// in this process), and what must come out.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fnmatch.h>
#endif

#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <thread>

#include "pages/markup.hpp"
#include "support/support.hpp"

using namespace cxltest;

#pragma GCC diagnostic ignored "-Wdangling-else"  // an EXPECT after an if is one statement
namespace {

using Texts = std::map<std::string, std::string>;
using Line = std::pair<std::string, std::string>;
struct Case {
    std::string name;
    std::shared_ptr<const Texts> texts;  // shared: some hold megabytes
    std::vector<Line> lines;
};
void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

const std::set<std::string> kInProcess = {"model", "language", "status", "text", "target", "link-name"};
const std::set<std::string> kExpected = {"language", "exit", "out", "err", "err-ends", "out-has", "files", "golden", "valid", "has",
    "lacks", "mode", "fed-at-most", "terminal-restored", "terminal-restored-while-stopped", "shown-after-pause", "outline", "model", "status", "text", "target", "link-name"};
const std::set<std::string> kKnown = {"host", "let", "read", "copy", "file", "utf16le", "dir", "symlink",
    "fifo", "feed", "unreadable", "fat-folder", "concept", "phrase", "link", "args", "input",
    "file-size-limit", "umask", "fault", "output-limit", "terminal", "type-at-pause", "signal-at-pause", "ignored-signal", "crlf",
    "bytes", "unit", "separators"};

bool has(const Case& c, const std::set<std::string>& keys) {
    return std::any_of(c.lines.begin(), c.lines.end(), [&](const Line& line) { return keys.count(line.first) > 0; });
}

std::string decode(std::string_view raw, const Texts& texts);

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

// The bytes a value stands for, its escapes and texts replaced.
std::string decode(std::string_view raw, const Texts& texts) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            const char e = raw[++i];
            const std::size_t plain = std::string_view("nrt0s").find(e);
            out += plain != std::string_view::npos ? std::string_view("\n\r\t\0 ", 5)[plain] : e;
            if (e == 'x') out.back() = static_cast<char>(std::stoi(std::string(raw.substr(i + 1, 2)), nullptr, 16)), i += 2;
        } else if (raw[i] == '$') {
            const std::size_t start = i + (raw.substr(i + 1, 1) == "{" ? 2 : 1);
            std::size_t end = start;
            while (end < raw.size() && (std::isalnum(static_cast<unsigned char>(raw[end])) || raw[end] == '-')) ++end;
            out += texts.at(std::string(raw.substr(start, end - start)));
            i = start == i + 2 ? end : end - 1;
        } else if (raw.substr(i, 2) == "{{") {
            const std::size_t star = raw.find('*', i), close = raw.find("}}", star);
            out += repeated(raw.substr(star + 1, close - star - 1), std::stol(std::string(raw.substr(i + 2))), texts);
            i = close + 1;
        } else {
            out += raw[i];
        }
    }
    return out;
}

// The cases of one file; its `let` lines before the first case add to the
// texts, which it gives back.
Texts readCases(const fs::path& file, Texts texts, std::vector<Case>& cases) {
    std::istringstream in(readFile(file));
    std::shared_ptr<const Texts> shared;
    bool inCase = false;
    for (std::string line; std::getline(in, line);) {
        const std::size_t space = std::min(line.find(' '), line.size());
        const Line split{line.substr(0, space), line.substr(std::min(space + 1, line.size()))};
        if (line.empty() || line[0] == '#') continue;
        if (split.first == "==") {
            if (!shared) shared = std::make_shared<const Texts>(texts);
            cases.push_back({file.stem().string() + "_" + split.second, shared, {}});
            for (char& c : cases.back().name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
            inCase = true;
        } else if (!inCase) {
            const std::size_t name = std::min(split.second.find(' '), split.second.size());
            texts[split.second.substr(0, name)] = decode(split.second.substr(std::min(name + 1, split.second.size())), texts);
        } else if (split.first == ">") {
            cases.back().lines.back().second += line.substr(std::min<std::size_t>(2, line.size())) + "\\n";
        } else {
            cases.back().lines.push_back(split);
        }
    }
    return texts;
}

// Word `n` of a value, decoded alone (what follows it may be any value),
// and the value after `n` words.
std::string word(const std::string& raw, std::size_t n, const Texts& vars) {
    std::istringstream in(raw);
    std::string found;
    for (std::size_t k = 0; k <= n; ++k) in >> found;
    return decode(found, vars);
}

std::string after(const std::string& raw, std::size_t n, const Texts& vars) {
    std::size_t start = 0;
    for (std::size_t k = 0; k < n; ++k) start = std::min(raw.find(' ', start) + 1, raw.size());
    return decode(raw.substr(start), vars);
}

// The UTF-8 value as UTF-16 with its byte-order mark.
std::string utf16(std::string_view utf8) {
    std::string bytes = "\xFF\xFE";
    for (cxl::Utf8Char c; !utf8.empty(); utf8.remove_prefix(c.length)) {
        c = cxl::decodeUtf8(utf8);
        const std::uint32_t high = 0xD800 + ((c.code - 0x10000) >> 10), low = 0xDC00 + ((c.code - 0x10000) & 0x3FF);
        for (const std::uint32_t unit : c.code < 0x10000 ? std::vector{c.code} : std::vector{high, low}) {
            bytes += std::string{char(unit), char(unit >> 8)};
        }
    }
    return bytes;
}

// The model, a line a node (concepts, then phrases), the roots, the language.
std::vector<std::string> modelOf(const cxl::ConceptMap& map) {
    std::vector<std::string> lines;
    for (const cxl::NodeList* list : {&map.conceptList, &map.phraseList}) {
        for (const cxl::MapNode& node : *list) {
            std::ostringstream line;
            line << (list == &map.conceptList ? "concept " : "phrase ") << node.id << " \"" << node.label << "\" "
                 << node.x << " " << node.y << " " << node.width << (node.childCount() > 0 ? " ->" : "");
            for (const cxl::MapNode* child : node.children) line << " " << child->id;
            lines.push_back(line.str());
        }
    }
    std::string roots = "roots";
    for (const cxl::NodeLink& root : map.rootList) roots.append(" ").append(root.target->id);
    if (!map.conceptList.empty()) lines.push_back(roots);
    if (!map.language.empty()) lines.push_back("language " + map.language);
    return lines;
}

void checkInProcess(const Case& c, const fs::path& dir, const Texts& vars) {
    std::map<std::string, std::string> values;
    std::vector<std::string> model;
    for (const auto& [key, raw] : c.lines) {
        values[key] = decode(raw, vars);
        if (key == "model") model.push_back(values[key]);
    }
    std::ostringstream text, target;
    cxl::writeText(text, values["bytes"]);
    cxl::writeLinkTarget(target, values["bytes"]);
    if (values.count("text")) EXPECT_EQ(text.str() + " " + target.str(), values["text"] + " " + values["target"]);
    if (values.count("link-name")) EXPECT_EQ(cxl::unitNameFor(values["unit"], values["separators"]).linkName, values["link-name"]);
    if (values.count("text") || values.count("link-name")) return;
    const char* const kStatus[] = {"Loaded", "NotXml", "OutOfMemory", "MissingNode"};
    cxl::ConceptMap map;
    const std::string status = kStatus[static_cast<int>(loadBytes(readFile(dir / "mc.cxl"), map, values.count("crlf") > 0))];
    EXPECT_EQ(status, values.count("status") ? values["status"] : "Loaded");
    if (values.count("language")) EXPECT_EQ(map.language, values["language"]);
    else if (status != "MissingNode") EXPECT_EQ(modelOf(map), model);  // such a map is never told
}

#ifndef _WIN32
// `concept ID X Y WIDTH LABEL`, `phrase ...` and `link FROM TO` as the CXL
// document that draws them.
std::string mapDocument(const Case& c, const Texts& vars) {
    std::string nodes, boxes, links;
    for (const auto& [key, raw] : c.lines) {
        const auto w = [&, &raw = raw](std::size_t n) { return word(raw, n, vars); };
        const std::string element = key == "concept" ? "concept" : "linking-phrase";
        if (key == "link") links += "<connection from-id=\"" + w(0) + "\" to-id=\"" + w(1) + "\"/>\n";
        if (key != "concept" && key != "phrase") continue;
        nodes += "<" + element + " id=\"" + w(0) + "\" label=\"" + after(raw, 4, vars) + "\"/>\n";
        boxes += "<" + element + "-appearance id=\"" + w(0) + "\" x=\"" + w(1) + "\" y=\"" + w(2) + "\" width=\"" + w(3) + "\"/>\n";
    }
    return "<?xml version=\"1.0\"?>\n<cmap><map>\n" + nodes + boxes + links + "</map></cmap>\n";
}

// What a terminal shows, without the carriage returns and escape sequences
// (Wine's console writes them).
std::string shown(const std::string& out) { return std::regex_replace(out, std::regex("\x1B\\[[0-9;?]*[A-Za-z]|\r"), ""); }

const std::map<std::string, int> kSignals = {{"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGQUIT", SIGQUIT},
    {"SIGHUP", SIGHUP}, {"SIGUSR1", SIGUSR1}, {"SIGALRM", SIGALRM}, {"SIGTSTP", SIGTSTP}, {"SIGRTMIN", SIGRTMIN}};


void checkRun(const Case& c, const fs::path& dir, const Texts& vars) {
    RunOptions options;
    std::vector<fs::path> unreadable;
    std::optional<std::size_t> outputLimit;
    std::vector<Line> atPause;
    std::optional<FatFolder> fat;  // unmounted before the folder goes
    std::jthread feeder;           // joined however the case ends
    std::size_t fed = 0;
    for (const auto& [key, raw] : c.lines) {
        const auto w = [&, &raw = raw](std::size_t n) { return word(raw, n, vars); };
        const fs::path path = dir / w(0);
        if (key == "copy") writeFile(path, readFile(sourceDir() / w(1)));
        if (key == "dir") fs::create_directories(path);
        if (key == "symlink") fs::create_symlink(dir / w(1), path);
        if (key == "unreadable") unreadable.push_back(path);
        if (key == "args") for (std::istringstream in(raw); in >> options.args.emplace_back();) options.args.back() = decode(options.args.back(), vars);
        if (key == "input") options.input = after(raw, 0, vars);
        if (key == "file-size-limit") options.fileSizeLimit = std::stol(raw);
        if (key == "umask") options.umask = static_cast<unsigned>(std::stoul(raw, nullptr, 8));
        if (key == "fault") options.faults += " " + raw;
        if (key == "output-limit") outputLimit = std::stoul(raw);
        if (key == "terminal") options.terminal = true;
        if (key == "type-at-pause" || key == "signal-at-pause") atPause.emplace_back(key, raw);
        if (key == "signal-at-pause" && raw == "SIGTSTP") options.stoppable = true;
        if (key == "ignored-signal") options.ignoredSignals.push_back(kSignals.at(raw));
        if (key == "concept" || key == "phrase" || key == "link") writeFile(dir / "mc.cxl", mapDocument(c, vars));
        if (key == "fat-folder" && !fat.emplace(path, std::stol(w(1))).reason().empty()) GTEST_SKIP() << fat->reason();
        if (key == "fifo" || key == "feed") ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        if (key == "feed") {
            feeder = std::jthread([path, count = std::stol(w(1)), bytes = after(raw, 2, vars), &fed](std::stop_token stop) {
                int fd = -1;  // waits for the program to open the pipe, unless the run ends first
                while ((fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && !stop.stop_requested()) ::usleep(1000);
                ::fcntl(fd, F_SETFL, 0);  // then blocking writes, which fail once the program has gone
                for (long n = 0; fd >= 0 && n < count && ::write(fd, bytes.data(), bytes.size()) > 0; ++n) fed += bytes.size();
                if (fd >= 0) ::close(fd);
            });
        }
    }
    if (!options.args.empty() && options.args.back().empty()) options.args.pop_back();
    for (const fs::path& path : unreadable) ::chmod(path.c_str(), 0);
    options.inputStaysOpen = !atPause.empty();

    RunResult result;
    std::string terminalBefore, terminalAfter, terminalStopped, afterPause;
    {
        Child child(dir, options);
        for (std::size_t step = 0; step < atPause.size(); ++step) {
            const auto& [key, raw] = atPause[step];
            ASSERT_TRUE(child.waitForOutput(kPause.substr(0, kPause.size() - 1))) << "no pause";
            EXPECT_TRUE(child.stillRunning()) << "the program waits at the pause";
            if (key == "signal-at-pause") ::kill(child.pid(), kSignals.at(raw));
            siginfo_t stopped{};  // Ctrl+Z: the terminal as the stopped program left it; then, as a shell does, its own back
            if (key == "signal-at-pause" && raw == "SIGTSTP" && ::waitid(P_PID, static_cast<id_t>(child.pid()), &stopped, WSTOPPED | WNOWAIT) == 0) {
                terminalStopped = child.terminal();
                child.setTerminal(child.startingTerminal());
                ::kill(child.pid(), SIGCONT);
            }
            if (key == "type-at-pause") child.type(decode(raw, vars));
            if (step + 1 < atPause.size()) EXPECT_TRUE(child.stillRunning()) << "the pause ended at " << raw;
            else EXPECT_TRUE(child.endsWithin(10)) << "the pause did not end at " << raw;
        }
        result = child.finish(outputLimit);
        terminalBefore = child.startingTerminal();
        terminalAfter = child.terminal();
        const std::string pause = kPause.substr(0, kPause.size() - 1);
        afterPause = shown(result.out.substr(std::min(result.out.size(), result.out.rfind(pause) + pause.size())));
    }
    // FUSE removes a file that was unlinked while open only once its last
    // handle is closed, which a killed program's are a moment later.
    for (int tenths = 0; fat && tenths < 50 && hasFuseHidden(dir); ++tenths) ::usleep(100000);
    if (feeder.joinable()) feeder.request_stop(), feeder.join();
    ::chmod(dir.c_str(), 0755);
    for (const fs::path& path : unreadable) ::chmod(path.c_str(), 0600);

    ASSERT_TRUE(has(c, {"exit"})) << "a run without its exit status";
    for (const auto& [key, raw] : c.lines) {
        SCOPED_TRACE(key + " " + raw.substr(0, 200));
        const auto w = [&, &raw = raw](std::size_t n) { return word(raw, n, vars); };
        const std::string value = key == "files" || key == "golden" || key == "mode" ? "" : after(raw, key == "has" || key == "lacks", vars);
        if (key == "exit") EXPECT_EQ(result.exitCode, std::stoi(raw)) << result.err;
        if (key == "out") EXPECT_EQ(result.out, value);
        if (key == "err") EXPECT_EQ(result.err, value);
        if (key == "err-ends") EXPECT_TRUE(result.err.ends_with(value)) << result.err;
        if (key == "out-has") EXPECT_NE(shown(result.out).find(value), std::string::npos) << shown(result.out);
        if (key == "has" || key == "lacks") EXPECT_EQ(readPage(dir / w(0)).find(value) != std::string::npos, key == "has");
        if (key == "valid") EXPECT_EQ(xhtmlErrors(dir / w(0)).substr(0, 2000), "");
        if (key == "fed-at-most") EXPECT_LE(fed, std::stoul(raw));
        if (key == "terminal-restored") EXPECT_EQ(terminalAfter, terminalBefore) << "the terminal's settings changed";
        if (key == "terminal-restored-while-stopped") EXPECT_EQ(terminalStopped, terminalBefore) << "stopped with the terminal changed";
        if (key == "shown-after-pause") EXPECT_EQ(afterPause, value);
        if (key == "files") {
            std::vector<std::string> expected;
            for (std::istringstream in(raw); in >> expected.emplace_back();) expected.back() = decode(expected.back(), vars);
            expected.pop_back();
            std::sort(expected.begin(), expected.end());
            std::vector<std::string> found = listing(dir);
            for (std::size_t i = 0; i < std::min(found.size(), expected.size()); ++i) {  // "?" for a random character
                if (::fnmatch(expected[i].c_str(), found[i].c_str(), FNM_PERIOD) == 0) found[i] = expected[i];
            }
            EXPECT_EQ(found, expected);
        }
        struct stat info {};
        if (key == "mode") EXPECT_EQ(::stat((dir / w(0)).c_str(), &info) == 0 ? info.st_mode & 0777 : 0, std::stoul(w(1), nullptr, 8));
        if (key == "outline") {  // its items; the lists' own tags only have to be valid
            std::istringstream page(readPage(dir / "SIGXX_Desc.html"));
            std::string items, line;
            while (std::getline(page, line) && !line.ends_with("</h1>")) {}
            while (std::getline(page, line) && line != "    <p>") {
                const std::string tag = line.substr(std::min(line.find('<'), line.size()));
                items += tag == "<ul>" || tag == "</ul>" || tag == "</li>" ? "" : line + "\n";
            }
            EXPECT_EQ(items, value);
            EXPECT_EQ(xhtmlErrors(dir / "SIGXX_Desc.html"), "");
        }
        for (const std::string suffix : {"_MapaConceptual.html", "_Desc.html"}) {
            if (key != "golden") break;
            const fs::path page = dir / (w(0) + suffix), expected = sourceDir() / w(1) / ("page" + suffix);
            if (std::getenv("CXL2XHTML_UPDATE_GOLDEN") != nullptr) writeFile(expected, readPage(page));
            EXPECT_EQ(readPage(page), readFile(expected)) << suffix;
            EXPECT_EQ(xhtmlErrors(page), "") << suffix;
        }
    }
}
#endif

class Cases : public testing::TestWithParam<Case> {};

TEST_P(Cases, Case) {
    const Case& c = GetParam();
    for (const auto& [key, raw] : c.lines) ASSERT_TRUE(kKnown.count(key) || kExpected.count(key)) << "unknown key " << key;
    ASSERT_TRUE(has(c, kExpected)) << "a case that expects nothing";
    TempDir dir;
    Texts vars = *c.texts;
    vars["dir"] = dir.path().string();
    vars["windir"] = "Z:" + dir.path().string();
    std::replace(vars["windir"].begin(), vars["windir"].end(), '/', '\\');
    for (const auto& [key, raw] : c.lines) {
        if (key == "let") vars[word(raw, 0, vars)] = after(raw, 1, vars);
        if (key == "read") vars[word(raw, 0, vars)] = readFile(sourceDir() / word(raw, 1, vars));
        if (key == "file") writeFile(dir / word(raw, 0, vars), after(raw, 1, vars));
        if (key == "utf16le") writeFile(dir / word(raw, 0, vars), utf16(after(raw, 1, vars)));
    }
#ifndef _WIN32
    if (!has(c, kInProcess)) return checkRun(c, dir.path(), vars);
#endif
    checkInProcess(c, dir.path(), vars);
}

// This build's cases: in process where the program is built here, runs of
// the program under test (the Windows one through Wine), each for its host.
std::vector<Case> casesHere() {
#ifdef _WIN32
    const bool runs = false, inProcess = true, windows = true;
    const Texts shared = {{"pause", kPause}, {"program", "cxl2xhtml"}};
#else
    const bool runs = true, inProcess = !programEndsLinesWithCrLf(), windows = programEndsLinesWithCrLf();
    const Texts shared = {{"pause", kPause}, {"program", programName()}};
#endif
    const fs::path folder = sourceDir() / "tests/data/cases";
    std::vector<Case> cases;
    const Texts common = readCases(folder / "texts", shared, cases);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) readCases(file, common, cases);
    std::erase_if(cases, [&](const Case& c) {
        const auto host = std::find_if(c.lines.begin(), c.lines.end(), [](const Line& l) { return l.first == "host"; });
        if (host != c.lines.end() && host->second.starts_with("windows") != windows) return true;
        return has(c, kInProcess) ? !inProcess : !runs;
    });
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Data, Cases, testing::ValuesIn(casesHere()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
