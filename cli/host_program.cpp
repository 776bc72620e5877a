#include "cli/host_program.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <new>

#include "cli/command_line.h"
#include "cli/run_summary.h"
#include "standin/input_error.h"
#include "standin/module_loader.h"
#include "standin/scene_reader.h"
#include "standin/stand_in_host.h"
#include "standin/trace_writer.h"

#ifdef _WIN32
#include <process.h>
#define TARVEL_GETPID _getpid
#else
#include <unistd.h>
#define TARVEL_GETPID getpid
#endif

namespace tarvelhost {

namespace {

constexpr const char* kProgram = "tarvel-host";

}  // namespace

void writeFileInPlace(const std::filesystem::path& path,
                      const std::function<void(std::ostream&)>& write) {
    // The process id keeps two runs that write the same trace from sharing a temporary file.
    std::filesystem::path temporary = path;
    temporary += ".tmp" + std::to_string(TARVEL_GETPID());
    const auto fail = [&](const std::string& why) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw standin::InputError(path.string() + ": cannot write: " + why);
    };
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        if (!file) {
            fail(std::strerror(errno));
        }
        write(file);
        file.close();
        if (!file) {
            fail("write failed");
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) {
        fail(error.message());
    }
}

int runHostProgram(std::span<const std::string> args, const std::filesystem::path& defaultModule,
                   std::ostream& out, std::ostream& err) {
    CommandLine line;
    try {
        line = parseCommandLine(args);
    } catch (const standin::InputError& error) {
        err << kProgram << ": " << error.what() << '\n';
        return kExitUsageError;
    }
    if (line.help) {
        out << kUsage << '\n';
        return kExitOk;
    }
    try {
        standin::Scene scene = standin::loadScene(line.scene);
        const std::size_t scenePolygons = scene.mesh.polygons.size();
        const standin::LoadedModule module(line.module.value_or(defaultModule));
        const standin::Trace trace = standin::runTool(module.module(), std::move(scene));
        if (line.trace) {
            writeFileInPlace(*line.trace,
                             [&trace](std::ostream& file) { standin::writeTrace(trace, file); });
        } else {
            writeSummary(trace, scenePolygons, out);
        }
        return kExitOk;
    } catch (const standin::InputError& error) {
        err << kProgram << ": " << error.what() << '\n';
    } catch (const std::bad_alloc&) {
        err << kProgram << ": out of memory\n";
    } catch (const std::exception& error) {
        err << kProgram << ": " << error.what() << '\n';
    }
    return kExitInputError;
}

}  // namespace tarvelhost
