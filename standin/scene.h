// A scene: the mesh the stand-in host edits, and the answers it gives the plug-in.
#pragma once

#include <optional>

#include "mesh/mesh.h"

namespace tarvel::standin {

/// How the host answers the plug-in, so that every path of a run can be driven.
struct HostAnswers {
    /// False: the edit-begin function returns null.
    bool edit = true;
    /// False: the global service "Info Messages 2" is not available (null).
    bool messages = true;
    /// What polyCount reports for the primary layer's selected polygons, even where it
    /// disagrees with the flags. Without it, the number of polygons with kPolygonSelected set.
    std::optional<int> polyCount;
    /// False: addFace creates nothing and returns null.
    bool addFace = true;
};

struct Scene {
    Mesh mesh;
    HostAnswers host;
};

}  // namespace tarvel::standin
