// Reading a Wavefront OBJ file.
#pragma once

#include <cstddef>
#include <span>
#include <string>

#include "formats/obj_model.h"

namespace tarvel::formats {

/// Reads the OBJ text held in `bytes`; `name` names it in messages. Decodes `v` positions
/// (exactly, as strtod rounds), `f` faces and `l` lines as they are (no triangulation, no
/// welding: an element's vertices are the file's vertex indices), and the `usemtl` and `g`
/// names in force for each. A statement may continue over lines ending in a backslash.
/// Memory is bounded by a small multiple of `bytes.size()`.
///
/// Throws FormatError, "<name>:<line>: <what>", for an empty file, a NUL byte, a file with
/// neither vertices nor elements, a `v` without three numbers or with a coordinate that is
/// NaN or infinite, an element without vertices, an index of 0, one that is not a number, or
/// one beyond the vertices (texture coordinates, normals) the file defines.
ObjModel readObj(std::span<const std::byte> bytes, const std::string& name);

}  // namespace tarvel::formats
