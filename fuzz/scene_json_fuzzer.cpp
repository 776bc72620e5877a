// The scene reader and the JSON document reader on any text: each either reads it or refuses
// it with its own error, and never crashes, hangs or overflows the stack.
#include <string_view>

#include "mesh/input_error.h"
#include "standin/scene_reader.h"
#include "testing/json_value.h"

namespace tarvel {
namespace {

/// Reads `text` as a scene and as a JSON document; traps where an accepted scene names a point
/// it does not have.
void readText(std::string_view text) {
    try {
        const standin::Scene scene = standin::readScene(text, "fuzz.json");
        // A scene the reader accepts keeps the promise the host relies on.
        for (const standin::Polygon& polygon : scene.mesh.polygons) {
            for (const std::int32_t point : polygon.points) {
                if (point < 0 || static_cast<std::size_t>(point) >= scene.mesh.points.size()) {
                    __builtin_trap();
                }
            }
        }
    } catch (const standin::InputError&) {
    }
    try {
        standin::parseJson(text);
    } catch (const standin::JsonError&) {
    }
}

}  // namespace
}  // namespace tarvel

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tarvel::readText(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
