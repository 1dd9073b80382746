#include "driver/output_files.hpp"

#include "driver/run_files.hpp"
#include "pages/page_names.hpp"

namespace cxl {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

Outcome<std::unique_ptr<PageFile>> beginPage(const std::string& path) {
    host::PageDraft draft;
    if (!host::createDraft(path, draft)) return Failure{Problem::PageNotCreated, path};
    return std::make_unique<PageFile>(path, std::move(draft));
}

Status publish(PageFile& page) {
    switch (host::publishDraft(page.draft(), page.path())) {
        case host::Publication::Named: return std::nullopt;
        case host::Publication::Exists: return Failure{Problem::PageExists, page.path()};
        case host::Publication::CannotCreate: break;
    }
    return Failure{Problem::PageNotCreated, page.path()};
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

Status PageFile::checkWritten() {
    stream_.flush();
    if (buffer_.failed() || stream_.fail()) return Failure{Problem::PageNotWritten, path_};
    return std::nullopt;
}

Status PageFile::finish() {
    if (Status written = checkWritten()) return written;
    if (!host::finishDraft(draft_)) return Failure{Problem::PageNotWritten, path_};
    return std::nullopt;
}

Outcome<OutputFiles> openOutputFiles(const std::string& unitName, std::ostream& out) {
    const std::string graphicPath = unitFileName(unitName, UnitFile::GraphicPage);
    const std::string descriptionPath = unitFileName(unitName, UnitFile::DescriptionPage);
    for (const std::string* path : {&graphicPath, &descriptionPath}) {
        if (host::existsForReading(*path)) return Failure{Problem::PageExists, *path};
    }
    OutputFiles files;
    for (auto [path, page] : {std::pair{&graphicPath, &files.graphicPage}, {&descriptionPath, &files.descriptionPage}}) {
        Outcome<std::unique_ptr<PageFile>> begun = beginPage(*path);
        if (begun.failed()) return begun.failure();
        *page = std::move(begun.value());
    }
    out << "La salidas se guardaran en los ficheros:\n"
        << "   \"" << graphicPath << "\"\n"
        << "   \"" << descriptionPath << "\"\n"
        << std::flush;
    return files;
}

Status publishOutputFiles(OutputFiles& files) {
    for (PageFile* page : {files.graphicPage.get(), files.descriptionPage.get()}) {
        if (Status finished = page->finish()) return finished;
    }
    {
        // Both pages get their names, or neither keeps one.
        const HeldSignals held;
        for (PageFile* page : {files.graphicPage.get(), files.descriptionPage.get()}) {
            if (Status named = publish(*page)) return named;
        }
    }
    host::syncFolderOf(files.graphicPage->path());  // both pages lie in one folder
    return std::nullopt;
}

}  // namespace cxl
