// Reading the mesh file a command runs on: a named file, or standard input.
#pragma once

#include <filesystem>
#include <istream>
#include <optional>
#include <string>

#include "cli/polygon_names.h"
#include "formats/mesh_file.h"
#include "formats/mesh_stream.h"

namespace tarvel::cli {

/// How messages name `path`: "standard input" for "-", the path as given otherwise.
std::string inputName(const std::filesystem::path& path);

/// Reads `path` ("-": all of `in`) as `format`; without a format, as the file's name says
/// (MeshFile::load). `layer` chooses the layer of a LightWave object the tool sees (the
/// first without); `progress` hears how far reading has come. Never reads past what the file's
/// header promises (formats::readMeshStream). Throws formats::FormatError naming the input, and
/// UsageError when neither `format` nor the name gives the format.
formats::MeshFile readMeshInput(const std::filesystem::path& path,
                                std::optional<formats::MeshFormat> format, std::istream& in,
                                const std::optional<std::string>& layer = std::nullopt,
                                const formats::ReadProgress& progress = {});

/// How a file of `format` names the parts in its "PART" tags: an OBJ `g` statement names
/// several groups between spaces.
PartNames partNamesIn(formats::MeshFormat format);

/// "lwo" or "obj".
const char* formatKey(formats::MeshFormat format);

}  // namespace tarvel::cli
