"""Finding and running vorna-cli, which does every conversion for the add-on.

Nothing here needs Blender: the operators give it the configured path and the add-on's folder,
and get back a `Cli` to convert with, or a `CliError` whose text is meant for the user.
"""
import functools
import os
import re
import shutil
import subprocess

CLI_NAME = "vorna-cli"

# What the add-on needs of `vorna-cli convert`, found in its --help: glTF binary files as
# targets, and the key spacing that keeps imported keys on the add-on's Motion grid.
_REQUIRED_HELP = (".glb", "--gltf-key-interval")

# Reading .x frames, skins and animation sets as an armature came later than the rest, so the
# add-on asks for it only where the installed converter offers it.
_SKELETON_OPTION = re.compile(r"(?<![\w-])--skeleton\b")

# The longest a healthy `vorna-cli convert --help` takes, in seconds; past it the file is not
# a working vorna-cli (a script waiting for input, a hung network mount).
_PROBE_SECONDS = 20


class CliError(Exception):
    """A vorna-cli that cannot be used or a conversion that failed.

    `lines` holds every line for the report area, the first one saying what went wrong.
    """

    def __init__(self, lines):
        super().__init__(lines[0])
        self.lines = list(lines)


class Cli:
    """A vorna-cli that answered as this add-on needs."""

    def __init__(self, path, can_read_skeletons):
        self.path = path
        self.can_read_skeletons = can_read_skeletons

    def convert(self, source, target, options=()):
        """Runs `vorna-cli convert SOURCE TARGET OPTIONS...` and waits for it.

        Returns its notices (the lines it printed on stderr, such as missing textures or what an
        import approximated) when it succeeded. Raises CliError with those lines when it failed;
        vorna-cli saves atomically, so then `target` is as it was before.
        """
        command = [self.path, "convert", source, target, *options]
        try:
            result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True)
        except OSError as error:
            raise CliError([f"Cannot run {self.path}: {error.strerror}"]) from error
        lines = _lines(result.stderr)
        if result.returncode == 0:
            return lines
        if not lines:
            lines = [f"{CLI_NAME} convert failed (exit status {result.returncode})"]
        raise CliError(lines)


def find_cli(configured_path, addon_dir):
    """The vorna-cli to use, checked: `configured_path` when it is set; else the one on PATH;
    else the one an installation put beside this add-on (PREFIX/bin for an add-on in
    PREFIX/share/vorna/blender/addons/vorna_io). Raises CliError when none is usable."""
    if configured_path:
        path = os.path.abspath(os.path.expanduser(configured_path))
        if not os.path.isfile(path):
            raise CliError([
                f"{CLI_NAME} not found at {path}: correct its path in the preferences of the "
                "VORNA add-on (Edit > Preferences > Add-ons), or clear it to use the one on PATH"
            ])
        return _probe(path)
    path = shutil.which(CLI_NAME)
    if path is None:
        prefix = os.path.normpath(os.path.join(addon_dir, *[os.pardir] * 5))
        beside = os.path.join(prefix, "bin", CLI_NAME)
        if os.path.isfile(beside) and os.access(beside, os.X_OK):
            path = beside
    if path is None:
        raise CliError([
            f"{CLI_NAME} not found on PATH: install VORNA, or set the path of {CLI_NAME} in the "
            "preferences of the VORNA add-on (Edit > Preferences > Add-ons)"
        ])
    return _probe(path)


def _probe(path):
    stat = os.stat(path)
    return _probe_file(path, stat.st_mtime_ns, stat.st_size)


# Keyed by the file's time and size as well, so that replacing vorna-cli by a newer one is
# noticed without restarting Blender; the preferences panel asks on every redraw.
@functools.lru_cache(maxsize=8)
def _probe_file(path, _mtime_ns, _size):
    try:
        result = subprocess.run([path, "convert", "--help"], stdin=subprocess.DEVNULL,
                                capture_output=True, timeout=_PROBE_SECONDS)
    except (OSError, subprocess.TimeoutExpired) as error:
        why = getattr(error, "strerror", None) or error
        raise CliError([f"Cannot run {path}: {why}"]) from error
    text = result.stdout.decode("utf-8", "replace")
    if result.returncode != 0 or f"Usage: {CLI_NAME} convert" not in text:
        raise CliError([f"{path} is not {CLI_NAME}: its 'convert --help' does not answer as "
                        f"{CLI_NAME} does"])
    missing = [word for word in _REQUIRED_HELP if word not in text]
    if missing:
        raise CliError([f"{path} is too old for the VORNA add-on: its convert command lacks "
                        f"{', '.join(missing)}; install a newer VORNA"])
    return Cli(path, _SKELETON_OPTION.search(text) is not None)


def _lines(data):
    """vorna-cli's messages, one line each: a message starts with "VORNA: " or "vorna-cli: ",
    and the lines of a message box's text that follow it are joined to it."""
    messages = []
    for line in data.decode("utf-8", "replace").splitlines():
        line = line.strip()
        if not line:
            continue
        if messages and not line.startswith(("VORNA: ", f"{CLI_NAME}: ")):
            messages[-1] += " " + line
        else:
            messages.append(line)
    return messages
