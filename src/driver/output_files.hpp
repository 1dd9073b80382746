// The two page files: their names, the refusal to overwrite, exclusive
// creation and a checked, buffered stream for each.
#pragma once

#include <memory>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "driver/console.hpp"

namespace cxl {

// A stream buffer over a file descriptor that remembers any failed write.
class CheckedFileBuffer : public std::streambuf {
public:
    explicit CheckedFileBuffer(int fd);
    ~CheckedFileBuffer() override;
    CheckedFileBuffer(const CheckedFileBuffer&) = delete;
    CheckedFileBuffer& operator=(const CheckedFileBuffer&) = delete;

    // Flushes and closes; false when any write, the flush or the close failed.
    bool close();
    [[nodiscard]] bool failed() const { return failed_; }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    bool drain();

    int fd_;
    bool failed_ = false;
    std::vector<char> buffer_;
};

class PageFile {
public:
    PageFile(std::string path, int fd) : path_(std::move(path)), buffer_(fd), stream_(&buffer_) {}
    [[nodiscard]] const std::string& path() const { return path_; }
    std::ostream& stream() { return stream_; }
    [[nodiscard]] bool failed() const { return buffer_.failed() || stream_.fail(); }
    bool close() { return buffer_.close() && !stream_.fail(); }

private:
    std::string path_;
    CheckedFileBuffer buffer_;
    std::ostream stream_;
};

struct OutputFiles {
    std::string graphicPath;
    std::string descriptionPath;
    std::unique_ptr<PageFile> graphicPage;
    std::unique_ptr<PageFile> descriptionPage;
};

// Forms both names, stops when either page exists or cannot be created,
// creates both and lists their names. Each created page is registered with
// the stop routine, so that any later stop removes it.
OutputFiles openOutputFiles(const std::string& unitName, Console& console, StopRoutine& stop);

// Flushes `page`; stops, with both pages removed, when any write failed.
void checkWritten(PageFile& page, StopRoutine& stop);

// Closes the graphic page, then the description page; stops, with both
// pages removed, when either close fails.
void closeOutputFiles(OutputFiles& files, StopRoutine& stop);

}  // namespace cxl
