// A mesh file reader and writer on any bytes (see mesh_file_fuzzing.h): built once per format,
// TARVEL_FUZZ_FORMAT naming it (lwo_fuzzer, obj_fuzzer).
#include <cstdio>
#include <cstdlib>

#include "testing/mesh_file_fuzzing.h"

namespace tarvel {
namespace {

/// Aborts where the reader or the writer mishandles the bytes.
void checkMeshFile(const std::uint8_t* data, std::size_t size) {
    if (const auto fault =
            fuzzing::meshFileFault(data, size, formats::MeshFormat::TARVEL_FUZZ_FORMAT)) {
        std::fprintf(stderr, "%s\n", fault->c_str());
        std::abort();
    }
}

}  // namespace
}  // namespace tarvel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvel::checkMeshFile(data, size);
    return 0;
}
