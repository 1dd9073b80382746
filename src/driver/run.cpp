#include "driver/run.hpp"

#include <new>

#include "driver/output_files.hpp"
#include "driver/platform.hpp"
#include "map/concept_map.hpp"
#include "map/loader.hpp"
#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"
#include "pages/markup.hpp"

namespace cxl {

namespace {

constexpr std::string_view kOutOfMemory = "ERROR: Memoria insuficiente.\n";

void loadOrStop(Inputs& inputs, ConceptMap& map, StopRoutine& stop) {
    const LoadStatus status = loadMap(inputs.cxlFile, map, host::kCrLfLineEnds);
    inputs.cxlFile = nullptr;  // the loader has closed it
    switch (status) {
        case LoadStatus::Loaded:
            return;
        case LoadStatus::NotXml:
            stop.stop(messageWith("ERROR: El fichero \"%s\" no es un documento XML valido.\n",
                                  inputs.cxlPath));
        case LoadStatus::ReadError:
            stop.stop(messageWith("ERROR: No se puede leer el fichero \"%s\"\n", inputs.cxlPath));
        case LoadStatus::OutOfMemory:
            stop.stop(kOutOfMemory);
        case LoadStatus::MissingNode:
            stop.stop("ERROR: No se ha encontrado un nodo.\n");
    }
}

}  // namespace

int run(int argc, const char* const* argv, Console& console) {
    StopRoutine stop(console);
    try {
        handleOptions(argc, argv, console.err);
        Inputs inputs = askForInputs(console, stop);
        ConceptMap map;
        loadOrStop(inputs, map, stop);

        OutputFiles files = openOutputFiles(inputs.unitName, console, stop);
        const UnitName unit = unitNameFor(inputs.unitName, host::kFolderSeparators);
        writeGraphicPage(files.graphicPage->stream(), unit);
        checkWritten(*files.graphicPage, stop);
        writeDescriptionPage(files.descriptionPage->stream(), unit, map);
        checkWritten(*files.descriptionPage, stop);
        publishOutputFiles(files, stop);

        releaseMap(map);
    } catch (const std::bad_alloc&) {
        stop.stop(kOutOfMemory);
    }
    {
        // Once this is said the pages are the user's: an interruption at the
        // pause keeps them.
        const host::HeldSignals held;
        console.out << "Salida generada.\n" << kPauseText << std::flush;
        host::keepRunFiles();
    }
    console.in.get();
    return 0;
}

}  // namespace cxl
