// Every case of tests/data/cases/, a test each, in the language of
// tests/README.md: what goes in, a run of the program (or, for the
// model of a map and the bytes of a page, the loader or the markup writer
// in this process), and what must come out.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fnmatch.h>
#endif

#include <iterator>
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
const std::set<std::string> kGiven = {"host", "let", "read", "file", "utf16le", "crlf", "bytes", "unit", "separators"};  // any case's

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
        if (raw.substr(i, 2) == "\\x") {
            out += static_cast<char>(std::stoi(std::string(raw.substr(i + 2, 2)), nullptr, 16));
            i += 3;
        } else if (raw[i] == '\\' && i + 1 < raw.size()) {
            const std::size_t plain = std::string_view("nrt0s").find(raw[++i]);
            out += plain != std::string_view::npos ? std::string_view("\n\r\t\0 ", 5)[plain] : raw[i];
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

// What a terminal shows, without the carriage returns and escape sequences Wine's console writes.
std::string shown(const std::string& out) { return std::regex_replace(out, std::regex("\x1B\\[[0-9;?]*[A-Za-z]|\r"), ""); }

const std::map<std::string, int> kSignals = {{"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGQUIT", SIGQUIT},
    {"SIGHUP", SIGHUP}, {"SIGUSR1", SIGUSR1}, {"SIGABRT", SIGABRT}, {"SIGTSTP", SIGTSTP}, {"SIGRTMIN", SIGRTMIN}};

// One run case as it goes: what was set up, the run, what came out.
struct Run {
    Run(const Case& c, const fs::path& dir, const Texts& vars) : c(c), dir(dir), vars(vars) {}
    const Case& c;
    fs::path dir;
    const Texts& vars;
    RunOptions options;
    std::vector<fs::path> unreadable;
    std::optional<std::size_t> outputLimit;
    std::vector<Line> atPause;
    std::optional<FatFolder> fat;  // unmounted before the folder goes
    std::jthread feeder;           // joined however the case ends
    std::size_t fed = 0;
    RunResult result;
    std::string terminalBefore, terminalAfter, terminalStopped, afterPause;

    [[nodiscard]] std::string w(const std::string& raw, std::size_t n) const { return word(raw, n, vars); }
    [[nodiscard]] fs::path path(const std::string& raw) const { return dir / w(raw, 0); }
    [[nodiscard]] std::string value(const std::string& raw, std::size_t skipped = 0) const { return after(raw, skipped, vars); }
};

void feed(Run& r, const std::string& raw) {
    ASSERT_EQ(::mkfifo(r.path(raw).c_str(), 0600), 0);
    r.feeder = std::jthread([path = r.path(raw), count = std::stol(r.w(raw, 1)), bytes = r.value(raw, 2), &fed = r.fed](std::stop_token stop) {
        int fd = -1;  // waits for the program to open the pipe, unless the run ends first
        while ((fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && !stop.stop_requested()) ::usleep(1000);
        ::fcntl(fd, F_SETFL, 0);  // then blocking writes, which fail once the program has gone
        for (long n = 0; fd >= 0 && n < count && ::write(fd, bytes.data(), bytes.size()) > 0; ++n) fed += bytes.size();
        if (fd >= 0) ::close(fd);
    });
}

void writeMap(Run& r, const std::string&) { writeFile(r.dir / "mc.cxl", mapDocument(r.c, r.vars)); }

const std::map<std::string, void (*)(Run&, const std::string&)> kSetups = {
    {"copy", [](Run& r, const std::string& raw) { writeFile(r.path(raw), readFile(sourceDir() / r.w(raw, 1))); }},
    {"dir", [](Run& r, const std::string& raw) { fs::create_directories(r.path(raw)); }},
    {"symlink", [](Run& r, const std::string& raw) { fs::create_symlink(r.dir / r.w(raw, 1), r.path(raw)); }},
    {"unreadable", [](Run& r, const std::string& raw) { r.unreadable.push_back(r.path(raw)); }},
    {"args", [](Run& r, const std::string& raw) {  // then the last, which no word filled, goes
        for (std::istringstream in(raw); in >> r.options.args.emplace_back();) r.options.args.back() = decode(r.options.args.back(), r.vars);
        r.options.args.pop_back(); }},
    {"input", [](Run& r, const std::string& raw) { r.options.input = r.value(raw); }},
    {"file-size-limit", [](Run& r, const std::string& raw) { r.options.fileSizeLimit = std::stol(raw); }},
    {"umask", [](Run& r, const std::string& raw) { r.options.umask = static_cast<unsigned>(std::stoul(raw, nullptr, 8)); }},
    {"fault", [](Run& r, const std::string& raw) {  // the address sanitizer copies texts and makes arrays its own way
        if (&__asan_init != nullptr && (raw.starts_with("strdup:") || raw.starts_with("new:"))) GTEST_SKIP() << "no allocation fails under the address sanitizer";
        r.options.faults += " " + raw; }},
    {"output-limit", [](Run& r, const std::string& raw) { r.outputLimit = std::stoul(raw); }},
    {"terminal", [](Run& r, const std::string&) { r.options.terminal = true; }},
    {"type-at-pause", [](Run& r, const std::string& raw) { r.atPause.emplace_back("type-at-pause", raw); }},
    {"signal-at-pause", [](Run& r, const std::string& raw) {  // Ctrl+Z stops a job of its own, as a shell makes it
        r.atPause.emplace_back("signal-at-pause", raw);
        r.options.stoppable = r.options.stoppable || raw == "SIGTSTP"; }},
    {"ignored-signal", [](Run& r, const std::string& raw) { r.options.ignoredSignals.push_back(kSignals.at(raw)); }},
    {"concept", writeMap}, {"phrase", writeMap}, {"link", writeMap},
    {"fat-folder", [](Run& r, const std::string& raw) { if (!r.fat.emplace(r.path(raw), std::stol(r.w(raw, 1))).reason().empty()) GTEST_SKIP() << r.fat->reason(); }},
    {"fifo", [](Run& r, const std::string& raw) { ASSERT_EQ(::mkfifo(r.path(raw).c_str(), 0600), 0); }},
    {"feed", feed},
};

// The names in the folder, sorted; "?" in an expected one for a random character.
void checkFiles(const Run& r, const std::string& raw) {
    std::vector<std::string> expected;
    for (std::istringstream in(raw); in >> expected.emplace_back();) expected.back() = decode(expected.back(), r.vars);
    expected.pop_back();
    std::sort(expected.begin(), expected.end());
    std::vector<std::string> found = listing(r.dir);
    for (std::size_t i = 0; i < std::min(found.size(), expected.size()); ++i) {
        if (::fnmatch(expected[i].c_str(), found[i].c_str(), FNM_PERIOD) == 0) found[i] = expected[i];
    }
    EXPECT_EQ(found, expected);
}

// The description's items; the lists' own tags only have to be valid.
void checkOutline(const Run& r, const std::string& raw) {
    std::istringstream page(readPage(r.dir / "SIGXX_Desc.html"));
    std::string items, line;
    while (std::getline(page, line) && !line.ends_with("</h1>")) {}
    while (std::getline(page, line) && line != "    <p>") {
        const std::string tag = line.substr(std::min(line.find('<'), line.size()));
        items += tag == "<ul>" || tag == "</ul>" || tag == "</li>" ? "" : line + "\n";
    }
    EXPECT_EQ(items, r.value(raw));
    EXPECT_EQ(xhtmlErrors(r.dir / "SIGXX_Desc.html"), "");
}

void checkGolden(const Run& r, const std::string& raw) {
    for (const std::string suffix : {"_MapaConceptual.html", "_Desc.html"}) {
        const fs::path page = r.dir / (r.w(raw, 0) + suffix), expected = sourceDir() / r.w(raw, 1) / ("page" + suffix);
        if (std::getenv("CXL2XHTML_UPDATE_GOLDEN") != nullptr) writeFile(expected, readPage(page));
        EXPECT_EQ(readPage(page), readFile(expected)) << suffix;
        EXPECT_EQ(xhtmlErrors(page), "") << suffix;
    }
}

const std::map<std::string, void (*)(const Run&, const std::string&)> kChecks = {
    {"exit", [](const Run& r, const std::string& raw) { EXPECT_EQ(r.result.exitCode, std::stoi(raw)) << r.result.err; }},
    {"out", [](const Run& r, const std::string& raw) { EXPECT_EQ(r.result.out, r.value(raw)); }},
    {"err", [](const Run& r, const std::string& raw) { EXPECT_EQ(r.result.err, r.value(raw)); }},
    {"err-ends", [](const Run& r, const std::string& raw) { EXPECT_TRUE(r.result.err.ends_with(r.value(raw))) << r.result.err; }},
    {"out-has", [](const Run& r, const std::string& raw) { EXPECT_NE(shown(r.result.out).find(r.value(raw)), std::string::npos) << shown(r.result.out); }},
    {"has", [](const Run& r, const std::string& raw) { EXPECT_NE(readPage(r.path(raw)).find(r.value(raw, 1)), std::string::npos); }},
    {"lacks", [](const Run& r, const std::string& raw) { EXPECT_EQ(readPage(r.path(raw)).find(r.value(raw, 1)), std::string::npos); }},
    {"valid", [](const Run& r, const std::string& raw) { EXPECT_EQ(xhtmlErrors(r.path(raw)).substr(0, 2000), ""); }},
    {"fed-at-most", [](const Run& r, const std::string& raw) { EXPECT_LE(r.fed, std::stoul(raw)); }},
    {"terminal-restored", [](const Run& r, const std::string&) { EXPECT_EQ(r.terminalAfter, r.terminalBefore) << "the terminal's settings changed"; }},
    {"terminal-restored-while-stopped", [](const Run& r, const std::string&) { EXPECT_EQ(r.terminalStopped, r.terminalBefore) << "stopped with the terminal changed"; }},
    {"shown-after-pause", [](const Run& r, const std::string& raw) { EXPECT_EQ(r.afterPause, r.value(raw)); }},
    {"files", checkFiles},
    {"mode", [](const Run& r, const std::string& raw) { struct stat info {}; EXPECT_EQ(::stat(r.path(raw).c_str(), &info) == 0 ? info.st_mode & 0777 : 0, std::stoul(r.w(raw, 1), nullptr, 8)); }},
    {"outline", checkOutline},
    {"golden", checkGolden},
};

void checkRun(const Case& c, const fs::path& dir, const Texts& vars) {
    Run r{c, dir, vars};
    for (const auto& [key, raw] : c.lines) {
        if (const auto setup = kSetups.find(key); setup != kSetups.end()) setup->second(r, raw);
        if (testing::Test::HasFatalFailure() || testing::Test::IsSkipped()) return;
    }
    for (const fs::path& path : r.unreadable) ::chmod(path.c_str(), 0);
    r.options.inputStaysOpen = !r.atPause.empty();
    {
        Child child(dir, r.options);  // the keys at the pause in their order, while it waits there
        for (std::size_t step = 0; step < r.atPause.size(); ++step) {
            const auto& [key, raw] = r.atPause[step];
            ASSERT_TRUE(child.waitForOutput(kPause.substr(0, kPause.size() - 1))) << "no pause";
            EXPECT_TRUE(child.stillRunning()) << "the program waits at the pause";
            if (key == "signal-at-pause") ::kill(child.pid(), kSignals.at(raw));
            siginfo_t stopped{};  // Ctrl+Z: the terminal as the stopped program left it; then, as a shell does, its own back
            if (key == "signal-at-pause" && raw == "SIGTSTP" && ::waitid(P_PID, static_cast<id_t>(child.pid()), &stopped, WSTOPPED | WNOWAIT) == 0) {
                r.terminalStopped = child.terminal();
                child.setTerminal(child.startingTerminal());
                ::kill(child.pid(), SIGCONT);
            }
            if (key == "type-at-pause") child.type(decode(raw, r.vars));
            if (step + 1 < r.atPause.size()) EXPECT_TRUE(child.stillRunning()) << "the pause ended at " << raw;
            else EXPECT_TRUE(child.endsWithin(10)) << "the pause did not end at " << raw;
        }
        const std::string left = child.leftForShell();
        r.result = child.finish(r.outputLimit);
        r.terminalBefore = child.startingTerminal();
        r.terminalAfter = child.terminal() + left;  // its settings, and nothing typed left in it
        const std::string pause = kPause.substr(0, kPause.size() - 1);
        r.afterPause = shown(r.result.out.substr(std::min(r.result.out.size(), r.result.out.rfind(pause) + pause.size())));
    }
    // FUSE removes a file unlinked while open once its last handle closes: a killed program's, a moment later.
    const auto fuseHidden = [&dir] { return std::any_of(fs::recursive_directory_iterator(dir), {}, [](const auto& e) { return e.path().filename().string().starts_with(".fuse_hidden"); }); };
    for (int tenths = 0; r.fat && tenths < 50 && fuseHidden(); ++tenths) ::usleep(100000);
    if (r.feeder.joinable()) r.feeder.request_stop(), r.feeder.join();
    ::chmod(dir.c_str(), 0755);
    for (const fs::path& path : r.unreadable) ::chmod(path.c_str(), 0600);

    ASSERT_TRUE(has(c, {"exit"})) << "a run without its exit status";
    for (const auto& [key, raw] : c.lines) {
        SCOPED_TRACE(key + " " + raw.substr(0, 200));
        if (const auto check = kChecks.find(key); check != kChecks.end()) check->second(r, raw);
    }
}
#else
const std::set<std::string> kSetups, kChecks;  // nothing runs here
#endif

class Cases : public testing::TestWithParam<Case> {};

TEST_P(Cases, Case) {
    const Case& c = GetParam();
    bool expects = has(c, kInProcess);
    for (const auto& [key, raw] : c.lines) {
        expects = expects || kChecks.count(key) > 0;
        ASSERT_TRUE(kSetups.count(key) || kChecks.count(key) || kGiven.count(key) || kInProcess.count(key)) << "unknown key " << key;
    }
    ASSERT_TRUE(expects) << "a case that expects nothing";
    TempDir dir;
    Texts vars = *c.texts;
    vars["dir"] = dir.path().string();
    vars["windir"] = windowsPath(dir.path().string());
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
    std::copy_if(fs::directory_iterator(folder), {}, std::back_inserter(files), [](const auto& e) { return e.path().extension() == ".txt"; });
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
