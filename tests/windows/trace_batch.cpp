// tarvel-trace-batch SCENE_DIR TRACE_DIR: runs tarvel-host's program on every scene file
// (*.json) of SCENE_DIR, in name order, and writes each trace as TRACE_DIR/NAME.trace.json. One
// process for them all: under Wine a process start costs far more than a run.
#include <float.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/executable_path.h"
#include "cli/exit_codes.h"
#include "cli/host_program.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: tarvel-trace-batch SCENE_DIR TRACE_DIR\n";
        return 2;
    }
    // A modeller built with Microsoft's compiler runs its plug-ins with the x87 unit at 53-bit
    // precision, where MinGW's start-up leaves 64 bits. The module must give the same bits
    // either way: tarvel-host.exe runs at 64, this program at 53.
    _controlfp(_PC_53, _MCW_PC);

    const std::filesystem::path sceneDir = argv[1];
    const std::filesystem::path traceDir = argv[2];
    std::vector<std::filesystem::path> scenes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(sceneDir, error)) {
        if (entry.path().extension() == ".json") {
            scenes.push_back(entry.path());
        }
    }
    if (error) {
        std::cerr << "tarvel-trace-batch: " << sceneDir.string() << ": " << error.message() << '\n';
        return 1;
    }
    std::sort(scenes.begin(), scenes.end());
    std::filesystem::create_directories(traceDir, error);

    const std::filesystem::path module = tarvel::cli::executableDirectory() / "tarvel.p";
    int failed = 0;
    for (const std::filesystem::path& scene : scenes) {
        const std::filesystem::path trace = traceDir / (scene.stem().string() + ".trace.json");
        const std::vector<std::string> args{scene.string(), "--trace", trace.string()};
        std::istringstream noInput;
        std::ostringstream unused;
        tarvel::cli::Console console{noInput, unused, unused, false};
        // A run the tool stops still writes its trace; only a failure counts.
        const int code = tarvel::cli::runHostProgram(args, module, console);
        if (code != tarvel::cli::kExitOk && code != tarvel::cli::kExitToolStopped) {
            ++failed;
        }
    }
    std::cout << scenes.size() << " scenes run, " << failed << " failed\n";
    return failed == 0 && !scenes.empty() ? 0 : 1;
}
