// The scene reader and the JSON document reader on any text: each either reads it or refuses
// it with its own error, and never crashes, hangs or overflows the stack.
#include <string_view>

#include "mesh/input_error.h"
#include "standin/scene_reader.h"
#include "testing/json_value.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    try {
        const tarvel::standin::Scene scene = tarvel::standin::readScene(text, "fuzz.json");
        // A scene the reader accepts keeps the promise the host relies on.
        for (const tarvel::standin::Polygon& polygon : scene.mesh.polygons) {
            for (const std::int32_t point : polygon.points) {
                if (point < 0 || static_cast<std::size_t>(point) >= scene.mesh.points.size()) {
                    __builtin_trap();
                }
            }
        }
    } catch (const tarvel::standin::InputError&) {
    }
    try {
        tarvel::standin::parseJson(text);
    } catch (const tarvel::standin::JsonError&) {
    }
    return 0;
}
