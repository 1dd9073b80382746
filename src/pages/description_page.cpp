#include "pages/description_page.hpp"

#include "pages/graphic_page.hpp"
#include "pages/markup.hpp"
#include "pages/outline.hpp"

namespace cxl {

namespace {

// On a narrow screen (a phone, or 400 % zoom) each level is indented by a
// twentieth of the width left to it, so that no outline, however deep, is
// wider than the screen, and a long word breaks; wider screens see the
// browser's own indentation.
constexpr std::string_view kBeforeOutline[] = {
    "    <title>Descripci&oacute;n del mapa conceptual de ${unit}</title>\n",
    "    <style type=\"text/css\">\n",
    "      @media (max-width: 40em) { ul { padding-left: 5%; } li { overflow-wrap: break-word; } }\n",
    "    </style>\n",
    "  </head>\n",
    "  <body>\n",
    "    <h1>Descripci&oacute;n del mapa conceptual de ${unit}</h1>\n",
};

constexpr std::string_view kLegendStart[] = {
    "    <p>\n",
    "      Leyenda:\n",
    "    </p>\n",
    "    <p>\n",
    "      - Los nodos se representan en letra <strong>negrita</strong>.<br/>\n",
};

constexpr std::string_view kItalicsEntry =
    "      - Los nodos que ya han sido analizados anteriormente se representan en letra "
    "<em>cursiva</em>.<br/>\n";

constexpr std::string_view kLegendEnd[] = {
    "      - Los comentarios se representan en letra normal.<br/>\n",
    "    </p>\n",
    "    <p>\n",
    "      <a href=\"${graphic-page}\"\n",
    "         title=\"Visualizar el gr&aacute;fico del mapa conceptual\">\n",
    "        Versi&oacute;n gr&aacute;fica del mapa conceptual\n",
    "      </a>\n",
    "    </p>\n",
    "  </body>\n",
    "</html>\n",
};

}  // namespace

void writeDescriptionPage(std::ostream& descriptionPage, const UnitName& unit, const ConceptMap& map) {
    writePageHead(descriptionPage);
    for (std::string_view line : kBeforeOutline) writeTemplate(descriptionPage, line, unit);
    const OutlineResult outline = writeOutline(descriptionPage, map);
    for (std::string_view line : kLegendStart) writeBytes(descriptionPage, line);
    if (outline.italicsUsed) writeBytes(descriptionPage, kItalicsEntry);
    for (std::string_view line : kLegendEnd) writeTemplate(descriptionPage, line, unit);
}

}  // namespace cxl
