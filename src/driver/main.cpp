// cxl2xhtml: turns one concept map (CXL) into a graphic page and a textual
// description page, both XHTML 1.0 Strict.
#include "driver/platform.hpp"
#include "driver/run.hpp"
#include "driver/run_files.hpp"

int main(int argc, char** argv) {
    cxl::host::prepareProcess(cxl::removeRunFilesOnInterruption);
    cxl::Console console{cxl::host::consoleInput(), cxl::host::consoleOutput(), cxl::host::consoleErrors(),
                         cxl::host::inputIsKeyboard()};
    return cxl::run(argc, argv, console);
}
