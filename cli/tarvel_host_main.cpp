#include <iostream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/executable_path.h"
#include "cli/host_program.h"
#include "cli/output_files.h"
#include "cli/standard_output.h"

int main(int argc, char** argv) {
    tarvel::cli::removeTemporaryFilesOnSignals();
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // The module built with the program sits beside it.
    const std::filesystem::path module = tarvel::cli::executableDirectory() / "tarvel.p";
    tarvel::cli::Console console{std::cin, std::cout, std::cerr, false};
    const int code = tarvel::cli::runHostProgram(args, module, console);
    return tarvel::cli::closeStandardOutput("tarvel-host", code, console);
}
