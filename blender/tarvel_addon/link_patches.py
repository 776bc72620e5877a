"""The operator: the edit mesh as arrays for the tool, and the tool's result as an edit.

The tool numbers points and polygons as the edit mesh's vertices and faces are numbered
(``bm.verts[i]`` and ``bm.faces[j]`` after ``ensure_lookup_table``), which is the order an OBJ
file written from the mesh lists them in, so a run here and ``tarvel run`` on that file agree.
"""

import os
import tempfile
import webbrowser

import bmesh
import bpy
import numpy as np
from bpy.props import BoolProperty

#: The integer edge attribute that holds each link's colour: 1 Red, 2 DkRed, 3 Blue, 0 on edges
#: that are not links.
LINK_ATTRIBUTE = "tarvel_link"

#: What the last run did, for scripts that drive the operator (the benchmark reads the tool's
#: own time here): the tool's result, the edges it added, and the report page's path.
last_run = {}


def load_tarvel():
    """The package ``tarvel``: the copy in this add-on's folder, or else one Python finds.
    Returns (package, None), or (None, why it cannot be used)."""
    bundled = os.path.isdir(os.path.join(os.path.dirname(__file__), "tarvel"))
    try:
        if bundled:
            from . import tarvel as package
        else:
            import tarvel as package
        return package, None
    except Exception as error:  # an ImportError, or an extension built for another Python
        where = "in the add-on's folder" if bundled else "on Python's path"
        return None, "the tarvel module %s cannot be loaded: %s" % (where, error)


def _get(collection, name, count, dtype, width=1):
    values = np.empty(count * width, dtype=dtype)
    collection.foreach_get(name, values)
    return values.reshape(count, width) if width > 1 else values


class EditArrays:
    """The edit mesh as arrays, element i of each being the mesh's element i."""

    def __init__(self, obj):
        # The edit mesh written to the object's mesh, in the edit mesh's order, so that the
        # arrays come in whole (foreach_get) rather than element by element.
        obj.update_from_editmode()
        mesh = obj.data
        verts, edges, faces, loops = (
            len(mesh.vertices), len(mesh.edges), len(mesh.polygons), len(mesh.loops))
        self.points = _get(mesh.vertices, "co", verts, np.float32, 3).astype(np.float64)
        starts = _get(mesh.polygons, "loop_start", faces, np.int64)
        totals = _get(mesh.polygons, "loop_total", faces, np.int64)
        self.offsets = np.zeros(faces + 1, dtype=np.int64)
        np.cumsum(totals, out=self.offsets[1:])
        # Each face's loops, wherever the mesh keeps them.
        loop_order = np.repeat(starts - self.offsets[:-1], totals) + np.arange(loops)
        self.corners = _get(mesh.loops, "vertex_index", loops, np.int64)[loop_order]
        self.loop_edges = _get(mesh.loops, "edge_index", loops, np.int64)[loop_order]
        self.loop_faces = np.repeat(np.arange(faces), totals)
        self.edge_verts = _get(mesh.edges, "vertices", edges, np.int64, 2)
        hidden = _get(mesh.polygons, "hide", faces, bool)
        self.selected = _get(mesh.polygons, "select", faces, bool) & ~hidden
        self.vert_selected = _get(mesh.vertices, "select", verts, bool)
        self.edge_selected = _get(mesh.edges, "select", edges, bool)


def _orphans(arrays, removed, link_edges, link_verts):
    """What goes with the removed faces: their edges that no other face uses and that are not
    links, and their vertices that no remaining edge or link uses (edges and vertices the
    removed faces never used, loose edges among them, stay); and whether a link is an edge
    that only removed faces used."""
    edge_count, vert_count = len(arrays.edge_verts), len(arrays.points)
    face_removed = np.zeros(len(arrays.selected), dtype=bool)
    face_removed[removed] = True
    loop_removed = face_removed[arrays.loop_faces]
    in_removed = np.zeros(edge_count, dtype=bool)
    in_removed[arrays.loop_edges[loop_removed]] = True
    in_kept = np.zeros(edge_count, dtype=bool)
    in_kept[arrays.loop_edges[~loop_removed]] = True
    # A link on an edge that only removed faces used.
    link_at_risk = bool((in_removed[link_edges] & ~in_kept[link_edges]).any())
    in_kept[link_edges] = True
    orphan_edges = in_removed & ~in_kept
    vert_used = np.zeros(vert_count, dtype=bool)
    vert_used[arrays.edge_verts[~orphan_edges].reshape(-1)] = True
    vert_used[link_verts] = True
    vert_removed = np.zeros(vert_count, dtype=bool)
    vert_removed[arrays.corners[loop_removed]] = True
    return face_removed, orphan_edges, vert_removed & ~vert_used, link_at_risk


def apply_result(bm, arrays, result, keep_faces):
    """Adds the links as edges (selected, and nothing else), their colours in the edge
    attribute, and removes the paired faces with what only they used, unless `keep_faces`.
    Returns (edges added or marked, links not made an edge: a point linked to itself, or a
    second link between the same two points)."""
    layer = bm.edges.layers.int.get(LINK_ATTRIBUTE) or bm.edges.layers.int.new(LINK_ATTRIBUTE)
    # Element references only from here: adding the layer invalidates earlier ones.
    bm.verts.ensure_lookup_table()
    bm.edges.ensure_lookup_table()
    bm.faces.ensure_lookup_table()
    bm.edges.index_update()
    verts, edges, faces = bm.verts, bm.edges, bm.faces

    # Each link once, as the tool added it; a link between two points an edge already joins
    # marks that edge.
    links = []
    seen = set()
    skipped = 0
    for (a, b), code in zip(result.links.tolist(), result.colour_codes.tolist()):
        key = (min(a, b), max(a, b))
        if a == b or key in seen:
            skipped += 1
            continue
        seen.add(key)
        links.append((verts[a], verts[b], code, edges.get((verts[a], verts[b]))))
    link_edges = np.array([e.index for _, _, _, e in links if e is not None], dtype=np.int64)
    link_verts = np.array(sorted({v.index for link in links for v in link[:2]}), dtype=np.int64)

    removed = np.zeros(0, dtype=np.int64) if keep_faces else result.removed
    face_removed, orphan_edges, orphan_verts, link_at_risk = _orphans(
        arrays, removed, link_edges, link_verts)

    # Deselect what stays selected of the rest (the removed elements go unseen).
    for i in np.flatnonzero(arrays.selected & ~face_removed).tolist():
        faces[i].select = False
    for i in np.flatnonzero(arrays.edge_selected & ~orphan_edges).tolist():
        edges[i].select = False
    for i in np.flatnonzero(arrays.vert_selected & ~orphan_verts).tolist():
        verts[i].select = False
    bm.select_history.clear()

    gone_faces = [faces[i] for i in removed.tolist()]
    # Blender's own deletion of faces takes the edges and vertices only they used. An edge that
    # is also a link (between two points the removed faces joined) must stay, and that
    # deletion would take it: then the edges and vertices to go are named one by one.
    named = link_at_risk and len(removed) > 0
    gone_edges = [edges[i] for i in np.flatnonzero(orphan_edges).tolist()] if named else []
    gone_verts = [verts[i] for i in np.flatnonzero(orphan_verts).tolist()] if named else []

    # The links first: they keep the boundary points the deletion would otherwise take.
    made = []
    for va, vb, code, edge in links:
        if edge is None:
            edge = bm.edges.new((va, vb))
        edge[layer] = code
        edge.select_set(True)
        made.append(edge)

    if named:
        bmesh.ops.delete(bm, geom=gone_faces, context="FACES_ONLY")
        bmesh.ops.delete(bm, geom=gone_edges, context="EDGES")
        bmesh.ops.delete(bm, geom=[v for v in gone_verts if v.is_valid], context="VERTS")
    elif gone_faces:
        bmesh.ops.delete(bm, geom=gone_faces, context="FACES")
    return made, skipped


def _counts_text(result):
    return ", ".join("%s %d" % item for item in result.link_counts.items())


class MESH_OT_tarvel_link_facing_patches(bpy.types.Operator):
    """Link the boundaries of the selected patches that face each other with edges, and
    remove the paired patches"""

    bl_idname = "mesh.tarvel_link_facing_patches"
    bl_label = "Link Facing Patches"
    bl_options = {"REGISTER", "UNDO"}

    keep_faces: BoolProperty(
        name="Keep the paired faces",
        description="Add the links but leave the faces of the paired patches in place",
        default=False,
    )
    open_report: BoolProperty(
        name="Open the report page",
        description="Write the run's report page (a 3D view of the run) to a temporary file "
        "and open it in the web browser",
        default=False,
    )

    @classmethod
    def poll(cls, context):
        obj = context.edit_object
        if obj is None or obj.type != "MESH" or context.mode != "EDIT_MESH":
            cls.poll_message_set("Needs a mesh in Edit Mode")
            return False
        return True

    def execute(self, context):
        last_run.clear()
        tarvel, why = load_tarvel()
        if tarvel is None:
            self.report({"ERROR"}, "Link Facing Patches: " + why)
            return {"CANCELLED"}
        obj = context.edit_object
        bm = bmesh.from_edit_mesh(obj.data)
        if not bm.faces:
            self.report({"WARNING"}, "%s has no faces to link" % obj.name)
            return {"CANCELLED"}
        arrays = EditArrays(obj)
        if (len(arrays.selected), len(arrays.edge_verts), len(arrays.points)) != (
                len(bm.faces), len(bm.edges), len(bm.verts)):
            self.report({"ERROR"}, "Link Facing Patches: the edit mesh could not be read")
            return {"CANCELLED"}
        polygons = (arrays.offsets, arrays.corners)
        try:
            result = tarvel.run(arrays.points, polygons, arrays.selected, name=obj.name)
            page = self._write_report(tarvel, obj, arrays, result) if self.open_report else None
        except (tarvel.Error, OSError, ValueError) as error:
            self.report({"ERROR"}, "Link Facing Patches: %s" % error)
            return {"CANCELLED"}
        last_run.update(result=result, report_path=page)

        if result.stopped:
            text = " ".join(m.replace("\n", " ") for m in result.messages) or result.stop_reason
            text = "%s: %s" % (obj.name, text or "nothing to link")
            self.report({"WARNING"}, text + ("; report page: " + page if page else ""))
            return {"CANCELLED"}

        made, skipped = apply_result(bm, arrays, result, self.keep_faces)
        last_run.update(edges=len(made), skipped=skipped)
        select_mode = context.tool_settings.mesh_select_mode
        if not select_mode[0] and not select_mode[1]:
            # Links are edges without faces: in face select mode they would not show selected.
            context.tool_settings.mesh_select_mode = (False, True, False)
            bm.select_mode = {"EDGE"}
        bmesh.update_edit_mesh(obj.data, loop_triangles=True, destructive=True)

        if self.keep_faces:
            text = "%s: %d pair%s linked, %d links (%s), the %d paired faces kept" % (
                obj.name, result.pairs, "" if result.pairs == 1 else "s", len(result.links),
                _counts_text(result), len(result.removed))
        else:
            text = result.summary
        if skipped:
            text += "; %d link%s not made an edge (same points)" % (
                skipped, "" if skipped == 1 else "s")
        if result.messages:
            text += "; " + " ".join(m.replace("\n", " ") for m in result.messages)
        if page:
            text += "; report page: " + page
        self.report({"INFO"}, text)
        return {"FINISHED"}

    def _write_report(self, tarvel, obj, arrays, result):
        """The report page of the run in a temporary file (kept after Blender quits), opened
        in the web browser unless Blender runs without a window."""
        stem = "".join(c if c.isalnum() or c in "-_" else "_" for c in obj.name)
        handle, path = tempfile.mkstemp(prefix="tarvel-%s-" % stem, suffix=".html")
        os.close(handle)
        mesh = tarvel.Mesh(arrays.points, (arrays.offsets, arrays.corners), name=obj.name)
        tarvel.report(path, mesh, result, name=obj.name)
        if not bpy.app.background:
            webbrowser.open("file://" + path)
        return path
