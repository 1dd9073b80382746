#include "support/test_support.hpp"

#include <cerrno>
#include <cstdlib>
#include <poll.h>
#include <fcntl.h>
#include <fstream>
#include <signal.h>
#include <sstream>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"
#include "pages/outline.hpp"

namespace cxltest {

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "cxl2xhtml-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(path_, ignored);
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

RunOptions withInput(std::string input) {
    RunOptions options;
    options.input = std::move(input);
    return options;
}

RunResult runProgram(const fs::path& dir, const RunOptions& options) {
    TempDir io;
    const fs::path inPath = io / "stdin";
    if (options.input) writeFile(inPath, *options.input);

    std::vector<std::string> argv{CXL2XHTML_BIN};
    argv.insert(argv.end(), options.args.begin(), options.args.end());
    std::vector<char*> rawArgv;
    for (std::string& arg : argv) rawArgv.push_back(arg.data());
    rawArgv.push_back(nullptr);

    // Pipes, not files, for the output: a file-size limit must hit the pages only.
    int outPipe[2];
    int errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0) throw std::runtime_error("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in = ::open(options.input ? inPath.c_str() : "/dev/null", O_RDONLY);
        if (in < 0 || ::chdir(dir.c_str()) != 0) ::_exit(126);
        ::dup2(in, 0);
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        if (options.fileSizeLimit) {
            ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
            const rlimit limit{static_cast<rlim_t>(*options.fileSizeLimit),
                               static_cast<rlim_t>(*options.fileSizeLimit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (options.addressSpaceLimit) {
            const rlimit limit{static_cast<rlim_t>(*options.addressSpaceLimit),
                               static_cast<rlim_t>(*options.addressSpaceLimit)};
            ::setrlimit(RLIMIT_AS, &limit);
        }
        ::execv(rawArgv[0], rawArgv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    RunResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
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
    ::waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

fs::path sourceDir() { return CXL2XHTML_SOURCE_DIR; }

std::optional<fs::path> corpusDir() {
    const fs::path corpus = sourceDir().parent_path() / "shared" / "corpus";
    if (fs::is_directory(corpus)) return corpus;
    return std::nullopt;
}

bool inCi() {
    const char* ci = std::getenv("CI");
    return ci != nullptr && std::string(ci) == "true";
}

std::string xhtmlErrors(const fs::path& page) {
    TempDir io;
    const fs::path report = io / "report";
    const std::string command = "xmllint --noout --nonet --huge --valid '" + page.string() + "' > '" +
                                report.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    if (status == 0) return {};
    std::string text = readFile(report);
    return text.empty() ? "xmllint failed with status " + std::to_string(status) : text;
}

cxl::MapNode& addConcept(cxl::ConceptMap& map, const std::string& id, const std::string& label, int x,
                      int y, int width) {
    return cxl::appendNode(map, cxl::NodeKind::Concept, id, label, x, y, width);
}

cxl::MapNode& addPhrase(cxl::ConceptMap& map, const std::string& id, const std::string& label, int x,
                     int y, int width) {
    return cxl::appendNode(map, cxl::NodeKind::LinkingPhrase, id, label, x, y, width);
}

void link(cxl::ConceptMap& map, const std::string& from, const std::string& to) {
    cxl::MapNode* source = cxl::findNode(map, from);
    cxl::MapNode* target = cxl::findNode(map, to);
    if (source == nullptr || target == nullptr) throw std::runtime_error("no node " + from + "/" + to);
    cxl::addLink(*source, *target);
}


void buildSharedBelowTwoRoots(cxl::ConceptMap& map) {
    addConcept(map, "late", "Late", 500);
    addConcept(map, "early", "Early", 100);
    addConcept(map, "shared", "Shared");
    addPhrase(map, "p", "sees", 0);
    addPhrase(map, "q", "sees", 0);
    addPhrase(map, "s", "is", 0);
    addConcept(map, "leaf", "Leaf");
    link(map, "late", "p");
    link(map, "p", "shared");
    link(map, "early", "q");
    link(map, "q", "shared");
    link(map, "shared", "s");
    link(map, "s", "leaf");
    buildRootList(map);
}

std::string outlineOf(const cxl::ConceptMap& map, bool* italicsUsed) {
    std::ostringstream out;
    const cxl::OutlineResult result = cxl::writeOutline(out, map);
    if (italicsUsed != nullptr) *italicsUsed = result.italicsUsed;
    return out.str();
}

std::string descriptionOf(const cxl::ConceptMap& map, const std::string& unitName) {
    std::ostringstream out;
    cxl::writeDescriptionPage(out, cxl::unitNameFor(unitName, "/"), map);
    return out.str();
}

std::string graphicOf(const std::string& unitName) {
    std::ostringstream out;
    cxl::writeGraphicPage(out, cxl::unitNameFor(unitName, "/"));
    return out.str();
}

}  // namespace cxltest
