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
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "host/stage_clock.h"
#include "scenes/scene_generators.h"
#include "standin/module_loader.h"
#include "standin/stand_in_host.h"

namespace {

struct Scenario {
    const char* name;
    std::function<standin::Scene(int polygons)> make;
};

/// What one run in a child measured.
struct Measure {
    bool finished = false;
    double stage[tarvel::kStageCount] = {};
    double total = 0.0;
    double peakMiB = 0.0;
    int polygons = 0;
    int links = 0;
};

int side(double area) {
    return std::max(1, static_cast<int>(std::lround(std::sqrt(area))));
}

const std::vector<Scenario> kScenarios{
    {"two facing grids",
     [](int n) { return scenes::facingGrids(side(n / 2.0), n / 2 / side(n / 2.0), 2.0); }},
    {"curved noisy patches",
     [](int n) { return scenes::curvedPatches(side(n / 2.0), n / 2 / side(n / 2.0), 0.05, 7); }},
    {"eight facing pairs", [](int n) { return scenes::severalPairs(8, side(n / 16.0)); }},
};

/// Runs the scene in this (child) process and fills the measure.
Measure runHere(const char* modulePath, const Scenario& scenario, int polygons) {
    standin::Scene scene = scenario.make(polygons);
    const int count = static_cast<int>(scene.mesh.polygons.size());
    const standin::LoadedModule module(modulePath);
    auto reset = reinterpret_cast<void (*)()>(module.symbol("tarvelResetStageClock"));
    auto seconds = reinterpret_cast<double (*)(int)>(module.symbol("tarvelStageSeconds"));
    reset();
    const auto start = std::chrono::steady_clock::now();
    const standin::Trace trace =
        standin::runTool(module.module(), std::move(scene), standin::CallLogging::countsOnly);
    const auto end = std::chrono::steady_clock::now();
    Measure m;
    m.finished = true;
    m.polygons = count;
    m.total = std::chrono::duration<double>(end - start).count();
    for (int s = 0; s < tarvel::kStageCount; ++s) {
        m.stage[s] = seconds(s);
    }
    m.links = static_cast<int>(trace.calls.count(standin::CallOp::addFace));
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    m.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return m;
}

/// Runs in a child; gives up on it after `limitSeconds`.
Measure runInChild(const char* modulePath, const Scenario& scenario, int polygons,
                   int limitSeconds) {
    int channel[2];
    if (pipe(channel) != 0) {
        return {};
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        Measure m;
        try {
            m = runHere(modulePath, scenario, polygons);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
        const ssize_t written = write(channel[1], &m, sizeof m);
        _exit(written == static_cast<ssize_t>(sizeof m) ? 0 : 1);
    }
    close(channel[1]);
    Measure m;
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

std::string seconds(double s) {
    char text[32];
    std::snprintf(text, sizeof text, s < 10 ? "%.3f" : "%.1f", s);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    int largest = 1'000'000;
    int limit = 60;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--largest") == 0) {
            largest = std::atoi(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--limit") == 0) {
            limit = std::atoi(argv[i + 1]);
        }
    }
    std::printf(
        "Seconds per stage of the fast module; the reference is the same module around the\n"
        "straightforward procedures, given %d s per run. Peak memory is the whole process:\n"
        "the stand-in host's mesh and the module.\n\n",
        limit);
    std::printf(
        "| scene | polygons | capture | ordering | grouping | pairing | boundaries | matching, "
        "output "
        "| removal | total | peak MiB | links | reference | speed-up |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Scenario& scenario : kScenarios) {
        bool referenceGaveUp = false;
        for (int polygons = 1000; polygons <= largest; polygons *= 10) {
            const Measure fast = runInChild(TARVEL_TIMED_MODULE, scenario, polygons, 600);
            Measure reference;
            if (!referenceGaveUp) {
                reference = runInChild(TARVEL_TIMED_REFERENCE_MODULE, scenario, polygons, limit);
                referenceGaveUp = !reference.finished;
            }
            if (!fast.finished) {
                std::printf("| %s | about %d | did not finish |||||||||||\n", scenario.name,
                            polygons);
                continue;
            }
            std::printf("| %s | %d |", scenario.name, fast.polygons);
            for (double s : fast.stage) {
                std::printf(" %s |", seconds(s).c_str());
            }
            std::printf(" %s | %.0f | %d |", seconds(fast.total).c_str(), fast.peakMiB, fast.links);
            if (reference.finished) {
                std::printf(" %s | %.0fx |\n", seconds(reference.total).c_str(),
                            reference.total / fast.total);
            } else {
                std::printf(" over %d s | over %.0fx |\n", limit, limit / fast.total);
            }
            std::fflush(stdout);
        }
    }
    return 0;
}
