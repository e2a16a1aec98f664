#!/usr/bin/python3
"""Checks the committed game data against what the game expects of it.

    /usr/bin/python3 tools/assets/check.py [--root DIR] [--regen]

Reads the files with independent parsers (not the generator's writers), so a
writer fault shows here. --regen also runs the generator into a temporary
directory and requires byte-identical output. Exits non-zero on any failure;
the last line reads "N passed, N failed".
"""

import argparse
import struct
import subprocess
import sys
import tempfile
from pathlib import Path

from PIL import Image

HERE = Path(__file__).resolve().parent
WALL = (210, 238, 154)
DESK = (193, 180, 89)
PAPER = (250, 248, 236)
KEY = (192, 192, 192)
RING = (241, 162, 57)

# path, (min frames/s, max), expected ground, exact size or None for "at most 95 x 131"
CLIPS = {
    "base/video/pemik.avi": (WALL, None),
    "base/video/pemik_sit.avi": (WALL, None),
    "base/video/pemik_sit2.avi": (WALL, None),
    "base/video/table.avi": (WALL, (176, 93)),
    "base/video/copybook.avi": (DESK, (121, 89)),
}
MP3S = {"base/sound/pms.mp3": (40, 70), "base/sound/pms2.mp3": (40, 70)}
# The most silence (below -50 dBFS) an MP3 may end with, in seconds: the game starts a repeating
# piece again when it ends, so this is the gap at every repeat.
MP3_TAIL = 0.35
MIDIS = {"base/soundLite/pms.mid": (15, 30), "base/soundLite/pms1.mid": (20, 40)}
ICOS = [f"base/image/Ico/b{i}.ico" for i in range(1, 6)] + ["src/resources/builtin_sheet.ico"]
BMPS = ["base/image/Ico/son.bmp", "base/image/Ico/sof.bmp", "src/resources/builtin_ns.bmp"]
JPEGS = ["base/image/fon.jpg", "src/resources/builtin_fon.jpg"]
APP_ICONS = {size: f"dist/icons/{size}/example.rodvk.pemy.png" for size in (16, 32, 48, 64, 128, 256)}


class Checker:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def case(self, name, fn, *args):
        try:
            fn(*args)
        except AssertionError as e:
            self.failed += 1
            print(f"FAIL {name}: {e}")
        except Exception as e:  # a parser tripping over a bad file is a failure too
            self.failed += 1
            print(f"FAIL {name}: {type(e).__name__}: {e}")
        else:
            self.passed += 1
            print(f"ok   {name}")


# --- JPEG ------------------------------------------------------------------------

def jpeg_frame(data):
    """(marker, width, height, components) of the first SOF segment."""
    assert data[:2] == b"\xff\xd8", "no SOI marker"
    i = 2
    while i < len(data):
        assert data[i] == 0xFF, f"bad marker at {i}"
        m = data[i + 1]
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        if 0xC0 <= m <= 0xCF and m not in (0xC4, 0xC8, 0xCC):
            h, w = struct.unpack(">HH", data[i + 5:i + 9])
            return m, w, h, data[i + 9]
        i += 2 + length
    raise AssertionError("no SOF marker")


def check_jpeg(root, rel):
    m, w, h, comps = jpeg_frame((root / rel).read_bytes())
    assert m == 0xC0, f"not baseline JPEG (SOF{m - 0xC0})"
    assert (w, h) == (688, 368), f"size {w}x{h}"
    assert comps == 3, f"{comps} components"
    Image.open(root / rel).load()


def check_backgrounds_differ(root):
    a = Image.open(root / JPEGS[0]).convert("L")
    b = Image.open(root / JPEGS[1]).convert("L")
    diff = sum(abs(x - y) for x, y in zip(a.getdata(), b.getdata())) / (688 * 368)
    assert diff > 2.0, f"built-in and fon.jpg differ by only {diff:.2f} per pixel"


# The game's boxes at design size: the examiner's (95 x 131) at his seat and along his walk (right
# along the desk, down beside it, to and fro; only whole steps), and the desk's.
EXAMINER = (95, 131)
WALK = [(x, 42) for x in range(9, 170, 10)] + [(169, 52), (169, 62)] + \
    [(x, 62) for x in range(164, 355, 5)]
TABLE_BOX = (-16, 96, 160, 189)
CHAIR = (30, 62, 85, 101)  # the examiner's chair, shown as he leaves it
# how far the room and the clips may drift apart, scaled and rounded, without a box showing
DRIFT = 3


def check_room_grounds(root):
    """Wherever the examiner's box can be, and a few pixels around it and the desk's box, each
    room is plain wall, so the boxes that the game paints there never show an edge; the copybook's
    box is plain desk (its shadow on the answer sheet)."""
    near = lambda p, c: max(abs(a - b) for a, b in zip(p, c)) <= 18  # noqa: E731 (JPEG's ringing)
    inside = lambda x, y, r: r[0] <= x < r[2] and r[1] <= y < r[3]  # noqa: E731
    wall = set()
    for left, top in WALK:
        for y in range(top - DRIFT, top + EXAMINER[1] + DRIFT):
            wall.update((x, y) for x in range(max(0, left - DRIFT), left + EXAMINER[0] + DRIFT))
    x0, y0, x1, y1 = TABLE_BOX
    for y in range(y0 - DRIFT, y1 + DRIFT):
        wall.update((x, y) for x in range(0, x1 + DRIFT))
    # the desk's clip covers its own box (the room shows the same desk there), and the room's chair
    # is what the examiner's leaving uncovers
    x0, y0, x1, y1 = CHAIR
    chair = (x0 - DRIFT, y0 - DRIFT, x1 + DRIFT, y1 + DRIFT)
    wall = [p for p in wall if not inside(*p, TABLE_BOX) and not inside(*p, chair)]
    for rel in JPEGS:
        room = Image.open(root / rel).convert("RGB")
        bad = sorted(p for p in wall if not near(room.getpixel(p), WALL))
        assert not bad, f"{rel}: {len(bad)} pixels are not wall, first {bad[:3]}, last {bad[-3:]}"
        for x, y in [(401, 257), (519, 343)]:  # the copybook box's corners
            assert near(room.getpixel((x, y)), DESK), f"desk at {x},{y} is {room.getpixel((x, y))}"


# The student's answer sheet: left, top, right, bottom (below the room, which ends at 368).
SHEET = (360, 232, 569, 369)
# where something lies across the sheet's edge: the student's sleeve over its lower edge
SHEET_EDGE_GAPS = [(478, 530)]
OUTLINE_BAND = 4  # the outline lies within this many pixels inside the sheet's edge
PAPER_AT = 6      # and the paper shows this far inside it


def check_answer_sheet(root):
    """Each room draws the student's answer sheet over its whole area, so the player sees where
    the pointer rests safely: along each edge a dark outline just inside the area, paper just
    inside the outline, and the desk just outside it (the lower edge lies on the room's last
    rows, with nothing below)."""
    dark = lambda p: max(p) < 150  # noqa: E731
    paper = lambda p: max(abs(a - b) for a, b in zip(p, PAPER)) <= 18  # noqa: E731
    x0, y0, x1, _ = SHEET
    y1 = 368
    # each edge: the point k along it and d pixels inside it (outside it for negative d)
    edges = {
        "left": (lambda k, d: (x0 + d, k), range(y0 + 8, y1 - 8)),
        "right": (lambda k, d: (x1 - 1 - d, k), range(y0 + 8, y1 - 8)),
        "top": (lambda k, d: (k, y0 + d), range(x0 + 8, x1 - 8)),
        "bottom": (lambda k, d: (k, y1 - 1 - d), [k for k in range(x0 + 8, x1 - 8)
                                                  if not any(a <= k < b for a, b in SHEET_EDGE_GAPS)]),
    }
    for rel in JPEGS:
        room = Image.open(root / rel).convert("RGB")
        for name, (at, along) in edges.items():
            px = lambda k, d: room.getpixel(at(k, d))  # noqa: E731
            bad = [k for k in along if not any(dark(px(k, d)) for d in range(OUTLINE_BAND))
                   or not paper(px(k, PAPER_AT)) or (name != "bottom" and paper(px(k, -4)))]
            assert not bad, f"{rel}: the sheet's {name} edge is not outlined paper on desk at " \
                            f"{len(bad)} places, first {bad[:3]}"


# --- AVI ---------------------------------------------------------------------------

def avi_header(data):
    assert data[:4] == b"RIFF" and data[8:12] == b"AVI ", "not a RIFF AVI file"
    assert data[12:16] == b"LIST" and data[20:24] == b"hdrl" and data[24:28] == b"avih", \
        "main header not where players look for it"
    us, frames, w, h = (struct.unpack("<I", data[o:o + 4])[0] for o in (32, 48, 64, 68))
    i = data.index(b"strf")
    bi = struct.unpack("<IiiHHI", data[i + 8:i + 28])
    return us, frames, w, h, bi


def first_frame(path):
    out = subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-frames:v", "1",
                          "-f", "rawvideo", "-pix_fmt", "rgb24", "-"],
                         capture_output=True, check=True).stdout
    return out


def count_frames(path):
    out = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                          "-show_entries", "stream=nb_read_frames,codec_name,pix_fmt",
                          "-of", "default=nw=1", str(path)], capture_output=True, text=True,
                         check=True).stdout
    return dict(line.split("=", 1) for line in out.split())


def check_avi(root, rel, ground, size):
    us, frames, w, h, bi = avi_header((root / rel).read_bytes())
    fps = 1e6 / us
    assert 8 <= fps <= 15, f"{fps:.1f} frames/s"
    assert 1.0 <= frames / fps <= 4.0, f"loop of {frames / fps:.2f} s"
    if size:
        assert (w, h) == size, f"size {w}x{h}, want {size}"
    else:
        assert w <= 95 and h <= 131, f"size {w}x{h} exceeds 95x131"
    # FFmpeg stores uncompressed frames top-down, which the stream header
    # says with a negative height
    assert (bi[1], abs(bi[2])) == (w, h), f"stream size {bi[1]}x{bi[2]} differs from main header"
    assert bi[4] == 8 and bi[5] == 0, f"not 8-bit uncompressed ({bi[4]} bit, type {bi[5]})"
    info = count_frames(root / rel)
    assert info["codec_name"] == "rawvideo" and info["pix_fmt"] == "pal8", str(info)
    assert int(info["nb_read_frames"]) == frames, f"{info['nb_read_frames']} decoded, header {frames}"
    px = first_frame(root / rel)
    assert len(px) == w * h * 3, "first frame has the wrong size"
    assert tuple(px[:3]) == ground, f"top-left {tuple(px[:3])}, want {ground}"
    share = sum(1 for i in range(0, len(px), 3) if tuple(px[i:i + 3]) == ground) / (w * h)
    assert share > 0.02, "the key colour hardly occurs: background is not plain"


# --- ICO and BMP -------------------------------------------------------------------

def check_ico(root, rel):
    data = (root / rel).read_bytes()
    reserved, kind, count = struct.unpack("<HHH", data[:6])
    assert (reserved, kind) == (0, 1), "not an icon file"
    sizes = {}
    for k in range(count):
        w, h, ncol, _, planes, bpp, nbytes, off = struct.unpack("<BBBBHHII",
                                                                data[6 + 16 * k:22 + 16 * k])
        w, h = w or 256, h or 256
        hdr = struct.unpack("<IiiHH", data[off:off + 16])
        assert hdr[0] == 40 and hdr[1] == w and hdr[2] == 2 * h, f"bad DIB header {hdr}"
        assert off + nbytes <= len(data), "image runs past the end of the file"
        sizes[(w, h)] = hdr[4]
    assert {(32, 32), (16, 16)} <= set(sizes), f"sizes {sorted(sizes)}"
    if "builtin" in rel:
        assert sizes[(32, 32)] == 4, "the built-in sheet icon is 16 colours"
    for size in (32, 16):
        im = Image.open(root / rel)
        im.size = (size, size)
        rgba = im.convert("RGBA")
        alpha = [a for *_, a in rgba.getdata()]
        assert 0 in alpha and 255 in alpha, f"{size}px: needs both transparent and drawn pixels"
        assert rgba.getpixel((0, 0))[3] == 0, f"{size}px: corners should be transparent"


def check_bmp(root, rel):
    data = (root / rel).read_bytes()
    assert data[:2] == b"BM", "not a bitmap"
    w, h, planes, bpp, comp = struct.unpack("<iiHHI", data[18:34])
    assert (w, abs(h)) == (32, 32), f"size {w}x{h}"
    assert bpp == 8 and comp == 0, f"{bpp} bit, compression {comp}: want 256 colours"
    im = Image.open(root / rel).convert("RGB")
    assert im.getpixel((0, 31)) == KEY, f"lower-left {im.getpixel((0, 31))}"
    colours = set(im.getdata())
    assert RING in colours, "no orange ring colour"
    assert (0, 0, 0) in colours and (255, 255, 255) in colours, "no black notes on white"


def check_switch_pair(root):
    on, off = (Image.open(root / p).convert("RGB") for p in BMPS[:2])
    red = sum(1 for r, g, b in off.getdata() if r > 180 and g < 80 and b < 80)
    assert red >= 20, "sof.bmp: notes are not struck through"
    assert list(on.getdata()) != list(off.getdata()), "on and off look the same"


def check_app_icon(root, rel, size):
    data = (root / rel).read_bytes()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG file"
    w, h, depth, colour = struct.unpack(">IIBB", data[16:26])
    assert (w, h) == (size, size), f"size {w}x{h}"
    assert (depth, colour) == (8, 6), f"depth {depth}, colour type {colour}: want 8-bit RGBA"
    alpha = [a for *_, a in Image.open(root / rel).getdata()]
    assert alpha[0] == alpha[-1] == 0, "corners should be transparent"
    assert alpha.count(255) > size * size // 3, "less than a third of the icon is drawn"


# --- sound -------------------------------------------------------------------------

def check_mp3(root, rel, lo, hi):
    out = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                          "format=duration:stream=codec_name,channels", "-of",
                          "default=nw=1", str(root / rel)], capture_output=True, text=True,
                         check=True).stdout
    info = dict(line.split("=", 1) for line in out.split())
    assert info["codec_name"] == "mp3", info
    dur = float(info["duration"])
    assert lo <= dur <= hi, f"{dur:.1f} s"
    pcm = subprocess.run(["ffmpeg", "-v", "error", "-i", str(root / rel), "-f", "s16le",
                          "-ac", "1", "-"], capture_output=True, check=True).stdout
    samples = struct.unpack(f"<{len(pcm) // 2}h", pcm)
    tail = samples[-4410:]
    assert max(abs(s) for s in tail) < 200, "does not end in silence: the restart would click"
    heard = 32768 * 10 ** (-50 / 20)
    quiet = next(i for i, s in enumerate(reversed(samples)) if abs(s) > heard) / 44100
    assert quiet <= MP3_TAIL, f"ends with {quiet:.2f} s of silence: a gap at every repeat"
    assert max(abs(s) for s in samples) > 8000, "too quiet"


def midi_seconds(data):
    """Length of a Standard MIDI File in seconds, following its tempo changes,
    and the time at which its last note ends."""
    assert data[:4] == b"MThd", "not a MIDI file"
    _, fmt, ntrk, div = struct.unpack(">IHHH", data[4:14])
    assert fmt in (0, 1) and not div & 0x8000, f"format {fmt}, division {div:#x}"
    i = 14
    tempos = [(0, 500000)]
    end_tick = 0
    last_off = 0
    notes = 0
    for _ in range(ntrk):
        assert data[i:i + 4] == b"MTrk", "bad track chunk"
        n = struct.unpack(">I", data[i + 4:i + 8])[0]
        j, stop, tick, status = i + 8, i + 8 + n, 0, 0
        while j < stop:
            delta = 0
            while True:
                b = data[j]
                j += 1
                delta = (delta << 7) | (b & 0x7F)
                if not b & 0x80:
                    break
            tick += delta
            if data[j] & 0x80:
                status = data[j]
                j += 1
            if status == 0xFF:
                kind, length = data[j], data[j + 1]
                if kind == 0x51:
                    tempos.append((tick, int.from_bytes(data[j + 2:j + 5], "big")))
                j += 2 + length
            elif status in (0xF0, 0xF7):
                raise AssertionError("sysex not expected")
            else:
                size = 1 if status & 0xF0 in (0xC0, 0xD0) else 2
                if status & 0xF0 == 0x90 and data[j + 1] > 0:
                    notes += 1
                elif status & 0xF0 in (0x80, 0x90):
                    last_off = max(last_off, tick)
                j += size
        end_tick = max(end_tick, tick)
        i = stop
    assert notes > 20, f"only {notes} notes"
    tempos.sort()

    def seconds(tick):
        secs, last_tick, us = 0.0, 0, 500000
        for t, tempo in tempos:
            if t > tick:
                break
            secs += (t - last_tick) * us / div / 1e6
            last_tick, us = t, tempo
        return secs + (tick - last_tick) * us / div / 1e6

    return seconds(end_tick), seconds(last_off)


def check_midi(root, rel, lo, hi):
    secs, last_note = midi_seconds((root / rel).read_bytes())
    assert lo <= secs <= hi, f"{secs:.1f} s"
    assert secs - last_note < 0.01, f"ends {secs - last_note:.2f} s after its last note"


# --- the whole ---------------------------------------------------------------------

def check_layout(root):
    want = JPEGS + ICOS + BMPS + list(APP_ICONS.values()) + list(CLIPS) + list(MP3S) + list(MIDIS) + \
        ["base/data/.keep", "src/resources/builtin.qrc"]
    for rel in want:
        # exact letter case: walk the names as stored, not as the file system matches them
        p = root
        for part in Path(rel).parts:
            names = {c.name for c in p.iterdir()} if p.is_dir() else set()
            assert part in names, f"missing {rel} (no '{part}' in {p})"
            p = p / part


def check_size(root):
    total = sum(f.stat().st_size for f in (root / "base").rglob("*") if f.is_file())
    assert total < 6 * 1024 * 1024, f"base/ holds {total} bytes"


def check_qrc(root):
    text = (root / "src/resources/builtin.qrc").read_text()
    assert 'prefix="/builtin"' in text
    for alias, name in (("fon.jpg", "builtin_fon.jpg"), ("sheet.ico", "builtin_sheet.ico"),
                        ("ns.bmp", "builtin_ns.bmp")):
        assert f'<file alias="{alias}">{name}</file>' in text, f"{alias} not listed"


def check_regen(root):
    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run([sys.executable, str(HERE / "generate.py"), "--root", tmp], check=True)
        made = sorted(p.relative_to(tmp) for p in Path(tmp).rglob("*") if p.is_file())
        differ = [str(p) for p in made if (Path(tmp) / p).read_bytes() != (root / p).read_bytes()
                  if (root / p).exists()] + [str(p) for p in made if not (root / p).exists()]
        assert not differ, f"regenerated files differ from the committed ones: {differ}"


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--root", type=Path, default=HERE.parent.parent)
    ap.add_argument("--regen", action="store_true", help="also regenerate and compare")
    args = ap.parse_args()
    root = args.root.resolve()
    c = Checker()
    c.case("every file at its path, letter case as written", check_layout, root)
    c.case("base/ under 6 MB", check_size, root)
    c.case("resource file lists the built-ins", check_qrc, root)
    for rel in JPEGS:
        c.case(f"{rel}: baseline JPEG 688x368", check_jpeg, root, rel)
    c.case("built-in background differs visibly from fon.jpg", check_backgrounds_differ, root)
    c.case("rooms are plain wall and desk around the clip boxes", check_room_grounds, root)
    c.case("rooms draw the answer sheet, outlined, over its whole area", check_answer_sheet, root)
    for rel, (ground, size) in CLIPS.items():
        c.case(f"{rel}: header, frames, rate, plain keyed ground", check_avi, root, rel, ground, size)
    for rel in ICOS:
        c.case(f"{rel}: 32 and 16 px with transparency", check_ico, root, rel)
    for rel in BMPS:
        c.case(f"{rel}: 32x32, 256 colours, grey key corner", check_bmp, root, rel)
    c.case("sound switch off is struck through", check_switch_pair, root)
    for size, rel in APP_ICONS.items():
        c.case(f"{rel}: {size}x{size} RGBA, transparent corners", check_app_icon, root, rel, size)
    for rel, (lo, hi) in MP3S.items():
        c.case(f"{rel}: {lo}..{hi} s, ends in at most {MP3_TAIL} s of silence", check_mp3, root, rel,
               lo, hi)
    for rel, (lo, hi) in MIDIS.items():
        c.case(f"{rel}: {lo}..{hi} s, ends with its last note", check_midi, root, rel, lo, hi)
    if args.regen:
        c.case("generator reproduces the committed files", check_regen, root)
    print(f"{c.passed} passed, {c.failed} failed")
    return 1 if c.failed else 0


if __name__ == "__main__":
    sys.exit(main())
