"""Prints what ezdxf reads from a DXF file's 3DFACE entities, for the interop tests.

One line per 3DFACE in modelspace order: "F", the layer and the twelve corner coordinates; then
one line per run of consecutive 3DFACEs on one layer: "P", the layer, the number of faces and
the number of distinct corner positions. Coordinates are taken in single precision, as models
hold them, and printed with six decimals. Fields are separated by tabs. Exit status 2 when it cannot
be read even with repairs.
"""
import struct
import sys

from ezdxf import recover


def single(value):
    return struct.unpack("<f", struct.pack("<f", value))[0]


def main(path):
    try:
        doc = recover.readfile(path)[0]
    except Exception as error:  # any refusal is a failed read here
        print(f"cannot read: {error}", file=sys.stderr)
        return 2
    runs = []
    for face in doc.modelspace().query("3DFACE"):
        corners = [tuple(single(c) for c in face.dxf.get(f"vtx{k}")) for k in range(4)]
        print("\t".join(["F", face.dxf.layer] + ["%.6f" % c for corner in corners for c in corner]))
        if not runs or runs[-1][0] != face.dxf.layer:
            runs.append([face.dxf.layer, 0, set()])
        runs[-1][1] += 1
        runs[-1][2].update(corners)
    for layer, faces, positions in runs:
        print(f"P\t{layer}\t{faces}\t{len(positions)}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
