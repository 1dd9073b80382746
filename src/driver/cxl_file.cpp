#include "driver/cxl_file.hpp"

#include <vector>

#include "driver/line_ends.hpp"
#include "driver/platform.hpp"
#include "map/encoding.hpp"
#include "map/loader.hpp"
#include "pages/conversion.hpp"

namespace cxl {

namespace {

// The bytes of the file from where it stands to its end, each piece fed to
// `decoder`; the reading stops at the first piece that is not XML text.
Status readToEnd(CxlFile& file, const std::string& cxlPath, DocumentDecoder& decoder, std::uint64_t& bytesRead) {
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    std::vector<char> piece(kPiece);
    bytesRead = 0;
    while (true) {
        const long got = host::readSome(file.fd(), piece.data(), piece.size());
        if (got < 0) return Failure{Problem::CxlUnreadable, cxlPath};
        if (got == 0) break;
        bytesRead += static_cast<std::uint64_t>(got);
        if (!decoder.feed({piece.data(), static_cast<std::size_t>(got)})) return Failure{Problem::NotXml, cxlPath};
    }
    if (!decoder.finish()) return Failure{Problem::NotXml, cxlPath};
    return std::nullopt;
}

// The whole document in memory: every read is the program's own.
Status loadFromMemory(CxlFile& file, const std::string& cxlPath, ConceptMap& map, std::uint64_t& bytesRead) {
    DocumentDecoder decoder(host::sizeOfFile(file.fd()));
    if (Status read = readToEnd(file, cxlPath, decoder, bytesRead)) return read;
    file.close();
    if (host::kCrLfLineEnds) joinCrLf(decoder.text());
    return failureOf(loadMap({-1, std::move(decoder.text()), decoder.endsCutShort()}, map), cxlPath);
}

}  // namespace

CxlFile CxlFile::open(const std::string& path) { return CxlFile(host::openForReading(path)); }

CxlFile& CxlFile::operator=(CxlFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

void CxlFile::close() {
    if (fd_ >= 0) host::closeFile(fd_);
    fd_ = -1;
}

// A regular UTF-8 file is checked, then parsed in place, as Mini-XML reads a
// file itself; a pipe can be read only once, and UTF-16 and the host's line
// ends need a conversion first: those are parsed from memory.
Outcome<std::uint64_t> loadCxlFile(CxlFile& file, const std::string& cxlPath, ConceptMap& map) {
    std::uint64_t bytesRead = 0;
    const std::size_t size = host::sizeOfFile(file.fd());
    if (size == 0 || host::kCrLfLineEnds) {
        if (Status loaded = loadFromMemory(file, cxlPath, map, bytesRead)) return *loaded;
        return bytesRead;
    }
    DocumentDecoder checker(size, false);
    if (Status read = readToEnd(file, cxlPath, checker, bytesRead)) return *read;
    if (checker.keepsText()) {  // UTF-16, decoded as it was checked
        file.close();
        if (Status loaded = failureOf(loadMap({-1, std::move(checker.text()), checker.endsCutShort()}, map), cxlPath)) {
            return *loaded;
        }
        return bytesRead;
    }
    if (!host::rewindFile(file.fd())) return Failure{Problem::CxlUnreadable, cxlPath};
    if (checker.startsWithBlank()) {  // rare, and passed over in memory only
        if (Status loaded = loadFromMemory(file, cxlPath, map, bytesRead)) return *loaded;
        return bytesRead;
    }
    const LoadResult inPlace = loadMap({file.fd(), {}, checker.endsCutShort()}, map);
    if (inPlace.status == LoadStatus::Loaded && host::positionOf(file.fd()) == bytesRead) {
        file.close();
        return bytesRead;
    }
    if (inPlace.status == LoadStatus::OutOfMemory) return *failureOf(inPlace, cxlPath);
    // Mini-XML takes a read that fails for the end of the file, so its
    // verdict stands only on a whole success. Anything else is judged again
    // from memory; where the same bytes load there, Mini-XML's reading failed.
    releaseMap(map);
    if (!host::rewindFile(file.fd())) return Failure{Problem::CxlUnreadable, cxlPath};
    if (Status loaded = loadFromMemory(file, cxlPath, map, bytesRead)) return *loaded;
    return Failure{Problem::CxlUnreadable, cxlPath};
}

}  // namespace cxl
