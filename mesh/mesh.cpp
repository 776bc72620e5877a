#include "mesh/mesh.h"

namespace tarvel::standin {

const std::string* findTag(const Polygon& polygon, LWID type) {
    for (const PolygonTag& tag : polygon.tags) {
        if (tag.type == type) {
            return &tag.value;
        }
    }
    return nullptr;
}

std::string fourCharacterText(LWID code) {
    std::string text(4, ' ');
    for (int i = 0; i < 4; ++i) {
        text[static_cast<std::size_t>(i)] = static_cast<char>((code >> (24 - 8 * i)) & 0xFF);
    }
    return text;
}

}  // namespace tarvel::standin
