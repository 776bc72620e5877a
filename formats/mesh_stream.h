// Reading a mesh file's bytes from a file or a stream without reading more than the file can
// be: a device or a pipe may never end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <istream>
#include <string>
#include <vector>

#include "formats/mesh_file.h"

namespace tarvel::formats {

/// Told how many bytes of how many have been read (0 of them when the total is not known).
using ReadProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

/// The most an OBJ file may hold here: a text of this size is far beyond any mesh the tool is
/// run on, and an endless stream of text is refused on reaching it.
inline constexpr std::uint64_t kObjByteLimit = std::uint64_t{1} << 32;

/// Reads the bytes of a `format` mesh from `in`, named `name` in messages, checking them as
/// they come: a LightWave object must begin with a FORM header and is read no further than the
/// size that header gives (plus one byte, for the reader to see that more follows); an OBJ file
/// must be text without NUL bytes and no longer than kObjByteLimit. So a stream that never ends
/// (/dev/zero, `yes`) is refused after a bounded read. Throws FormatError naming the byte.
std::vector<std::byte> readMeshStream(std::istream& in, MeshFormat format, const std::string& name,
                                      const ReadProgress& progress = {});

/// The same for the file at `path`: a regular file is read whole (its size is known), anything
/// else (a device, a FIFO) as a stream. Throws FormatError when it cannot be opened or read,
/// or is a folder.
std::vector<std::byte> readMeshBytes(const std::filesystem::path& path, MeshFormat format,
                                     const ReadProgress& progress = {});

}  // namespace tarvel::formats
