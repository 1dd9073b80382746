// cxl2xhtml: turns one concept map (CXL) into a graphic page and a textual
// description page, both XHTML 1.0 Strict.
#include <malloc.h>

#include <iostream>

#include "driver/run.hpp"

int main(int argc, char** argv) {
    // Mini-XML frees its tree as millions of small blocks. With glibc's fast
    // bins the first larger allocation afterwards merges all of them at once,
    // which costs as much as a sixth of a large run; without fast bins each
    // free merges as it goes, at no extra cost overall.
    mallopt(M_MXFAST, 0);
    cxl::Console console{std::cin, std::cout, std::cerr};
    return cxl::run(argc, argv, console);
}
