// The one place where a failure becomes a message and an exit code.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace tarvel::cli {

/// Runs `body` and returns its result. A failure it throws becomes an exit code and its
/// message in `failure`: UsageError gives kExitUsageError; an input error (standin::InputError,
/// which the file readers' errors are), std::bad_alloc ("out of memory", after `subject` when
/// one is given) and any other exception give kExitInputError. `failure` is left empty when
/// `body` returns.
int runCatching(const std::string& subject, const std::function<int()>& body,
                std::optional<std::string>& failure);

/// runCatching, with the failure written as one line on `err`: "PROGRAM: MESSAGE".
int exitCodeOf(const std::string& program, const std::string& subject, std::ostream& err,
               const std::function<int()>& body);

/// Of two results, the one a script should hear about: an input or output error, then a usage
/// error, then a stopped run, then success.
int worseExit(int a, int b);

}  // namespace tarvel::cli
