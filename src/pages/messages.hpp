// The text of every failure, as the console writes it on standard error and
// the browser edition shows it: one table for both.
#pragma once

#include <ostream>
#include <string_view>

#include "pages/failure.hpp"

namespace cxl {

// The message of `problem`, in which "${name}" stands for the file's name.
std::string_view messageOf(Problem problem);

// The parser's reason, if any, then the failure's message with the name it shows.
void writeMessage(std::ostream& err, const Failure& failure);

}  // namespace cxl
