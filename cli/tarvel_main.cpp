#include <iostream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/executable_path.h"
#include "cli/output_files.h"
#include "cli/standard_output.h"
#include "cli/tarvel_program.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#define TARVEL_ISATTY _isatty
#else
#include <unistd.h>
#define TARVEL_ISATTY isatty
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // Meshes pass through standard input and output byte for byte.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    tarvel::cli::removeTemporaryFilesOnSignals();
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // The module built with the program sits beside it.
    const std::filesystem::path module = tarvel::cli::executableDirectory() / "tarvel.p";
    tarvel::cli::Console console{std::cin, std::cout, std::cerr, TARVEL_ISATTY(2) != 0,
                                 TARVEL_ISATTY(1) != 0};
    const int code = tarvel::cli::runTarvel(args, module, console);
    return tarvel::cli::closeStandardOutput("tarvel", code, console);
}
