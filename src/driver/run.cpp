#include "driver/run.hpp"

#include <new>

#include "driver/cxl_file.hpp"
#include "driver/output_files.hpp"
#include "driver/platform.hpp"
#include "driver/run_files.hpp"
#include "map/concept_map.hpp"
#include "pages/conversion.hpp"
#include "pages/description_page.hpp"
#include "pages/graphic_page.hpp"
#include "pages/messages.hpp"

namespace cxl {

namespace {

constexpr int kCompleteStatus = 0;
constexpr int kFatalStatus = 1;

// The stop routine, the one way out on a fatal condition: this run's files
// removed, the message, then the pause.
int stopWithPause(Console& console, const Failure& failure) {
    removeRunFiles();
    writeMessage(console.err, failure);
    console.err << kPauseText << std::flush;
    waitForKey(console);
    return kFatalStatus;
}

// From the questions to the pages named: each step in its turn, the first
// failure ends them.
Status convert(Console& console) {
    Outcome<Inputs> inputs = askForInputs(console);
    if (inputs.failed()) return inputs.failure();
    ConceptMap map;
    Outcome<std::uint64_t> loaded = loadCxlFile(inputs.value().cxlFile, inputs.value().cxlPath, map);
    if (loaded.failed()) return loaded.failure();

    Outcome<OutputFiles> opened = openOutputFiles(inputs.value().unitName, console.out);
    if (opened.failed()) return opened.failure();
    OutputFiles& files = opened.value();
    files.descriptionPage->limitTo(descriptionBound(loaded.value()));
    const UnitName unit = unitNameFor(inputs.value().unitName, host::kFolderSeparators);
    writeGraphicPage(files.graphicPage->stream(), unit);
    if (Status failure = files.graphicPage->checkWritten()) return failure;
    writeDescriptionPage(files.descriptionPage->stream(), unit, map);
    if (Status failure = files.descriptionPage->checkWritten()) return failure;
    return publishOutputFiles(files);
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
