// Speed of the module at growing sizes: each scene runs in the stand-in host in a child
// process of its own (so that its peak memory is its own), once with the fast module and,
// where it finishes within the time limit, once with the module built around the
// straightforward procedures. Prints one table.
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "formats/lwo_writer.h"
#include "formats/mesh_file.h"
#include "runtime/stage_clock.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"
#include "testing/lwo_from_mesh.h"
#include "testing/scenes/scene_generators.h"

namespace tarvel {
namespace {

struct Scenario {
    const char* name;
    std::function<standin::Scene(int polygons)> make;
    /// The arguments of bench/blender_bridge.py for Blender's bridge on the scene of about
    /// `polygons` polygons (or, for the curved patches, on the facing grids of that size);
    /// empty for a scene the comparison leaves out.
    std::function<std::string(int polygons)> blenderArguments;
};

/// What one run in a child measured.
struct Measure {
    bool finished = false;
    double stage[kStageCount] = {};
    /// The module's activation, from the host's call until it returns: what Blender's timed
    /// operator is to Blender, whose mesh is in edit mode before the clock starts.
    double total = 0.0;
    /// The stand-in host's whole run: taking the scene into its mesh, the activation, and
    /// closing the run.
    double hostRun = 0.0;
    /// Processor time of the whole run, every thread's and the host's: on a loaded machine a
    /// steadier measure of the work done than the wall time.
    double cpu = 0.0;
    double peakMiB = 0.0;
    int polygons = 0;
    int links = 0;
};

int side(double area) {
    return std::max(1, static_cast<int>(std::lround(std::sqrt(area))));
}

/// The script's arguments for the facing grids of about `polygons` polygons.
std::string blenderGrids(int polygons) {
    const int nx = side(polygons / 2.0);
    return std::to_string(nx) + " " + std::to_string(polygons / 2 / nx) + " 2";
}

const std::vector<Scenario> kScenarios{
    {"two facing grids",
     [](int n) { return scenes::facingGrids(side(n / 2.0), n / 2 / side(n / 2.0), 2.0); },
     blenderGrids},
    {"curved noisy patches",
     [](int n) { return scenes::curvedPatches(side(n / 2.0), n / 2 / side(n / 2.0), 0.05, 7); },
     blenderGrids},
    {"eight facing pairs", [](int n) { return scenes::severalPairs(8, side(n / 16.0)); }, {}},
    // One-quad pairs: at a million polygons, the 500,000 pairs of the small-stack test.
    {"many one-quad pairs", [](int n) { return scenes::manyPairs(n / 2, 1); },
     [](int n) { return "pairs " + std::to_string(n / 2) + " 1 0 0"; }},
    // Half the polygons in four large pairs, half in pairs of 2 by 2 quads.
    {"four large among many small pairs",
     [](int n) { return scenes::manyPairs(n / 16, 2, 4, side(n / 16.0)); },
     [](int n) {
         return "pairs " + std::to_string(n / 16) + " 2 4 " + std::to_string(side(n / 16.0));
     }},
};

/// Processor seconds this process has used so far, in user and system mode.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

/// Runs the scene in this (child) process and fills the measure.
Measure runHere(const char* modulePath, const Scenario& scenario, int polygons) {
    standin::Scene scene = scenario.make(polygons);
    const int count = static_cast<int>(scene.mesh.polygons.size());
    const standin::LoadedModule module(modulePath);
    auto reset = reinterpret_cast<void (*)()>(module.symbol("tarvelResetStageClock"));
    auto seconds = reinterpret_cast<double (*)(int)>(module.symbol("tarvelStageSeconds"));
    reset();
    const double cpuStart = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    // Only the calls are read: the host keeps the mesh it would otherwise hand back.
    const standin::Trace trace =
        standin::runTool(module.module(), std::move(scene), standin::CallLogging::countsOnly,
                         standin::MeshAfter::notGiven);
    const auto end = std::chrono::steady_clock::now();
    Measure m;
    m.cpu = cpuSeconds() - cpuStart;
    m.finished = true;
    m.polygons = count;
    m.hostRun = std::chrono::duration<double>(end - start).count();
    for (int s = 0; s < kStageCount; ++s) {
        m.stage[s] = seconds(s);
    }
    m.total = seconds(kStageCount);
    m.links = static_cast<int>(trace.calls.count(standin::CallOp::addFace));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    m.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return m;
}

/// What body() gives, computed in a child process (so that its peak memory is its own); a
/// value-initialised Result when the child fails or takes longer than `limitSeconds`.
template <typename Result, typename Body>
Result inChild(int limitSeconds, const Body& body) {
    int channel[2];
    if (pipe(channel) != 0) {
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        Result m{};
        try {
            m = body();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
        const ssize_t written = write(channel[1], &m, sizeof m);
        _exit(written == static_cast<ssize_t>(sizeof m) ? 0 : 1);
    }
    close(channel[1]);
    Result m{};
    pollfd wait{channel[0], POLLIN, 0};
    if (poll(&wait, 1, limitSeconds * 1000) == 1 &&
        read(channel[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) {
        m = {};
    }
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(channel[0]);
    return m;
}

/// Runs in a child; gives up on it after `limitSeconds`.
Measure runInChild(const char* modulePath, const Scenario& scenario, int polygons,
                   int limitSeconds) {
    return inChild<Measure>(limitSeconds, [&] { return runHere(modulePath, scenario, polygons); });
}

/// What `tarvel run` spends on a mesh file, step by step.
struct FileMeasure {
    bool finished = false;
    int polygons = 0;
    double read = 0.0;    // reading the file into the mesh the host sees
    double module = 0.0;  // the module's activation, as the main table's total
    double host = 0.0;    // the stand-in host taking the mesh, and closing the run after
    double write = 0.0;   // the edited file's bytes, written out
};

bool writeBytes(const std::string& path, const void* data, std::size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

/// The benchmark's facing grids of about `polygons` polygons as an OBJ file's text.
std::string facingGridsObj(const standin::Mesh& mesh) {
    std::string text = "# two facing grids\n";
    char line[128];
    for (const standin::Point& p : mesh.points) {
        std::snprintf(line, sizeof line, "v %.17g %.17g %.17g\n", p[0], p[1], p[2]);
        text += line;
    }
    for (const standin::Polygon& polygon : mesh.polygons) {
        text += 'f';
        for (std::int32_t point : polygon.points) {
            text += ' ';
            text += std::to_string(point + 1);
        }
        text += '\n';
    }
    return text;
}

/// Runs `tarvel run`'s steps on the file at `path` in this (child) process: read, the module
/// in the stand-in host with every polygon selected, the edited bytes written to `output`.
FileMeasure runFileHere(const char* modulePath, const std::string& path,
                        const std::string& output) {
    using Clock = std::chrono::steady_clock;
    FileMeasure m;
    const auto start = Clock::now();
    formats::MeshFile input = formats::MeshFile::load(path);
    standin::Scene scene;
    scene.mesh = input.takeMesh();
    for (standin::Polygon& polygon : scene.mesh.polygons) {
        polygon.flags |= 1;
    }
    const auto read = Clock::now();
    m.polygons = static_cast<int>(scene.mesh.polygons.size());
    const standin::LoadedModule module(modulePath);
    auto reset = reinterpret_cast<void (*)()>(module.symbol("tarvelResetStageClock"));
    auto stageSeconds = reinterpret_cast<double (*)(int)>(module.symbol("tarvelStageSeconds"));
    reset();
    const auto moduleStart = Clock::now();
    const standin::Trace trace =
        standin::runTool(module.module(), std::move(scene), standin::CallLogging::countsOnly);
    const auto moduleEnd = Clock::now();
    if (!trace.mesh) {
        return m;
    }
    const std::vector<std::byte> edited = input.editedBytes(*trace.mesh);
    if (!writeBytes(output, edited.data(), edited.size())) {
        return m;
    }
    const auto end = Clock::now();
    m.read = std::chrono::duration<double>(read - start).count();
    m.module = stageSeconds(kStageCount);
    m.host = std::chrono::duration<double>(moduleEnd - moduleStart).count() - m.module;
    m.write = std::chrono::duration<double>(end - moduleEnd).count();
    m.finished = true;
    return m;
}

/// Whether `program` is an executable file in a folder of the PATH.
bool onPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return false;
    }
    const std::string folders = path;
    for (std::size_t at = 0; at <= folders.size();) {
        std::size_t end = folders.find(':', at);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const std::string folder = end > at ? folders.substr(at, end - at) : ".";
        if (access((folder + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
        at = end + 1;
    }
    return false;
}

/// The built Blender add-on's folder (the build's blender/), or empty when it is not built.
#ifdef TARVEL_BLENDER_ADDON_DIR
const char* const kBlenderAddon = TARVEL_BLENDER_ADDON_DIR;
#else
const char* const kBlenderAddon = "";
#endif

/// What Blender's Bridge Edge Loops did: the operator's seconds (negative when it could not be
/// run), and the faces of the mesh after it (the bridge's new faces, as the selection is
/// removed).
struct BlenderBridge {
    double seconds = -1.0;
    long facesAfter = 0;
    /// Our add-on on a copy of the same mesh in the same Blender: its operator's seconds
    /// (negative when it did not run), the module's part of them, and the links it added.
    double addonSeconds = -1.0;
    double addonModule = 0.0;
    long addonLinks = 0;
};

/// Blender's Bridge Edge Loops on the scene the script's `arguments` make, and before it, when
/// `addon` names the built add-on's folder, the add-on on the same mesh.
BlenderBridge blenderBridge(const std::string& arguments, const std::string& addon) {
    // Blender's bridge of many loops may take far longer than ours: given ten minutes.
    const std::string command =
        "timeout 600 blender --background --factory-startup --python-exit-code 1 "
        "--python '" TARVEL_BLENDER_SCRIPT "' -- " +
        (addon.empty() ? std::string() : "--addon '" + addon + "' ") + arguments + " 2>/dev/null";
    FILE* output = popen(command.c_str(), "r");
    if (output == nullptr) {
        return {};
    }
    BlenderBridge result;
    char line[512];
    while (std::fgets(line, sizeof line, output) != nullptr) {
        double s = 0.0;
        long faces = 0;
        long left = 0;
        if (std::sscanf(line, "bridge seconds: %lf faces: %ld faces left: %ld", &s, &faces,
                        &left) == 3) {
            result.seconds = s;
            result.facesAfter = left;
        }
        double module = 0.0;
        if (std::sscanf(line, "addon seconds: %lf module seconds: %lf links: %ld", &s, &module,
                        &faces) == 3) {
            result.addonSeconds = s;
            result.addonModule = module;
            result.addonLinks = faces;
        }
    }
    return pclose(output) == 0 ? result : BlenderBridge{};
}

/// Seconds to four significant digits, for the small times of the comparison.
std::string precise(double s) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", s);
    return text;
}

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, s < 10 ? "%.3f" : "%.1f", s);
    return text;
}

void printStages(const char* name, const char* threads, const Measure& m) {
    std::printf("| %s | %s |", name, threads);
    for (double s : m.stage) {
        std::printf(" %s |", seconds(s).c_str());
    }
    std::printf(" %s | %s | %.0f |\n", seconds(m.total).c_str(), seconds(m.cpu).c_str(), m.peakMiB);
}

/// A stage that more threads make faster than this many times their count has not been sped
/// up: its work has moved to a thread that no stage clock times, into the wait for it.
constexpr double kMovedBeyond = 1.5;

/// Each scene of about `polygons` polygons with one thread (TARVEL_THREADS=1) and with as
/// many as the machine has, stage by stage.
void compareThreads(const char* only, int polygons) {
    std::printf(
        "\nOne thread against %u (the processors here), at the largest size, the faster of two\n"
        "runs each. A stage sped up beyond 1.5 times the thread count reads \"moved\": another\n"
        "thread did its work, untimed, while the calling thread went on:\n\n"
        "| scene | threads | capture | ordering | grouping | pairing | boundaries | matching, "
        "output | removal | total | CPU s | peak MiB |\n"
        "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n",
        std::thread::hardware_concurrency());
    for (const Scenario& scenario : kScenarios) {
        if (only != nullptr && std::strstr(scenario.name, only) == nullptr) {
            continue;
        }
        auto run = [&](const char* threads) {
            return inChild<Measure>(600, [&] {
                if (threads != nullptr) {
                    setenv("TARVEL_THREADS", threads, 1);
                } else {
                    unsetenv("TARVEL_THREADS");
                }
                return runHere(TARVEL_TIMED_MODULE, scenario, polygons);
            });
        };
        // The faster of two runs each, taken in turns, so that a slow spell of the machine
        // slows one run of each rather than every run of one.
        auto faster = [](const Measure& a, const Measure& b) {
            return !b.finished || (a.finished && a.total <= b.total) ? a : b;
        };
        const Measure firstOne = run("1");
        const Measure firstAll = run(nullptr);
        const Measure one = faster(firstOne, run("1"));
        const Measure all = faster(firstAll, run(nullptr));
        if (!one.finished || !all.finished) {
            std::printf("| %s | | did not finish |||||||||\n", scenario.name);
            continue;
        }
        printStages(scenario.name, "1", one);
        printStages(scenario.name, "all", all);
        std::printf("| %s | speed-up |", scenario.name);
        for (int s = 0; s < kStageCount; ++s) {
            if (all.stage[s] > 0.0 && one.stage[s] >= 0.001) {
                const double speedUp = one.stage[s] / all.stage[s];
                if (speedUp > kMovedBeyond * std::thread::hardware_concurrency()) {
                    std::printf(" moved |");
                } else {
                    std::printf(" %.2fx |", speedUp);
                }
            } else {
                std::printf(" |");
            }
        }
        std::printf(" %.2fx | | |\n", one.total / all.total);
        std::fflush(stdout);
    }
}

/// `tarvel run`'s steps on the facing grids of about `polygons` polygons as an OBJ and an LWO2
/// file, written to a temporary folder first.
void compareFiles(int polygons) {
    char folder[] = "/tmp/tarvel-bench-XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        std::printf("\nNo temporary folder for the mesh files.\n");
        return;
    }
    const standin::Scene scene = kScenarios[0].make(polygons);
    const std::string obj = std::string(folder) + "/facing_grids.obj";
    const std::string lwo = std::string(folder) + "/facing_grids.lwo";
    const std::string text = facingGridsObj(scene.mesh);
    const std::vector<std::byte> object =
        formats::writeLwo(formats::lwoFromMesh(scene.mesh, lwo), lwo);
    if (!writeBytes(obj, text.data(), text.size()) ||
        !writeBytes(lwo, object.data(), object.size())) {
        std::printf("\nThe mesh files could not be written in %s.\n", folder);
        return;
    }
    std::printf(
        "\n`tarvel run` on the facing grids as mesh files, every polygon selected: reading the\n"
        "file, the stand-in host taking its mesh and handing the edited one back, the module's\n"
        "activation (as \"total\" above), and the edited file made and written:\n\n"
        "| file | polygons | read | host | module | edit, write | read + write | "
        "(read + write) / module |\n|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const std::string& path : {obj, lwo}) {
        const std::string output = path + ".out" + path.substr(path.size() - 4);
        const FileMeasure m = inChild<FileMeasure>(
            600, [&] { return runFileHere(TARVEL_TIMED_MODULE, path, output); });
        if (!m.finished) {
            std::printf("| %s | | did not finish ||||||\n", path.c_str());
        } else {
            const double around = m.read + m.write;
            std::printf("| %s | %d | %s | %s | %s | %s | %s | %.2f |\n",
                        path.substr(path.size() - 3).c_str(), m.polygons, seconds(m.read).c_str(),
                        seconds(m.host).c_str(), seconds(m.module).c_str(),
                        seconds(m.write).c_str(), seconds(around).c_str(), around / m.module);
        }
        std::fflush(stdout);
        std::remove(output.c_str());
    }
    std::remove(obj.c_str());
    std::remove(lwo.c_str());
    rmdir(folder);
}

/// Measures as the options ask (see main) and prints the tables.
int usage(const char* program) {
    std::fprintf(stderr,
                 "usage: %s [--largest N] [--smallest N] [--limit SECONDS] [--scene TEXT]\n"
                 "       [--threads no] [--files no] [--blender no] [--in-process yes]\n"
                 "See docs/speed.md.\n",
                 program);
    return 2;
}

int benchmark(int argc, char** argv) {
    int largest = 1'000'000;
    int smallest = 1000;
    int limit = 60;
    const char* only = nullptr;
    bool inProcess = false;
    bool blender = true;
    bool files = true;
    bool threads = true;
    // Our whole run per scene and size, for the comparison with Blender.
    struct Ours {
        const Scenario* scenario;
        int polygons;
        double total;
        int links;
    };
    std::vector<Ours> ours;
    // Options come in pairs; anything else (--help too) is answered with the usage, before a
    // run of many minutes starts.
    for (int i = 1; i < argc; i += 2) {
        if (i + 1 == argc) {
            return usage(argv[0]);
        }
        if (std::strcmp(argv[i], "--largest") == 0) {
            largest = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--smallest") == 0) {
            smallest = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--limit") == 0) {
            limit = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--scene") == 0) {
            only = argv[i + 1];
        } else if (std::strcmp(argv[i], "--threads") == 0) {
            threads = std::strcmp(argv[i + 1], "no") != 0;
        } else if (std::strcmp(argv[i], "--files") == 0) {
            files = std::strcmp(argv[i + 1], "no") != 0;
        } else if (std::strcmp(argv[i], "--blender") == 0) {
            blender = std::strcmp(argv[i + 1], "no") != 0;
        } else if (std::strcmp(argv[i], "--in-process") == 0) {
            inProcess = std::strcmp(argv[i + 1], "yes") == 0;
        } else {
            return usage(argv[0]);
        }
    }
    std::printf(
        "Seconds per stage of the fast module; the reference is the same module around the\n"
        "straightforward procedures, given %d s per run. Total is the module's activation, from\n"
        "the host's call until it returns; \"in host\" adds the stand-in host taking the scene\n"
        "into its mesh before and closing the run after. CPU s is the processor time of the\n"
        "host's whole run, every thread's. Peak memory is the whole process: the stand-in host's\n"
        "mesh and the module.\n\n",
        limit);
    std::printf(
        "| scene | polygons | capture | ordering | grouping | pairing | boundaries | matching, "
        "output "
        "| removal | total | in host | CPU s | peak MiB | links | reference | speed-up |\n");
    std::printf(
        "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Scenario& scenario : kScenarios) {
        if (only != nullptr && std::strstr(scenario.name, only) == nullptr) {
            continue;
        }
        bool referenceGaveUp = limit <= 0;
        for (int polygons = smallest; polygons <= largest; polygons *= 10) {
            // In process (for profilers that do not follow a fork), the peak memory is that of
            // every run so far.
            const Measure fast = inProcess
                                     ? runHere(TARVEL_TIMED_MODULE, scenario, polygons)
                                     : runInChild(TARVEL_TIMED_MODULE, scenario, polygons, 600);
            Measure reference;
            if (!referenceGaveUp) {
                reference = runInChild(TARVEL_TIMED_REFERENCE_MODULE, scenario, polygons, limit);
                referenceGaveUp = !reference.finished;
            }
            if (!fast.finished) {
                std::printf("| %s | about %d | did not finish ||||||||||||\n", scenario.name,
                            polygons);
                continue;
            }
            std::printf("| %s | %d |", scenario.name, fast.polygons);
            for (double s : fast.stage) {
                std::printf(" %s |", seconds(s).c_str());
            }
            std::printf(" %s | %s | %s | %.0f | %d |", seconds(fast.total).c_str(),
                        seconds(fast.hostRun).c_str(), seconds(fast.cpu).c_str(), fast.peakMiB,
                        fast.links);
            ours.push_back({&scenario, polygons, fast.total, fast.links});
            if (reference.finished) {
                std::printf(" %s | %.0fx |\n", seconds(reference.total).c_str(),
                            reference.total / fast.total);
            } else {
                std::printf(" over %d s | over %.0fx |\n", limit, limit / fast.total);
            }
            std::fflush(stdout);
        }
    }
    if (threads) {
        compareThreads(only, largest);
    }
    if (files) {
        compareFiles(largest);
    }
    if (!blender) {
        return 0;
    }
    if (!onPath("blender")) {
        std::printf("\nBlender is not on the PATH: no comparison with its Bridge Edge Loops.\n");
        return 0;
    }
    std::printf(
        "\nBlender's Bridge Edge Loops (the operator alone, every face selected in edit mode)\n"
        "against our module's activation (\"total\" above) on the same mesh, the best of two\n"
        "runs each (the run above and one more of ours); the curved patches\n"
        "against Blender on the facing grids of their size. Blender's count is the faces its\n"
        "bridge made, ours the two-point links. On the facing grids our Blender add-on ran too,\n"
        "in the same Blender on a copy of the same mesh, every face selected in edit mode: its\n"
        "operator's seconds (the module's share through the Python package in brackets) and the\n"
        "edges it added:\n\n"
        "| scene | polygons | ours | Blender | ours / Blender | our links | Blender's faces | "
        "add-on (module) | add-on / Blender | add-on links |\n"
        "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    std::map<std::string, BlenderBridge> bridged;  // by the script's arguments: run once each
    for (const Ours& o : ours) {
        if (!o.scenario->blenderArguments) {
            continue;
        }
        const std::string arguments = o.scenario->blenderArguments(o.polygons);
        // The add-on on the facing grids (the scripts' arguments without "pairs").
        const std::string addon = arguments.rfind("pairs", 0) == 0 ? "" : kBlenderAddon;
        if (bridged.count(arguments) == 0) {
            // The best of two runs each: the add-on in the first only.
            BlenderBridge first = blenderBridge(arguments, addon);
            const BlenderBridge second = blenderBridge(arguments, "");
            if (first.seconds > 0.0 && second.seconds > 0.0) {
                first.seconds = std::min(first.seconds, second.seconds);
            }
            bridged[arguments] = first;
        }
        const BlenderBridge theirs = bridged[arguments];
        const Measure again = inProcess
                                  ? runHere(TARVEL_TIMED_MODULE, *o.scenario, o.polygons)
                                  : runInChild(TARVEL_TIMED_MODULE, *o.scenario, o.polygons, 600);
        const double total = again.finished ? std::min(o.total, again.total) : o.total;
        std::string addonColumns = " | | |";
        if (theirs.addonSeconds > 0.0) {
            addonColumns = " " + precise(theirs.addonSeconds) + " (" + precise(theirs.addonModule) +
                           ") | " +
                           (theirs.seconds > 0.0 ? precise(theirs.addonSeconds / theirs.seconds)
                                                 : std::string()) +
                           " | " + std::to_string(theirs.addonLinks) + " |";
        } else if (!addon.empty()) {
            addonColumns = " did not run | | |";
        }
        if (theirs.seconds <= 0.0) {
            std::printf("| %s | about %d | %s | did not run (or not in 600 s) | | %d | |%s\n",
                        o.scenario->name, o.polygons, precise(total).c_str(), o.links,
                        addonColumns.c_str());
        } else {
            std::printf("| %s | about %d | %s | %s | %.2f | %d | %ld |%s\n", o.scenario->name,
                        o.polygons, precise(total).c_str(), precise(theirs.seconds).c_str(),
                        total / theirs.seconds, o.links, theirs.facesAfter, addonColumns.c_str());
        }
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace
}  // namespace tarvel

int main(int argc, char** argv) {
    return tarvel::benchmark(argc, argv);
}
