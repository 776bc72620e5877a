// The LWO2 reader and writer on any bytes (see mesh_file_fuzzing.h).
#include <cstdio>
#include <cstdlib>

#include "testing/mesh_file_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto fault =
            tarvel::fuzzing::meshFileFault(data, size, tarvel::formats::MeshFormat::lwo)) {
        std::fprintf(stderr, "%s\n", fault->c_str());
        std::abort();
    }
    return 0;
}
