// Writing a scene in the form the scene reader takes, so that a scene made in code can be run
// by any build of tarvel-host, on any platform.
#pragma once

#include <string>

#include "standin/scene.h"

namespace tarvel::standin {

/// The scene as JSON: one point or polygon per line; every member written, except a polygon's
/// normal and the host's polyCount when they are not set. Reads back as the same scene, bit for
/// bit (-0.0, NaN and infinities included), when its surface and tag texts are UTF-8 and its
/// types and tag types four printable ASCII characters. A polygon's `removed` mark belongs to
/// an edit, not to a scene, and is not written.
std::string sceneText(const Scene& scene);

}  // namespace tarvel::standin
