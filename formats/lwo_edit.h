// The primary layer of a LightWave object as the stand-in host's mesh, and the host's edited
// mesh written back into the object.
#pragma once

#include <string>

#include "formats/lwo_object.h"
#include "mesh/mesh.h"

namespace tarvel::formats {

/// The primary layer of `object`: point i is the layer's point i (float converted to double,
/// which is exact), polygon j the layer's polygon j with its type, the surface its SURF tag
/// names ("Default" without one), and its other tags as text (SMGP as its number). Every
/// polygon is unselected (flags 0).
standin::Mesh lwoMesh(const LwoObject& object);

/// `object` with the edit of a run applied. `edited` is the host's mesh after a run that
/// started from lwoMesh(object): its first polygons are the layer's own, some marked
/// removed, and the polygons after them were added. Removed polygons leave their POLS chunk,
/// and their PTAG and VMAD entries go with them (the entries after them renumbered); a POLS
/// chunk left empty is dropped with its PTAG chunks. Added polygons go into new POLS chunks
/// at the end of the layer's geometry, with PTAG chunks for their surface and tags, whose
/// strings are appended to the last TAGS chunk (or a new one). Every other chunk is kept byte
/// for byte, the FORM type too. Throws FormatError naming `name` when the added polygons join
/// points of an earlier PNTS chunk than the layer's last, or need more TAGS strings than the
/// format holds; and, naming the chunk and its byte, when a chunk of the layer that is not
/// understood follows a POLS chunk that loses polygons or the place where the links go, since
/// it may number their polygons.
/// The result holds chunks and trailing bytes only: read the written file for its layer.
LwoObject applyMeshEdit(const LwoObject& object, const standin::Mesh& edited,
                        const std::string& name);

}  // namespace tarvel::formats
