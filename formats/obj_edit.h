// An OBJ model as the stand-in host's mesh, and the host's edited mesh written back as OBJ.
#pragma once

#include <string>

#include "formats/obj_model.h"
#include "mesh/mesh.h"
#include "sdk/lwsdk.h"

namespace tarvel::formats {

/// The type a polyline (`l`) has in the mesh: not a face, so the tool never takes it.
inline constexpr LWID kTypeObjLine = LWID_('L', 'I', 'N', 'E');

/// Point i is vertex i of the file; polygon j is element j: a face (`f`) of type "FACE", a
/// line (`l`) of type kTypeObjLine. Its `usemtl` name is the surface ("Default" without one),
/// its `g` names (one space between each) the "PART" tag, and its smoothing group (`s`), when
/// on, the "SMGP" tag. Every polygon is unselected (flags 0).
standin::Mesh objMesh(const ObjModel& model);

/// The file's text with the edit of a run applied. `edited` is the host's mesh after a run
/// that started from objMesh(model): its first polygons are the elements, some marked
/// removed, and the polygons after them were added. The text is kept as it was, less the
/// statements of removed elements; the added polygons follow at the end, each run of one
/// "COLR" tag (or "PART" tag) and surface under its own `g` and `usemtl`, two-point polygons
/// as `l` and the others as `f`. Added lines end as the file's last ended line does (CR LF or LF);
/// a last line without its line ending gets one before them.
std::string applyMeshEdit(const ObjModel& model, const standin::Mesh& edited);

}  // namespace tarvel::formats
