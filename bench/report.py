#!/usr/bin/env python3
"""Prints one table from the Google Benchmark JSON files that scripts/bench.sh writes.

usage: report.py DIR   (DIR holds loader.json, xexport.json, gltfexport.json, xreader.json,
                        view.json, render.json, materials.json, preview.json, gob.json,
                        browser.json, gamecheck.json, keys.json and anim.json; a missing file leaves its
                        rows empty)
"""
import json
import os
import sys

REAL = 1  # MB of the model of real size
BIG = 100  # MB of the large model
SIZES = (1, 10, 100)


def load(directory):
    runs = {}
    for name in ("loader", "xexport", "gltfexport", "xreader", "view", "render", "materials",
                 "preview", "gob", "browser", "gamecheck", "keys", "anim"):
        path = os.path.join(directory, name + ".json")
        if not os.path.exists(path):
            continue
        with open(path) as f:
            data = json.load(f)
        for b in data.get("benchmarks", []):
            if b.get("run_type", "iteration") != "iteration" or b.get("error_occurred"):
                continue
            # "BM_Parse3DOFile/100/min_time:2.000/real_time" -> ("BM_Parse3DOFile", "100")
            parts = [p for p in b["name"].split("/")
                     if ":" not in p and p not in ("real_time", "manual_time")]
            runs["/".join(parts)] = b
    return runs


# Wall-clock time decides the targets; "cpu" gives the same figure from the measuring
# thread's CPU time, which shows what a busy machine took away (meaningful only for the
# single-threaded benchmarks).
CLOCK = "real_time"


def seconds(b, clock=None):
    unit = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[b.get("time_unit", "ns")]
    return b[clock or CLOCK] * unit


def mbps(b, clock=None):
    if not b or "bytes_per_second" not in b:
        return None
    # bytes_per_second is over real time (the benchmarks use UseRealTime).
    return b["bytes_per_second"] * seconds(b, "real_time") / seconds(b, clock) / 1e6


def fps(b, clock=None):
    return 1.0 / seconds(b, clock) if b else None


def ms(b, clock=None):
    return seconds(b, clock) * 1e3 if b else None


def fmt(v, digits=1):
    return "-" if v is None else f"{v:,.{digits}f}"


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    runs = load(sys.argv[1])
    get = runs.get
    rows = []  # (measure, wall value, cpu value, target, verdict)

    def row(measure, value, digits, target="", ok=None, cpu=None):
        verdict = "" if ok is None else ("met" if ok else "MISSED")
        if value is None and ok is not None:
            verdict = "not measured"
        rows.append((measure, fmt(value, digits), fmt(cpu, digits) if cpu is not None else "",
                     target, verdict))

    load_big = get(f"BM_Parse3DOFile/{BIG}")
    bare_big = get(f"BM_BareNumberPass/{BIG}")
    v = mbps(load_big)
    row(f"Loader, {BIG} MB .3do (MB/s)", v, 0, ">= 250", v is not None and v >= 250,
        mbps(load_big, "cpu_time"))
    r = seconds(load_big) / seconds(bare_big) if load_big and bare_big else None
    rc = (seconds(load_big, "cpu_time") / seconds(bare_big, "cpu_time")
          if load_big and bare_big else None)
    row("  bare from_chars pass over the same bytes (MB/s)", mbps(bare_big), 0, cpu=mbps(bare_big, "cpu_time"))
    row("  loader time / bare pass time", r, 2, "<= 2", r is not None and r <= 2, rc)
    peak = None
    if load_big:
        peak = load_big["peak_MB"] / load_big["file_MB"]
    row("  peak memory added by loading / file size", peak, 2, "<= 1", peak is not None and peak <= 1)
    if load_big:
        whole = load_big["process_peak_MB"] / load_big["file_MB"]
        row("  whole process peak / file size", whole, 2)

    write_big = get(f"BM_WriteX/{BIG}")
    bare_write = get(f"BM_BareToChars/{BIG}")
    row(f".X writer, {BIG} MB model (MB of .X/s)", mbps(write_big), 0,
        cpu=mbps(write_big, "cpu_time"))
    row("  bare to_chars pass over the same numbers (MB/s)", mbps(bare_write), 0,
        cpu=mbps(bare_write, "cpu_time"))
    r = seconds(write_big) / seconds(bare_write) if write_big and bare_write else None
    rc = (seconds(write_big, "cpu_time") / seconds(bare_write, "cpu_time")
          if write_big and bare_write else None)
    row("  writer time / bare pass time", r, 2, "<= 2", r is not None and r <= 2, rc)
    wf = get(f"BM_WriteXFile/{BIG}")
    row("  writer to a file (MB/s)", mbps(wf), 0, cpu=mbps(wf, "cpu_time"))

    gf = get(f"BM_WriteGltfFile/{BIG}")
    v = seconds(gf) if gf else None
    row(f"glTF writer, {BIG} MB model to .glb file (s)", v, 2, "<= 2", v is not None and v <= 2,
        seconds(gf, "cpu_time") if gf else None)

    rf = get(f"BM_ReadXFile/{BIG}")
    v = mbps(rf)
    row(f".X reader, .X of the {BIG} MB model, from file (MB/s)", v, 0, ">= 200",
        v is not None and v >= 200, mbps(rf, "cpu_time"))
    rd = get(f"BM_ReadXData/{BIG}")
    row("  from bytes in memory (MB/s)", mbps(rd), 0, cpu=mbps(rd, "cpu_time"))

    for driver in ("software", "opengl"):
        for mb, target in ((REAL, 300), (BIG, 10)):
            v = fps(get(f"PreviewFrames/{driver}/{mb}"))
            b = get(f"PreviewFrames/{driver}/{mb}")
            faces = f", {int(b['faces']):,} faces" if b and "faces" in b else ""
            size = f" {int(b['width'])}x{int(b['height'])}" if b and "width" in b else ""
            label = f"Preview fps, {driver}, {mb} MB model{faces}{size}"
            if driver == "software":
                row(label, v, 0, f">= {target}", v is not None and v >= target)
            else:
                row(label, v, 0)
    b = get(f"PreviewFrames/software-textured/{REAL}")
    v = fps(b)
    size = f" {int(b['width'])}x{int(b['height'])}" if b and "width" in b else ""
    row(f"Preview fps, software, textured, {REAL} MB model{size}", v, 0, ">= 500",
        v is not None and v >= 500)
    v = fps(get(f"PreviewFrames/opengl-textured/{REAL}"))
    row(f"Preview fps, OpenGL, textured, {REAL} MB model", v, 0)
    v = fps(get(f"BM_RenderModelTextured/{REAL}"))
    row(f"Software frames, textured, {REAL} MB model, 505x377, no window (fps)", v, 0, ">= 500",
        v is not None and v >= 500)
    v = fps(get(f"BM_RenderModel/{REAL}"))
    row("  the same untextured (fps)", v, 0)
    b = get(f"BM_LoadModelLooks/{REAL}")
    v = ms(b)
    row(f"Materials of the {REAL} MB model (17) found, decoded, laid on faces (ms)", v, 2, "< 10",
        v is not None and v < 10, ms(b, "cpu_time") if b else None)
    b = get(f"PreviewMemoryAfterClose/{BIG}")
    v = b["after_mb"] if b else None
    row(f"Memory after a {BIG} MB model's preview is closed and a {REAL} MB model opened (MB)", v,
        0, "<= 200", v is not None and v <= 200)
    row(f"  while the {BIG} MB model's preview was open (MB)", b["open_mb"] if b else None, 0)
    for driver in ("software", "opengl"):
        v = ms(get(f"FileToFirstFrame/{driver}/{BIG}"))
        if driver == "software":
            row(f"Open {BIG} MB .3do to first frame, {driver} (ms)", v, 0, "< 2000",
                v is not None and v < 2000)
        else:
            row(f"Open {BIG} MB .3do to first frame, {driver} (ms)", v, 0)
    for mb in (REAL, BIG):
        b = get(f"BM_PaintFront/{mb}")
        v = ms(b)
        if mb == BIG:
            row(f"View repaint, front, {mb} MB model (ms)", v, 1, "< 500", v is not None and v < 500,
                ms(b, "cpu_time") if b else None)
        else:
            row(f"View repaint, front, {mb} MB model (ms)", v, 2, cpu=ms(b, "cpu_time") if b else None)
        b = get(f"BM_PaintTopWithVertices/{mb}")
        row(f"View repaint, top with vertices, {mb} MB model (ms)", ms(b), 2,
            cpu=ms(b, "cpu_time") if b else None)

    gob = get("BM_OpenGob")
    v = ms(gob)
    row("Open a GOB of 20,000 entries, index read (ms)", v, 2, "<= 20", v is not None and v <= 20,
        ms(gob, "cpu_time") if gob else None)
    v = gob["memory_ratio"] if gob else None
    row("  index memory / index bytes", v, 2, "<= 2", v is not None and v <= 2)
    row("  heap growth while open / index bytes", gob["heap_ratio"] if gob else None, 2)

    b = get("BrowserThumbnails/1000")
    v = b["first_screen_ms"] if b else None
    row("Archive browser, 1,000 models: first screenful of thumbnails (ms)", v, 0, "<= 1000",
        v is not None and v <= 1000)
    v = b["all_ms"] if b else None
    row("  all 1,000 thumbnails (ms)", v, 0, "<= 10000", v is not None and v <= 10000)
    threads = int(b['threads']) if b else 0
    shown = (f" ({int(b['screenful'])} rows, {threads} drawing thread{'s' if threads != 1 else ''})"
             if b else "")
    row(f"  longest gap between paints meanwhile (ms){shown}",
        b["longest_paint_gap_ms"] if b else None, 1)

    check_big = get(f"BM_CheckModel/{BIG}")
    v = ms(check_big)
    row(f"Game check, {BIG} MB model loaded, 17 materials found (ms)", v, 1,
        cpu=ms(check_big, "cpu_time") if check_big else None)
    r = seconds(check_big) / seconds(load_big) if check_big and load_big else None
    rc = (seconds(check_big, "cpu_time") / seconds(load_big, "cpu_time")
          if check_big and load_big else None)
    row("  check time / load time", r, 3, "< 0.5", r is not None and r < 0.5, rc)

    b = get("BM_PoseAt64Nodes")
    v = seconds(b) * 1e6 if b else None
    row("Key pose, 64 nodes evaluated and composed (us)", v, 2, "< 10", v is not None and v < 10,
        seconds(b, "cpu_time") * 1e6 if b else None)
    b = get("BM_ReadKey1MB")
    v = ms(b)
    size = f" ({b['file_MB']:.2f} MB)" if b else ""
    row(f"Key read, 1 MB .key{size} (ms)", v, 2, "< 10", v is not None and v < 10,
        ms(b, "cpu_time") if b else None)
    bare, keyed = get("BM_WriteGlbWithKey/0"), get("BM_WriteGlbWithKey/1")
    v = ms(keyed) - ms(bare) if bare and keyed else None
    row("glTF, a 100-frame key of 64 nodes on top of its model's .glb (ms)", v, 2, "< 50",
        v is not None and v < 50,
        ms(keyed, "cpu_time") - ms(bare, "cpu_time") if bare and keyed else None)
    row("  the 64-node model alone to .glb (ms)", ms(bare), 2, cpu=ms(bare, "cpu_time") if bare else None)

    for mb, share in ((REAL, 0.9), (BIG, 0.5)):
        b = get(f"BM_AnimatedShare/{mb}")
        row(f"Preview scene, software, {mb} MB model, no window: still (fps)",
            b["still_fps"] if b else None, 0)
        row("  animated, every node turned, the still picture (fps)",
            b["animated_fps"] if b else None, 0)
        r = b["share"] if b else None
        row("  animated / still, frames in turns", r, 2, f">= {share:.2f}",
            r is not None and r >= share, b["share_cpu"] if b else None)
        b = get(f"BM_SwingingShare/{mb}")
        row("  animated, every node swinging: another picture (fps)",
            b["animated_fps"] if b else None, 0)
        row("  swinging / still", b["share"] if b else None, 2,
            cpu=b["share_cpu"] if b else None)
    for mb in (REAL, BIG):
        b = get(f"BM_PoseLaidOn/{mb}")
        row(f"A pose laid on the {mb} MB model alone (switch or scrub, ms)", ms(b), 2,
            cpu=ms(b, "cpu_time") if b else None)

    head = ("Measure", "Wall clock", "By CPU time", "Target", "")
    widths = [max(len(r[i]) for r in rows + [head]) for i in range(5)]
    line = "| {:<{}} | {:>{}} | {:>{}} | {:<{}} | {:<{}} |"

    def show(r):
        print(line.format(*[x for pair in zip(r, widths) for x in pair]))

    show(head)
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in rows:
        show(r)

    # Growth with model size.
    print()
    print("| Model | .3do MB | faces | load ms | write .X ms | write .glb ms | read .X ms "
          "| first frame ms | software fps | view repaint ms |")
    print("|---|---|---|---|---|---|---|---|---|---|")
    for mb in SIZES:
        lb = get(f"BM_Parse3DOFile/{mb}")
        faces = f"{int(lb['faces']):,}" if lb else "-"
        size = fmt(lb["file_MB"], 1) if lb else "-"
        print(f"| {mb} MB | {size} | {faces} | {fmt(ms(lb), 1)} | "
              f"{fmt(ms(get(f'BM_WriteXFile/{mb}')), 1)} | "
              f"{fmt(ms(get(f'BM_WriteGltfFile/{mb}')), 1)} | {fmt(ms(get(f'BM_ReadXFile/{mb}')), 1)} | "
              f"{fmt(ms(get(f'FileToFirstFrame/software/{mb}')), 0)} | "
              f"{fmt(fps(get(f'PreviewFrames/software/{mb}')), 0)} | "
              f"{fmt(ms(get(f'BM_PaintFront/{mb}')), 2)} |")
    missed = [r for r in rows if r[4] in ("MISSED", "not measured")]
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main())
