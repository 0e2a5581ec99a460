"""Runs one case of the Blender add-on tests (addon_cases.py) in a headless Blender.

    run_case.py CASE --cli VORNA_CLI --build-dir BUILD [--testdata DIR]

Blender is the one on PATH, or $VORNA_BLENDER. Each case is one Blender start, with HOME, the
XDG folders and TMPDIR inside a temporary folder, so that Blender's user configuration and the
add-on's temporary files never reach the user's own. Exit status 77 (a skip for CTest) when
Blender or what the case needs is missing, with the reason on stdout.
"""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(HERE)))
SKIPPED = 77


def skip(reason):
    print(f"SKIPPED: {reason}")
    sys.exit(SKIPPED)


def install(build_dir, prefix):
    """The add-on and vorna-cli as `cmake --install` puts them, under `prefix`."""
    for component in ("blender", "desktop"):
        subprocess.run(["cmake", "--install", build_dir, "--component", component,
                        "--prefix", prefix], check=True, stdout=subprocess.DEVNULL)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("case")
    parser.add_argument("--cli", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--testdata", default="")
    args = parser.parse_args()

    blender = os.environ.get("VORNA_BLENDER") or shutil.which("blender")
    if not blender:
        skip("Blender is not installed (apt-get install blender python3-numpy)")
    if args.case == "import_x" and not os.path.isfile(
            os.path.join(args.testdata, "x", "anim_test.x")):
        skip("third-party sample files not present (VORNA_TESTDATA_DIR)")

    with tempfile.TemporaryDirectory(prefix="vorna-blender-") as root:
        env = dict(os.environ)
        for name in ("HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME",
                     "XDG_RUNTIME_DIR", "TMPDIR"):
            env[name] = os.path.join(root, name.lower())
            os.makedirs(env[name], mode=0o700)
        prefix = os.path.join(root, "prefix")
        install(args.build_dir, prefix)
        # Blender's embedded Python takes its library from the first python3 on PATH; a
        # python3 of the user's own (pyenv, a venv) before the system's lacks Blender's numpy.
        env["PATH"] = os.path.dirname(os.path.realpath(blender)) + os.pathsep + env["PATH"]
        env.update(VORNA_TEST_CLI=os.path.abspath(args.cli), VORNA_TEST_PREFIX=prefix,
                   VORNA_TEST_SOURCE=SOURCE,
                   VORNA_TEST_TESTDATA=args.testdata, VORNA_TEST_WORK=root)
        command = [blender, "-b", "--factory-startup", "--python-exit-code", "1",
                   "--python", os.path.join(HERE, "addon_cases.py"), "--", args.case]
        result = subprocess.run(command, env=env, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, text=True, errors="replace")
        # Blender's own chatter (the glTF add-on's INFO lines) would bury the test's report.
        print("\n".join(line for line in result.stdout.splitlines()
                        if " | INFO: " not in line and line.strip()))
        leftovers = [name for name in os.listdir(env["TMPDIR"]) if name.startswith("vorna-")]
        if leftovers:
            print(f"FAIL: temporary files left behind: {leftovers}")
            return 1
        return result.returncode


if __name__ == "__main__":
    sys.exit(main())
