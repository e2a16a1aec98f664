"""Crib-sheet icons (ICO) and sound-switch pictures (8-bit BMP).

Icons are drawn once in a 32-unit space and rendered at 32 and 16 pixels.
The game draws them with hard transparency (the ICO's AND mask; the BMP's
lower-left key colour), so edges are pre-blended onto the ground they will
lie on: the desk for the crib sheets, the black menu for the sound switch.
"""

import struct

from PIL import Image

from palette import (DESK, DESK_DARK, DESK_EDGE, GLOW, ICON_KEY, PAPER, PAPER_SHADE, PEN_BLUE,
                     RING)
from sketch import SCALE, Sketch, bezier, mix

RED = (204, 40, 36)


# --- rendering with a coverage mask -------------------------------------------

def render(draw, size, ground):
    """Render draw(sk, k) at size x size; return (RGB on ground, coverage 0..1 list).

    Coverage comes from rendering twice on two different grounds: a pixel that
    does not change is fully covered, one that changes entirely is bare.
    """
    k = size / 32.0
    shots = []
    for g in ((0, 0, 0), (255, 255, 255)):
        sk = Sketch(size, size, g)
        draw(sk, k)
        shots.append(sk.image())
    black, white = (list(s.getdata()) for s in shots)
    cover = [1.0 - sum(w - b for b, w in zip(pb, pw)) / (3 * 255.0) for pb, pw in zip(black, white)]
    cover = [min(1.0, max(0.0, c)) for c in cover]
    out = []
    for pb, c in zip(black, cover):
        # black shot = colour * cover; un-premultiply, then lay onto the ground
        if c <= 0.0:
            out.append(ground)
            continue
        col = tuple(min(255, round(v / c)) for v in pb)
        out.append(mix(ground, col, c))
    im = Image.new("RGB", (size, size))
    im.putdata(out)
    return im, cover


def indexed(im, opaque, colours, slot0, reserved=()):
    """Palette indices: 0 (colour slot0) for bare pixels, 1.. for covered ones.

    Covered pixels never map to slot 0, and the reserved colours stay exact.
    """
    reserved = list(dict.fromkeys(reserved))
    free = colours - 1 - len(reserved)
    pts = [p for p, o in zip(im.getdata(), opaque) if o] or [(0, 0, 0)]
    sample = Image.new("RGB", (len(pts), 1))
    sample.putdata(pts)
    q = sample.quantize(colors=max(1, free), method=Image.Quantize.MEDIANCUT,
                        dither=Image.Dither.NONE)
    extra = q.getpalette()[:3 * free]
    pal = [c for rgb in reserved for c in rgb] + extra
    # pad with a repeat of a real entry so padding never wins a nearest match
    lookup = pal + pal[:3] * (256 - len(pal) // 3)
    pimg = Image.new("P", (1, 1))
    pimg.putpalette(lookup[:768])
    idx = [min(i, len(pal) // 3 - 1) + 1
           for i in im.quantize(palette=pimg, dither=Image.Dither.NONE).getdata()]
    idx = [i if o else 0 for i, o in zip(idx, opaque)]
    full = [slot0] + [tuple(pal[i:i + 3]) for i in range(0, len(pal), 3)]
    # a covered pixel must never carry the key colour, or the game would drop it
    full = [full[0]] + [(c[0] ^ 1, c[1], c[2]) if c == slot0 else c for c in full[1:]]
    full += [(0, 0, 0)] * (colours - len(full))
    return idx, full


# --- file writers --------------------------------------------------------------

def _dib(size, indices, palette, opaque, bpp):
    """One icon image: BITMAPINFOHEADER, palette, XOR bitmap, AND mask (bottom-up)."""
    ncol = 1 << bpp
    xor_stride = ((size * bpp + 31) // 32) * 4
    and_stride = ((size + 31) // 32) * 4
    xor = bytearray()
    msk = bytearray()
    for y in range(size - 1, -1, -1):
        row = indices[y * size:(y + 1) * size]
        orow = opaque[y * size:(y + 1) * size]
        bits = bytearray()
        if bpp == 8:
            bits = bytearray(i if o else 0 for i, o in zip(row, orow))
        else:
            vals = [i if o else 0 for i, o in zip(row, orow)]
            for x in range(0, size, 2):
                bits.append((vals[x] << 4) | (vals[x + 1] if x + 1 < size else 0))
        xor += bits + bytes(xor_stride - len(bits))
        m = bytearray(and_stride)
        for x, o in enumerate(orow):
            if not o:
                m[x // 8] |= 0x80 >> (x % 8)
        msk += m
    head = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bpp, 0, len(xor) + len(msk),
                       0, 0, ncol, 0)
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette[:ncol])
    pal += bytes(4 * ncol - len(pal))
    return head + pal + bytes(xor) + bytes(msk)


def write_ico(path, draw, bpp=8):
    """An icon file with a 32 x 32 and a 16 x 16 image, transparent by AND mask."""
    images = []
    for size in (32, 16):
        im, cover = render(draw, size, DESK)
        opaque = [c >= 0.5 for c in cover]
        # index 0 is the transparent slot: black, so XOR leaves the screen alone
        idx, pal = indexed(im, opaque, 1 << bpp, (0, 0, 0))
        images.append((size, _dib(size, idx, pal, opaque, bpp)))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0 if bpp == 8 else 1 << bpp, 0, 1, bpp,
                           len(data), offset)
        offset += len(data)
    out += b"".join(d for _, d in images)
    with open(path, "wb") as f:
        f.write(out)


def switch_bitmap(draw, reserved):
    """A 32 x 32, 256-colour picture on the grey key, pre-blended onto the black menu."""
    im, cover = render(draw, 32, (0, 0, 0))
    opaque = [c >= 0.5 for c in cover]
    idx, pal = indexed(im, opaque, 256, ICON_KEY, reserved)
    out = Image.new("P", (32, 32))
    out.putpalette([c for rgb in pal for c in rgb])
    out.putdata(idx)
    assert out.getpixel((0, 31)) == 0, "the lower-left pixel must be the key colour"
    return out


def write_bmp(path, draw, reserved=()):
    switch_bitmap(draw, reserved).save(path, format="BMP")


# --- the drawings ----------------------------------------------------------------

def _panel(sk, k, pts, seed, shade=False):
    s = [(x * k, y * k) for x, y in pts]
    sk.shape(s, seed, fill=PAPER_SHADE if shade else PAPER, width=max(0.6, 1.2 * k), amp=0.25 * k)


def _lines(sk, k, x0, x1, ys, seed, slope=0.0):
    for i, y in enumerate(ys):
        sk.scribble(x0 * k, (y + slope * (x0 - 16)) * k, x1 * k, f"{seed}{i}", PEN_BLUE,
                    max(0.4, 0.7 * k), 1.8 * k)


def sheet_folded(sk, k):
    """A crib sheet folded into a small thick square, a corner of writing showing."""
    _panel(sk, k, [(7, 9), (25, 6), (27, 24), (9, 27)], "fb3", shade=True)
    _panel(sk, k, [(5, 7), (23, 4), (25, 22), (7, 25)], "fb2", shade=True)
    _panel(sk, k, [(3, 5), (21, 2), (23, 20), (5, 23)], "fb1")
    _lines(sk, k, 6, 19, (8, 11.5, 15, 18.5), "ff")
    sk.stroke([(16 * k, 3 * k), (17.5 * k, 21 * k)], "ffold", max(0.5, 0.8 * k), PAPER_SHADE)


def sheet_half(sk, k):
    """Two folds opened: an accordion of three panels."""
    _panel(sk, k, [(2, 10), (11, 6), (12, 26), (3, 29)], "h1", shade=True)
    _panel(sk, k, [(11, 6), (21, 9), (21, 29), (12, 26)], "h2")
    _panel(sk, k, [(21, 9), (30, 5), (30, 25), (21, 29)], "h3", shade=True)
    _lines(sk, k, 4, 10, (12, 16, 20, 24), "hl1")
    _lines(sk, k, 13, 20, (12, 16, 20, 24), "hl2")
    _lines(sk, k, 22, 29, (11, 15, 19, 23), "hl3")


def sheet_open(sk, k):
    """Fully unfolded: a long strip covered in tiny writing."""
    _panel(sk, k, [(1, 8), (31, 5), (31, 27), (1, 30)], "o1")
    for x in (11, 21):
        sk.stroke([(x * k, 6.5 * k), (x * k, 28.5 * k)], f"ofold{x}", max(0.4, 0.6 * k),
                  PAPER_SHADE)
    _lines(sk, k, 3, 29, (11, 14.5, 18, 21.5, 25), "ol", slope=-0.1)


def sheet_read(sk, k):
    """Read closely: the strip under a magnifying glass."""
    sheet_open(sk, k)
    sk.oval(18 * k, 16 * k, 8 * k, 8 * k, "lens", fill=mix(PAPER, (190, 230, 255), 0.5),
            width=max(0.8, 1.6 * k))
    sk.scribble(12 * k, 15 * k, 24 * k, "lensline", PEN_BLUE, max(0.6, 1.2 * k), 3.0 * k)
    sk.scribble(13 * k, 19.5 * k, 22 * k, "lensline2", PEN_BLUE, max(0.6, 1.2 * k), 3.0 * k)
    sk.stroke([(24 * k, 22 * k), (30 * k, 29 * k)], "lenshandle", max(1.2, 2.6 * k),
              (120, 70, 40))


def sheet_closing(sk, k):
    """Folding up again: two panels left, one tucked behind."""
    _panel(sk, k, [(6, 6), (17, 4), (18, 26), (7, 28)], "c1", shade=True)
    _panel(sk, k, [(15, 5), (27, 8), (27, 28), (16, 26)], "c2")
    _lines(sk, k, 17, 26, (11, 15, 19, 23), "cl")
    _lines(sk, k, 8, 15, (10, 14, 18, 22), "cl2")


FRAMES = [sheet_folded, sheet_half, sheet_open, sheet_read, sheet_closing]


def _builtin_sheet(sk, k):
    """The game's own sheet icon: the folded crib, a corner dog-eared."""
    _panel(sk, k, [(6, 10), (26, 7), (28, 25), (8, 28)], "bb2", shade=True)
    _panel(sk, k, [(3, 6), (24, 3), (26, 22), (5, 25)], "bb1")
    _lines(sk, k, 6, 21, (9, 12.5, 16, 19.5), "bl")
    sk.shape([(19 * k, 22.3 * k), (26 * k, 22 * k), (20 * k, 16 * k)], "dogear",
             fill=PAPER_SHADE, width=max(0.5, 0.9 * k), amp=0.1)


def _notes(sk, k, struck, waves):
    """Orange ring, white face and a pair of beamed eighth notes."""
    sk.oval(16, 16, 14.6, 14.6, "ring", fill=RING, outline=None, amp=0.05)
    sk.oval(16, 16, 10.8, 10.8, "face", fill=(255, 255, 255), outline=None, amp=0.05)
    heads = [(12.0, 21.0), (19.5, 19.5)]
    for i, (x, y) in enumerate(heads):
        sk.shape([(x - 2.6, y + 0.8), (x - 1.6, y - 1.6), (x + 2.6, y - 1.2), (x + 1.6, y + 1.4)],
                 f"head{i}", fill=(0, 0, 0), outline=None, amp=0.05)
        sk.straight([(x + 2.0, y - 0.5), (x + 2.0, y - 10.5)], 1.2, (0, 0, 0))
    sk.fill_poly([(13.4, 9.5), (22.1, 7.9), (22.1, 10.5), (13.4, 12.1)], (0, 0, 0))
    if waves:
        # sound going out: two small arcs beside the notes
        sk.stroke(bezier((23.6, 13.6), (25.0, 15.6), (23.6, 17.6)), "wave1", 0.9, (0, 0, 0),
                  amp=0.05)
        sk.stroke(bezier((25.2, 12.2), (27.4, 15.6), (25.2, 19.0)), "wave2", 0.9, (0, 0, 0),
                  amp=0.05)
    if struck:
        sk.straight([(7.5, 24.5), (24.5, 7.5)], 2.6, RED)


def builtin_ns(sk, k):
    _notes(sk, k, struck=False, waves=False)


def sound_on(sk, k):
    _notes(sk, k, struck=False, waves=True)


def sound_off(sk, k):
    _notes(sk, k, struck=True, waves=False)


# --- the application icon ----------------------------------------------------------

APP_ICON_SIZES = (16, 32, 48, 64, 128, 256)


def app_icon(sk, k):
    """The game in one picture: a crib sheet open on the desk, the examiner's spectacles above it."""
    # the desk: top in perspective, front edge below
    sk.shape([(1, 17), (31, 15), (31, 26), (1, 29)], "adesk", fill=DESK, outline=DESK_EDGE,
             width=1.0, amp=0.2)
    sk.shape([(1, 26.5), (31, 23.5), (31, 26), (1, 29)], "afront", fill=DESK_DARK, outline=None,
             amp=0.1)
    # the crib sheet: an unfolded strip of tiny writing
    sk.shape([(4, 16.5), (26, 14), (27, 24), (5, 26.5)], "asheet", fill=PAPER, width=0.8,
             amp=0.2)
    for x in (11.5, 19):
        sk.stroke([(x, 15.6), (x + 0.5, 25.3)], f"afold{x}", 0.5, PAPER_SHADE)
    for i, y in enumerate((18.6, 21.0, 23.4)):
        sk.scribble(6.5, y - 0.25 * i, 24.5, f"awrite{i}", PEN_BLUE, 0.45, 1.3)
    # the examiner's spectacles, looking down on it
    for i, cx in enumerate((10.5, 21.5)):
        sk.oval(cx, 7.5, 5.0, 4.2, f"alens{i}", fill=mix(GLOW, (255, 255, 255), 0.4), width=1.5)
        sk.dot(cx + 0.6, 8.6, 1.5)
    sk.stroke(bezier((15.3, 7.0), (16.0, 5.4), (16.7, 7.0)), "abridge", 1.3)
    sk.stroke([(5.6, 6.6), (1.5, 4.5)], "atemple0", 1.2)
    sk.stroke([(26.4, 6.6), (30.5, 4.5)], "atemple1", 1.2)


def render_rgba(draw, size):
    """draw(sk, 1) in the 32-unit space at size x size pixels, with soft alpha.

    The canvas is a whole multiple of every size, so the thin strokes of the
    small sizes and the wobble of the large ones come from one drawing.
    """
    scale = size * SCALE // 16
    shots = []
    for g in ((0, 0, 0), (255, 255, 255)):
        sk = Sketch(32, 32, g, scale)
        draw(sk, 1.0)
        shots.append(sk.im.resize((size, size), Image.Resampling.BOX))
    black, white = (list(s.getdata()) for s in shots)
    out = []
    for pb, pw in zip(black, white):
        cover = min(1.0, max(0.0, 1.0 - sum(w - b for b, w in zip(pb, pw)) / (3 * 255.0)))
        if cover <= 0.0:
            out.append((0, 0, 0, 0))
            continue
        out.append(tuple(min(255, round(v / cover)) for v in pb) + (round(cover * 255),))
    im = Image.new("RGBA", (size, size))
    im.putdata(out)
    return im


def write_app_icons(icon_dir, name):
    """icon_dir/<size>/<name>.png for every size the desktop's icon theme asks for."""
    for size in APP_ICON_SIZES:
        d = icon_dir / str(size)
        d.mkdir(parents=True, exist_ok=True)
        render_rgba(app_icon, size).save(d / f"{name}.png", format="PNG", optimize=False,
                                         compress_level=9)


def write_all(root, res_dir):
    ico_dir = root / "base" / "image" / "Ico"
    ico_dir.mkdir(parents=True, exist_ok=True)
    for i, draw in enumerate(FRAMES, start=1):
        write_ico(ico_dir / f"b{i}.ico", draw)
    write_bmp(ico_dir / "son.bmp", sound_on, reserved=[RING, (255, 255, 255), (0, 0, 0)])
    write_bmp(ico_dir / "sof.bmp", sound_off, reserved=[RING, (255, 255, 255), (0, 0, 0), RED])
    # built-ins: a 16-colour icon as the layout asks, and the switch's first picture
    write_ico(res_dir / "builtin_sheet.ico", _builtin_sheet, bpp=4)
    write_bmp(res_dir / "builtin_ns.bmp", builtin_ns, reserved=[RING, (255, 255, 255), (0, 0, 0)])
