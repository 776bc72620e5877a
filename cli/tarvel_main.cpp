#include <iostream>
#include <string>
#include <vector>

#include "cli/executable_path.h"
#include "cli/run_command.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    // The module built with the program sits beside it.
    const std::filesystem::path module = tarvelhost::executableDirectory() / "tarvel.p";
    return tarvelhost::runTarvel(args, module, std::cout, std::cerr);
}
