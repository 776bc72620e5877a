// Writing a LightWave object file (FORM LWO2 or LWO3) from its chunks.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "formats/lwo_object.h"

namespace tarvel::formats {

/// The file: the FORM header of `object.formType`, every chunk of `object.chunks` as stored
/// (header, body, and a zero pad byte after an odd body), then `object.trailing`. A file read by
/// readLwo comes out byte for byte as it went in (save a non-zero pad byte). Throws FormatError
/// naming `name` when the FORM would exceed the 4 GiB the format can describe.
std::vector<std::byte> writeLwo(const LwoObject& object, const std::string& name);

}  // namespace tarvel::formats
