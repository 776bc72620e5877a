// Speed of `tarvel run` on LightWave objects: generates LWO3 objects laid out as the modeller
// saves them (TAGS, LAYR, PNTS, BBOX, POLS, PTAG SURF and COLR, a surface as a nested FORM) of
// growing size, and times reading the file, running the module through the stand-in host and
// writing the edited file, each step as `tarvel run` takes it, and then the whole command.
// Prints one table; each figure is the median of three runs.
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/console.h"
#include "cli/output_files.h"
#include "cli/run_summary.h"
#include "cli/tarvel_program.h"
#include "formats/byte_writer.h"
#include "formats/lwo_writer.h"
#include "formats/mesh_file.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"
#include "testing/lwo_from_mesh.h"
#include "testing/scenes/scene_generators.h"

namespace tarvel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

/// Two facing grids of at least `polygons` quads in all, every polygon tagged with the sketch
/// colour the modeller gives new polygons, and one surface defined as LWO3 defines it.
std::vector<std::byte> modellerObject(int polygons) {
    const int side = std::max(1, static_cast<int>(std::lround(std::sqrt(polygons / 2.0))));
    standin::Scene scene = scenes::facingGrids(side, (polygons / 2 + side - 1) / side, 2.0);
    for (standin::Polygon& polygon : scene.mesh.polygons) {
        polygon.tags.push_back(standin::PolygonTag{kTagColour, "DkBlu"});
    }
    formats::LwoObject object = formats::lwoFromMesh(scene.mesh, "bench.lwo", formats::kIdLwo3);
    formats::ByteWriter surface;
    surface.id4(LWID_('S', 'U', 'R', 'F'));
    surface.id4(LWID_('N', 'A', 'M', 'E'));
    surface.u4(8);
    surface.s0("Default");
    surface.id4(LWID_('V', 'E', 'R', 'S'));
    surface.u4(4);
    surface.u4(0x06A4);
    object.chunks.push_back(formats::LwoChunk{formats::kIdForm, surface.take(), 0});
    return formats::writeLwo(object, "bench.lwo");
}

void writeFile(const fs::path& path, const std::vector<std::byte>& bytes) {
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    double read = 0.0;
    double run = 0.0;
    double write = 0.0;
    double command = 0.0;
    std::size_t polygons = 0;
    std::size_t links = 0;
    std::size_t removed = 0;
};

/// One measurement: the steps of `tarvel run` one by one, then the command itself.
Figures measureOnce(const fs::path& input, const fs::path& output, const fs::path& module) {
    Figures figures;
    const auto t0 = Clock::now();
    formats::MeshFile file = formats::MeshFile::load(input);
    const auto t1 = Clock::now();
    standin::Scene scene;
    scene.mesh = file.takeMesh();
    for (standin::Polygon& polygon : scene.mesh.polygons) {
        polygon.flags = 1;
    }
    figures.polygons = scene.mesh.polygons.size();
    const standin::LoadedModule loaded(module);
    const standin::Trace trace =
        standin::runTool(loaded.module(), std::move(scene), standin::CallLogging::countsOnly);
    const auto t2 = Clock::now();
    if (!trace.mesh) {
        std::fprintf(stderr, "the module closed no edit\n");
        std::exit(1);
    }
    const std::vector<std::byte> edited = file.editedBytes(*trace.mesh);
    {
        cli::OutputFiles files;
        files.stage(output, edited);
        files.commit();
    }
    const auto t3 = Clock::now();
    const cli::RunCounts counts = cli::countRun(trace, figures.polygons);
    figures.links = counts.linksAdded;
    figures.removed = counts.polygonsRemoved;

    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    cli::Console console{in, out, err, false};
    const std::vector<std::string> args = {"run", input.string(), "--all", "-o", output.string()};
    const auto t4 = Clock::now();
    if (cli::runTarvel(args, module, console) != 0) {
        std::fprintf(stderr, "%s", err.str().c_str());
        std::exit(1);
    }
    const auto t5 = Clock::now();
    const auto seconds = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    };
    figures.read = seconds(t0, t1);
    figures.run = seconds(t1, t2);
    figures.write = seconds(t2, t3);
    figures.command = seconds(t4, t5);
    return figures;
}

/// Measures the objects up to --largest polygons and prints the table.
int benchmark(int argc, char** argv) {
    int largest = 1'000'000;
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 == argc || std::strcmp(argv[i], "--largest") != 0) {
            std::fprintf(stderr, "usage: %s [--largest N]\n", argv[0]);
            return 2;
        }
        largest = std::atoi(argv[i + 1]);
    }
    const fs::path folder =
        fs::temp_directory_path() / ("tarvel_file_bench_" + std::to_string(getpid()));
    fs::create_directories(folder);
    std::printf(
        "tarvel run on generated LWO3 objects (two facing grids, every polygon selected), in\n"
        "seconds, the median of three runs: reading the file, running the module in the\n"
        "stand-in host (loading it included), writing the edited file; then the whole "
        "command.\n\n");
    std::printf(
        "| object | polygons | file MiB | read | run | write | read + run + write | tarvel run "
        "| links | removed |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const int polygons : {50'000, 100'000, 200'000, 1'000'000}) {
        if (polygons > largest) {
            break;
        }
        const fs::path input = folder / "object.lwo";
        const fs::path output = folder / "object.linked.lwo";
        const std::vector<std::byte> bytes = modellerObject(polygons);
        writeFile(input, bytes);
        std::vector<Figures> runs;
        for (int k = 0; k < 3; ++k) {
            runs.push_back(measureOnce(input, output, TARVEL_MODULE_FILE));
        }
        const auto column = [&runs](double Figures::*field) {
            std::vector<double> values;
            for (const Figures& f : runs) {
                values.push_back(f.*field);
            }
            return median(values);
        };
        const double read = column(&Figures::read);
        const double run = column(&Figures::run);
        const double write = column(&Figures::write);
        std::printf(
            "| LWO3, two facing grids | %zu | %.1f | %.3f | %.3f | %.3f | %.3f | %.3f | %zu | "
            "%zu |\n",
            runs[0].polygons, static_cast<double>(bytes.size()) / (1024.0 * 1024.0), read, run,
            write, read + run + write, column(&Figures::command), runs[0].links, runs[0].removed);
        std::fflush(stdout);
    }
    fs::remove_all(folder);
    return 0;
}

}  // namespace
}  // namespace tarvel

int main(int argc, char** argv) {
    return tarvel::benchmark(argc, argv);
}
