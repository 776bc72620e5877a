// The one place where a failure becomes a message and an exit code.
#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace tarvelhost {

/// Runs `body` and returns its result. A failure it throws becomes one line on `err`,
/// "PROGRAM: MESSAGE", and an exit code: UsageError gives kExitUsageError; an input error
/// (standin::InputError, which the file readers' errors are), std::bad_alloc ("out of
/// memory", after `subject` when one is given) and any other exception give kExitInputError.
int exitCodeOf(const std::string& program, const std::string& subject, std::ostream& err,
               const std::function<int()>& body);

}  // namespace tarvelhost
