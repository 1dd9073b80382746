#include "pages/graphic_page.hpp"

#include "pages/markup.hpp"

namespace cxl {

namespace {

constexpr std::string_view kHead[] = {
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n",
    "<!DOCTYPE html\n",
    "          PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\"\n",
    "          \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n",
    "<html xmlns=\"http://www.w3.org/1999/xhtml\" xml:lang=\"es\" lang=\"es\">\n",
    "  <head>\n",
};

constexpr std::string_view kGraphicBody[] = {
    "    <title>Mapa conceptual de ${unit}</title>\n",
    "  </head>\n",
    "  <body>\n",
    "    <h1>Mapa conceptual de ${unit}</h1>\n",
    "    <p>\n",
    "      <img src=\"${picture}\"\n",
    "           alt=\"Descripci&oacute;n del mapa conceptual de ${unit}\"\n",
    "           longdesc=\"${description-page}\"/>\n",
    "    </p>\n",
    "    <p>\n",
    "      <a href=\"${description-page}\"\n",
    "         title=\"Visualizar la descripci&oacute;n textual alternativa del mapa conceptual\">\n",
    "        Descripci&oacute;n textual del mapa conceptual\n",
    "      </a>\n",
    "    </p>\n",
    "  </body>\n",
    "</html>\n",
};

}  // namespace

void writePageHead(std::ostream& out) {
    for (std::string_view line : kHead) writeBytes(out, line);
}

void writeGraphicPage(std::ostream& graphicPage, const UnitName& unit) {
    writePageHead(graphicPage);
    for (std::string_view line : kGraphicBody) writeTemplate(graphicPage, line, unit);
}

}  // namespace cxl
