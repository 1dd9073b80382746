#include "pages/conversion.hpp"

#include <algorithm>
#include <streambuf>

#include "map/encoding.hpp"
#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"
#include "pages/page_names.hpp"

namespace cxl {

namespace {

// A page held in memory that takes no write past its bound: the first one
// that would pass it is refused whole, and every one after it.
class BoundedText : public std::streambuf {
public:
    explicit BoundedText(std::uint64_t limit) : limit_(limit) {}
    [[nodiscard]] bool tooLong() const { return tooLong_; }
    std::string& text() { return text_; }

protected:
    std::streamsize xsputn(const char* bytes, std::streamsize count) override {
        const auto size = static_cast<std::uint64_t>(count);
        if (tooLong_ || !fitsBound(text_.size(), size, limit_)) {
            tooLong_ = true;
            return 0;
        }
        text_.append(bytes, static_cast<std::size_t>(count));
        return count;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return xsputn(&byte, 1) == 1 ? c : traits_type::eof();
    }

private:
    std::uint64_t limit_;
    bool tooLong_ = false;
    std::string text_;
};

}  // namespace

Status failureOf(const LoadResult& loaded, const std::string& cxlName) {
    switch (loaded.status) {
        case LoadStatus::Loaded: return std::nullopt;
        case LoadStatus::NotXml: return Failure{Problem::NotXml, cxlName, loaded.reason};
        case LoadStatus::OutOfMemory: return Failure{Problem::OutOfMemory, {}, loaded.reason};
        case LoadStatus::MissingNode: break;
    }
    return Failure{Problem::MissingNode, {}, loaded.reason};
}

std::uint64_t descriptionBound(std::uint64_t cxlBytes) {
    constexpr std::uint64_t kLeast = std::uint64_t{8} << 20;
    return std::max(kLeast, 100 * cxlBytes);
}

Outcome<ConvertedPages> convertDocument(std::string_view bytes, const std::string& cxlName,
                                        std::string_view unitName, std::string_view folderSeparators) {
    DocumentDecoder decoder(bytes.size());
    if (!decodeWhole(bytes, decoder)) return Failure{Problem::NotXml, cxlName};
    ConceptMap map;
    if (Status failed = failureOf(loadDecoded(decoder, map), cxlName)) return *failed;
    const UnitName unit = unitNameFor(unitName, folderSeparators);
    BoundedText graphic(UINT64_MAX);
    std::ostream graphicPage(&graphic);
    writeGraphicPage(graphicPage, unit);
    BoundedText description(descriptionBound(bytes.size()));
    std::ostream descriptionPage(&description);
    writeDescriptionPage(descriptionPage, unit, map);
    if (description.tooLong()) return Failure{Problem::DescriptionTooLong, {}};
    return ConvertedPages{std::move(graphic.text()), std::move(description.text())};
}

}  // namespace cxl
