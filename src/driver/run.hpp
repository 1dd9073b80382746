// The program's fixed sequence, from the options to the final pause.
#pragma once

#include "driver/console.hpp"

namespace cxl {

inline constexpr std::string_view kPauseText = "Presiona cualquier tecla para salir del programa...\n";

// Runs the program once and gives its exit status: 0 after a complete run,
// 1 after the stop routine.
int run(int argc, const char* const* argv, Console& console);

}  // namespace cxl
