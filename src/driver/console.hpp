// The console dialogue: option notes, the two questions and the stop routine.
#pragma once

#include <cstdio>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace cxl {

struct Console {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
};

inline constexpr std::string_view kPauseText = "Presiona cualquier tecla para salir del programa...\n";

// Prints the pause text on standard error, waits for one character (end of
// input ends the wait) and ends the process with status 1. Buffered output
// is flushed on the way out.
[[noreturn]] void stopWithPause(Console& console);

// The only way out on a fatal condition: the removal of the files this run
// has made, the caller's message, then the pause.
class StopRoutine {
public:
    explicit StopRoutine(Console& console) : console_(console) {}
    [[noreturn]] void stop(std::string_view message);

private:
    Console& console_;
};

// Notes on standard error about the option arguments; changes nothing.
void handleOptions(int argc, const char* const* argv, std::ostream& err);

struct Inputs {
    std::string cxlPath;
    std::FILE* cxlFile = nullptr;
    std::string unitName;
};

// Asks for the CXL file and opens it, then asks for the work unit. Stops
// when the file does not open; the second question is then never asked.
Inputs askForInputs(Console& console, StopRoutine& stop);

// printf-style "%s" replacement for console messages.
std::string messageWith(std::string_view format, std::string_view value);

}  // namespace cxl
