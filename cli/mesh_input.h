// Reading the mesh file a command runs on: a named file, or standard input.
#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <string>

#include "formats/mesh_file.h"

namespace tarvelhost {

/// How messages name `path`: "standard input" for "-", the path as given otherwise.
std::string inputName(const std::filesystem::path& path);

/// Reads `path` ("-": all of `in`) as `format`; without a format, as the file's name says
/// (MeshFile::load). `layer` chooses the layer of a LightWave object the tool sees (the
/// first without). Throws formats::FormatError naming the input.
formats::MeshFile readMeshInput(const std::filesystem::path& path,
                                std::optional<formats::MeshFormat> format, std::istream& in,
                                const std::optional<std::string>& layer = std::nullopt);

/// "lwo" or "obj".
const char* formatKey(formats::MeshFormat format);

}  // namespace tarvelhost
