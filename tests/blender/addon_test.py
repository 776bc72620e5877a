"""The add-on in headless Blender, against the tarvel program on the same mesh written as OBJ.

    run_in_blender.sh addon_test.py CASE BUILD TARVEL SOURCE WORK

CASE is generated, example, undo, options or zip. The add-on comes from BUILD/blender (the
folder the build assembles, the package tarvel inside it), or for "zip" from BUILD's zip,
installed as a user installs it. A failed check raises, and Blender exits with 1.
"""

import json
import os
import subprocess
import sys

import bmesh
import bpy

CASE, BUILD, TARVEL, SOURCE, WORK = sys.argv[sys.argv.index("--") + 1:]
OPERATOR = "mesh.tarvel_link_facing_patches"
COLOURS = {"Red": 1, "DkRed": 2, "Blue": 3}


def check(condition, what):
    if not condition:
        raise AssertionError(what)


def load_addon(folder):
    sys.path.insert(0, folder)
    import tarvel_addon

    tarvel_addon.register()
    return tarvel_addon


# Meshes -------------------------------------------------------------------------------------


def grid(nx, ny, z, flip, verts, faces, x0=0.0, y0=0.0, noise=None):
    """An nx by ny grid of unit quads at height z, facing +z (or -z when flipped)."""
    base = len(verts)
    for j in range(ny + 1):
        for i in range(nx + 1):
            dz = noise(i, j) if noise else 0.0
            verts.append((x0 + i, y0 + j, z + dz))
    for j in range(ny):
        for i in range(nx):
            a = base + j * (nx + 1) + i
            quad = (a, a + 1, a + nx + 2, a + nx + 1)
            faces.append(quad[::-1] if flip else quad)


def new_object(name, verts, faces, edges=(), selected=None, hidden=()):
    """The mesh as the active object, in object mode; each vertex and face numbered in the
    attributes test_vertex and test_face, which follow them through the edit."""
    if bpy.context.object and bpy.context.object.mode != "OBJECT":
        bpy.ops.object.mode_set(mode="OBJECT")
    for other in list(bpy.data.objects):
        bpy.data.objects.remove(other)
    mesh = bpy.data.meshes.new(name)
    mesh.from_pydata(verts, list(edges), faces)
    mesh.update()
    check(mesh.validate() is False, "the test mesh is valid")
    mesh.attributes.new("test_vertex", "INT", "POINT").data.foreach_set(
        "value", list(range(len(mesh.vertices))))
    mesh.attributes.new("test_face", "INT", "FACE").data.foreach_set(
        "value", list(range(len(mesh.polygons))))
    selected = set(range(len(faces)) if selected is None else selected)
    for polygon in mesh.polygons:
        polygon.select = polygon.index in selected
        polygon.hide = polygon.index in hidden
    for vertex in mesh.vertices:
        vertex.select = False
    for edge in mesh.edges:
        edge.select = False
    obj = bpy.data.objects.new(name, mesh)
    bpy.context.collection.objects.link(obj)
    bpy.context.view_layer.objects.active = obj
    obj.select_set(True)
    return obj


def edit_mode(select_mode="FACE"):
    bpy.ops.object.mode_set(mode="EDIT")
    bpy.ops.mesh.select_mode(type=select_mode)


def state(obj):
    """The edit mesh, named by the test numbers: faces (test_face: corners), edges (corner
    pair: tarvel_link or 0), vertices, and what is selected and hidden. Read through bmesh (in
    Edit Mode the mesh's attributes are the edit mesh's and not readable as arrays)."""
    bm = bmesh.from_edit_mesh(obj.data)
    vl = bm.verts.layers.int["test_vertex"]
    fl = bm.faces.layers.int["test_face"]
    link = bm.edges.layers.int.get("tarvel_link")
    ends = lambda e: frozenset(v[vl] for v in e.verts)  # noqa: E731
    return {
        "faces": {f[fl]: tuple(v[vl] for v in f.verts) for f in bm.faces},
        "edges": {ends(e): (e[link] if link else 0) for e in bm.edges},
        "verts": {v[vl]: tuple(v.co) for v in bm.verts},
        "selected faces": {f[fl] for f in bm.faces if f.select},
        "selected edges": {ends(e) for e in bm.edges if e.select},
        "selected verts": {v[vl] for v in bm.verts if v.select},
        "hidden faces": {f[fl] for f in bm.faces if f.hide},
    }


# tarvel run on the same mesh -----------------------------------------------------------------


def write_obj(obj, path):
    """The edit mesh as it is now, written as OBJ: its vertices with their exact values and
    its faces in its own order, its loose edges as lines. Returns the test numbers of the
    vertices and faces in file order and the file numbers of the selected faces."""
    bm = bmesh.from_edit_mesh(obj.data)
    vl = bm.verts.layers.int["test_vertex"]
    fl = bm.faces.layers.int["test_face"]
    bm.verts.index_update()
    with open(path, "w") as out:
        for v in bm.verts:
            out.write("v %r %r %r\n" % tuple(float(c) for c in v.co))
        for f in bm.faces:
            out.write("f %s\n" % " ".join(str(v.index + 1) for v in f.verts))
        for e in bm.edges:
            if e.is_wire:
                out.write("l %d %d\n" % (e.verts[0].index + 1, e.verts[1].index + 1))
    selected = [j for j, f in enumerate(bm.faces) if f.select and not f.hide]
    return [v[vl] for v in bm.verts], [f[fl] for f in bm.faces], selected


def tarvel_run(obj, name):
    """tarvel run on the mesh written as OBJ, its result in the test numbers: the JSON, the
    removed faces, the links in order with their colours, the faces and lines kept."""
    source = os.path.join(WORK, name + ".obj")
    output = os.path.join(WORK, name + ".out.obj")
    vid, fid, selected = write_obj(obj, source)
    ranges = ",".join(str(i) for i in selected) or "0"
    done = subprocess.run([TARVEL, "run", source, "--select-polygons", ranges, "-o", output,
                           "--json"], capture_output=True, text=True)
    check(done.returncode in (0, 3), "tarvel run: %s" % done.stderr)
    summary = json.loads(done.stdout)
    faces, links, lines = [], [], []
    group = None
    for line in open(output):
        words = line.split()
        if not words:
            continue
        if words[0] == "g":
            group = words[1] if len(words) > 1 else None
        elif words[0] == "f":
            faces.append(tuple(vid[int(w) - 1] for w in words[1:]))
        elif words[0] == "l":
            ends = (vid[int(words[1]) - 1], vid[int(words[2]) - 1])
            (links if group in COLOURS else lines).append((ends, COLOURS.get(group)))
    # The faces kept are the input's in order less the removed ones.
    vl = bmesh.from_edit_mesh(obj.data).verts.layers.int["test_vertex"]
    inputs = [tuple(v[vl] for v in f.verts) for f in bmesh.from_edit_mesh(obj.data).faces]
    removed, k = [], 0
    for j, corners in enumerate(inputs):
        if k < len(faces) and faces[k] == corners:
            k += 1
        else:
            removed.append(fid[j])
    check(k == len(faces), "%s: the output's faces are the input's less some" % name)
    return {"json": summary, "removed": removed, "links": links, "faces": faces,
            "lines": [ends for ends, _ in lines], "points": set(vid)}


def expected_edit(before, run, keep_faces=False):
    """What the add-on is to leave, from tarvel run's result: its faces, the loose edges, the
    links as edges (the first link between two points gives the colour; a point linked to
    itself is no edge), and the vertices those use, or the faces kept all."""
    links = {}
    for (a, b), colour in run["links"]:
        if a != b:
            links.setdefault(frozenset((a, b)), colour)
    faces = dict(before["faces"])
    if not keep_faces:
        for j in run["removed"]:
            del faces[j]
    edges = {}
    for corners in faces.values():
        for i, a in enumerate(corners):
            edges[frozenset((a, corners[i - 1]))] = 0
    loose = {ends: colour for ends, colour in before["edges"].items()
             if not any(ends <= set(c) and _is_side(c, ends) for c in before["faces"].values())}
    edges.update(loose)
    edges.update(links)
    verts = {v for ends in edges for v in ends}
    verts |= {v for v in before["verts"] if not any(v in ends for ends in before["edges"])}
    return {"faces": faces, "edges": edges, "verts": verts, "links": links}


def _is_side(corners, ends):
    a, b = tuple(ends)
    return any({corners[i], corners[i - 1]} == {a, b} for i in range(len(corners)))


def run_addon(obj, name, keep_faces=False):
    """The add-on and tarvel run on the same mesh; checks that they agree, and returns what
    tarvel run did."""
    before = state(obj)
    run = tarvel_run(obj, name)
    result = bpy.ops.mesh.tarvel_link_facing_patches(keep_faces=keep_faces)
    after = state(obj)
    if run["json"]["exit_code"] == 3:
        check(result == {"CANCELLED"}, "%s: a stopped run is cancelled" % name)
        check(after["faces"] == before["faces"] and after["edges"] == before["edges"],
              "%s: a stopped run changes nothing" % name)
        return run
    check(result == {"FINISHED"}, "%s: the run finished" % name)
    want = expected_edit(before, run, keep_faces)
    check(set(after["faces"]) == set(want["faces"]),
          "%s: removed faces %s, tarvel run removed %s" % (
              name, sorted(set(before["faces"]) - set(after["faces"])), run["removed"]))
    check(after["faces"] == want["faces"], "%s: the kept faces are unchanged" % name)
    got_links = {ends: colour for ends, colour in after["edges"].items()
                 if colour and before["edges"].get(ends, 0) == 0}
    new_links = {ends: c for ends, c in want["links"].items() if before["edges"].get(ends, 0) == 0}
    check(got_links == new_links, "%s: links %s, tarvel run %s" % (
        name, sorted((sorted(e), c) for e, c in got_links.items()),
        sorted((sorted(e), c) for e, c in new_links.items())))
    check(after["edges"] == want["edges"], "%s: edges differ from tarvel run's: extra %s, "
          "missing %s" % (name, [sorted(e) for e in set(after["edges"]) - set(want["edges"])],
                          [sorted(e) for e in set(want["edges"]) - set(after["edges"])]))
    check(set(after["verts"]) == want["verts"], "%s: vertices kept %s, expected %s" % (
        name, sorted(set(after["verts"]) ^ want["verts"]), ""))
    check(after["selected edges"] == set(want["links"]), "%s: the links alone are selected"
          % name)
    check(not after["selected faces"], "%s: no face stays selected" % name)
    check(after["selected verts"] == {v for ends in want["links"] for v in ends},
          "%s: the links' points alone are selected" % name)
    check(after["hidden faces"] == before["hidden faces"] & set(after["faces"]),
          "%s: hidden faces stay hidden" % name)
    counts = run["json"]["links"]
    check(len(run["links"]) == counts["Red"] + counts["DkRed"] + counts["Blue"],
          "%s: tarvel run's links all read back" % name)
    return run


# Cases ----------------------------------------------------------------------------------------


def noise(i, j):
    """Small deterministic heights: values that are not round in binary."""
    return ((i * 7919 + j * 104729) % 997) / 9970.0 - 0.05


def case_generated():
    load_addon(os.path.join(BUILD, "blender"))

    # Two pairs of facing grids beside an unselected wall, all patches selected.
    verts, faces = [], []
    grid(6, 5, 0.0, False, verts, faces)
    grid(6, 5, 2.0, True, verts, faces)
    grid(3, 3, 0.0, False, verts, faces, x0=10.0)
    grid(2, 2, 1.5, True, verts, faces, x0=10.5, y0=0.5)
    wall = len(faces)
    verts += [(8, 0, 0), (8, 5, 0), (8, 5, 2), (8, 0, 2)]
    faces.append((len(verts) - 4, len(verts) - 3, len(verts) - 2, len(verts) - 1))
    obj = new_object("pairs", verts, faces, selected=range(wall))
    edit_mode()
    run = run_addon(obj, "pairs")
    check(run["json"]["pairs_linked"] == 2, "pairs: two pairs linked")

    # Noisy patches with n-gons and triangles, a hidden face, loose edges and a lone vertex,
    # and faces deleted and made in Edit Mode before the run (so the edit mesh's order is not
    # the order the faces were made in).
    verts, faces = [], []
    grid(8, 6, 0.0, False, verts, faces, noise=noise)
    grid(7, 5, 3.0, True, verts, faces, x0=0.5, y0=0.5, noise=noise)
    # Two quads of the floor made one hexagon, one quad of the ceiling two triangles.
    a, b = faces[0], faces[1]
    faces[0] = (a[0], a[1], b[1], b[2], a[2], a[3])
    del faces[1]
    q = faces[60]
    faces[60:61] = [(q[0], q[1], q[2]), (q[0], q[2], q[3])]
    verts += [(20.0, 0.0, 0.0), (20.0, 1.0, 0.0), (21.0, 1.0, 0.5), (-5.0, -5.0, -5.0)]
    n = len(verts)
    edges = [(n - 4, n - 3), (n - 3, n - 2), (0, n - 4)]
    obj = new_object("noisy", verts, faces, edges=edges, hidden={20})
    edit_mode()
    bm = bmesh.from_edit_mesh(obj.data)
    bm.faces.ensure_lookup_table()
    test_face = bm.faces.layers.int["test_face"]
    gone = [bm.faces[5], bm.faces[70]]
    corners = [list(f.verts) for f in gone]
    bmesh.ops.delete(bm, geom=gone, context="FACES_ONLY")
    for k, vs in enumerate(reversed(corners)):
        face = bm.faces.new(vs)
        face[test_face] = 1000 + k
        face.select = True
    bmesh.update_edit_mesh(obj.data)
    run = run_addon(obj, "noisy")
    check(run["json"]["pairs_linked"] == 1 and run["removed"], "noisy: one pair linked")
    check(20 not in run["removed"], "noisy: the hidden face stays")

    # A second run on that result: the first run's links are loose edges in the mesh now, and
    # the attribute exists. A new pair beside it is linked; the old links keep their colours.
    bpy.ops.object.mode_set(mode="OBJECT")
    mesh = obj.data
    before_links = {e.key: d.value for e, d in zip(mesh.edges, mesh.attributes["tarvel_link"].data)
                    if d.value}
    check(before_links, "noisy: the links are in the mesh")
    verts = [tuple(v.co) for v in mesh.vertices]
    faces = [tuple(p.vertices) for p in mesh.polygons]
    edges = [e.key for e in mesh.edges if e.key not in {k for p in mesh.polygons
                                                        for k in p.edge_keys}]
    first = len(faces)
    grid(2, 2, 10.0, False, verts, faces)
    grid(2, 2, 11.0, True, verts, faces)
    obj = new_object("second", verts, faces, edges=edges, selected=range(first, len(faces)))
    link = obj.data.attributes.new("tarvel_link", "INT", "EDGE")
    for e, d in zip(obj.data.edges, link.data):
        d.value = before_links.get(e.key, 0)
    edit_mode()
    run = run_addon(obj, "second")
    check(run["json"]["pairs_linked"] == 1, "second: the new pair linked")

    # An open book: two pages that share their spine and face each other across it (the
    # spine's edges are non-manifold once a third page joins them). Links may join shared
    # points or run along an edge of the removed faces.
    verts, faces = [], []
    for j in range(4):
        verts.append((0.0, float(j), 0.0))
    for side in (1.0, -1.0):
        for i in (1, 2):
            for j in range(4):
                verts.append((side * 0.5 * i, float(j), 0.8 * i))
    def page(first_row, second_row, flip):
        for j in range(3):
            quad = (first_row + j, first_row + j + 1, second_row + j + 1, second_row + j)
            faces.append(quad[::-1] if flip else quad)
    page(0, 4, True)
    page(4, 8, True)
    page(0, 12, False)
    page(12, 16, False)
    verts += [(0.0, 0.0, -1.0), (0.0, 1.0, -1.0)]
    faces.append((0, 1, len(verts) - 1, len(verts) - 2))  # a third face on a spine edge
    obj = new_object("book", verts, faces, selected=range(12))
    edit_mode()
    run = run_addon(obj, "book")
    check(run["json"]["pairs_linked"] == 1, "book: the pages linked")

    # Two quads that share a corner and face each other: two links run along edges of the
    # removed quads, which must stay as links.
    verts = [(0, 0, 0), (1, 0, 0), (1, 1, 0), (0, 1, 0), (0, 0, 0.75), (0, -0.5, 0.75),
             (0.5, 0.75, 0.5)]
    bpy.ops.object.mode_set(mode="OBJECT")
    obj = new_object("corner", verts, [(0, 1, 2, 3), (0, 6, 5, 4)])
    edit_mode()
    run = run_addon(obj, "corner")
    along = [ends for ends, _ in run["links"] if set(ends) in ({0, 3}, {0, 4})]
    check(run["json"]["pairs_linked"] == 1 and len(along) == 2, "corner: links along edges")


def case_example():
    load_addon(os.path.join(BUILD, "blender"))
    for other in list(bpy.data.objects):
        bpy.data.objects.remove(other)
    # Blender's own OBJ import: its axes left as the file has them.
    bpy.ops.wm.obj_import(filepath=os.path.join(SOURCE, "examples", "facing_grids.obj"),
                          forward_axis="Y", up_axis="Z")
    obj = bpy.context.selected_objects[0]
    bpy.context.view_layer.objects.active = obj
    mesh = obj.data
    mesh.attributes.new("test_vertex", "INT", "POINT").data.foreach_set(
        "value", list(range(len(mesh.vertices))))
    mesh.attributes.new("test_face", "INT", "FACE").data.foreach_set(
        "value", list(range(len(mesh.polygons))))
    names = [m.name for m in mesh.materials]
    for polygon in mesh.polygons:
        polygon.select = names[polygon.material_index] in ("Floor", "Ceiling")
    check(sum(p.select for p in mesh.polygons) == 25, "example: 25 faces of Floor and Ceiling")
    edit_mode()
    run = run_addon(obj, "example")
    check(run["json"]["links"] == {"Red": 1, "DkRed": 15, "Blue": 0} and
          run["json"]["polygons_removed"] == 25, "example: the run the README shows")
    check(len(bmesh.from_edit_mesh(obj.data).faces) == 1, "example: the wall alone stays")


def snapshot(obj):
    data = state(obj)
    data["select mode"] = tuple(bpy.context.tool_settings.mesh_select_mode)
    return data


def case_undo():
    load_addon(os.path.join(BUILD, "blender"))
    verts, faces = [], []
    grid(5, 4, 0.0, False, verts, faces, noise=noise)
    grid(4, 3, 2.0, True, verts, faces, x0=0.5, y0=0.5)
    obj = new_object("undo", verts, faces, selected=())
    edit_mode()
    # In background mode the undo system starts with the first explicit push; operators
    # called with the undo flag ('EXEC_DEFAULT', True) then push their steps as the window
    # manager does for a menu entry.
    bpy.ops.ed.undo_push(message="start")
    bpy.ops.mesh.select_all("EXEC_DEFAULT", True, action="SELECT")
    selected = snapshot(obj)
    check(len(selected["selected faces"]) == len(faces), "undo: all selected")
    check(bpy.ops.mesh.tarvel_link_facing_patches("EXEC_DEFAULT", True) == {"FINISHED"},
          "undo: the run finished")
    linked = snapshot(obj)
    check(linked["faces"] != selected["faces"], "undo: the run edited the mesh")
    check(linked["select mode"] == (False, True, False), "undo: edge select mode for the links")
    bpy.ops.ed.undo()
    check(snapshot(obj) == selected, "undo: one undo restores the mesh, selection and mode")
    check("tarvel_link" not in obj.data.attributes, "undo: the attribute goes with it")
    bpy.ops.ed.redo()
    check(snapshot(obj) == linked, "undo: redo gives the run's edit again")
    bpy.ops.ed.undo()
    bpy.ops.ed.undo()
    check(not snapshot(obj)["selected faces"], "undo: a second undo is the step before it")

    # The redo panel: it sets the last operator's properties and redoes it (undo, run again).
    bpy.ops.ed.redo()
    check(bpy.ops.mesh.tarvel_link_facing_patches("EXEC_DEFAULT", True) == {"FINISHED"},
          "undo: the run again")
    check(snapshot(obj) == linked, "undo: the same edit again")
    last = bpy.context.window_manager.operators[-1]
    check(last.bl_idname == "MESH_OT_tarvel_link_facing_patches", "undo: the run registered")
    last.properties.keep_faces = True
    check(bpy.ops.ed.undo_redo() == {"FINISHED"}, "undo: redone with the faces kept")
    kept = snapshot(obj)
    check(kept["faces"] == selected["faces"], "undo: the faces kept")
    check(set(kept["edges"]) == set(selected["edges"]) | set(linked["selected edges"]),
          "undo: the same links with the faces kept")
    check(kept["selected edges"] == linked["selected edges"], "undo: the links selected")
    bpy.ops.ed.undo()
    restored = snapshot(obj)
    check(restored["faces"] == selected["faces"] and restored["edges"] == selected["edges"],
          "undo: undo after the redo panel restores the mesh")


def case_options():
    # The extension missing: a clear error, not a traceback. The add-on from the sources has
    # no package inside, and Python is told there is none.
    sys.modules["tarvel"] = None
    addon = load_addon(os.path.join(SOURCE, "blender"))
    verts, faces = [], []
    grid(3, 3, 0.0, False, verts, faces)
    grid(3, 3, 1.0, True, verts, faces)
    obj = new_object("options", verts, faces)
    check(not bpy.ops.mesh.tarvel_link_facing_patches.poll(), "options: not in object mode")
    edit_mode()
    before = state(obj)
    try:
        bpy.ops.mesh.tarvel_link_facing_patches()
        raise AssertionError("options: the run without the extension reports an error")
    except RuntimeError as error:
        check("tarvel module" in str(error) and "cannot be loaded" in str(error) and
              "Traceback" not in str(error), "options: the error says what is missing: %s" % error)
    check(state(obj) == before, "options: nothing changed without the extension")
    menu = bpy.types.VIEW3D_MT_edit_mesh._dyn_ui_initialize()  # the menu's appended entries
    check(addon.menu_entry in menu, "options: in the Mesh menu of Edit Mode")
    addon.unregister()
    check(addon.menu_entry not in menu, "options: the menu entry goes with the add-on")
    del sys.modules["tarvel"]
    for name in [m for m in sys.modules if m.startswith("tarvel_addon")]:
        del sys.modules[name]
    sys.path.remove(os.path.join(SOURCE, "blender"))
    addon = load_addon(os.path.join(BUILD, "blender"))

    # The faces kept, and the report page written (in background it is not opened).
    run = run_addon(obj, "keep", keep_faces=True)
    check(run["json"]["pairs_linked"] == 1, "options: one pair")
    bpy.ops.object.mode_set(mode="OBJECT")
    obj = new_object("report", verts, faces)
    edit_mode()
    check(bpy.ops.mesh.tarvel_link_facing_patches(open_report=True) == {"FINISHED"},
          "options: the run with its report page")
    page = addon.link_patches.last_run["report_path"]
    check(os.path.dirname(page) == os.path.join(WORK, "tmp"), "options: the page is a temp file")
    text = open(page, encoding="utf-8").read()
    check(text.startswith("<!DOCTYPE html") and "report" in text and len(text) > 10000,
          "options: the page is the report page")

    # Stops: the tool's message, nothing changed, as tarvel run says.
    for name, selected, flip in (("away", None, True), ("one", [0], False),
                                 ("none", [], False)):
        verts, faces = [], []
        grid(3, 3, 0.0, flip, verts, faces)
        grid(3, 3, 1.0, not flip, verts, faces)
        bpy.ops.object.mode_set(mode="OBJECT")
        obj = new_object(name, verts, faces, selected=selected)
        edit_mode()
        if selected == []:
            before = state(obj)
            check(bpy.ops.mesh.tarvel_link_facing_patches() == {"CANCELLED"}, "none: cancelled")
            check(state(obj) == before, "none: nothing changed")
            result = addon.link_patches.last_run["result"]
        else:
            run = run_addon(obj, name)
            check(run["json"]["exit_code"] == 3, "%s: tarvel run stops" % name)
            result = addon.link_patches.last_run["result"]
            check(list(result.messages) == run["json"]["messages"],
                  "%s: the tool's message %s, tarvel run's %s" % (
                      name, result.messages, run["json"]["messages"]))
        check(result.stopped and (result.messages or result.stop_reason),
              "%s: a stop with its reason" % name)
        if name == "away":
            check(bpy.ops.mesh.tarvel_link_facing_patches(open_report=True) == {"CANCELLED"},
                  "away: cancelled with its report page")
            page = addon.link_patches.last_run["report_path"]
            check(os.path.getsize(page) > 10000, "away: a stopped run's report page written")

    # A mesh without faces.
    bpy.ops.object.mode_set(mode="OBJECT")
    obj = new_object("wire", [(0, 0, 0), (1, 0, 0), (1, 1, 0)], [], edges=[(0, 1), (1, 2)])
    edit_mode("VERT")
    before = state(obj)
    check(bpy.ops.mesh.tarvel_link_facing_patches() == {"CANCELLED"}, "wire: cancelled")
    check(state(obj) == before, "wire: nothing changed")


def case_zip():
    archive = os.path.join(BUILD, "tarvel_addon.zip")
    check(bpy.ops.preferences.addon_install(filepath=archive) == {"FINISHED"}, "zip: installed")
    check(bpy.ops.preferences.addon_enable(module="tarvel_addon") == {"FINISHED"},
          "zip: enabled")
    import tarvel_addon

    installed = os.path.join(os.environ["BLENDER_USER_SCRIPTS"], "addons", "tarvel_addon")
    check(os.path.dirname(tarvel_addon.__file__) == installed, "zip: the installed add-on runs")
    package, why = tarvel_addon.link_patches.load_tarvel()
    check(package is not None and os.path.dirname(package.__file__).startswith(installed),
          "zip: the package inside the add-on: %s" % why)
    verts, faces = [], []
    grid(4, 4, 0.0, False, verts, faces)
    grid(3, 3, 2.5, True, verts, faces, x0=0.5, y0=0.5)
    obj = new_object("zip", verts, faces)
    edit_mode()
    run = run_addon(obj, "zip")
    check(run["json"]["links_added"] == 16, "zip: the example's 16 links")


{"generated": case_generated, "example": case_example, "undo": case_undo,
 "options": case_options, "zip": case_zip}[CASE]()
print("addon_test %s: passed" % CASE)
