// A new LightWave object made from a mesh, for tests.
#pragma once

#include <string>

#include "formats/lwo_object.h"
#include "mesh/mesh.h"

namespace tarvel::formats {

/// An object of one layer (LAYR 0, unnamed), FORM type `formType` (LWO2 or LWO3): a TAGS chunk of
/// every surface and tag text the polygons use, in the order first used; PNTS with every point
/// rounded to float; BBOX; one POLS chunk per run of polygons of one type, in mesh order, each
/// followed by a PTAG SURF chunk and one PTAG chunk per other tag type its polygons carry (SMGP as
/// a number). The mesh's flags are not stored: the format keeps no selection. Throws FormatError
/// naming `name` for a polygon of more than 1023 points, more than 2^24 points, or more than 65535
/// strings.
LwoObject lwoFromMesh(const standin::Mesh& mesh, const std::string& name, LWID formType = kIdLwo2);

}  // namespace tarvel::formats
