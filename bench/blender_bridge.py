# Blender's own answer to the tool's job, timed for the benchmark: two facing grids of quads,
# every face selected in edit mode, and Bridge Edge Loops, which removes the faces and joins
# the two boundary loops. Only the operator is timed.
#
#   blender --background --factory-startup --python-exit-code 1 \
#       --python bench/blender_bridge.py -- [--addon FOLDER] NX NY GAP
#   blender ... --python bench/blender_bridge.py -- [--addon FOLDER] pairs PAIRS N LARGE LARGE_N
#
# With --addon, the add-on tarvel_addon from FOLDER (the build's blender/ folder) first runs
# on a copy of the same mesh in the same Blender, every face selected in edit mode, its
# operator timed alike, and one more line is printed:
#
#   addon seconds: 0.912345 module seconds: 0.201234 links: 5656 faces left: 0
#
# The grids are those of the benchmark's "two facing grids": NX by NY unit quads at z = 0
# facing +z, and the same above at z = GAP facing down. With "pairs", the benchmark's many
# pairs instead: PAIRS pairs of N by N grids on a square lattice, their gaps 1, 2 and 3 in turn,
# and LARGE pairs of LARGE_N by LARGE_N grids in a row beyond them. Prints one line:
#
#   bridge seconds: 1.734213 faces: 999698 faces left: 2828 edges: 2002224 -> 8484
import array
import math
import sys
import time

import bmesh
import bpy


def grid(nx, ny, z, flip, base, coordinates, corners, x0=0.0, y0=0.0):
    """Appends the points and quads of an nx by ny grid at (x0, y0, z), its points numbered
    from `base`."""
    for j in range(ny + 1):
        for i in range(nx + 1):
            coordinates.extend((x0 + i, y0 + j, z))
    for j in range(ny):
        for i in range(nx):
            a = base + j * (nx + 1) + i
            b, c, d = a + 1, a + nx + 2, a + nx + 1
            corners.extend((a, d, c, b) if flip else (a, b, c, d))
    return base + (nx + 1) * (ny + 1)


def facing_grids(nx, ny, gap, coordinates, corners):
    upper = grid(nx, ny, 0.0, False, 0, coordinates, corners)
    grid(nx, ny, gap, True, upper, coordinates, corners)


def many_pairs(pairs, n, large, large_n, coordinates, corners):
    """The scene of the benchmark's many-pairs rows, laid out as its generator lays it."""
    per_row = max(1, math.ceil(math.sqrt(pairs)))
    step = n + 2.0
    base = 0
    for k in range(pairs):
        x0, y0 = step * (k % per_row), step * (k // per_row)
        base = grid(n, n, 0.0, False, base, coordinates, corners, x0, y0)
        base = grid(n, n, 1.0 + k % 3, True, base, coordinates, corners, x0, y0)
    y0 = step * ((pairs + per_row - 1) // per_row) + 2.0
    for k in range(large):
        x0 = k * (large_n + 2.0)
        base = grid(large_n, large_n, 0.0, False, base, coordinates, corners, x0, y0)
        base = grid(large_n, large_n, 2.0 + k % 2, True, base, coordinates, corners, x0, y0)


def build(make):
    coordinates = array.array("f")
    corners = array.array("i")
    make(coordinates, corners)
    faces = len(corners) // 4

    mesh = bpy.data.meshes.new("facing_grids")
    mesh.vertices.add(len(coordinates) // 3)
    mesh.vertices.foreach_set("co", coordinates)
    mesh.loops.add(len(corners))
    mesh.loops.foreach_set("vertex_index", corners)
    mesh.polygons.add(faces)
    mesh.polygons.foreach_set("loop_start", array.array("i", range(0, len(corners), 4)))
    mesh.polygons.foreach_set("loop_total", array.array("i", [4]) * faces)
    mesh.update(calc_edges=True)
    mesh.validate()

    obj = bpy.data.objects.new("facing_grids", mesh)
    bpy.context.collection.objects.link(obj)
    bpy.context.view_layer.objects.active = obj
    obj.select_set(True)
    return obj


def edit_all(obj):
    """`obj` alone selected and active, in edit mode, every face selected."""
    for other in bpy.context.view_layer.objects:
        other.select_set(False)
    bpy.context.view_layer.objects.active = obj
    obj.select_set(True)
    bpy.ops.object.mode_set(mode="EDIT")
    bpy.ops.mesh.select_mode(type="FACE")
    bpy.ops.mesh.select_all(action="SELECT")


def run_addon(folder, obj):
    """The add-on's operator on `obj`, timed as the bridge is; the object is removed after."""
    sys.path.insert(0, folder)
    import tarvel_addon

    tarvel_addon.register()
    edit_all(obj)
    start = time.perf_counter()
    try:
        result = bpy.ops.mesh.tarvel_link_facing_patches()
    except RuntimeError as error:  # an error the operator reported
        result = error
    seconds = time.perf_counter() - start
    run = tarvel_addon.link_patches.last_run
    faces_left = len(bmesh.from_edit_mesh(obj.data).faces)
    bpy.ops.object.mode_set(mode="OBJECT")
    if result != {"FINISHED"}:
        # The bridge still runs: its line is the benchmark's main figure.
        print("add-on failed:", result)
    else:
        print(
            "addon seconds: %.6f module seconds: %.6f links: %d faces left: %d"
            % (seconds, run["result"].seconds, len(run["result"].links), faces_left)
        )
    mesh = obj.data
    bpy.data.objects.remove(obj)
    bpy.data.meshes.remove(mesh)


def main():
    args = sys.argv[sys.argv.index("--") + 1 :] if "--" in sys.argv else []
    addon = None
    if args and args[0] == "--addon":
        addon, args = args[1], args[2:]
    if args[0] == "pairs":
        pairs, n, large, large_n = (int(a) for a in args[1:5])
        make = lambda xyz, quads: many_pairs(pairs, n, large, large_n, xyz, quads)
    else:
        nx, ny, gap = int(args[0]), int(args[1]), float(args[2])
        make = lambda xyz, quads: facing_grids(nx, ny, gap, xyz, quads)
    for other in list(bpy.data.objects):
        bpy.data.objects.remove(other)
    obj = build(make)
    faces = len(obj.data.polygons)
    edges_before = len(obj.data.edges)
    if addon:
        twin = obj.copy()
        twin.data = obj.data.copy()
        bpy.context.collection.objects.link(twin)
        run_addon(addon, twin)

    edit_all(obj)
    start = time.perf_counter()
    result = bpy.ops.mesh.bridge_edge_loops()
    seconds = time.perf_counter() - start
    if result != {"FINISHED"}:
        print("bridge failed:", result)
        sys.exit(1)

    edit = bmesh.from_edit_mesh(obj.data)
    remaining_faces = len(edit.faces)
    edges_after = len(edit.edges)
    print(
        "bridge seconds: %.6f faces: %d faces left: %d edges: %d -> %d"
        % (seconds, faces, remaining_faces, edges_before, edges_after)
    )


main()
