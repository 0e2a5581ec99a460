"""Blender's own glTF importer and exporter, driven the way a VORNA model needs them."""
import contextlib
import json
import math
import struct

import bpy

# Seconds between the keys of the .glb files vorna-cli writes for the import: one Motion per
# key. Keys that still sit on this grid at export time are Motions, and are written as they
# are rather than resampled frame by frame.
KEY_INTERVAL = 0.125


class GltfError(Exception):
    """Blender's glTF add-on is missing or failed; the text is meant for the user."""


@contextlib.contextmanager
def _numpy_bool_alias():
    """Blender 3.4's glTF importer asks numpy for `numpy.bool`, an alias of `bool` that numpy
    1.24 (Debian 12's) removed, and fails on every file. The alias is put back while the import
    runs and taken away afterwards, so no other add-on comes to rely on it."""
    import numpy
    # Asked directly, numpy 1.24 warns before it refuses; its namespace tells without a warning.
    added = "bool" not in vars(numpy)
    if added:
        numpy.bool = bool
    try:
        yield
    finally:
        if added:
            del numpy.bool


def _gltf_operator(kind):
    if not hasattr(bpy.types, f"{kind.upper()}_SCENE_OT_gltf"):
        raise GltfError("Blender's glTF 2.0 add-on is not enabled: enable 'Import-Export: "
                        "glTF 2.0 format' in Edit > Preferences > Add-ons")
    return bpy.ops.import_scene.gltf if kind == "import" else bpy.ops.export_scene.gltf


def _last_line(error):
    """The last line of what an operator raised: its report, or the exception at the end of a
    traceback, which is all a user can act on."""
    lines = [line.strip() for line in str(error).splitlines() if line.strip()]
    return lines[-1] if lines else type(error).__name__


def import_glb(path):
    """Imports the .glb at `path` into the current scene with Blender's glTF importer and puts
    each animation's extras on its actions, which that importer leaves behind, so that an
    export writes them back. Returns the objects it created."""
    operator = _gltf_operator("import")
    objects_before = set(bpy.data.objects)
    actions_before = set(bpy.data.actions)
    try:
        with _numpy_bool_alias():
            result = operator(filepath=path, import_pack_images=True, merge_vertices=False)
    except RuntimeError as error:
        raise GltfError(f"Blender's glTF importer failed: {_last_line(error)}") from error
    if "FINISHED" not in result:
        raise GltfError("Blender's glTF importer did not import the converted file")
    objects = [o for o in bpy.data.objects if o not in objects_before]
    actions = set(bpy.data.actions) - actions_before
    _restore_animation_extras(_read_glb_json(path).get("animations", []), objects, actions)
    return objects


def _read_glb_json(path):
    with open(path, "rb") as file:
        header = file.read(20)
        magic, _version, _length, json_length, chunk_type = struct.unpack("<4sIIII", header)
        if magic != b"glTF" or chunk_type != 0x4E4F534A:
            raise GltfError(f"{path} is not a binary glTF file")
        return json.loads(file.read(json_length))


def _track_names(animations):
    """The NLA track name Blender's importer gives each animation: its name (or Anim_N),
    made unique with .001, .002 and cut to 63 bytes, as its importer does."""
    taken = set()
    for index, animation in enumerate(animations):
        stem = (animation.get("name") or f"Anim_{index}")[:63]
        suffix, counter = "", 1
        while True:
            name = stem + suffix
            if len(name.encode("utf-8")) > 63:
                stem = stem[:-1]
                continue
            if name not in taken:
                break
            suffix = ".%03d" % counter
            counter += 1
        taken.add(name)
        yield name


def _restore_animation_extras(animations, objects, actions):
    extras_of_track = {name: animation.get("extras")
                       for name, animation in zip(_track_names(animations), animations)}
    for obj in objects:
        if obj.animation_data is None:
            continue
        for track in obj.animation_data.nla_tracks:
            extras = extras_of_track.get(track.name)
            if not isinstance(extras, dict):
                continue
            for strip in track.strips:
                if strip.action in actions:
                    _set_custom_properties(strip.action, extras)


def _set_custom_properties(data, values):
    for key, value in values.items():
        try:
            data[key] = value
        except (TypeError, ValueError, OverflowError):
            # What a custom property cannot hold (a list of mixed kinds, null) is kept as text,
            # as Blender's importer keeps node extras.
            data[key] = json.dumps(value)


def keys_on_motion_grid(actions, fps):
    """True when every key of `actions` sits on the import's Motion grid at `fps` frames per
    second, that is the animation was not re-keyed in Blender."""
    step = KEY_INTERVAL * fps
    for action in actions:
        for fcurve in action.fcurves:
            for key in fcurve.keyframe_points:
                slot = key.co[0] / step
                if not math.isclose(slot, round(slot), abs_tol=1e-3):
                    return False
    return True


def exported_actions(objects):
    """The actions an export of `objects` writes, as Blender's exporter picks them: the active
    one and those on NLA tracks, and with a single armature every action that moves bones."""
    actions = set()
    for obj in objects:
        data = obj.animation_data
        if data is None:
            continue
        if data.action is not None:
            actions.add(data.action)
        for track in data.nla_tracks:
            actions.update(strip.action for strip in track.strips if strip.action is not None)
    if sum(obj.type == 'ARMATURE' for obj in objects) == 1:
        actions.update(action for action in bpy.data.actions
                       if any(c.data_path.startswith("pose.bones[") for c in action.fcurves))
    return {action for action in actions if action.users > 0}


def export_glb(context, path, objects, use_selection):
    """Writes `objects` (the selection when `use_selection`, else the scene) to the .glb at
    `path` with Blender's glTF exporter, actions as animations, custom properties as extras.
    Keys on the Motion grid are written as they are; any other animation is sampled every
    frame, which the converter turns into Motions at its own interval."""
    operator = _gltf_operator("export")
    resample = not keys_on_motion_grid(exported_actions(objects), context.scene.render.fps)
    try:
        result = operator(
            filepath=path, export_format='GLB', use_selection=use_selection,
            export_extras=True, export_yup=True, export_apply=False,
            export_animations=True, export_nla_strips=True, export_frame_range=False,
            export_force_sampling=resample, export_optimize_animation_size=False,
            export_skins=True, export_def_bones=False, export_cameras=False,
            export_lights=False)
    except RuntimeError as error:
        raise GltfError(f"Blender's glTF exporter failed: {_last_line(error)}") from error
    if "FINISHED" not in result:
        raise GltfError("Blender's glTF exporter wrote nothing")
