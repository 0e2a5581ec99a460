"""The VORNA add-on in a headless Blender, one case per Blender start (see run_case.py).

    blender -b --factory-startup --python-exit-code 1 --python addon_cases.py -- CASE

Expectations come from vorna-cli itself: `info --json` for what a model holds and
`convert --pose N` for where Motion N puts every vertex, read here from the .glb it writes.
"""
import addon_utils
import bpy
import json
import numpy
import os
import re
import struct
import subprocess
import sys
import unittest
import zipfile
from mathutils import Matrix, kdtree

sys.dont_write_bytecode = True  # keeps __pycache__ out of the source and installed folders

CLI = os.environ["VORNA_TEST_CLI"]
SOURCE = os.environ["VORNA_TEST_SOURCE"]
PREFIX = os.environ["VORNA_TEST_PREFIX"]
TESTDATA = os.environ["VORNA_TEST_TESTDATA"]
WORK = os.environ["VORNA_TEST_WORK"]
INSTALLED = os.path.join(PREFIX, "share", "vorna", "blender")
SAMPLES = [os.path.join(SOURCE, "samples", name) for name in ("character.vrn", "walker.vrn")]
KEY_INTERVAL = 0.125  # seconds per Motion in the .glb the add-on imports
NUMPY_HAD_BOOL = "bool" in vars(numpy)


# ----- the add-on ------------------------------------------------------------------------------

def enable_addon(scripts_folder, cli_path=""):
    def fail(error):
        raise error
    if scripts_folder:
        sys.path.insert(0, scripts_folder)
    module = addon_utils.enable("vorna_io", default_set=True, handle_error=fail)
    assert module is not None, "the add-on did not load"
    bpy.context.preferences.addons["vorna_io"].preferences.cli_path = cli_path
    return module


def set_cli(path):
    bpy.context.preferences.addons["vorna_io"].preferences.cli_path = path


def empty_scene():
    for collection in (bpy.data.objects, bpy.data.meshes, bpy.data.armatures, bpy.data.actions,
                       bpy.data.materials, bpy.data.images):
        for item in list(collection):
            collection.remove(item)


class Imported:
    """What one import added to the file."""

    def __init__(self, path, **options):
        before = {name: set(getattr(bpy.data, name)) for name in ("objects", "actions", "images")}
        self.result = bpy.ops.import_scene.vorna(filepath=path, **options)
        new = {name: [item for item in getattr(bpy.data, name) if item not in before[name]]
               for name in before}
        self.meshes = [o for o in new["objects"] if o.type == 'MESH']
        armatures = [o for o in new["objects"] if o.type == 'ARMATURE']
        assert len(armatures) <= 1
        self.armature = armatures[0] if armatures else None
        self.actions = new["actions"]
        self.images = new["images"]
        self.others = [o for o in new["objects"] if o.type not in ('MESH', 'ARMATURE')]

    def bone_names(self):
        return sorted(b.name for b in self.armature.data.bones) if self.armature else []

    def action_of(self, anim_name):
        for track in self.armature.animation_data.nla_tracks:
            if track.name == anim_name:
                return track.strips[0].action
        raise AssertionError(f"no action for {anim_name}")


# ----- vorna-cli's side ------------------------------------------------------------------------

def cli(*args):
    return subprocess.run([CLI, *args], check=True, capture_output=True)


def info(path):
    return json.loads(cli("info", "--json", path).stdout)


def glb_points(path):
    """Every vertex position of the .glb at `path`, in Blender's axes (glTF's y up is Blender's
    z up, glTF's z towards the viewer is Blender's -y)."""
    with open(path, "rb") as file:
        data = file.read()
    json_length = struct.unpack_from("<I", data, 12)[0]
    document = json.loads(data[20:20 + json_length])
    binary = data[20 + json_length + 8:]
    points = []
    for node in document["nodes"]:
        if "mesh" not in node:
            continue
        assert not any(key in node for key in ("matrix", "translation", "rotation", "scale"))
        for primitive in document["meshes"][node["mesh"]]["primitives"]:
            accessor = document["accessors"][primitive["attributes"]["POSITION"]]
            view = document["bufferViews"][accessor["bufferView"]]
            assert accessor["componentType"] == 5126 and view.get("byteStride", 12) == 12
            start = view.get("byteOffset", 0) + accessor.get("byteOffset", 0)
            xyz = numpy.frombuffer(binary, numpy.float32, accessor["count"] * 3, start)
            points.append(xyz.reshape(-1, 3))
    gltf = numpy.concatenate(points).astype(numpy.float64)
    return numpy.stack([gltf[:, 0], -gltf[:, 2], gltf[:, 1]], axis=1)


def posed_points(model, motion):
    """Where vorna-cli puts every vertex of `model` in Motion `motion` (from 0)."""
    path = os.path.join(WORK, "posed.glb")
    cli("convert", model, path, "--pose", str(motion + 1))
    return glb_points(path)


def blender_points(meshes):
    """Every vertex of `meshes` as Blender draws them now (armature applied), in world space."""
    depsgraph = bpy.context.evaluated_depsgraph_get()
    points = []
    for obj in meshes:
        evaluated = obj.evaluated_get(depsgraph)
        mesh = evaluated.to_mesh()
        local = numpy.empty(len(mesh.vertices) * 3)
        mesh.vertices.foreach_get("co", local)
        evaluated.to_mesh_clear()
        world = numpy.array(obj.matrix_world)
        local = numpy.c_[local.reshape(-1, 3), numpy.ones(len(local) // 3)]
        points.append((local @ world.T)[:, :3])
    return numpy.concatenate(points)


def farthest(a, b):
    """The largest distance from a point of either set to the nearest point of the other."""
    def one_way(points, others):
        tree = kdtree.KDTree(len(others))
        for i, p in enumerate(others):
            tree.insert(p, i)
        tree.balance()
        return max(tree.find(p)[2] for p in points)
    return max(one_way(a, b), one_way(b, a))


# ----- the cases -------------------------------------------------------------------------------

class AddonTest(unittest.TestCase):
    def setUp(self):
        empty_scene()

    def assertSamePoints(self, actual, expected, tolerance, what):
        distance = farthest(actual, expected)
        self.assertLess(distance, tolerance, what)

    def assertImportedAsModel(self, imported, model, description):
        """`imported` shows `model` (described by vorna-cli's info) as it should: one mesh per
        Part with faces, a bone per Unit under our export's root, an action per Anim, an image
        per texture, and Blender's posed mesh where vorna-cli puts every vertex."""
        self.assertEqual(imported.result, {'FINISHED'})
        self.assertEqual(imported.others, [])
        # Blender makes a repeated name unique with .001, .002.
        self.assertEqual(sorted(re.sub(r"\.\d{3}$", "", o.name) for o in imported.meshes),
                         sorted(p["name"] for p in description["parts"] if p["face_count"]))
        units = sorted(u["name"] for u in description["units"])
        self.assertEqual(imported.bone_names(), sorted(units + ["root"]) if units else [])
        anims = description["anims"]
        names = [a["name"] for a in anims] or (["ALL"] if description["motion_count"] > 1 else [])
        self.assertEqual(len(imported.actions), len(names))
        textures = {p["texture_file"] for p in description["parts"] if p.get("texture_loaded")}
        self.assertEqual(len(imported.images), len(textures))
        self.assertTrue(all(image.packed_file for image in imported.images))

        size = description["model_size"]
        fps = bpy.context.scene.render.fps
        if not imported.armature or not imported.armature.animation_data:
            self.assertSamePoints(blender_points(imported.meshes), posed_points(model, 0),
                                  1e-5 * size, "the model at rest")
            return
        runs = [(a["name"], a["first_motion"], a["last_motion"]) for a in anims] or \
            [("ALL", 0, description["motion_count"] - 1)]
        for name, first, last in runs:
            # Blender keeps a bone's pose where an action has no key for it; our export leaves
            # out channels that hold the rest value.
            for bone in imported.armature.pose.bones:
                bone.matrix_basis = Matrix()
            imported.armature.animation_data.action = imported.action_of(name)
            for motion in sorted({first, (first + last) // 2, last}):
                frame = round((motion - first) * KEY_INTERVAL * fps)
                bpy.context.scene.frame_set(frame)
                self.assertSamePoints(blender_points(imported.meshes), posed_points(model, motion),
                                      1e-5 * size, f"{name}, Motion {motion + 1}, frame {frame}")


class ImportSamples(AddonTest):
    """The add-on as installed, finding the vorna-cli installed beside it."""

    @classmethod
    def setUpClass(cls):
        os.environ["PATH"] = "/usr/bin:/bin"
        module = enable_addon(os.path.join(INSTALLED, "addons"))
        assert module.__file__.startswith(INSTALLED), module.__file__

    def test_samples_come_in_with_their_parts_bones_actions_images_and_poses(self):
        for model in SAMPLES:
            with self.subTest(model=os.path.basename(model)):
                empty_scene()
                self.assertImportedAsModel(Imported(model), model, info(model))
        # The alias an import lends Blender's glTF importer does not outlive it.
        self.assertEqual("bool" in vars(numpy), NUMPY_HAD_BOOL)

    def test_every_other_readable_format_comes_in_as_its_parts(self):
        for model in ("tests/data/formats/two_parts.vr2", "tests/data/formats/two_parts.dxf",
                      "tests/data/formats/two_parts_binary.vrn",
                      "fuzz/corpus/formats_text_polygon/two_meshes.txt"):
            with self.subTest(model=model):
                empty_scene()
                model = os.path.join(SOURCE, model)
                self.assertImportedAsModel(Imported(model), model, info(model))


class ImportX(AddonTest):
    """A .x file with frames, skin weights and an animation set, skeleton ticked."""

    @classmethod
    def setUpClass(cls):
        enable_addon(os.path.join(SOURCE, "tools", "blender"), CLI)

    def test_anim_test_comes_in_as_vorna_cli_reads_it(self):
        source = os.path.join(TESTDATA, "x", "anim_test.x")
        # The same reading as the add-on's, kept as .vrn to describe and pose it.
        model = os.path.join(WORK, "anim_test.vrn")
        cli("convert", source, model, "--skeleton")
        description = info(model)
        self.assertGreater(len(description["units"]), 0)
        self.assertImportedAsModel(Imported(source, skeleton=True), model, description)


class Export(AddonTest):
    """The add-on installed from its .zip as a user would; vorna-cli from the preferences."""

    @classmethod
    def setUpClass(cls):
        archive = os.path.join(INSTALLED, "vorna_io.zip")
        with zipfile.ZipFile(archive) as files:
            assert "vorna_io/__init__.py" in files.namelist(), files.namelist()
        bpy.ops.preferences.addon_install(filepath=archive)
        module = enable_addon("", CLI)
        assert module.__file__.startswith(bpy.utils.user_resource('SCRIPTS')), module.__file__

    def test_each_format_and_encoding_is_written_as_chosen(self):
        model = SAMPLES[0]
        Imported(model)
        glb = os.path.join(WORK, "character.glb")
        cli("convert", model, glb)
        cases = [  # file_format, encoding option and value, --format, leading bytes
            ('VRN', "encoding", 'TEXT', "vrn", None),
            ('VRN', "encoding", 'BINARY', "vrn-binary", None),
            ('VR2', "encoding", 'TEXT', "vr2", None),
            ('VR2', "encoding", 'BINARY', "vr2-binary", None),
            ('X', "x_encoding", 'TEXT', "x", b"xof 0303txt "),
            ('X', "x_encoding", 'BINARY', "x-binary", b"xof 0303bin "),
            ('X', "x_encoding", 'COMPRESSED', "x-compressed", b"xof 0303bzip"),
        ]
        for file_format, option, value, cli_format, magic in cases:
            with self.subTest(format=cli_format):
                extension = "." + file_format.lower()
                folder = os.path.join(WORK, cli_format)
                os.mkdir(folder)
                # The chosen format decides the extension, whatever the name typed.
                bpy.ops.export_scene.vorna(filepath=os.path.join(folder, "model.vrn"),
                                           file_format=file_format, **{option: value})
                target = os.path.join(folder, "model" + extension)
                # What vorna-cli writes from its own .glb: Blender between them changes nothing
                # it can see.
                reference = os.path.join(WORK, cli_format + extension)
                cli("convert", glb, reference, "--format", cli_format)
                written, expected = info(target), info(reference)
                for key in ("format", "parts_count", "total_face_count"):
                    self.assertEqual(written[key], expected[key], key)
                for key in ("total_corner_min", "total_corner_max"):
                    numpy.testing.assert_allclose(written[key], expected[key], atol=1e-6)
                if magic:
                    with open(target, "rb") as file:
                        self.assertEqual(file.read(len(magic)), magic)
                # The texture came out of Blender inside the .glb and is written beside.
                self.assertTrue(all(p["texture_loaded"] for p in written["parts"]))
                self.assertEqual(sorted(os.listdir(folder)),
                                 sorted(["model" + extension, "model-1.png"]))

    def test_keys_on_the_motion_grid_are_written_as_they_are(self):
        from vorna_io import gltf
        model = SAMPLES[0]
        reference = os.path.join(WORK, "reference.glb")
        cli("convert", model, reference)
        expected = keys_of(reference)
        Imported(model)
        objects = list(bpy.context.scene.objects)
        written = os.path.join(WORK, "written.glb")
        gltf.export_glb(bpy.context, written, objects, False)
        self.assertEqual(keys_of(written), expected)

        # Keys moved off the grid are a re-keyed animation: Blender samples it frame by frame.
        action = next(iter(gltf.exported_actions(objects)))
        for fcurve in action.fcurves:
            for key in fcurve.keyframe_points:
                for point in (key.co, key.handle_left, key.handle_right):
                    point.x += 1
        gltf.export_glb(bpy.context, written, objects, False)
        anim = action.name.rsplit("_", 1)[0]
        self.assertGreater(keys_of(written)[anim][0], expected[anim][0])


def keys_of(path):
    """Per animation of a .glb: its most keys in one sampler, its end time and its extras."""
    def plain(value):  # Blender 3.4 keeps a true in a custom property as 1
        if isinstance(value, dict):
            return {key: plain(item) for key, item in value.items()}
        if isinstance(value, list):
            return [plain(item) for item in value]
        return int(value) if isinstance(value, bool) else value
    from vorna_io import gltf
    document = gltf._read_glb_json(path)
    result = {}
    for animation in document.get("animations", []):
        inputs = [document["accessors"][s["input"]] for s in animation["samplers"]]
        result[animation["name"]] = (max(a["count"] for a in inputs),
                                     round(max(a["max"][0] for a in inputs), 6),
                                     plain(animation.get("extras")))
    return result


class ExportExact(AddonTest):
    """A character from VORNA, exported back without edits, is the character it was."""

    @classmethod
    def setUpClass(cls):
        enable_addon(os.path.join(SOURCE, "tools", "blender"), CLI)

    def assertSameUnits(self, units, expected, size):
        """Names, parents, basis types, tilt angles and blend settings exactly; pivots and axes
        as closely as single precision through Blender's bone orientations allows."""
        self.assertEqual([u["name"] for u in units], [u["name"] for u in expected])
        for unit, wanted in zip(units, expected):
            for key, value in wanted.items():
                if key in ("basis_position", "axis"):
                    tolerance = 1e-4 * size if key == "basis_position" else 1e-4
                    numpy.testing.assert_allclose(unit[key], value, rtol=0, atol=tolerance,
                                                  err_msg=f"{unit['name']} {key}")
                else:
                    self.assertEqual(unit[key], value, f"{unit['name']} {key}")

    def test_samples_come_back_unit_for_unit_and_motion_for_motion(self):
        for model in SAMPLES:
            with self.subTest(model=os.path.basename(model)):
                empty_scene()
                Imported(model)
                target = os.path.join(WORK, "round_trip.vrn")
                bpy.ops.export_scene.vorna(filepath=target)
                before, after = info(model), info(target)
                self.assertSameUnits(after["units"], before["units"], before["model_size"])
                for key in ("anims", "motion_count"):
                    self.assertEqual(after[key], before[key], key)
                for motion in range(before["motion_count"]):
                    self.assertSamePoints(posed_points(target, motion),
                                          posed_points(model, motion),
                                          1e-3 * before["model_size"], f"Motion {motion + 1}")

    def test_content_options_leave_out_what_vorna_cli_leaves_out(self):
        model = SAMPLES[1]
        Imported(model)
        for option, flag in (("blend_weights", "--no-skin"), ("translations", "--no-translation"),
                             ("scales", "--no-scale"), ("anims", "--no-anim")):
            with self.subTest(option=option):
                target = os.path.join(WORK, option + ".vrn")
                reference = os.path.join(WORK, option + "_reference.vrn")
                bpy.ops.export_scene.vorna(filepath=target, **{option: False})
                cli("convert", model, reference, flag)
                written, expected = info(target), info(reference)
                self.assertSameUnits(written["units"], expected["units"], expected["model_size"])
                for key in ("anims", "motion_count"):
                    self.assertEqual(written[key], expected[key], key)


class Failures(AddonTest):
    """What cannot be done is said in Blender's report area; nothing comes in, nothing is
    written, and no temporary file stays behind (run_case.py checks TMPDIR)."""

    @classmethod
    def setUpClass(cls):
        enable_addon(os.path.join(SOURCE, "tools", "blender"), CLI)

    def tearDown(self):
        set_cli(CLI)

    def assertRefused(self, message, operator, **arguments):
        objects = set(bpy.data.objects)
        with self.assertRaises(RuntimeError) as refusal:
            operator(**arguments)
        self.assertIn(message, str(refusal.exception))
        self.assertNotIn("Traceback", str(refusal.exception))
        self.assertEqual(set(bpy.data.objects), objects)

    def test_a_missing_or_unusable_vorna_cli_is_reported(self):
        old = os.path.join(WORK, "old-vorna-cli")
        with open(old, "w") as file:
            file.write("#!/bin/sh\necho 'Usage: vorna-cli convert IN OUT [OPTIONS]'\n")
        os.chmod(old, 0o755)
        empty_path = os.path.join(WORK, "empty")
        os.mkdir(empty_path)
        Imported(SAMPLES[1])
        target = os.path.join(WORK, "never.vrn")
        cases = [  # preference, PATH, what the report says
            (os.path.join(WORK, "missing", "vorna-cli"), None, "vorna-cli not found at"),
            ("", empty_path, "vorna-cli not found on PATH"),
            (old, None, "is too old for the VORNA add-on"),
            ("/bin/true", None, "is not vorna-cli"),
        ]
        saved_path = os.environ["PATH"]
        for preference, path, message in cases:
            with self.subTest(message=message):
                set_cli(preference)
                os.environ["PATH"] = path or saved_path
                try:
                    self.assertRefused(message, bpy.ops.import_scene.vorna, filepath=SAMPLES[1])
                    self.assertRefused(message, bpy.ops.export_scene.vorna, filepath=target)
                finally:
                    os.environ["PATH"] = saved_path
                self.assertFalse(os.path.exists(target))

    def test_an_unreadable_file_is_reported_and_nothing_comes_in(self):
        for name, content in (("broken.vrn", b"\x00\x01 not a model"), ("missing.x", None)):
            with self.subTest(name=name):
                path = os.path.join(WORK, name)
                if content is not None:
                    with open(path, "wb") as file:
                        file.write(content)
                self.assertRefused("ファイルを読み込めません", bpy.ops.import_scene.vorna,
                                   filepath=path)

    def test_each_message_of_vorna_cli_is_one_report_line(self):
        from vorna_io import cli as addon_cli
        stderr = "VORNA: /models/\nに以下のファイルがありません。\nskin.png\n\nvorna-cli: no Motion 3\n"
        self.assertEqual(addon_cli._lines(stderr.encode()),
                         ["VORNA: /models/ に以下のファイルがありません。 skin.png",
                          "vorna-cli: no Motion 3"])

    def test_a_cancelled_export_writes_nothing(self):
        target = os.path.join(WORK, "cancelled.vrn")
        self.assertRefused("Nothing to export", bpy.ops.export_scene.vorna, filepath=target)
        Imported(SAMPLES[1])
        bpy.ops.object.select_all(action='DESELECT')
        self.assertRefused("no mesh among the selected objects", bpy.ops.export_scene.vorna,
                           filepath=target, use_selection=True)
        self.assertFalse(os.path.exists(target))
        # vorna-cli cannot save there: its refusal is the report.
        unwritable = os.path.join(WORK, "no-such-folder", "model.vrn")
        self.assertRefused("保存できません", bpy.ops.export_scene.vorna, filepath=unwritable)
        self.assertFalse(os.path.exists(os.path.dirname(unwritable)))


CASES = {"import_samples": ImportSamples, "import_x": ImportX, "export": Export,
         "export_exact": ExportExact, "failures": Failures}


def main():
    case = sys.argv[sys.argv.index("--") + 1]
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(CASES[case])
    result = unittest.TextTestRunner(stream=sys.stdout, verbosity=2).run(suite)
    sys.stdout.flush()
    sys.exit(0 if result.wasSuccessful() else 1)


main()
