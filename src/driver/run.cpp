#include "driver/run.hpp"

#include <new>

#include "driver/output_files.hpp"
#include "map/concept_map.hpp"
#include "map/loader.hpp"
#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"
#include "pages/outline.hpp"

namespace cxl {

namespace {

void loadOrStop(Inputs& inputs, ConceptMap& map, StopRoutine& stop) {
    const LoadStatus status = loadMap(inputs.cxlFile, map);
    inputs.cxlFile = nullptr;  // the loader has closed it
    switch (status) {
        case LoadStatus::Loaded:
            return;
        case LoadStatus::NotXml:
            stop.stop(messageWith("ERROR: El fichero \"%s\" no es un documento XML valido.\n",
                                  inputs.cxlPath));
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
        writeGraphicPage(files.graphicPage->stream(), inputs.unitName);
        checkWritten(*files.graphicPage, stop);
        OutlineState outline;
        writeDescriptionPage(files.descriptionPage->stream(), inputs.unitName, map, outline);
        checkWritten(*files.descriptionPage, stop);
        closeOutputFiles(files, stop);

        releaseMap(map);
    } catch (const std::bad_alloc&) {
        stop.stop("ERROR: Memoria insuficiente.\n");
    }
    console.out << "Salida generada.\n" << kPauseText << std::flush;
    console.in.get();
    return 0;
}

}  // namespace cxl
