// What the programs return, the same for every command, and the error of a command line the
// program cannot use.
#pragma once

#include <stdexcept>

namespace tarvel::cli {

/// The run completed: the tool linked its pairs and removed them.
inline constexpr int kExitOk = 0;
/// An input or output error: a file that cannot be read, used or written, a module refused,
/// memory exhausted. Nothing was written.
inline constexpr int kExitInputError = 1;
/// A command line the program cannot use, or a selection that names what the file does not
/// hold. Nothing ran and nothing was written.
inline constexpr int kExitUsageError = 2;
/// The tool stopped with one of its messages and changed nothing. The output is written,
/// unchanged, so that a pipeline goes on.
inline constexpr int kExitToolStopped = 3;

/// Arguments the program cannot use. The message is one line.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tarvel::cli
