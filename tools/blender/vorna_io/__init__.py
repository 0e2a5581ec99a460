"""VORNA models in Blender's File menu.

Import runs `vorna-cli convert` to a temporary .glb and Blender's own glTF importer on it;
export runs Blender's own glTF exporter to a temporary .glb and `vorna-cli convert` on that.
"""
import os
import tempfile

import bpy
from bpy.props import BoolProperty, EnumProperty, IntProperty, StringProperty
from bpy_extras.io_utils import ExportHelper, ImportHelper

from . import cli, gltf

bl_info = {
    "name": "VORNA format",
    "description": "Import and export VORNA models (.vrn .vr2 .x, and .dxf .txt on import)",
    "author": "VORNA",
    "version": (0, 1, 0),
    "blender": (3, 4, 0),
    "location": "File > Import, File > Export",
    "category": "Import-Export",
}

IMPORT_LABEL = "VORNA (.vrn .vr2 .x .dxf .txt)"
EXPORT_LABEL = "VORNA (.vrn .vr2 .x)"

# vorna-cli's limits for the .x animation timing.
X_TICKS_MAX = 4800000
X_INTERVAL_MAX = 1000

EXTENSIONS = {'VRN': ".vrn", 'VR2': ".vr2", 'X': ".x"}
ENCODINGS = (('TEXT', "Text", "Readable text"), ('BINARY', "Binary", "Smaller, and faster to read"))


def _find_cli(context):
    preferences = context.preferences.addons[__name__].preferences
    return cli.find_cli(bpy.path.abspath(preferences.cli_path),
                        os.path.dirname(os.path.abspath(__file__)))


def _report_failure(operator, error):
    for line in error.lines if isinstance(error, cli.CliError) else [str(error)]:
        operator.report({'ERROR'}, line)
    return {'CANCELLED'}


def _report_notices(operator, notices):
    for line in notices:
        operator.report({'WARNING'}, line)


def _temporary_glb(folder, model_path):
    # Named after the model: vorna-cli names the textures it writes beside an exported model
    # after the .glb it read, and its messages name the file.
    stem = os.path.splitext(os.path.basename(model_path))[0] or "model"
    return os.path.join(folder, stem + ".glb")


class VornaPreferences(bpy.types.AddonPreferences):
    bl_idname = __name__

    cli_path: StringProperty(
        name="vorna-cli",
        description="The vorna-cli program that converts every file. Empty: the one on PATH, "
                    "else the one installed beside this add-on",
        subtype='FILE_PATH',
        default="",
    )

    def draw(self, context):
        layout = self.layout
        layout.prop(self, "cli_path")
        try:
            found = _find_cli(context)
        except cli.CliError as error:
            layout.label(text=str(error), icon='ERROR')
        else:
            layout.label(text=f"Converting with {found.path}", icon='CHECKMARK')


class ImportVorna(bpy.types.Operator, ImportHelper):
    """Import a VORNA model (.vrn .vr2 .x .dxf .txt) through vorna-cli"""
    bl_idname = "import_scene.vorna"
    bl_label = "Import VORNA"
    bl_options = {'REGISTER', 'UNDO'}

    filter_glob: StringProperty(default="*.vrn;*.vr2;*.x;*.dxf;*.txt", options={'HIDDEN'})

    skeleton: BoolProperty(
        name="Skeleton (.x)",
        description="Import the frames, skin weights and animation sets of a .x file as an "
                    "armature with actions; otherwise its meshes only",
        default=False,
    )

    def draw(self, _context):
        layout = self.layout
        layout.use_property_split = True
        layout.prop(self, "skeleton")

    def execute(self, context):
        options = ["--gltf-key-interval", repr(gltf.KEY_INTERVAL)]
        try:
            converter = _find_cli(context)
            wants_skeleton = self.skeleton and self.filepath.lower().endswith(".x")
            if wants_skeleton and converter.can_read_skeletons:
                options.append("--skeleton")
            elif wants_skeleton:
                self.report({'WARNING'}, f"{converter.path} reads .x files as meshes only: "
                                         "imported without the skeleton")
            with tempfile.TemporaryDirectory(prefix="vorna-") as folder:
                glb = _temporary_glb(folder, self.filepath)
                notices = converter.convert(self.filepath, glb, options)
                gltf.import_glb(glb)
        except (cli.CliError, gltf.GltfError) as error:
            return _report_failure(self, error)
        _report_notices(self, notices)
        self.report({'INFO'}, f"Imported {self.filepath}")
        return {'FINISHED'}


class ExportVorna(bpy.types.Operator, ExportHelper):
    """Export the scene or the selection as a VORNA model (.vrn .vr2 .x) through vorna-cli"""
    bl_idname = "export_scene.vorna"
    bl_label = "Export VORNA"

    filename_ext = ".vrn"
    filter_glob: StringProperty(default="*.vrn;*.vr2;*.x", options={'HIDDEN'})

    use_selection: BoolProperty(
        name="Selected Objects",
        description="Export the selected objects only; otherwise the whole scene",
        default=False,
    )
    file_format: EnumProperty(
        name="Format",
        items=(('VRN', "VRN (.vrn)", "VORNA model"),
               ('VR2', "VR2 (.vr2)", "VORNA model with texture coordinates per face corner"),
               ('X', "DirectX (.x)", "DirectX .x file with frames and animation sets")),
        default='VRN',
    )
    encoding: EnumProperty(name="Encoding", items=ENCODINGS, default='TEXT')
    x_encoding: EnumProperty(
        name="Encoding",
        items=ENCODINGS + (('COMPRESSED', "Compressed", "Binary, compressed"),),
        default='TEXT',
    )
    blend_weights: BoolProperty(name="Blend Weights", default=True,
                                description="Write the blend weights and blend settings")
    translations: BoolProperty(name="Translations", default=True,
                               description="Write the Motions' translations")
    scales: BoolProperty(name="Scales", default=True, description="Write the Motions' scales")
    anims: BoolProperty(name="Anims", default=True, description="Write the Anims")
    x_skin: BoolProperty(name="Skinned Meshes", default=False,
                         description="One skinned mesh per root Unit, with skin weights")
    x_loop: BoolProperty(name="Loop", default=False,
                         description="An \"ALL\" animation set that repeats its first Motion, "
                                     "instead of one set per Anim")
    x_ticks: IntProperty(name="Ticks per Second", min=1, max=X_TICKS_MAX, default=240,
                         description="Animation ticks per second")
    x_interval: IntProperty(name="Ticks per Key", min=1, max=X_INTERVAL_MAX, default=30,
                            description="Animation ticks from one key to the next")

    def check(self, _context):
        folder, name = os.path.split(self.filepath)
        if not name:
            return False
        stem, extension = os.path.splitext(name)
        if extension.lower() not in EXTENSIONS.values():
            stem += extension
        path = os.path.join(folder, stem + EXTENSIONS[self.file_format])
        changed = path != self.filepath
        self.filepath = path
        return changed

    def draw(self, _context):
        layout = self.layout
        layout.use_property_split = True
        layout.prop(self, "use_selection")
        layout.prop(self, "file_format")
        if self.file_format == 'X':
            for name in ("x_encoding", "x_skin", "x_loop", "x_ticks", "x_interval"):
                layout.prop(self, name)
        else:
            for name in ("encoding", "blend_weights", "translations", "scales", "anims"):
                layout.prop(self, name)

    def convert_options(self):
        """The vorna-cli options for the format and the choices in the side panel."""
        if self.file_format == 'X':
            options = ["--format", {'TEXT': "x", 'BINARY': "x-binary",
                                    'COMPRESSED': "x-compressed"}[self.x_encoding],
                       "--x-ticks", str(self.x_ticks), "--x-interval", str(self.x_interval)]
            options += ["--x-skin"] if self.x_skin else []
            options += ["--x-loop"] if self.x_loop else []
            return options
        name = self.file_format.lower()
        options = ["--format", name if self.encoding == 'TEXT' else name + "-binary"]
        for wanted, option in ((self.blend_weights, "--no-skin"),
                               (self.translations, "--no-translation"),
                               (self.scales, "--no-scale"), (self.anims, "--no-anim")):
            if not wanted:
                options.append(option)
        return options

    def execute(self, context):
        self.check(context)
        objects = context.selected_objects if self.use_selection else context.scene.objects
        try:
            converter = _find_cli(context)
            if not any(obj.type == 'MESH' for obj in objects):
                raise gltf.GltfError("Nothing to export: no mesh among the selected objects"
                                     if self.use_selection else "Nothing to export: the scene "
                                     "has no mesh")
            with tempfile.TemporaryDirectory(prefix="vorna-") as folder:
                glb = _temporary_glb(folder, self.filepath)
                gltf.export_glb(context, glb, objects, self.use_selection)
                notices = converter.convert(glb, self.filepath, self.convert_options())
        except (cli.CliError, gltf.GltfError) as error:
            return _report_failure(self, error)
        _report_notices(self, notices)
        self.report({'INFO'}, f"Exported {self.filepath}")
        return {'FINISHED'}


def _import_menu(self, _context):
    self.layout.operator(ImportVorna.bl_idname, text=IMPORT_LABEL)


def _export_menu(self, _context):
    self.layout.operator(ExportVorna.bl_idname, text=EXPORT_LABEL)


_CLASSES = (VornaPreferences, ImportVorna, ExportVorna)


def register():
    for cls in _CLASSES:
        bpy.utils.register_class(cls)
    bpy.types.TOPBAR_MT_file_import.append(_import_menu)
    bpy.types.TOPBAR_MT_file_export.append(_export_menu)


def unregister():
    bpy.types.TOPBAR_MT_file_export.remove(_export_menu)
    bpy.types.TOPBAR_MT_file_import.remove(_import_menu)
    for cls in reversed(_CLASSES):
        bpy.utils.unregister_class(cls)
