"""Link Facing Patches: the Tarvel Tool in Blender's Edit Mode.

Mesh > Link Facing Patches runs the tool on the selected faces of the active mesh: it links
the boundary points of every pair of patches that face each other with loose edges (their
colour in the integer edge attribute ``tarvel_link``: 1 Red, 2 DkRed, 3 Blue) and removes the
faces of the paired patches. The tool itself is the Python package ``tarvel`` (a C++
extension and the module file it runs), shipped inside this add-on's folder.
"""

bl_info = {
    "name": "Tarvel Tool: Link Facing Patches",
    "author": "Tarvel Tool",
    "version": (1, 0, 0),
    "blender": (3, 4, 0),
    "location": "View3D > Edit Mode > Mesh > Link Facing Patches",
    "description": "Links the boundaries of facing patches of the selected faces with edges "
    "and removes the patches",
    "category": "Mesh",
}

if "link_patches" in locals():
    import importlib

    link_patches = importlib.reload(link_patches)  # noqa: F821 (Blender's reload of add-ons)
else:
    from . import link_patches

import bpy


def menu_entry(self, context):
    self.layout.separator()
    self.layout.operator(link_patches.MESH_OT_tarvel_link_facing_patches.bl_idname)


def register():
    bpy.utils.register_class(link_patches.MESH_OT_tarvel_link_facing_patches)
    bpy.types.VIEW3D_MT_edit_mesh.append(menu_entry)


def unregister():
    bpy.types.VIEW3D_MT_edit_mesh.remove(menu_entry)
    bpy.utils.unregister_class(link_patches.MESH_OT_tarvel_link_facing_patches)
