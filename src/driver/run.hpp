// The program's fixed sequence, from the options to the final pause.
#pragma once

#include "driver/console.hpp"

namespace cxl {

// Returns the exit status of a complete run; a fatal condition ends the
// process through the stop routine instead.
int run(int argc, const char* const* argv, Console& console);

}  // namespace cxl
