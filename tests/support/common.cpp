#include "support/common.hpp"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include <iostream>

#include "driver/line_ends.hpp"
#include "map/encoding.hpp"

namespace cxltest {

TempDir::TempDir() {
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = fs::temp_directory_path() / ("cxl2xhtml-test-" + std::to_string(random()));
        if (fs::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("no temporary folder");
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

std::string utf16WithMark(const std::string& utf8, bool bigEndian) {
    std::u16string units;
    for (std::string_view rest = utf8; !rest.empty();) {
        const cxl::Utf8Char c = cxl::decodeUtf8(rest);
        if (c.length == 0) throw std::runtime_error("not UTF-8: " + utf8);
        rest.remove_prefix(c.length);
        if (c.code < 0x10000) {
            units += static_cast<char16_t>(c.code);
        } else {
            units += static_cast<char16_t>(0xD800 + ((c.code - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF));
        }
    }
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : units) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

Line splitLine(const std::string& line) {
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) return {line, ""};
    return {line.substr(0, space), line.substr(space + 1)};
}

namespace {

// The cases of one file; its "let" lines before the first case add to `texts`.
void readCasesOf(const fs::path& file, Texts& texts, std::vector<Case>& cases) {
    bool inCase = false;
    std::istringstream in(readFile(file));
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        if (line.rfind("== ", 0) == 0) {
            std::string name = file.stem().string() + "_" + line.substr(3);
            for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
            cases.push_back({name, texts, {}});
            inCase = true;
        } else if (inCase) {
            cases.back().lines.push_back(splitLine(line));
        } else if (line.rfind("let ", 0) == 0) {
            const Line let = splitLine(line.substr(4));
            texts[let.first] = decode(let.second, texts);
        }
    }
}

}  // namespace

std::vector<Case> readCases(const fs::path& folder, Texts shared) {
    std::vector<Case> cases;
    if (fs::exists(folder / "texts")) readCasesOf(folder / "texts", shared, cases);
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".txt") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        Texts texts = shared;
        readCasesOf(file, texts, cases);
    }
    return cases;
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

namespace {

std::string repeated(std::string_view body, long count, const Texts& texts) {
    std::string out;
    if (body.find('#') == std::string_view::npos) {
        const std::string once = decode(body, texts);
        for (long n = 0; n < count; ++n) out += once;
        return out;
    }
    for (long n = 0; n < count; ++n) {
        std::string numbered;
        for (std::size_t i = 0; i < body.size(); ++i) {
            const bool next = body[i] == '#' && i + 1 < body.size() && body[i + 1] == '+';
            numbered += body[i] != '#' ? std::string(1, body[i]) : std::to_string(next ? n + 1 : n);
            i += next ? 1 : 0;
        }
        out += decode(numbered, texts);
    }
    return out;
}

}  // namespace

std::string decode(std::string_view raw, const Texts& texts) {
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 1 < raw.size()) {
            const char e = raw[++i];
            const std::string_view plain = "nrt0s";
            const std::string_view bytes("\n\r\t\0 ", 5);
            if (e == 'x') {
                out += static_cast<char>(std::stoi(std::string(raw.substr(i + 1, 2)), nullptr, 16));
                i += 2;
            } else {
                out += plain.find(e) != std::string_view::npos ? bytes[plain.find(e)] : e;
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

}  // namespace cxltest
