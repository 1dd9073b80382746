#include "driver/output_files.hpp"

namespace cxl {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

void refuseExisting(const std::string& path, StopRoutine& stop) {
    if (host::existsForReading(path)) stop.stop(messageWith("Ya existe el fichero \"%s\"\n", path));
}

std::unique_ptr<PageFile> beginPage(const std::string& path, StopRoutine& stop) {
    host::PageDraft draft;
    if (!host::createDraft(path, draft)) stop.stop(messageWith("No se puede crear el fichero \"%s\"\n", path));
    return std::make_unique<PageFile>(path, std::move(draft));
}

[[noreturn]] void failWrite(const std::string& path, StopRoutine& stop) {
    stop.stop(messageWith("No se puede escribir el fichero \"%s\"\n", path));
}

void publish(PageFile& page, StopRoutine& stop) {
    switch (host::publishDraft(page.draft(), page.path())) {
        case host::Publication::Named:
            return;
        case host::Publication::Exists:
            stop.stop(messageWith("Ya existe el fichero \"%s\"\n", page.path()));
        case host::Publication::CannotCreate:
            stop.stop(messageWith("No se puede crear el fichero \"%s\"\n", page.path()));
    }
}

}  // namespace

CheckedFileBuffer::CheckedFileBuffer(int fd) : fd_(fd), buffer_(kBufferSize) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool CheckedFileBuffer::drain() {
    if (!failed_ && !host::writeAll(fd_, pbase(), static_cast<std::size_t>(pptr() - pbase()))) failed_ = true;
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

bool PageFile::finish() {
    stream_.flush();
    return !failed() && host::finishDraft(draft_);
}

OutputFiles openOutputFiles(const std::string& unitName, Console& console, StopRoutine& stop) {
    OutputFiles files;
    files.graphicPath = unitName + "_MapaConceptual.html";
    files.descriptionPath = unitName + "_Desc.html";
    refuseExisting(files.graphicPath, stop);
    refuseExisting(files.descriptionPath, stop);
    files.graphicPage = beginPage(files.graphicPath, stop);
    files.descriptionPage = beginPage(files.descriptionPath, stop);
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

void publishOutputFiles(OutputFiles& files, StopRoutine& stop) {
    if (!files.graphicPage->finish()) failWrite(files.graphicPath, stop);
    if (!files.descriptionPage->finish()) failWrite(files.descriptionPath, stop);
    {
        // Both pages get their names, or neither keeps one.
        const host::HeldSignals held;
        publish(*files.graphicPage, stop);
        publish(*files.descriptionPage, stop);
    }
    host::syncFolderOf(files.graphicPath);  // both pages lie in one folder
}

}  // namespace cxl
