#include "driver/output_files.hpp"

#include "driver/run_files.hpp"
#include "pages/conversion.hpp"
#include "pages/page_names.hpp"

namespace cxl {

namespace {

constexpr std::size_t kBufferSize = 1 << 16;

Status pageFailure(host::PageResult result, const std::string& path) {
    switch (result) {
        case host::PageResult::Done: return std::nullopt;
        case host::PageResult::Exists: return Failure{Problem::PageExists, path};
        case host::PageResult::CannotCreate: break;
    }
    return Failure{Problem::PageNotCreated, path};
}

Outcome<std::unique_ptr<PageFile>> beginPage(const std::string& path) {
    host::PageDraft draft;
    if (Status failure = pageFailure(host::createDraft(path, draft), path)) return *failure;
    return std::make_unique<PageFile>(path, std::move(draft));
}

}  // namespace

CheckedFileBuffer::CheckedFileBuffer(int fd) : fd_(fd), buffer_(kBufferSize) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

bool CheckedFileBuffer::drain() {
    const auto pending = static_cast<std::size_t>(pptr() - pbase());
    if (!failed() && !fitsBound(written_, pending, limit_)) tooLong_ = true;
    if (!failed() && !host::writeAll(fd_, pbase(), pending)) failed_ = true;
    written_ += pending;
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return !failed();
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
    if (buffer_.tooLong()) return Failure{Problem::DescriptionTooLong, {}};
    if (buffer_.failed() || stream_.fail()) return Failure{Problem::PageNotWritten, path_};
    return std::nullopt;
}

Status PageFile::finish() {
    if (Status failure = checkWritten()) return failure;
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
        if (Status failure = page->finish()) return failure;
    }
    {
        // Both pages get their names, or neither keeps one.
        const HeldSignals held;
        for (PageFile* page : {files.graphicPage.get(), files.descriptionPage.get()}) {
            if (Status failure = pageFailure(host::publishDraft(page->draft(), page->path()), page->path())) return failure;
        }
    }
    host::syncFolderOf(files.graphicPage->path());  // both pages lie in one folder
    return std::nullopt;
}

}  // namespace cxl
