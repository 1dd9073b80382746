// Every case of tests/data/cases/, a test each, in the language of
// tests/data/README.md: the set-up, then a run of the program (or, for the
// model of a map and the bytes of a page, the loader or the markup writer
// in this process), then what must come out.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include "map/encoding.hpp"
#include "pages/markup.hpp"
#include "support/support.hpp"

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>
#endif

using namespace cxltest;

namespace {

const std::set<std::string> kSetUp = {
    "host", "let", "read", "copy", "file", "utf16le", "utf16be", "dir", "symlink", "fifo", "feed", "unreadable",
    "read-only-folder", "fat-folder", "concept", "phrase", "link", "args", "input", "file-size-limit", "umask",
    "fault", "output-limit", "terminal", "type-at-pause", "signal-at-pause", "crlf", "bytes", "unit", "separators"};
const std::set<std::string> kInProcess = {"model", "status", "text", "target", "link-name"};
const std::set<std::string> kExpected = {"exit", "out", "err", "err-ends", "out-has", "files", "golden", "valid",
                                         "has", "lacks", "mode", "fed-at-most", "terminal-restored", "outline",
                                         "model", "status", "text", "target", "link-name"};

bool has(const Case& c, const std::set<std::string>& keys) {
    return std::any_of(c.lines.begin(), c.lines.end(), [&](const Line& line) { return keys.count(line.first) > 0; });
}

// Word `n` of a value, decoded alone: what follows it may be any value.
std::string word(const std::string& raw, std::size_t n, const Texts& vars) {
    std::istringstream in(raw);
    std::string found;
    for (std::size_t k = 0; k <= n; ++k) in >> found;
    return decode(found, vars);
}

// The value after `n` words.
std::string after(const std::string& raw, std::size_t n, const Texts& vars) {
    std::size_t start = 0;
    for (std::size_t k = 0; k < n; ++k) start = std::min(raw.find(' ', start) + 1, raw.size());
    return decode(raw.substr(start), vars);
}

// The model, a line a node (concepts, then phrases, in document order), then
// the roots and the language.
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

// The UTF-8 value as UTF-16 with its byte-order mark.
std::string utf16(std::string_view utf8, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    while (!utf8.empty()) {
        const cxl::Utf8Char ch = cxl::decodeUtf8(utf8);
        if (ch.length == 0) throw std::runtime_error("not UTF-8");
        utf8.remove_prefix(ch.length);
        std::vector<std::uint32_t> units{ch.code};
        if (ch.code >= 0x10000) units = {0xD800 + ((ch.code - 0x10000) >> 10), 0xDC00 + ((ch.code - 0x10000) & 0x3FF)};
        for (const std::uint32_t unit : units) {
            const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
            bytes += bigEndian ? std::string{high, low} : std::string{low, high};
        }
    }
    return bytes;
}

// The files of a case: as given, or in UTF-16.
void writeFiles(const Case& c, const fs::path& dir, const Texts& vars) {
    for (const auto& [key, raw] : c.lines) {
        if (key == "file") writeFile(dir / word(raw, 0, vars), after(raw, 1, vars));
        if (key == "utf16le" || key == "utf16be") writeFile(dir / word(raw, 0, vars), utf16(after(raw, 1, vars), key == "utf16be"));
    }
}

void checkInProcess(const Case& c, const fs::path& dir, const Texts& vars) {
    std::map<std::string, std::string> values;
    std::vector<std::string> model;
    for (const auto& [key, raw] : c.lines) {
        if (key == "model") model.push_back(decode(raw, vars));
        values[key] = decode(raw, vars);
    }
    if (values.count("text") || values.count("target")) {
        std::ostringstream text, target;
        cxl::writeText(text, values["bytes"]);
        cxl::writeLinkTarget(target, values["bytes"]);
        EXPECT_EQ(text.str(), values["text"]);
        EXPECT_EQ(target.str(), values["target"]);
    } else if (values.count("link-name")) {
        EXPECT_EQ(cxl::unitNameFor(values["unit"], values["separators"]).linkName, values["link-name"]);
    } else {
        static const std::map<cxl::LoadStatus, std::string> kStatus = {{cxl::LoadStatus::Loaded, "Loaded"},
            {cxl::LoadStatus::NotXml, "NotXml"}, {cxl::LoadStatus::MissingNode, "MissingNode"},
            {cxl::LoadStatus::OutOfMemory, "OutOfMemory"}};
        cxl::ConceptMap map;
        const cxl::LoadStatus status = loadBytes(readFile(dir / "mc.cxl"), map, values.count("crlf") > 0);
        EXPECT_EQ(kStatus.at(status), values.count("status") ? values["status"] : "Loaded");
        if (status != cxl::LoadStatus::MissingNode) { EXPECT_EQ(modelOf(map), model); }  // such a map is never told
    }
}

#ifndef _WIN32
// Words of a value, each decoded alone; a space inside one is written \s.
std::vector<std::string> words(const std::string& raw, const Texts& vars) {
    std::vector<std::string> list;
    std::istringstream in(raw);
    for (std::string word; in >> word;) list.push_back(decode(word, vars));
    return list;
}

std::string xmlAttribute(std::string text) {
    for (const auto& [c, reference] : {std::pair{'&', "&amp;"}, {'<', "&lt;"}, {'"', "&quot;"}}) {
        for (std::size_t at = text.find(c); at != std::string::npos; at = text.find(c, at + 1)) text.replace(at, 1, reference);
    }
    return text;
}

// `concept ID X Y WIDTH LABEL`, `phrase ...` and `link FROM TO` lines, as
// the CXL document that draws them.
std::string mapDocument(const Case& c, const Texts& vars) {
    std::string nodes, boxes, links;
    for (const auto& [key, raw] : c.lines) {
        const std::vector<std::string> w = words(raw, vars);
        if (key == "link") links += "<connection from-id=\"" + w[0] + "\" to-id=\"" + w[1] + "\"/>\n";
        if (key != "concept" && key != "phrase") continue;
        const std::string element = key == "concept" ? "concept" : "linking-phrase";
        nodes += "<" + element + " id=\"" + w[0] + "\" label=\"" + xmlAttribute(after(raw, 4, vars)) + "\"/>\n";
        boxes += "<" + element + "-appearance id=\"" + w[0] + "\" x=\"" + w[1] + "\" y=\"" + w[2] + "\" width=\"" + w[3] + "\"/>\n";
    }
    return "<?xml version=\"1.0\"?>\n<cmap><map>\n" + nodes + boxes + links + "</map></cmap>\n";
}

const std::map<std::string, int> kSignals = {{"SIGINT", SIGINT}, {"SIGTERM", SIGTERM}, {"SIGHUP", SIGHUP},
                                             {"SIGQUIT", SIGQUIT}, {"SIGKILL", SIGKILL}};

// What a terminal shows, without its carriage returns and the escape
// sequences that Wine's console adds.
std::string shown(const std::string& out) {
    std::string text;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out.compare(i, 2, "\x1B[") == 0) {
            i = out.find_first_of("ABCDEFGHJKSTfhlmnsu", i + 2);
        } else if (out[i] != '\r') {
            text += out[i];
        }
    }
    return text;
}

void checkRun(const Case& c, const fs::path& dir, const Texts& vars) {
    RunOptions options;
    std::vector<fs::path> unreadable;
    bool readOnly = false;
    std::optional<std::size_t> outputLimit;
    std::vector<Line> atPause;
    std::optional<FatFolder> fat;  // unmounted before the folder goes
    std::jthread feeder;           // joined however the case ends
    std::size_t fed = 0;
    bool drawn = false;
    for (const auto& [key, raw] : c.lines) {
        const auto w = [&](std::size_t n) { return word(raw, n, vars); };
        const auto path = [&] { return dir / w(0); };
        if (key == "copy") writeFile(path(), readFile(sourceDir() / w(1)));
        if (key == "dir") fs::create_directories(path());
        if (key == "symlink") fs::create_symlink(dir / w(1), path());
        if (key == "unreadable") unreadable.push_back(path());
        if (key == "read-only-folder") readOnly = true;
        if (key == "args") options.args = words(raw, vars);
        if (key == "input") options.input = after(raw, 0, vars);
        if (key == "file-size-limit") options.fileSizeLimit = std::stol(raw);
        if (key == "umask") options.umask = static_cast<unsigned>(std::stoul(raw, nullptr, 8));
        if (key == "fault") options.faults += " " + raw;
        if (key == "output-limit") outputLimit = std::stoul(raw);
        if (key == "terminal") options.terminal = true;
        if (key == "type-at-pause" || key == "signal-at-pause") atPause.emplace_back(key, raw);
        if (key == "concept" || key == "phrase" || key == "link") drawn = true;
        if (key == "fat-folder") {
            fat.emplace(path(), std::stol(w(1)));
            if (!fat->reason().empty()) GTEST_SKIP() << fat->reason();
        }
        if (key == "fifo" || key == "feed") { ASSERT_EQ(::mkfifo(path().c_str(), 0600), 0); }
        if (key == "feed") {
            feeder = std::jthread([target = path(), count = std::stol(w(1)), bytes = after(raw, 2, vars),
                                   &fed](std::stop_token stop) {
                int fd = -1;  // waits for the program to open the pipe, unless the run ends first
                while ((fd = ::open(target.c_str(), O_WRONLY | O_NONBLOCK)) < 0 && !stop.stop_requested()) ::usleep(1000);
                if (fd < 0) return;
                ::fcntl(fd, F_SETFL, 0);  // then blocking writes, which fail once the program has gone
                for (long n = 0; n < count && ::write(fd, bytes.data(), bytes.size()) > 0; ++n) fed += bytes.size();
                ::close(fd);
            });
        }
    }
    if (drawn) writeFile(dir / "mc.cxl", mapDocument(c, vars));
    options.inputStaysOpen = !atPause.empty();
    for (const fs::path& path : unreadable) ::chmod(path.c_str(), 0);
    options.asNobody = readOnly && ::geteuid() == 0;  // root writes anywhere
    if (options.asNobody && !othersReach(dir)) GTEST_SKIP() << "nobody cannot reach " << dir << ": a folder on the way lets no others through";
    if (readOnly && !options.asNobody) ::chmod(dir.c_str(), 0555);

    RunResult result;
    std::string terminalBefore, terminalAfter;
    {
        Child child(dir, options);
        for (const auto& [key, raw] : atPause) {
            ASSERT_TRUE(child.waitForOutput(kPause.substr(0, kPause.size() - 1))) << "no pause";
            EXPECT_TRUE(child.stillRunning()) << "the program waits at the pause";
            if (key == "signal-at-pause") ::kill(child.pid(), kSignals.at(raw));
            if (key == "type-at-pause") child.type(decode(raw, vars));
            EXPECT_TRUE(child.endsWithin(10)) << "the pause did not end at " << raw;
        }
        result = child.finish(outputLimit);
        terminalBefore = child.startingTerminal();
        terminalAfter = child.terminalNow();
    }
    if (feeder.joinable()) {
        feeder.request_stop();
        feeder.join();
    }
    ::chmod(dir.c_str(), 0755);
    for (const fs::path& path : unreadable) ::chmod(path.c_str(), 0600);

    const bool update = std::getenv("CXL2XHTML_UPDATE_GOLDEN") != nullptr;
    ASSERT_TRUE(has(c, {"exit"})) << "a run without its exit status";
    for (const auto& [key, raw] : c.lines) {
        SCOPED_TRACE(key + " " + raw.substr(0, 200));
        const auto w = [&](std::size_t n) { return word(raw, n, vars); };
        const auto page = [&] { return readPage(dir / w(0)); };
        if (key == "exit") { EXPECT_EQ(result.exitCode, std::stoi(raw)) << result.err; }
        if (key == "out") { EXPECT_EQ(result.out, decode(raw, vars)); }
        if (key == "err") { EXPECT_EQ(result.err, decode(raw, vars)); }
        if (key == "err-ends") { EXPECT_TRUE(result.err.ends_with(decode(raw, vars))) << result.err; }
        if (key == "out-has") { EXPECT_NE(shown(result.out).find(decode(raw, vars)), std::string::npos) << shown(result.out); }
        if (key == "has" || key == "lacks") { EXPECT_EQ(page().find(after(raw, 1, vars)) != std::string::npos, key == "has"); }
        if (key == "valid") { EXPECT_EQ(xhtmlErrors(dir / w(0)).substr(0, 2000), ""); }
        if (key == "fed-at-most") { EXPECT_LE(fed, std::stoul(raw)); }
        if (key == "terminal-restored") { EXPECT_EQ(terminalAfter, terminalBefore) << "the terminal's settings changed"; }
        if (key == "files") {
            std::vector<std::string> expected = words(raw, vars);
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(listing(dir), expected);
        }
        if (key == "mode") {
            struct stat info {};
            ASSERT_EQ(::stat((dir / w(0)).c_str(), &info), 0);
            EXPECT_EQ(info.st_mode & 0777, std::stoul(w(1), nullptr, 8));
        }
        if (key == "outline") {
            const std::string text = readPage(dir / "SIGXX_Desc.html");
            const std::size_t start = text.find("</h1>\n") + 6;
            EXPECT_EQ(text.substr(start, text.find("    <p>\n      Leyenda") - start), decode(raw, vars));
        }
        if (key == "golden") {
            for (const std::string suffix : {"_MapaConceptual.html", "_Desc.html"}) {
                const fs::path expected = sourceDir() / w(1) / ("page" + suffix);
                if (update) writeFile(expected, readPage(dir / (w(0) + suffix)));
                EXPECT_EQ(readPage(dir / (w(0) + suffix)), readFile(expected)) << suffix;
                EXPECT_EQ(xhtmlErrors(dir / (w(0) + suffix)), "") << suffix;
            }
        }
    }
}
#endif

class Cases : public testing::TestWithParam<Case> {};

TEST_P(Cases, Case) {
    const Case& c = GetParam();
    for (const auto& [key, raw] : c.lines) {
        ASSERT_TRUE(kSetUp.count(key) || kExpected.count(key)) << "unknown key " << key;
    }
    ASSERT_TRUE(has(c, kExpected)) << "a case that expects nothing";
    TempDir dir;
    Texts vars = c.texts;
    vars["dir"] = dir.path().string();
    vars["windir"] = "Z:" + dir.path().string();
    std::replace(vars["windir"].begin(), vars["windir"].end(), '/', '\\');
    for (const auto& [key, raw] : c.lines) {
        if (key == "let") vars[word(raw, 0, vars)] = after(raw, 1, vars);
        if (key == "read") vars[word(raw, 0, vars)] = readFile(sourceDir() / word(raw, 1, vars));
    }
    writeFiles(c, dir.path(), vars);
    if (has(c, kInProcess)) {
        checkInProcess(c, dir.path(), vars);
        return;
    }
#ifndef _WIN32
    checkRun(c, dir.path(), vars);
#endif
}

// The cases of this build: those in this process where the program is
// built here, the runs of the program under test (the Windows one through
// Wine), each for its host.
std::vector<Case> casesHere() {
    Texts shared = {{"pause", kPause}, {"program", "cxl2xhtml"}};
#ifdef _WIN32
    const bool runs = false, inProcess = true, windows = true;
#else
    shared["program"] = programName();
    const bool runs = true, inProcess = !programEndsLinesWithCrLf(), windows = programEndsLinesWithCrLf();
#endif
    std::vector<Case> cases = readCases(sourceDir() / "tests/data/cases", shared);
    std::erase_if(cases, [&](const Case& c) {
        const auto host = std::find_if(c.lines.begin(), c.lines.end(), [](const Line& l) { return l.first == "host"; });
        if (host != c.lines.end() && (host->second.rfind("windows", 0) == 0) != windows) return true;
        return has(c, kInProcess) ? !inProcess : !runs;
    });
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Data, Cases, testing::ValuesIn(casesHere()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

}  // namespace
