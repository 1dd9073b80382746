#include "driver/output_files.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace cxl {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

void refuseExisting(const std::string& path, StopRoutine& stop) {
    // A file counts as existing when it opens for reading. Without blocking:
    // a named pipe of that name would otherwise wait for a writer forever.
    const int existing = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (existing >= 0) {
        ::close(existing);
        stop.stop(messageWith("Ya existe el fichero \"%s\"\n", path));
    }
}

std::unique_ptr<PageFile> createPage(const std::string& path, StopRoutine& stop) {
    // Exclusive creation: whatever slipped past the read test (a dangling
    // link, an unreadable file) is never emptied.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) stop.stop(messageWith("Ya existe el fichero \"%s\"\n", path));
        stop.stop(messageWith("No se puede crear el fichero \"%s\"\n", path));
    }
    stop.registerPage(path);
    return std::make_unique<PageFile>(path, fd);
}

[[noreturn]] void failWrite(const std::string& path, StopRoutine& stop) {
    stop.stop(messageWith("No se puede escribir el fichero \"%s\"\n", path));
}

}  // namespace

CheckedFileBuffer::CheckedFileBuffer(int fd) : fd_(fd), buffer_(kBufferSize) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

CheckedFileBuffer::~CheckedFileBuffer() {
    if (fd_ >= 0) ::close(fd_);
}

bool CheckedFileBuffer::drain() {
    const char* data = pbase();
    std::size_t left = static_cast<std::size_t>(pptr() - pbase());
    while (left > 0 && !failed_) {
        const ssize_t written = ::write(fd_, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
        } else {
            data += written;
            left -= static_cast<std::size_t>(written);
        }
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return !failed_;
}

CheckedFileBuffer::int_type CheckedFileBuffer::overflow(int_type c) {
    if (!drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int CheckedFileBuffer::sync() { return drain() ? 0 : -1; }

bool CheckedFileBuffer::close() {
    if (fd_ < 0) return !failed_;
    drain();
    if (::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    return !failed_;
}

OutputFiles openOutputFiles(const std::string& unitName, Console& console, StopRoutine& stop) {
    OutputFiles files;
    files.graphicPath = unitName + "_MapaConceptual.html";
    files.descriptionPath = unitName + "_Desc.html";
    refuseExisting(files.graphicPath, stop);
    refuseExisting(files.descriptionPath, stop);
    files.graphicPage = createPage(files.graphicPath, stop);
    files.descriptionPage = createPage(files.descriptionPath, stop);
    console.out << "La salidas se guardaran en los ficheros:\n"
                << "   \"" << files.graphicPath << "\"\n"
                << "   \"" << files.descriptionPath << "\"\n"
                << std::flush;
    return files;
}

void checkWritten(PageFile& page, StopRoutine& stop) {
    page.stream().flush();
    if (page.failed()) failWrite(page.path(), stop);
}

void closeOutputFiles(OutputFiles& files, StopRoutine& stop) {
    const bool graphicClosed = files.graphicPage->close();
    const bool descriptionClosed = files.descriptionPage->close();
    if (!graphicClosed) failWrite(files.graphicPath, stop);
    if (!descriptionClosed) failWrite(files.descriptionPath, stop);
}

}  // namespace cxl
