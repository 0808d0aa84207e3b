#!/usr/bin/env bash
# quillmark-cli pose, keys and convert --key on the walker and its walk: every node's pose and
# every glTF sample against an evaluator of our own written from the format notes, keys found by
# path, beside the model, in its archive and in the game folder, and keys that do not fit or do
# not read.
set -u
cli="$1"
source="$2"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0
check() { if ! eval "$2"; then echo "FAIL: $1"; fail=1; fi; }
export XDG_CONFIG_HOME="$tmp/config"
samples="$source/samples"

# The evaluator: the last entry at or before t, extrapolated with its own changes; t wraps at
# FRAMES; J = J_parent T(pos) Rz(yaw) Rx(pitch) Ry(roll). It reads the sample's tidy text only.
cat >"$tmp/reference.py" <<'PY'
import json, math, sys

def hierarchy(path):
    lines = open(path, encoding="latin-1").read().splitlines()
    at = next(i for i, l in enumerate(lines) if l.strip().upper().startswith("HIERARCHY NODES"))
    count = int(lines[at].split()[2])
    nodes = []
    for l in lines[at + 1:]:
        w = l.split()
        if len(w) >= 18 and w[0].endswith(":"):
            nodes.append({"parent": int(w[4]), "pos": [float(x) for x in w[8:11]],
                          "rot": [float(x) for x in w[11:14]], "name": w[17]})
    assert len(nodes) == count
    return nodes

def key(path):
    words = [l.split("#")[0].split() for l in open(path).read().splitlines()]
    words = [w for w in words if w]
    k = {"nodes": {}}
    i = 0
    while i < len(words):
        w = words[i]
        if w[0] in ("FRAMES", "JOINTS"):
            k[w[0]] = int(w[1])
        elif w[0] == "FPS":
            k["FPS"] = float(w[1])
        elif w[0] == "NODE":
            index, count = int(w[1]), int(words[i + 2][1])
            entries = []
            for e in range(count):
                a, d = words[i + 3 + 2 * e], words[i + 4 + 2 * e]
                entries.append((float(a[1]), int(a[2], 16), [float(x) for x in a[3:9]],
                                [float(x) for x in d[:6]]))
            k["nodes"][index] = entries
            i += 2 + 2 * count
        i += 1
    return k

def evaluate(entries, t):
    chosen = entries[0]
    for e in entries:
        if e[0] <= t:
            chosen = e
    frame, flags, v, d = chosen
    pos = [v[a] + (d[a] * (t - frame) if flags & 1 else 0) for a in range(3)]
    rot = [v[3 + a] + (d[3 + a] * (t - frame) if flags & 2 else 0) for a in range(3)]
    return pos, rot

def rotation(pitch, yaw, roll):
    p, y, r = (math.radians(a) for a in (pitch, yaw, roll))
    rz = [[math.cos(y), -math.sin(y), 0], [math.sin(y), math.cos(y), 0], [0, 0, 1]]
    rx = [[1, 0, 0], [0, math.cos(p), -math.sin(p)], [0, math.sin(p), math.cos(p)]]
    ry = [[math.cos(r), 0, math.sin(r)], [0, 1, 0], [-math.sin(r), 0, math.cos(r)]]
    mul = lambda a, b: [[sum(a[i][k] * b[k][j] for k in range(3)) for j in range(3)] for i in range(3)]
    return mul(rz, mul(rx, ry))

def pose(nodes, k, t):
    if k:
        t = t - k["FRAMES"] * math.floor(t / k["FRAMES"])
    local = []
    for i, n in enumerate(nodes):
        if k and i in k["nodes"]:
            local.append(evaluate(k["nodes"][i], t))
        else:
            local.append((n["pos"], n["rot"]))
    joints = []
    for i, n in enumerate(nodes):
        pos, rot = local[i]
        r = rotation(*rot)
        m = [r[row] + [pos[row]] for row in range(3)]
        if n["parent"] >= 0:
            p = joints[n["parent"]]
            m = [[sum(p[row][k] * m[k][col] for k in range(3)) + (p[row][3] if col == 3 else 0)
                  for col in range(4)] for row in range(3)]
        joints.append(m)
    return t, local, joints

def close(a, b, tolerance=1e-9):
    return abs(a - b) <= tolerance * max(1, abs(b))

mode = sys.argv[1]
nodes = hierarchy(sys.argv[2])
if mode == "pose":
    # pose MODEL (KEY|- T JSON)...: each of the command's JSON against the reference (the frame
    # reported wrapped, as the reference wraps it).
    args = sys.argv[3:]
    for at in range(0, len(args), 3):
        k = key(args[at]) if args[at] != "-" else None
        t, local, joints = pose(nodes, k, float(args[at + 1]))
        got = json.load(open(args[at + 2]))
        assert close(got["frame"], t), (args[at + 1], got["frame"], t)
        assert len(got["nodes"]) == len(nodes)
        for i, g in enumerate(got["nodes"]):
            assert g["index"] == i and g["name"] == nodes[i]["name"], g
            assert all(close(a, b) for a, b in zip(g["position"], local[i][0])), (i, g, local[i])
            assert all(close(a, b) for a, b in zip(g["rotation"], local[i][1])), (i, g, local[i])
            flat = [v for row in joints[i] for v in row]
            assert len(g["matrix"]) == 12 and all(close(a, b) for a, b in zip(g["matrix"], flat)), (i, g)
elif mode == "gltf":
    # gltf MODEL KEY FILE.glb: every sample of the animation against the reference.
    k = key(sys.argv[3])
    data = open(sys.argv[4], "rb").read()
    import struct
    length = struct.unpack_from("<I", data, 12)[0]
    doc = json.loads(data[20:20 + length])
    binary = data[20 + length + 8:]
    def floats(accessor, width):
        a = doc["accessors"][accessor]
        view = doc["bufferViews"][a["bufferView"]]
        start = view.get("byteOffset", 0) + a.get("byteOffset", 0)
        return [struct.unpack_from("<%df" % width, binary, start + 4 * width * e)
                for e in range(a["count"])]
    (animation,) = doc["animations"]
    assert animation["name"] == "walk"
    assert animation["extras"]["markers"] == [{"frame": 12.0, "type": 1}, {"frame": 36.0, "type": 2}]
    assert len(animation["channels"]) == 2 * len(k["nodes"])
    for channel in animation["channels"]:
        sampler = animation["samplers"][channel["sampler"]]
        node, path = channel["target"]["node"], channel["target"]["path"]
        times = floats(sampler["input"], 1)
        values = floats(sampler["output"], 3 if path == "translation" else 4)
        assert len(times) == k["FRAMES"] + 1
        for f, (time,) in enumerate(times):
            assert abs(time - f / k["FPS"]) < 1e-6
            t = f % k["FRAMES"]
            pos, rot = evaluate(k["nodes"][node], t)
            if path == "translation":
                assert all(abs(a - b) < 1e-6 for a, b in zip(values[f], pos)), (node, f)
            else:
                x, y, z, w = values[f]
                m = rotation(*rot)
                q = [[1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)],
                     [2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)],
                     [2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)]]
                assert all(abs(q[i][j] - m[i][j]) < 1e-5 for i in range(3) for j in range(3)), (node, f)
print("ok")
PY
ref() { python3 "$tmp/reference.py" "$@" 2>&1 | tail -1; }
walker="$samples/walker.3do"
walk="$samples/key/walk.key"

# pose: the rest pose; the walk found beside the model, at whole frames, between them, past the
# end and before the start.
"$cli" pose "$walker" --frame 2.5 >"$tmp/rest.json" 2>"$tmp/err"
check "pose without a key: exit 0, quiet" "[ $? -eq 0 ] && [ ! -s $tmp/err ]"
poses=(- 2.5 "$tmp/rest.json")
for t in 0 12 13.5 30 47.75 48 61.25 -1; do
    "$cli" pose "$walker" --key walk.key --frame "$t" >"$tmp/p$t.json" 2>"$tmp/err"
    check "pose --frame $t: exit 0, quiet" "[ $? -eq 0 ] && [ ! -s $tmp/err ]"
    poses+=("$walk" "$t" "$tmp/p$t.json")
done
check "the rest pose and the walk's at every frame asked are the reference's" \
    "[ \"\$(ref pose $walker ${poses[*]})\" = ok ]"
"$cli" pose "$walker" --key "$walk" --frame 13.5 >"$tmp/by_path.json"
"$cli" pose --archive "$samples/samples.gob" walker.3do --key WALK.KEY --frame 13.5 >"$tmp/by_archive.json"
"$cli" pose "$walker" --key walk.key --frame 13.5 >"$tmp/beside.json"
check "a key by path, beside the model and in the archive: the same pose" \
    "cmp -s $tmp/by_path.json $tmp/beside.json && cmp -s $tmp/by_path.json $tmp/by_archive.json"
mkdir -p "$tmp/alone" "$tmp/game/resource"
cp "$walker" "$tmp/alone/"
cp "$samples/samples.gob" "$tmp/game/resource/"
"$cli" pose "$tmp/alone/walker.3do" --key walk.key --frame 13.5 --game "$tmp/game" >"$tmp/game.json"
check "a key in the game folder's archive" "cmp -s $tmp/by_path.json $tmp/game.json"
"$cli" pose "$tmp/alone/walker.3do" --key walk.key >"$tmp/out" 2>"$tmp/err"
check "a key nowhere: exit 1, named" \
    "[ $? -eq 1 ] && [ \"\$(cat $tmp/err)\" = 'Key not found: walk.key' ] && [ ! -s $tmp/out ]"

# keys: what fits, where it was found; a puppet's table with its keys found and fitting.
"$cli" keys "$walker" >"$tmp/keys.json" 2>"$tmp/err"
check "keys: exit 0, quiet" "[ $? -eq 0 ] && [ ! -s $tmp/err ]"
"$cli" keys "$samples/canister_lod.3do" >"$tmp/none.json"
check "the walk does not fit the canister" "[ \"\$(cat $tmp/none.json)\" = '{\"keys\":[]}' ]"
"$cli" keys --archive "$samples/samples.gob" walker.3do --pup walker.pup >"$tmp/pup.json" 2>"$tmp/err"
check "keys --pup: exit 0, quiet" "[ $? -eq 0 ] && [ ! -s $tmp/err ]"

# convert --key: one animation, every sample the reference's.
"$cli" convert "$walker" "$tmp/walk.glb" --key walk.key 2>"$tmp/err"
check "convert --key: exit 0, quiet" "[ $? -eq 0 ] && [ ! -s $tmp/err ]"
check "every sample of the animation is the reference's" "[ \"\$(ref gltf $walker $walk $tmp/walk.glb)\" = ok ]"
"$cli" convert "$walker" "$tmp/two.gltf" --key walk.key --key "$walk" 2>"$tmp/err"
check "two keys: exit 0, quiet" "[ $? -eq 0 ] && [ ! -s $tmp/err ]"
# What keys lists, a puppet's table with its keys found and fitting, two animations.
cat >"$tmp/listed.py" <<'PY'
import json, sys
(k,) = json.load(open(sys.argv[1]))["keys"]
assert (k["name"], k["frames"], k["fps"], k["nodes"], k["joints"]) == ("walk.key", 48, 16.0, 9, 9), k
assert k["found"]["path"].replace("\\", "/") == "key/walk.key", k
j = json.load(open(sys.argv[2]))
assert [m["mode"] for m in j["modes"]] == [0, 1] and j["modes"][1]["basedon"] == 0
walk = j["modes"][1]["actions"][1]
assert (walk["action"], walk["key"], walk["flags"], walk["lowpri"], walk["fits"]) == \
    ("walk", "walk.key", 4, 2, True), walk
# Windows shows the archive it was given with its own separators.
assert walk["found"]["mount"].replace("\\", "/") == sys.argv[3].replace("\\", "/"), walk
assert walk["found"]["path"] == "3do\\key\\walk.key", walk
stand = j["modes"][0]["actions"][0]
assert stand["key"] is None and stand["found"] is None and stand["fits"] is None
assert j["joints"] == [{"bodypart": 0, "node": 2}, {"bodypart": 1, "node": 1}]
assert [a["name"] for a in json.load(open(sys.argv[4]))["animations"]] == ["walk", "walk"]
print("ok")
PY
check "keys, keys --pup and two animations say what they should" \
    "[ \"\$(python3 $tmp/listed.py $tmp/keys.json $tmp/pup.json $samples/samples.gob $tmp/two.gltf 2>&1 | tail -1)\" = ok ]"
"$cli" convert "$walker" "$tmp/walk.x" --key walk.key >"$tmp/out" 2>"$tmp/err"
check "--key with a .X file is a usage error" \
    "[ $? -eq 2 ] && grep -q '^--key needs OUT.glb or OUT.gltf' $tmp/err && [ ! -e $tmp/walk.x ]"

# Keys that do not fit: a node beyond the model is refused, other JOINTS or names are warned of.
key() { # JOINTS NODE NAME
    printf 'SECTION: HEADER\nFLAGS 0\nTYPE 0\nFRAMES 10\nFPS 10\nJOINTS %s\nSECTION: KEYFRAME NODES\nNODES 1\nNODE %s\nMESH NAME %s\nENTRIES 1\n0: 0 0 0 0 0 0 0 0\n0 0 0 0 0 0\n' "$@"
}
key 20 12 hand >"$tmp/beyond.key"
key 18 2 neck >"$tmp/other.key"
"$cli" pose "$walker" --key "$tmp/beyond.key" >"$tmp/out" 2>"$tmp/err"
check "a node beyond the model: refused" \
    "[ $? -eq 1 ] && [ \"\$(cat $tmp/err)\" = \"$tmp/beyond.key: Key node 12 ('hand') is beyond the model's 9 hierarchy nodes\" ]"
"$cli" pose "$walker" --key "$tmp/other.key" >"$tmp/out" 2>"$tmp/err"
check "other JOINTS and names: warnings, the pose all the same" "[ $? -eq 0 ] && [ \"\$(cat $tmp/err)\" = \"warning: $tmp/other.key: The key is for 18 joints; the model has 9 hierarchy nodes
warning: $tmp/other.key: Key node 2 is named 'neck'; the model's node 2 is 'head'\" ]"

# Hostile keys on every command that takes one: a message and exit 1, never a crash or a hang.
key 9 0 '$$$dummy_pelvis' >"$tmp/good.key"
printf 'FLAGS 0\n' >"$tmp/h_noheader.key"
sed 's/FRAMES 10/FRAMES 0/' "$tmp/good.key" >"$tmp/h_zeroframes.key"
printf 'SECTION: HEADER\nFLAGS 0\nTYPE 0\nFRAMES 10\nFPS 10\nJOINTS 9\nSECTION: KEYFRAME NODES\nNODES 1\nNODE 0\nMESH NAME a\nENTRIES 2\n0: 5 0 0 0 0 0 0 0\n0 0 0 0 0 0\n1: 1 0 0 0 0 0 0 0\n0 0 0 0 0 0\n' >"$tmp/h_descending.key"
printf 'SECTION: HEADER\nFLAGS 0\nTYPE 0\nFRAMES 10\nFPS 10\nJOINTS 9\nSECTION: MARKERS\nMARKERS 9\n' >"$tmp/h_markers.key"
sed 's/NODES 1/NODES 2000000000/' "$tmp/good.key" >"$tmp/h_count.key"
head -c 150 "$tmp/good.key" >"$tmp/h_truncated.key"
head -c 100000 /dev/urandom >"$tmp/h_binary.key"
sed 's/FRAMES 10/FRAMES 2000000000/' "$tmp/good.key" >"$tmp/h_frames.key"
for k in "$tmp"/h_*.key; do
    name=$(basename "$k")
    for command in "pose $walker --key $k --frame 3" "convert $walker $tmp/h.glb --key $k" \
        "render $walker $tmp/h.png --key $k --frame 3"; do
        # shellcheck disable=SC2086
        timeout 60 "$cli" $command >"$tmp/out" 2>"$tmp/err"
        rc=$?
        if [ "$name" = h_frames.key ] && [ "${command%% *}" != convert ]; then
            check "$name: ${command%% *} plays a long key" "[ $rc -eq 0 ]"
            rm -f "$tmp/h.png"
            continue
        fi
        check "$name: ${command%% *} ends with a message (exit 1)" "[ $rc -eq 1 ] && [ -s $tmp/err ]"
        check "$name: ${command%% *} leaves no file" "[ ! -e $tmp/h.glb ] && [ ! -e $tmp/h.png ]"
    done
done
"$cli" convert "$walker" "$tmp/h.glb" --key "$tmp/h_frames.key" 2>"$tmp/err"
check "a key too long to export says so" \
    "[ \"\$(cat $tmp/err)\" = \"Animation 'h_frames' has too many frames to export\" ]"
"$cli" pose "$walker" --key "$tmp/h_descending.key" 2>"$tmp/err" >/dev/null
check "a descending key names its file and line" \
    "[ \"\$(cat $tmp/err)\" = \"$tmp/h_descending.key: Key file, line 14: the entry's frame is before the frame of the entry above it\" ]"
# keys skips a broken key in the folder with a word, and lists the rest.
mkdir -p "$tmp/mod/key"
cp "$walker" "$tmp/mod/"
cp "$walk" "$tmp/h_descending.key" "$tmp/mod/key/"
"$cli" keys "$tmp/mod/walker.3do" >"$tmp/out" 2>"$tmp/err"
check "keys skips a broken key with a warning" \
    "[ $? -eq 0 ] && grep -q '\"name\":\"walk.key\"' $tmp/out && grep -q '^warning: Key skipped: .*h_descending.key (Key file, line 14' $tmp/err"

exit $fail
