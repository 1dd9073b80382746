// The CXL file: opened at the first question, then read and loaded. Each
// piece read is checked as it arrives, so that bytes that are not XML text
// stop the reading at once.
#pragma once

#include <cstdint>
#include <string>

#include "pages/failure.hpp"
#include "map/concept_map.hpp"

namespace cxl {

class CxlFile {
public:
    // A file that did not open when `isOpen()` is false.
    static CxlFile open(const std::string& path);
    CxlFile(CxlFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    CxlFile& operator=(CxlFile&& other) noexcept;
    CxlFile(const CxlFile&) = delete;
    CxlFile& operator=(const CxlFile&) = delete;
    ~CxlFile() { close(); }

    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
    [[nodiscard]] int fd() const { return fd_; }
    void close();

private:
    explicit CxlFile(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// Loads `map` (empty) from the open file, which is closed afterwards, and
// gives how many bytes the file held. Failures name `cxlPath`: a read that
// fails, bytes that are not XML text, a document the loader refuses (with
// the parser's reason).
Outcome<std::uint64_t> loadCxlFile(CxlFile& file, const std::string& cxlPath, ConceptMap& map);

}  // namespace cxl
