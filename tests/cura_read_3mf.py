# Reads a 3MF file as Cura's 3MF reader does (Savitar on 3D/3dmodel.model, one node per build
# item, "cura:" settings of each object's metadata group), writes each node's triangles, placed
# by its build item's transform as Cura places them, as binary STL (DIR/<k>.stl) and prints the
# nodes as JSON: name, stl, settings.
import json, struct, sys, zipfile

import Savitar

path, out = sys.argv[1], sys.argv[2]
scene = Savitar.ThreeMFParser().parse(zipfile.ZipFile(path).open("3D/3dmodel.model").read())
nodes = []
for k, node in enumerate(scene.getSceneNodes()):
    data = node.getMeshData().getFlatVerticesAsBytes()
    # Row vectors: (x y z 1) times the 4 x 3 matrix "m00 m01 m02 m10 ... m32".
    m = [float(v) for v in (node.getTransformation() or "1 0 0 0 1 0 0 0 1 0 0 0").split()]
    points = struct.unpack("<%df" % (len(data) // 4), data)
    placed = []
    for p in range(0, len(points), 3):
        x, y, z = points[p:p + 3]
        placed += [x * m[c] + y * m[3 + c] + z * m[6 + c] + m[9 + c] for c in range(3)]
    data = struct.pack("<%df" % len(placed), *placed)
    stl = "%s/%d.stl" % (out, k)
    with open(stl, "wb") as f:
        f.write(bytes(80) + struct.pack("<I", len(data) // 36))
        for t in range(0, len(data), 36):
            f.write(bytes(12) + data[t:t + 36] + bytes(2))
    settings = {key: entry.value for key, entry in node.getSettings().items()}
    nodes.append({"name": node.getName(), "stl": stl, "settings": settings})
print(json.dumps({"unit": scene.getUnit(), "nodes": nodes}))
