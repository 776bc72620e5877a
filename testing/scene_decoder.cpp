#include "testing/scene_decoder.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "testing/scenes/scene_generators.h"

namespace tarvel::fuzzing {

namespace {

using standin::Point;
using standin::Polygon;
using standin::Scene;

/// Reads bytes from the front; past the end every read gives zeros.
class ByteSource {
public:
    explicit ByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool empty() const { return at_ >= bytes_.size(); }

    std::uint8_t byte() { return at_ < bytes_.size() ? bytes_[at_++] : 0; }

    template <typename T>
    T raw() {
        std::uint8_t buffer[sizeof(T)] = {};
        for (std::uint8_t& b : buffer) {
            b = byte();
        }
        T value;
        std::memcpy(&value, buffer, sizeof(T));
        return value;
    }

private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

constexpr double kSpecial[] = {
    std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    -0.0,
    std::numeric_limits<double>::max(),
    -std::numeric_limits<double>::max(),
    std::numeric_limits<double>::min(),
    std::numeric_limits<double>::denorm_min(),
    1e300,
    -1e300,
    1e-300,
    1e154,   // squares overflow
    1e-160,  // squares underflow
    0.1,
    1.0 / 3.0,
    1e-9,
};
constexpr std::size_t kSpecialCount = sizeof(kSpecial) / sizeof(kSpecial[0]);

double coordinate(ByteSource& in) {
    const std::uint8_t c = in.byte();
    if (c < 208) {
        return (static_cast<int>(c % 13) - 6) * 0.5;  // -3.0 to 3.0 in halves
    }
    if (c < 248) {
        return kSpecial[(c - 208) % kSpecialCount];
    }
    return in.raw<double>();
}

Point point(ByteSource& in) {
    const double x = coordinate(in);
    const double y = coordinate(in);
    const double z = coordinate(in);
    return Point{x, y, z};
}

LWID polygonType(std::uint8_t t) {
    switch (t % 8) {
        case 0:
        case 1:
        case 2:
        case 3:
            return kTypeFace;
        case 4:
        case 5:
            return kTypePatch;
        case 6:
            return LWID_('C', 'U', 'R', 'V');
        default:
            return static_cast<LWID>(t) * 0x01010101u;
    }
}

int polygonFlags(ByteSource& in) {
    const std::uint8_t f = in.byte();
    if (f < 192) {
        return 1;
    }
    if (f < 224) {
        return 0;
    }
    return in.raw<std::int32_t>();
}

/// Usually none (the host computes one), else a chosen vector.
void polygonNormal(ByteSource& in, Polygon& polygon) {
    const std::uint8_t n = in.byte();
    if (n < 160) {
        return;
    }
    polygon.normal = point(in);
}

void addPolygon(ByteSource& in, Scene& scene) {
    Polygon polygon;
    const std::uint8_t size = in.byte();
    int count = size % 8;
    if (count == 7) {
        count = in.byte() % 64;
    }
    const std::size_t points = scene.mesh.points.size();
    for (int k = 0; points > 0 && k < count; ++k) {
        std::size_t id = in.byte();
        if (points > 256) {
            id = id * 256 + in.byte();
        }
        polygon.points.push_back(static_cast<std::int32_t>(id % points));
    }
    polygon.type = polygonType(size >> 3);
    polygon.flags = polygonFlags(in);
    polygonNormal(in, polygon);
    scene.mesh.polygons.push_back(std::move(polygon));
}

void copyPolygon(ByteSource& in, Scene& scene) {
    if (scene.mesh.polygons.empty()) {
        return;
    }
    const std::uint8_t which = in.byte();
    const std::uint8_t how = in.byte();
    Polygon polygon = scene.mesh.polygons[which % scene.mesh.polygons.size()];
    if ((how & 3) == 1) {
        std::reverse(polygon.points.begin(), polygon.points.end());
    } else if ((how & 3) == 2 && !polygon.points.empty()) {
        std::rotate(polygon.points.begin(), polygon.points.begin() + 1, polygon.points.end());
    }
    if ((how & 4) != 0) {
        polygon.type = polygonType(how >> 3);
    }
    if ((how & 0x80) != 0) {
        polygon.flags ^= 1;
    }
    scene.mesh.polygons.push_back(std::move(polygon));
}

void addGrid(ByteSource& in, Scene& scene, const SceneLimits& limits) {
    const std::uint8_t shape = in.byte();
    const int nx = 1 + shape % 6;
    const int ny = 1 + (shape / 6) % 6;
    const std::uint8_t place = in.byte();
    const int plane = place % 3;  // which axis the grid faces along
    const bool flip = (place & 4) != 0;
    const double step = (place & 8) != 0 ? 0.5 : 1.0;
    const Point origin = point(in);
    const std::size_t newPoints = static_cast<std::size_t>((nx + 1) * (ny + 1));
    if (scene.mesh.points.size() + newPoints > limits.maxPoints) {
        return;
    }
    const auto base = static_cast<std::int32_t>(scene.mesh.points.size());
    for (int j = 0; j <= ny; ++j) {
        for (int i = 0; i <= nx; ++i) {
            Point p = origin;
            p[static_cast<std::size_t>((plane + 1) % 3)] += i * step;
            p[static_cast<std::size_t>((plane + 2) % 3)] += j * step;
            scene.mesh.points.push_back(p);
        }
    }
    scenes::addGridQuads(scene.mesh, base, nx, ny, flip, limits.maxPolygons);
}

void setHost(ByteSource& in, Scene& scene) {
    const std::uint8_t h = in.byte();
    scene.host.edit = (h & 0x03) != 0;
    scene.host.messages = (h & 0x04) == 0;
    scene.host.addFace = (h & 0x08) == 0;
    if ((h & 0x10) != 0) {
        scene.host.polyCount = (h & 0x20) != 0 ? in.raw<std::int32_t>() : in.byte() % 8;
    } else {
        scene.host.polyCount.reset();
    }
}

}  // namespace

standin::Scene decodeScene(std::span<const std::uint8_t> bytes, const SceneLimits& limits) {
    ByteSource in(bytes);
    Scene scene;
    while (!in.empty()) {
        const std::uint8_t op = in.byte();
        switch (op % 8) {
            case 0:
            case 1:
                if (scene.mesh.points.size() < limits.maxPoints) {
                    scene.mesh.points.push_back(point(in));
                }
                break;
            case 2:
            case 3:
                if (scene.mesh.polygons.size() < limits.maxPolygons) {
                    addPolygon(in, scene);
                }
                break;
            case 4:
                if (scene.mesh.polygons.size() < limits.maxPolygons) {
                    copyPolygon(in, scene);
                }
                break;
            case 5:
            case 6:
                addGrid(in, scene, limits);
                break;
            default:
                setHost(in, scene);
                break;
        }
    }
    return scene;
}

}  // namespace tarvel::fuzzing
