// Inputs the fuzz targets keep: their seeds and every input that once broke something, each
// replayed here in every build, so that a fault once found stays fixed without a fuzzer.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "mesh/input_error.h"
#include "standin/scene_reader.h"
#include "testing/json_value.h"
#include "testing/linked_module.h"
#include "testing/mesh_file_fuzzing.h"
#include "testing/run_invariants.h"
#include "testing/scene_decoder.h"

namespace tarvel {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> filesIn(const fs::path& folder) {
    std::vector<fs::path> out;
    if (fs::is_directory(folder)) {
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file()) {
                out.push_back(entry.path());
            }
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string contentOf(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const fs::path kFuzz = fs::path(TARVEL_SOURCE_DIR) / "fuzz";

void expectSoundRun(const standin::Scene& scene, const std::string& what) {
    const testing::WatchedRun run = testing::runWatched(scene);
    const std::vector<std::string> broken = testing::brokenRunInvariants(scene, run.trace);
    EXPECT_TRUE(broken.empty()) << what << ":\n" << testing::describeBroken(broken);
    EXPECT_EQ(run.live, 0) << what;
    EXPECT_TRUE(testing::moduleAtRest()) << what;
}

TEST(FuzzRegressionTest, moduleInputsKeepTheRunInvariants) {
    std::size_t replayed = 0;
    for (const char* folder : {"corpus/module", "regressions/module"}) {
        for (const fs::path& path : filesIn(kFuzz / folder)) {
            const std::string bytes = contentOf(path);
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
            expectSoundRun(fuzzing::decodeScene(std::span(data, bytes.size())), path.string());
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0u);
}

TEST(FuzzRegressionTest, storedScenesKeepTheRunInvariants) {
    const fs::path scenes = fs::path(TARVEL_SOURCE_DIR) / "tests" / "scenes";
    const std::vector<fs::path> files = filesIn(scenes);
    ASSERT_FALSE(files.empty());
    for (const fs::path& path : files) {
        expectSoundRun(standin::loadScene(path), path.string());
    }
}

TEST(FuzzRegressionTest, sceneTextsAreReadOrRefusedWithAMessage) {
    for (const char* folder : {"corpus/scene_json", "regressions/scene_json"}) {
        for (const fs::path& path : filesIn(kFuzz / folder)) {
            const std::string text = contentOf(path);
            try {
                standin::readScene(text, path.string());
            } catch (const standin::InputError& error) {
                EXPECT_NE(std::string(error.what()).find(path.string()), std::string::npos);
            }
            try {
                standin::parseJson(text);
            } catch (const standin::JsonError&) {
            }
        }
    }
}

TEST(FuzzRegressionTest, meshFilesAreReadOrRefusedAndWhatIsWrittenReadsBack) {
    const std::pair<const char*, formats::MeshFormat> kinds[] = {{"lwo", formats::MeshFormat::lwo},
                                                                 {"obj", formats::MeshFormat::obj}};
    for (const auto& [name, format] : kinds) {
        std::size_t replayed = 0;
        for (const fs::path& folder : {kFuzz / "corpus" / name, kFuzz / "regressions" / name}) {
            for (const fs::path& path : filesIn(folder)) {
                const std::string bytes = contentOf(path);
                const auto fault = fuzzing::meshFileFault(
                    reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), format);
                EXPECT_FALSE(fault) << path.string() << ": " << fault.value_or("");
                ++replayed;
            }
        }
        EXPECT_GT(replayed, 0u) << name;
    }
}

}  // namespace
}  // namespace tarvel
