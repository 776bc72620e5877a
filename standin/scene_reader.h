// Reading a scene file: the mesh and the host's answers, as JSON.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "sdk/lwsdk.h"
#include "standin/scene.h"

namespace tarvel::standin {

/// The scene in `text`. `fileName` only names the file in messages. Throws InputError, with a
/// message that starts with `fileName` and names the place ("scene.json:4:17: expected ','
/// or '}'", "scene.json: polygons[3].points[1]: point 12 does not exist"), for text that is
/// not JSON, a member of the wrong kind or an unknown one, a missing "points" or "polygons",
/// and a polygon that names a point that does not exist.
Scene readScene(std::string_view text, const std::string& fileName);

/// Reads the file at `path`; its name in messages is `path` as given.
Scene loadScene(const std::filesystem::path& path);

/// The whole content of a file. Throws InputError naming the file and the reason.
std::string readTextFile(const std::filesystem::path& path);

/// The code of a four-character text, or null unless `text` is exactly four printable ASCII
/// characters.
std::optional<LWID> fourCharacterCode(std::string_view text);

}  // namespace tarvel::standin
