// Writes the scene each of the module fuzzers' inputs decodes to, as a scene file, so that the
// Python tests can replay the corpora through the package: corpus_scenes OUT_DIR INPUT...
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "testing/scene_decoder.h"
#include "testing/scenes/scene_writer.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: corpus_scenes OUT_DIR INPUT...\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    std::filesystem::create_directories(out);
    for (int k = 2; k < argc; ++k) {
        const std::filesystem::path input(argv[k]);
        std::ifstream in(input, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        if (!in.eof() && in.fail()) {
            std::fprintf(stderr, "%s: cannot read\n", argv[k]);
            return 1;
        }
        const tarvel::standin::Scene scene = tarvel::fuzzing::decodeScene(bytes);
        const std::filesystem::path name = out / (input.parent_path().filename().string() + "_" +
                                                  input.filename().string() + ".json");
        std::ofstream file(name, std::ios::binary);
        file << tarvel::standin::sceneText(scene);
        if (!file.flush()) {
            std::fprintf(stderr, "%s: cannot write\n", name.c_str());
            return 1;
        }
    }
    return 0;
}
