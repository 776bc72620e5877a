// The streams a command talks through, so that a test can stand in for the terminal.
#pragma once

#include <istream>
#include <ostream>

namespace tarvel::cli {

struct Console {
    /// Standard input: a mesh read from "-".
    std::istream& in;
    /// Standard output: the summary, or the mesh written to "-".
    std::ostream& out;
    /// Standard error: the tool's messages and every refusal.
    std::ostream& err;
    /// Whether standard error is a terminal, where a progress line may update in place.
    bool errIsTerminal = false;
    /// Whether standard output is a terminal, where a binary file must not go.
    bool outIsTerminal = false;
    /// The reason (errno) the first failed write to `out` gave, once one has failed; 0 before.
    int outError = 0;
};

}  // namespace tarvel::cli
