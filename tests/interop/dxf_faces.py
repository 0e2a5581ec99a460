"""Prints what ezdxf reads from a DXF file's 3DFACE entities, for the interop tests.

One line per 3DFACE in modelspace order: "F", the layer and the twelve corner coordinates.
Then one line per run of consecutive 3DFACEs on one layer: "P", the layer, the number of faces
and the number of distinct corner positions (compared in single precision, as models hold them).
Fields are separated by tabs. Exit status 2 when the file cannot be read.
"""
import struct
import sys

import ezdxf
from ezdxf import recover


def single(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def main(path, strict):
    try:
        if strict:
            doc = ezdxf.readfile(path)
        else:
            doc, _ = recover.readfile(path)
    except Exception as error:  # any refusal is a failed read here
        print(f"cannot read: {error}", file=sys.stderr)
        return 2
    runs = []
    for face in doc.modelspace().query("3DFACE"):
        corners = [face.dxf.get(name) for name in ("vtx0", "vtx1", "vtx2", "vtx3")]
        coordinates = [repr(float(c)) for corner in corners for c in corner]
        print("\t".join(["F", face.dxf.layer] + coordinates))
        if not runs or runs[-1][0] != face.dxf.layer:
            runs.append([face.dxf.layer, 0, set()])
        runs[-1][1] += 1
        for corner in corners:
            runs[-1][2].add(tuple(single(c) for c in corner))
    for layer, faces, positions in runs:
        print("\t".join(["P", layer, str(faces), str(len(positions))]))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], len(sys.argv) > 2 and sys.argv[2] == "strict"))
