#!/usr/bin/env bash
# quillmark-cli check: a model exactly at every limit of the game's reader has no finding; models
# that each break one rule have that finding alone, with its code, place and exit status, in
# the text lines and in the JSON alike; materials are found beside the model, in a game folder
# and in an archive; keys are checked against the model; a model that does not load is its
# loader's message; usage errors exit 2.
set -u
cli="$1"
src="$2"
case $cli in /*) ;; *) cli="$PWD/$cli" ;; esac
case $src in /*) ;; *) src="$PWD/$src" ;; esac
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME="$tmp/config"
cd "$tmp" || exit 1

python3 - "$cli" "$src/cli/tests" <<'EOF'
import json, os, struct, subprocess, sys
cli = sys.argv[1]
sys.path.insert(0, sys.argv[2])
import gobwriter

def put(rel, data):
    os.makedirs(os.path.dirname(rel) or ".", exist_ok=True)
    with open(rel, "wb") as f:
        f.write(data if isinstance(data, bytes) else data.replace("\n", "\r\n").encode())
    return rel

def mat(w, h):
    """A one-cel 8-bit texture material, w x h, no mip levels."""
    head = b"MAT " + struct.pack("<IIiiII", 0x32, 2, 1, 1, 0, 8) + bytes(48)
    record = struct.pack("<II4fIIIi", 8, 1, 1, 1, 1, 1, 0, 0, 0, 0)
    return head + record + struct.pack("<6I", w, h, 0, 0, 0, 1) + bytes(w * h)

def mesh(name="m", vertices=3, tex=1, faces=None, k=0):
    """faces: lines after "N:"; by default one triangle of material -1."""
    faces = ["-1 0x0 4 3 0 0.0 3 0,0 1,0 2,0"] if faces is None else faces
    s = f"MESH {k}\nNAME {name}\nRADIUS 1\nGEOMETRYMODE 4\nLIGHTINGMODE 3\nTEXTUREMODE 0\n"
    s += f"VERTICES {vertices}\n" + "".join(f"{i}: {i % 7}.0 {i // 7}.0 0.0 0.0\n" for i in range(vertices))
    s += f"TEXTURE VERTICES {tex}\n" + "".join(f"{i}: {i % 64}.0 0.0\n" for i in range(tex))
    s += f"FACES {len(faces)}\n" + "".join(f"{i}: {f}\n" for i, f in enumerate(faces))
    return s

def model(meshes=None, geosets=1, nodes=None, materials=()):
    meshes = [mesh()] if meshes is None else meshes
    nodes = ["root"] if nodes is None else nodes
    s = f"3DO 2.1\nMATERIALS {len(materials)}\n" + "".join(f"{i}: {m}\n" for i, m in enumerate(materials))
    s += f"RADIUS 1\nINSERT OFFSET 0 0 0\nGEOSETS {geosets}\n"
    for g in range(geosets):
        s += f"GEOSET {g}\nMESHES {len(meshes)}\n" + "".join(meshes)
    s += f"HIERARCHY NODES {len(nodes)}\n"
    for i, name in enumerate(nodes):
        s += f"{i}: 0x0 0x1 {0 if i == 0 else -1} {-1 if i == 0 else 0} -1 -1 0 0 0 0 0 0 0 0 0 0 {name}\n"
    return s

n31 = "n" * 31
# Every limit exactly: 4 geosets; 512 vertices, 768 texture vertices, 512 faces; 24 corners;
# names of 31 characters (mesh, node, file); 64 nodes; a texture of 64 x 32 found beside it.
corner24 = "0 0x0 4 3 0 0.0 24 " + " ".join(f"{i},{i}" for i in range(24))
tri = "0 0x0 4 3 0 0.0 3 511,767 1,1 2,2"
limits = model([mesh(n31, 512, 768, [corner24] + [tri] * 511), mesh("m" * 30 + "x", k=1)], 4,
               [n31] + [f"node{i}" for i in range(1, 64)], ["t.mat"])
put("limits/" + "a" * 27 + ".3do", limits)
put("limits/mat/t.mat", mat(64, 32))
gobwriter.write("limits.gob", gobwriter.archive([(b"3do\\limits.3do", limits.replace("\n", "\r\n").encode()),
                                                 (b"3do\\mat\\t.mat", mat(64, 32))]))

ok = "-1 0x0 4 3 0 0.0 3 0,0 1,0 2,0"
put("one/mesh-vertices.3do", model([mesh(vertices=513)]))
put("one/mesh-texture-vertices.3do", model([mesh(tex=769)]))
put("one/mesh-faces.3do", model([mesh(faces=[ok] * 513)]))
put("one/face-corners.3do", model([mesh(vertices=25, faces=[ok,
    "-1 0x0 4 3 0 0.0 25 " + " ".join(f"{i},0" for i in range(25))])]))
put("one/no-corners.3do", model([mesh(faces=[ok, "-1 0x0 4 3 0 0.0 0"])]))
put("one/geosets.3do", model(geosets=5))
put("one/node-name-length.3do", model(nodes=["root", n31 + "x"]))
put("one/material-index.3do", model([mesh(faces=["0 0x0 4 3 0 0.0 3 0,0 1,0 2,0"])]))
put("one/vertex-index.3do", model([mesh(), mesh(faces=["-1 0x0 4 3 0 0.0 3 0,0 1,0 3,0"], k=1)]))
put("one/texture-vertex-index.3do", model([mesh(faces=["-1 0x0 4 3 0 0.0 3 0,0 1,1 2,0"])]))
put("one/mesh-name-length.3do", model([mesh(n31 + "x")]))
put("one/mesh-name-collision.3do", model([mesh(n31 + "a"), mesh(n31 + "b", k=1)]))
put("one/material-missing.3do", model(materials=["gone.mat"]))
put("one/material-unreadable.3do", model(materials=["bad.mat"]))
put("one/mat/bad.mat", b"MAT " + bytes(72))
put("one/texture-size.3do", model(materials=["odd.mat"]))
put("one/mat/odd.mat", mat(64, 48))
put("one/hierarchy-nodes.3do", model(nodes=[f"n{i}" for i in range(65)]))
put("one/" + "f" * 28 + ".3do", model())
put("one/bad-number.3do", model().replace("GEOSETS 1", "GEOSETS 0x1"))
put("one/too-many-corners.3do", model([mesh(faces=["-1 0x0 4 3 0 0.0 257" + " 0,0" * 257])]))
put("game/resource/mat/gone.mat", mat(32, 32))

fail = False
def run(args, expect_exit, expected, what):
    """expected: (severity, code, geoset, mesh, face, node), None where a place does not apply."""
    global fail
    text = subprocess.run([cli, "check"] + args, capture_output=True)
    js = subprocess.run([cli, "check", "--json"] + args, capture_output=True)
    problems = []
    if text.returncode != expect_exit or js.returncode != expect_exit:
        problems.append(f"exit {text.returncode}/{js.returncode}, expected {expect_exit}")
    try:
        j = json.loads(js.stdout)
        got = [(sev[:-1], f["code"], f.get("geoset"), f.get("mesh"), f.get("face"), f.get("node"))
               for sev in ("errors", "warnings") for f in j[sev]]
        if sorted(j) != ["errors", "warnings"] or got != expected:
            problems.append(f"JSON {got}")
        lines = text.stdout.decode().splitlines()
        errors = sum(1 for e in expected if e[0] == "error")
        want = [f"{f[0]}: {m['message']}" for f, m in zip(got, j["errors"] + j["warnings"])]
        if lines != want + [f"{errors} errors, {len(expected) - errors} warnings"]:
            problems.append(f"text {lines}")
    except (ValueError, KeyError) as e:
        problems.append(f"{e}: {js.stdout!r}")
    if text.stderr or js.stderr:
        problems.append(f"stderr {text.stderr!r}")
    if problems:
        print(f"FAIL: {what}: " + "; ".join(problems))
        fail = True
    return text.stdout.decode()

def one(code, severity="error", g=0, m=0, f=None, n=None, args=()):
    run([f"one/{code}.3do", *args], 1 if severity == "error" else 0, [(severity, code, g, m, f, n)], code)

out = run(["limits/" + "a" * 27 + ".3do"], 0, [], "every limit exactly")
if out != "0 errors, 0 warnings\n":
    print("FAIL: every limit exactly: " + out); fail = True
run(["--archive", "limits.gob", "limits.3do"], 0, [], "every limit exactly, in an archive")

out = run(["one/mesh-vertices.3do"], 1, [("error", "mesh-vertices", 0, 0, None, None)], "mesh-vertices")
if out != ("error: geoset 0, mesh 0 'm' has 513 vertices; the game refuses a mesh of more than 512: "
           "the model fails to load\n1 errors, 0 warnings\n"):
    print("FAIL: the text of a finding: " + out); fail = True
one("mesh-texture-vertices")
one("mesh-faces")
one("face-corners", f=1)
run(["one/no-corners.3do"], 1, [("error", "face-corners", 0, 0, 1, None)], "a face without corners")
one("geosets", g=None, m=None)
one("node-name-length", g=None, m=None, n=1)
one("material-index", f=0)
one("vertex-index", m=1, f=0)
one("texture-vertex-index", f=0)
one("mesh-name-length", "warning")
run(["one/mesh-name-collision.3do"], 0, [("warning", "mesh-name-length", 0, 0, None, None),
    ("warning", "mesh-name-length", 0, 1, None, None), ("warning", "mesh-name-collision", 0, 1, None, None)],
    "mesh-name-collision")
one("material-missing", "warning", g=None, m=None)
run(["one/material-missing.3do", "--game", "game"], 0, [], "a material found in the game folder")
one("material-unreadable", "warning", g=None, m=None)
one("texture-size", "warning", g=None, m=None)
one("hierarchy-nodes", "warning", g=None, m=None)
run(["one/" + "f" * 28 + ".3do"], 0, [("warning", "file-name-length", None, None, None, None)], "file-name-length")

# A model the loader refuses is one error: the loader's message.
for name, message in (("bad-number", "'0x1' is not a valid integer value"),
                      ("too-many-corners", "Face has more than 256 vertices"),
                      ("nowhere", "File not found")):
    out = run([f"one/{name}.3do"], 1, [("error", "load", None, None, None, None)], name)
    if out != f"error: {message}\n1 errors, 0 warnings\n":
        print(f"FAIL: {name}: {out}"); fail = True

# Keys against the model (root, node1): a node beyond it, kept by the reader or left out, is an
# error; another JOINTS and another name are warnings; a key that fits has no finding.
def key(joints, nodes):
    s = f"SECTION: HEADER\nFLAGS 0x0\nTYPE 0xFFFF\nFRAMES 2\nFPS 10\nJOINTS {joints}\n"
    s += f"SECTION: KEYFRAME NODES\nNODES {len(nodes)}\n"
    for k, name in nodes:
        s += f"NODE {k}\nMESH NAME {name}\nENTRIES 1\n0: 0 0x0 0 0 0 0 0 0\n0 0 0 0 0 0\n"
    return s
put("one/keyed.3do", model(nodes=["root", "node1"]))
put("one/3do/key/fits.key", key(2, [(0, "root"), (1, "node1")]))
put("one/beyond.key", key(3, [(2, "extra")]))
put("one/leftout.key", key(2, [(0, "root"), (5, "far")]))
put("one/other.key", key(4, [(1, "arm")]))
run(["one/keyed.3do", "--key", "fits.key"], 0, [], "a key that fits, found as the game finds it")
run(["one/keyed.3do", "--key", "one/beyond.key", "--key", "one/other.key"], 1,
    [("error", "key-node", None, None, None, 2), ("warning", "key-joints", None, None, None, None),
     ("warning", "key-joints", None, None, None, None), ("warning", "key-node-name", None, None, None, 1)],
    "keys beyond the model and named otherwise")
r = subprocess.run([cli, "check", "--json", "one/keyed.3do", "--key", "one/leftout.key"], capture_output=True)
if r.returncode != 1 or [f["node"] for f in json.loads(r.stdout)["errors"]] != [5] or b"outside" not in r.stderr:
    print(f"FAIL: a key node the reader leaves out: {r.returncode} {r.stdout!r} {r.stderr!r}"); fail = True
r = subprocess.run([cli, "check", "one/keyed.3do", "--key", "nowhere"], capture_output=True)
if r.returncode != 1 or b"Key not found: nowhere" not in r.stderr:
    print(f"FAIL: a key not found: {r.returncode} {r.stderr!r}"); fail = True

# Usage errors.
for args in ([], ["one/geosets.3do", "--bogus"], ["a.3do", "b.3do"], ["one/geosets.3do", "--game"]):
    r = subprocess.run([cli, "check"] + args, capture_output=True)
    if r.returncode != 2 or b"usage: quillmark-cli check MODEL.3do" not in r.stderr:
        print(f"FAIL: usage {args}: {r.returncode} {r.stderr!r}"); fail = True
sys.exit(1 if fail else 0)
EOF
