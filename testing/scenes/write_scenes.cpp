// tarvel-scenes: writes a fixed set of generated scenes as scene files, so that builds of
// tarvel-host on different platforms can be run on the same input and their traces compared.
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "testing/scenes/scene_generators.h"
#include "testing/scenes/scene_writer.h"

namespace {

constexpr const char* kUsage = "usage: tarvel-scenes OUT_DIR [PER_KIND]";

bool writeScene(const std::filesystem::path& folder, const std::string& kind, int index,
                const tarvel::standin::Scene& scene) {
    std::string number = std::to_string(index);
    number.insert(0, number.size() < 3 ? 3 - number.size() : 0, '0');
    const std::filesystem::path path = folder / (kind + "-" + number + ".json");
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << tarvel::standin::sceneText(scene);
    file.close();
    if (!file) {
        std::fprintf(stderr, "tarvel-scenes: %s: cannot write\n", path.string().c_str());
        return false;
    }
    return true;
}

/// Facing grids of every shape up to 7 by 7 (a few far larger), some shuffled; curved noisy
/// patches; several pairs side by side; soups of awkward polygons, every other one with NaN and
/// infinite values; and two selections of over 20,000 polygons. Fixed seeds: the same files
/// every time.
bool writeAll(const std::filesystem::path& folder, int perKind) {
    std::mt19937_64 random(20240611);
    const auto pick = [&](int n) {
        return static_cast<int>(random() % static_cast<std::uint64_t>(n));
    };
    for (int i = 0; i < perKind; ++i) {
        const bool large = i % 25 == 24;
        const int nx = large ? 20 + pick(20) : 1 + pick(7);
        const int ny = large ? 20 + pick(20) : 1 + pick(7);
        // One draw per statement: the order in which arguments are evaluated is unspecified.
        const int shrink = pick(std::min(nx, ny));
        const double gap = 1.0 + pick(3);
        const double shift = pick(5) * 0.25;
        tarvel::standin::Scene grids = tarvel::scenes::facingGrids(nx, ny, gap, shrink, shift);
        if (i % 3 == 0) {
            tarvel::scenes::shufflePolygons(grids, random());
        }
        const int n = 2 + pick(6);
        const std::uint64_t curveSeed = random();
        tarvel::standin::Scene curved = tarvel::scenes::curvedPatches(
            large ? 4 * n : n, n + 1, i % 2 == 0 ? 0.05 : 0.0, curveSeed);
        if (i % 2 == 1) {
            tarvel::scenes::shufflePolygons(curved, random());
        }
        const int pairCount = large ? 12 + pick(8) : 2 + pick(4);
        const int pairSize = 1 + pick(3);
        tarvel::standin::Scene pairs = tarvel::scenes::severalPairs(pairCount, pairSize);
        tarvel::scenes::shufflePolygons(pairs, random());
        if (!writeScene(folder, "grids", i, grids) || !writeScene(folder, "curved", i, curved) ||
            !writeScene(folder, "pairs", i, pairs) ||
            !writeScene(folder, "soup", i,
                        tarvel::scenes::randomSoup(static_cast<std::uint64_t>(i), i % 2 == 0))) {
            return false;
        }
    }
    // Two selections large enough that the module shares its work among threads.
    if (perKind > 0) {
        tarvel::standin::Scene grids = tarvel::scenes::facingGrids(110, 100, 2.0, 3, 0.25);
        tarvel::scenes::shufflePolygons(grids, random());
        if (!writeScene(folder, "threads", 0, grids) ||
            !writeScene(folder, "threads", 1,
                        tarvel::scenes::curvedPatches(105, 100, 0.05, random()))) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int perKind = 100;
    if (argc == 3) {
        const std::string text = argv[2];
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), perKind);
        if (error != std::errc() || end != text.data() + text.size() || perKind < 0 ||
            perKind > 999) {
            std::fprintf(stderr, "tarvel-scenes: PER_KIND must be 0 to 999 (%s)\n", kUsage);
            return 2;
        }
    } else if (argc != 2) {
        std::fprintf(stderr, "%s\n", kUsage);
        return 2;
    }
    // An option is never a folder name: "--help" asks for the usage, anything else is refused.
    if (argv[1][0] == '-') {
        const bool help = std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h";
        std::fprintf(help ? stdout : stderr, "%s\n", kUsage);
        return help ? 0 : 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        std::fprintf(stderr, "tarvel-scenes: %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    return writeAll(folder, perKind) ? 0 : 1;
}
