#include "cli/tarvel_program.h"

#include "cli/command_line.h"
#include "cli/exit_codes.h"
#include "cli/failure_exit.h"
#include "cli/host_program.h"
#include "cli/info_command.h"
#include "cli/module_version.h"
#include "cli/run_command.h"

#ifndef TARVEL_PROGRAM_VERSION
#error "the build gives the program's version as TARVEL_PROGRAM_VERSION"
#endif

namespace tarvel::cli {

std::string versionText(const std::filesystem::path& module) {
    std::string text = "tarvel " TARVEL_PROGRAM_VERSION "\n";
    const std::optional<ModuleVersion> version = readModuleVersion(module);
    if (!version) {
        return text + "module " + module.string() + ": no version found\n";
    }
    return text + "module " + module.string() + ": file version " + version->fileVersion +
           " (FileVersion \"" + version->fileVersionText + "\")\n";
}

int runTarvel(std::span<const std::string> args, const std::filesystem::path& defaultModule,
              Console& console) {
    return exitCodeOf("tarvel", "", console.err, [&] {
        const CommandLine line = parseTarvelCommandLine(args);
        switch (line.command) {
            case Command::help:
                console.out << line.help;
                return kExitOk;
            case Command::version:
                console.out << versionText(defaultModule);
                return kExitOk;
            case Command::run:
                return runFiles(line.run, defaultModule, console);
            case Command::info:
                return runInfo(line.info, console);
            case Command::host:
                return runHost(line.host, defaultModule, console);
        }
        return kExitUsageError;
    });
}

}  // namespace tarvel::cli
