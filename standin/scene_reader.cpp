#include "standin/scene_reader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include "mesh/input_error.h"
#include "standin/json_reader.h"
#include "standin/json_writer.h"

namespace tarvel::standin {

namespace {

constexpr std::int64_t kMaxIdentifier = std::numeric_limits<std::int32_t>::max();

/// Text from the file as a JSON string, so that a message stays on one line.
std::string asJsonString(std::string_view text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

/// Reads the scene straight from the JSON text into its records. Places in messages are built
/// only when something fails: the path arguments are callables giving the path's text.
class SceneReader {
public:
    SceneReader(std::string_view text, const std::string& fileName)
        : json_(text), fileName_(fileName) {}

    Scene read() {
        Scene scene;
        bool seenPoints = false;
        bool seenPolygons = false;
        bool seenHost = false;
        expectKind(JsonKind::object, [] { return std::string(); });
        json_.beginObject();
        std::string key;
        while (json_.nextMember(key)) {
            if (key == "points") {
                once(seenPoints, key);
                readPoints(scene.mesh.points);
            } else if (key == "polygons") {
                once(seenPolygons, key);
                readPolygons(scene.mesh.polygons);
            } else if (key == "host") {
                once(seenHost, key);
                readHost(scene.host);
            } else {
                fail(key, "unknown member");
            }
        }
        json_.finish();
        if (!seenPoints) {
            fail("points", "required member missing");
        }
        if (!seenPolygons) {
            fail("polygons", "required member missing");
        }
        checkPointsExist(scene.mesh);
        return scene;
    }

private:
    [[noreturn]] void fail(const std::string& path, const std::string& message) const {
        throw InputError(fileName_ + ": " + (path.empty() ? "" : path + ": ") + message);
    }

    void once(bool& seen, const std::string& path) const {
        if (seen) {
            fail(path, "given twice");
        }
        seen = true;
    }

    template <typename PathOf>
    void expectKind(JsonKind kind, const PathOf& pathOf) {
        const JsonKind found = json_.peek();
        if (found != kind) {
            fail(pathOf(),
                 std::string("expected ") + describe(kind) + ", found " + describe(found));
        }
    }

    /// A number, or one of the strings for the values JSON cannot write.
    template <typename PathOf>
    double readCoordinate(const PathOf& pathOf) {
        const JsonKind kind = json_.peek();
        if (kind == JsonKind::number) {
            return numberToDouble(json_.readNumber());
        }
        if (kind == JsonKind::string) {
            const std::string text = json_.readString();
            if (text == "nan") {
                return std::numeric_limits<double>::quiet_NaN();
            }
            if (text == "inf") {
                return std::numeric_limits<double>::infinity();
            }
            if (text == "-inf") {
                return -std::numeric_limits<double>::infinity();
            }
            fail(pathOf(),
                 "expected a number, \"nan\", \"inf\" or \"-inf\", found " + asJsonString(text));
        }
        fail(pathOf(), std::string("expected a number, found ") + describe(kind));
    }

    template <typename PathOf>
    Point readTriple(const PathOf& pathOf, const char* what) {
        expectKind(JsonKind::array, pathOf);
        Point point{};
        std::size_t count = 0;
        json_.beginArray();
        while (json_.nextItem()) {
            const std::size_t k = count++;
            const auto componentPath = [&] { return pathOf() + "[" + std::to_string(k) + "]"; };
            if (k >= 3) {
                fail(pathOf(), std::string("expected 3 ") + what + ", found more");
            }
            point[k] = readCoordinate(componentPath);
        }
        if (count != 3) {
            fail(pathOf(), std::string("expected 3 ") + what + ", found " + std::to_string(count));
        }
        return point;
    }

    /// An integral JSON number; out-of-range values give null for the caller to judge.
    template <typename PathOf>
    std::optional<std::int64_t> readInteger(const PathOf& pathOf, std::string_view& text) {
        if (const JsonKind found = json_.peek(); found != JsonKind::number) {
            fail(pathOf(), std::string("expected an integer, found ") + describe(found));
        }
        text = json_.readNumber();
        if (text.find_first_of(".eE") != std::string_view::npos) {
            fail(pathOf(), "expected an integer, found " + std::string(text));
        }
        return numberToInteger(text);
    }

    template <typename PathOf>
    int readInt(const PathOf& pathOf) {
        std::string_view text;
        const std::optional<std::int64_t> value = readInteger(pathOf, text);
        if (!value || *value < std::numeric_limits<int>::min() ||
            *value > std::numeric_limits<int>::max()) {
            fail(pathOf(), std::string(text) + " is out of range");
        }
        return static_cast<int>(*value);
    }

    template <typename PathOf>
    bool readBool(const PathOf& pathOf) {
        expectKind(JsonKind::boolean, pathOf);
        return json_.readBoolean();
    }

    template <typename PathOf>
    std::string readText(const PathOf& pathOf) {
        expectKind(JsonKind::string, pathOf);
        return json_.readString();
    }

    template <typename PathOf>
    LWID readCode(const PathOf& pathOf, const std::string& text) {
        const std::optional<LWID> code = fourCharacterCode(text);
        if (!code) {
            fail(pathOf(), "expected four printable ASCII characters, found " + asJsonString(text));
        }
        return *code;
    }

    void readPoints(std::vector<Point>& points) {
        expectKind(JsonKind::array, [] { return std::string("points"); });
        json_.beginArray();
        while (json_.nextItem()) {
            const std::size_t i = points.size();
            if (static_cast<std::int64_t>(i) > kMaxIdentifier) {
                fail("points", "more points than identifiers");
            }
            points.push_back(
                readTriple([i] { return "points[" + std::to_string(i) + "]"; }, "coordinates"));
        }
    }

    void readPolygons(std::vector<Polygon>& polygons) {
        expectKind(JsonKind::array, [] { return std::string("polygons"); });
        json_.beginArray();
        while (json_.nextItem()) {
            const std::size_t j = polygons.size();
            if (static_cast<std::int64_t>(j) > kMaxIdentifier - 1) {
                // Identifiers of polygons added by an edit follow on, so one is kept free.
                fail("polygons", "more polygons than identifiers");
            }
            polygons.push_back(readPolygon(j));
        }
    }

    Polygon readPolygon(std::size_t j) {
        const auto path = [j] { return "polygons[" + std::to_string(j) + "]"; };
        const auto memberPath = [&path](const char* member) {
            return [&path, member] { return path() + "." + member; };
        };
        Polygon polygon;
        bool seen[6] = {};
        expectKind(JsonKind::object, path);
        json_.beginObject();
        std::string key;
        bool hasPoints = false;
        while (json_.nextMember(key)) {
            static const char* const kMembers[] = {"points", "type",    "flags",
                                                   "normal", "surface", "tags"};
            int member = -1;
            for (int m = 0; m < 6; ++m) {
                if (key == kMembers[m]) {
                    member = m;
                }
            }
            if (member < 0) {
                fail(path() + "." + key, "unknown member");
            }
            once(seen[member], path() + "." + key);
            switch (member) {
                case 0:
                    readPolygonPoints(polygon.points, memberPath("points"));
                    hasPoints = true;
                    break;
                case 1:
                    polygon.type = readCode(memberPath("type"), readText(memberPath("type")));
                    break;
                case 2:
                    polygon.flags = readInt(memberPath("flags"));
                    break;
                case 3:
                    polygon.normal = readTriple(memberPath("normal"), "components");
                    break;
                case 4:
                    polygon.surface = readText(memberPath("surface"));
                    break;
                case 5:
                    readTags(polygon.tags, memberPath("tags"));
                    break;
            }
        }
        if (!hasPoints) {
            fail(path() + ".points", "required member missing");
        }
        return polygon;
    }

    template <typename PathOf>
    void readPolygonPoints(PointIds& ids, const PathOf& pathOf) {
        expectKind(JsonKind::array, pathOf);
        json_.beginArray();
        while (json_.nextItem()) {
            const std::size_t k = ids.size();
            const auto itemPath = [&] { return pathOf() + "[" + std::to_string(k) + "]"; };
            std::string_view text;
            const std::optional<std::int64_t> id = readInteger(itemPath, text);
            // Whether the point exists is known only once every member is read; an identifier
            // outside the identifier range cannot exist whatever the points are.
            if (!id || *id < 0 || *id > kMaxIdentifier) {
                fail(itemPath(), "point " + std::string(text) + " does not exist");
            }
            ids.push_back(static_cast<std::int32_t>(*id));
        }
    }

    template <typename PathOf>
    void readTags(std::vector<PolygonTag>& tags, const PathOf& pathOf) {
        expectKind(JsonKind::object, pathOf);
        json_.beginObject();
        std::string key;
        while (json_.nextMember(key)) {
            const auto tagPath = [&] { return pathOf() + "." + key; };
            const LWID type = readCode(tagPath, key);
            for (const PolygonTag& tag : tags) {
                if (tag.type == type) {
                    fail(tagPath(), "given twice");
                }
            }
            tags.push_back(PolygonTag{type, readText(tagPath)});
        }
    }

    void readHost(HostAnswers& host) {
        expectKind(JsonKind::object, [] { return std::string("host"); });
        json_.beginObject();
        std::string key;
        bool seen[4] = {};
        while (json_.nextMember(key)) {
            const std::string path = "host." + key;
            const auto pathOf = [&path] { return path; };
            if (key == "edit") {
                once(seen[0], path);
                host.edit = readBool(pathOf);
            } else if (key == "messages") {
                once(seen[1], path);
                host.messages = readBool(pathOf);
            } else if (key == "polyCount") {
                once(seen[2], path);
                host.polyCount = readInt(pathOf);
            } else if (key == "addFace") {
                once(seen[3], path);
                host.addFace = readBool(pathOf);
            } else {
                fail(path, "unknown member");
            }
        }
    }

    void checkPointsExist(const Mesh& mesh) const {
        const std::size_t pointCount = mesh.points.size();
        for (std::size_t j = 0; j < mesh.polygons.size(); ++j) {
            const PointIds& ids = mesh.polygons[j].points;
            for (std::size_t k = 0; k < ids.size(); ++k) {
                if (static_cast<std::size_t>(ids[k]) >= pointCount) {
                    fail("polygons[" + std::to_string(j) + "].points[" + std::to_string(k) + "]",
                         "point " + std::to_string(ids[k]) + " does not exist");
                }
            }
        }
    }

    JsonReader json_;
    const std::string& fileName_;
};

}  // namespace

std::optional<LWID> fourCharacterCode(std::string_view text) {
    if (text.size() != 4) {
        return std::nullopt;
    }
    LWID code = 0;
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E) {
            return std::nullopt;
        }
        code = (code << 8) | static_cast<unsigned char>(c);
    }
    return code;
}

Scene readScene(std::string_view text, const std::string& fileName) {
    try {
        return SceneReader(text, fileName).read();
    } catch (const JsonError& error) {
        throw InputError(fileName + ":" + std::to_string(error.line()) + ":" +
                         std::to_string(error.column()) + ": " + error.reason());
    }
}

Scene loadScene(const std::filesystem::path& path) {
    return readScene(readTextFile(path), path.string());
}

std::string readTextFile(const std::filesystem::path& path) {
    const std::string name = path.string();
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(name.c_str(), "rb"),
                                                         &std::fclose);
    if (!file) {
        throw InputError(name + ": cannot open: " + std::strerror(errno));
    }
    std::string text;
    char buffer[1 << 16];
    for (;;) {
        const std::size_t read = std::fread(buffer, 1, sizeof buffer, file.get());
        text.append(buffer, read);
        if (read < sizeof buffer) {
            break;
        }
    }
    if (std::ferror(file.get())) {
        throw InputError(name + ": cannot read: " + std::strerror(errno));
    }
    return text;
}

}  // namespace tarvel::standin
