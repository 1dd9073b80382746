#include "driver/run.hpp"

#include <algorithm>
#include <new>

#include "driver/cxl_file.hpp"
#include "driver/output_files.hpp"
#include "driver/platform.hpp"
#include "driver/run_files.hpp"
#include "map/concept_map.hpp"
#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"

namespace cxl {

namespace {

constexpr int kCompleteStatus = 0;
constexpr int kFatalStatus = 1;

// Every message of a fatal condition; "${name}" stands for the file's name.
constexpr std::string_view messageOf(Problem problem) {
    switch (problem) {
        case Problem::CxlNotFound: return "No se encuentra el fichero \"${name}\"\n";
        case Problem::CxlUnreadable: return "ERROR: No se puede leer el fichero \"${name}\"\n";
        case Problem::NotXml: return "ERROR: El fichero \"${name}\" no es un documento XML valido.\n";
        case Problem::MissingNode: return "ERROR: No se ha encontrado un nodo.\n";
        case Problem::OutOfMemory: return "ERROR: Memoria insuficiente.\n";
        case Problem::PageExists: return "Ya existe el fichero \"${name}\"\n";
        case Problem::PageNotCreated: return "No se puede crear el fichero \"${name}\"\n";
        case Problem::PageNotWritten: return "No se puede escribir el fichero \"${name}\"\n";
        case Problem::DescriptionTooLong: return "ERROR: La descripcion del mapa seria demasiado larga.\n";
    }
    return {};
}

// Written in pieces, so that a message needs no memory: memory may be what ran out.
void writeMessage(std::ostream& err, const Failure& failure) {
    constexpr std::string_view kName = "${name}";
    const std::string_view message = messageOf(failure.problem);
    const std::size_t slot = message.find(kName);
    if (slot == std::string_view::npos) {
        err << message;
    } else {
        err << message.substr(0, slot) << failure.name << message.substr(slot + kName.size());
    }
}

// The stop routine, the one way out on a fatal condition: this run's files
// removed, the message, then the pause.
int stopWithPause(Console& console, const Failure& failure) {
    removeRunFiles();
    releaseAllSignals();  // the pause must yield to Ctrl+C
    writeMessage(console.err, failure);
    console.err << kPauseText << std::flush;
    waitForKey(console);
    return kFatalStatus;
}

// Linking phrases are told again along every path that meets them, so a few
// kilobytes of phrases linked to each other would describe more paths than
// any disk holds. As an XML parser bounds entity expansion, the description
// is bounded by the map: 100 times its file, 8 MiB at least. No real map
// comes near it.
std::uint64_t descriptionBound(std::uint64_t cxlBytes) {
    constexpr std::uint64_t kLeast = std::uint64_t{8} << 20;
    return std::max(kLeast, 100 * cxlBytes);
}

// From the questions to the pages named: each step in its turn, the first
// failure ends them.
Status convert(Console& console) {
    Outcome<Inputs> inputs = askForInputs(console);
    if (inputs.failed()) return inputs.failure();
    ConceptMap map;
    Outcome<std::uint64_t> loaded = loadCxlFile(inputs.value().cxlFile, inputs.value().cxlPath, map, console.err);
    if (loaded.failed()) return loaded.failure();

    Outcome<OutputFiles> opened = openOutputFiles(inputs.value().unitName, console.out);
    if (opened.failed()) return opened.failure();
    OutputFiles& files = opened.value();
    files.descriptionPage->limitTo(descriptionBound(loaded.value()));
    const UnitName unit = unitNameFor(inputs.value().unitName, host::kFolderSeparators);
    writeGraphicPage(files.graphicPage->stream(), unit);
    if (Status written = files.graphicPage->checkWritten()) return written;
    writeDescriptionPage(files.descriptionPage->stream(), unit, map);
    if (Status written = files.descriptionPage->checkWritten()) return written;
    if (Status published = publishOutputFiles(files)) return published;
    releaseMap(map);
    return std::nullopt;
}

}  // namespace

int run(int argc, const char* const* argv, Console& console) {
    handleOptions(argc, argv, console.err);
    Status failure;
    try {
        failure = convert(console);
    } catch (const std::bad_alloc&) {
        failure = Failure{Problem::OutOfMemory, {}};
    }
    if (failure) return stopWithPause(console, *failure);
    {
        // Once this is said the pages are the user's: an interruption at the
        // pause keeps them.
        const HeldSignals held;
        console.out << "Salida generada.\n" << kPauseText << std::flush;
        keepRunFiles();
    }
    waitForKey(console);
    return kCompleteStatus;
}

}  // namespace cxl
