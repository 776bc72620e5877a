// The tarvel program run in-process, as the command tests drive it.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/tarvel_program.h"

namespace tarvel::testing {

/// The tarvel program with the module file TARVEL_MODULE_FILE names. A test fixture derives
/// from it to write `run({"run", ...})` and read what the program printed.
struct TarvelInProcess {
    /// Runs the program with `args` and `in` as its standard input; returns its exit code and
    /// keeps what it printed in `out` and `err`.
    int run(const std::vector<std::string>& args) {
        std::istringstream inStream(in);
        std::ostringstream outStream;
        std::ostringstream errStream;
        cli::Console console{inStream, outStream, errStream, errIsTerminal, outIsTerminal};
        const int code = cli::runTarvel(args, TARVEL_MODULE_FILE, console);
        out = outStream.str();
        err = errStream.str();
        return code;
    }

    std::string in;
    bool errIsTerminal = false;
    bool outIsTerminal = false;
    std::string out;
    std::string err;
};

}  // namespace tarvel::testing
