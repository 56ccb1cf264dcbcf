# Reads a 3MF file as Cura's 3MF reader does (Savitar on 3D/3dmodel.model, one node per build
# item, "cura:" settings of each object's metadata group), writes each node's triangles as
# binary STL (DIR/<k>.stl) and prints the nodes as JSON: name, stl, settings.
import json, struct, sys, zipfile

import Savitar

path, out = sys.argv[1], sys.argv[2]
scene = Savitar.ThreeMFParser().parse(zipfile.ZipFile(path).open("3D/3dmodel.model").read())
nodes = []
for k, node in enumerate(scene.getSceneNodes()):
    data = node.getMeshData().getFlatVerticesAsBytes()
    stl = "%s/%d.stl" % (out, k)
    with open(stl, "wb") as f:
        f.write(bytes(80) + struct.pack("<I", len(data) // 36))
        for t in range(0, len(data), 36):
            f.write(bytes(12) + data[t:t + 36] + bytes(2))
    settings = {key: entry.value for key, entry in node.getSettings().items()}
    nodes.append({"name": node.getName(), "stl": stl, "settings": settings})
print(json.dumps({"unit": scene.getUnit(), "nodes": nodes}))
