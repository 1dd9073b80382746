// What each step of a run gives back: what it made, or the failure that
// ends the run and the name its message shows. run() alone turns a failure
// into its message and the stop routine.
#pragma once

#include <optional>
#include <string>
#include <utility>

#include "map/parser_reason.hpp"

namespace cxl {

enum class Problem {
    CxlNotFound,      // the CXL file does not open
    CxlUnreadable,    // it opens, but a read fails
    NotXml,           // not XML text, not a document, or an error the parser reported
    MissingNode,      // a connection names no node
    OutOfMemory,
    PageExists,       // a page's name is taken
    PageNotCreated,   // a page cannot be made there
    PageNotWritten,   // a write, flush or close of a page failed
    DescriptionTooLong,  // the description would pass its bound
};

struct Failure {
    Failure(Problem what, std::string file = {}, ParserReason parser = {})
        : problem(what), name(std::move(file)), reason(parser) {}

    Problem problem;
    std::string name;     // the file the message names, if any
    ParserReason reason;  // the parser's own words, shown before the message
};

// A step that makes nothing: no failure, or one.
using Status = std::optional<Failure>;

// A step that makes a T, or fails.
template <typename T>
class [[nodiscard]] Outcome {
public:
    Outcome(T value) : value_(std::move(value)) {}
    Outcome(Failure failure) : failure_(std::move(failure)) {}

    [[nodiscard]] bool failed() const { return failure_.has_value(); }
    [[nodiscard]] const Failure& failure() const { return *failure_; }
    T& value() { return *value_; }

private:
    std::optional<T> value_;
    std::optional<Failure> failure_;
};

}  // namespace cxl
