#include "driver/console.hpp"

#include <algorithm>

#include "driver/line_ends.hpp"
#include "driver/platform.hpp"
#include "map/text.hpp"
#include "pages/page_names.hpp"

namespace cxl {

namespace {

constexpr std::string_view kDefaultCxlPath = "mc.cxl";

bool isHelpWord(std::string_view rest) { return equalsIgnoringAsciiCase(rest, "help"); }

// One answer of any length; end of input before any character gives the
// empty answer, and so the default. A text ends at its first zero byte, as
// a C string would: no file name, message or page may hold one.
std::string readAnswer(Console& console, std::string_view prompt, std::string_view fallback) {
    console.out << prompt << std::flush;
    std::string line = readLine(console.in);
    line.resize(std::min(line.size(), line.find('\0')));
    if (host::kQuotedAnswers && line.size() > 1 && line.front() == '"' && line.back() == '"') {
        line = line.substr(1, line.size() - 2);  // a double quote is no part of such a name
    }
    return line.empty() ? std::string(fallback) : line;
}

}  // namespace

void waitForKey(Console& console) {
    if (console.keyboard) {
        host::waitForKey();
    } else {
        console.in.get();
    }
}

void handleOptions(int argc, const char* const* argv, std::ostream& err) {
    const char* program = argc > 0 && argv[0] != nullptr ? argv[0] : "";
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.empty() || (argument[0] != '-' && argument[0] != '/')) break;
        const std::string_view rest = argument.substr(1);
        if ((!rest.empty() && rest[0] == '?') || isHelpWord(rest)) {
            err << "Uso de " << program << ":\n" << "Leer el manual.";
        } else {
            err << "Opcion desconocida " << argument << "\n";
        }
    }
    err << std::flush;
}

Outcome<Inputs> askForInputs(Console& console) {
    std::string cxlPath = readAnswer(
        console, "Introduce el nombre del fichero CXL del mapa conceptual (mc.cxl por defecto): ", kDefaultCxlPath);
    CxlFile cxlFile = CxlFile::open(cxlPath);
    if (!cxlFile.isOpen()) return Failure{Problem::CxlNotFound, cxlPath};
    std::string unitName =
        readAnswer(console, "Introduce el nombre de la Unidad de Trabajo (SIGXX por defecto): ", kDefaultUnitName);
    return Inputs{std::move(cxlPath), std::move(cxlFile), std::move(unitName)};
}

}  // namespace cxl
