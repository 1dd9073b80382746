// The console dialogue: option notes and the two questions.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <string_view>

#include "driver/cxl_file.hpp"
#include "pages/failure.hpp"

namespace cxl {

struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool keyboard = false;  // `in` is a terminal: a pause ends at any key
};

// Waits at a pause: on a keyboard for any key, elsewhere for one byte (the
// end of input ends the wait).
void waitForKey(Console& console);

// Notes on standard error about the option arguments; changes nothing.
void handleOptions(int argc, const char* const* argv, std::ostream& err);

struct Inputs {
    std::string cxlPath;
    CxlFile cxlFile;
    std::string unitName;
};

// Asks for the CXL file and opens it, then asks for the work unit. Fails
// when the file does not open; the second question is then never asked.
Outcome<Inputs> askForInputs(Console& console);

}  // namespace cxl
