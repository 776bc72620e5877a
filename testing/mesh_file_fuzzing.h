// What the mesh file fuzz targets check on any bytes: a file of the format is read or refused
// with a FormatError, and a file that is read takes an edit and reads back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "formats/mesh_file.h"

namespace tarvel::fuzzing {

/// Reads `data` as `format`. When that succeeds, writes it back unchanged and with an edit (its
/// first polygon removed, a tagged two-point polygon added), and reads each result again:
/// what the tool writes it must be able to read. A LightWave object is tried a second time
/// with its second layer chosen. Returns what went wrong, or null.
std::optional<std::string> meshFileFault(const std::uint8_t* data, std::size_t size,
                                         formats::MeshFormat format);

}  // namespace tarvel::fuzzing
