// The two page files: their names, the refusal to overwrite, writing aside
// through a checked buffer, and naming both only once both are whole.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "pages/failure.hpp"
#include "driver/page_drafts.hpp"
#include "driver/platform.hpp"

namespace cxl {

// A stream buffer over a file descriptor that remembers any failed write and
// attempts none after it, nor any that would pass its bound.
class CheckedFileBuffer : public std::streambuf {
public:
    explicit CheckedFileBuffer(int fd);
    CheckedFileBuffer(const CheckedFileBuffer&) = delete;
    CheckedFileBuffer& operator=(const CheckedFileBuffer&) = delete;

    [[nodiscard]] bool failed() const { return failed_ || tooLong_; }
    [[nodiscard]] bool tooLong() const { return tooLong_; }
    // The most bytes the file may take, each line end counted as a line feed.
    void limitTo(std::uint64_t bytes) { limit_ = bytes; }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool drain();

    int fd_;
    bool failed_ = false;
    bool tooLong_ = false;
    std::uint64_t written_ = 0;
    std::uint64_t limit_ = UINT64_MAX;
    std::vector<char> buffer_;
};

class PageFile {
public:
    PageFile(std::string path, host::PageDraft draft)
        : path_(std::move(path)), draft_(std::move(draft)), buffer_(draft_.fd), stream_(&buffer_) {}
    ~PageFile() { host::discardDraft(draft_); }
    PageFile(const PageFile&) = delete;
    PageFile& operator=(const PageFile&) = delete;

    [[nodiscard]] const std::string& path() const { return path_; }
    std::ostream& stream() { return stream_; }
    void limitTo(std::uint64_t bytes) { buffer_.limitTo(bytes); }
    // Flushes what was written; a failure names the page.
    Status checkWritten();
    // Flushes the buffer and the file to the disk and closes it for writing.
    Status finish();
    host::PageDraft& draft() { return draft_; }

private:
    std::string path_;
    host::PageDraft draft_;
    CheckedFileBuffer buffer_;
    std::ostream stream_;
};

struct OutputFiles {
    std::unique_ptr<PageFile> graphicPage;
    std::unique_ptr<PageFile> descriptionPage;
};

// Forms both names, fails when either page exists or cannot be created,
// begins both aside in their folder and lists their names on `out`.
Outcome<OutputFiles> openOutputFiles(const std::string& unitName, std::ostream& out);

// Finishes the graphic page, then the description page, and only then names
// both, never replacing a file. A failure leaves the pages already named to
// the stop, as files of this run.
Status publishOutputFiles(OutputFiles& files);

}  // namespace cxl
