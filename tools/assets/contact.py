"""docs/contact-sheet.png: every picture and clip as the game will show them.

Pictures are read back from the written files, not from memory, so the sheet
shows what the game loads. A mock-up puts the clips and icons on the room at
their places on the game screen, to judge how the boxes blend in.
"""

import subprocess
import tempfile
from pathlib import Path

from PIL import Image, ImageDraw, ImageFont

from palette import DESK, WALL
from scene import COPYBOOK_POS, SHEET_PLACES, TABLE_POS

BG = (236, 236, 232)
FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"
PEMA_HOME = (9, 42)
PEMA_BOX = (95, 131)


def _font():
    try:
        return ImageFont.truetype(FONT, 12)
    except OSError:
        return ImageFont.load_default()


def first_frame(avi):
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "f.png"
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", str(avi), "-frames:v", "1", str(out)],
                       check=True)
        return Image.open(out).convert("RGB")


def keyed(frame, colour):
    """The clip as the game draws it: the top-left colour replaced by the widget's."""
    key = frame.getpixel((0, 0))
    out = frame.copy()
    out.putdata([colour if p == key else p for p in frame.getdata()])
    return out


def icon_image(path, size):
    ico = Image.open(path)
    ico.size = (size, size)
    return ico.convert("RGBA")


def mockup(root, clips):
    room = Image.open(root / "base" / "image" / "fon.jpg").convert("RGB")
    pema = keyed(clips["pemik"], WALL)
    room.paste(pema, PEMA_HOME)
    room.paste(keyed(clips["table"], WALL), TABLE_POS)
    room.paste(keyed(clips["copybook"], DESK), COPYBOOK_POS)
    icon = icon_image(root / "src" / "resources" / "builtin_sheet.ico", 32)
    for i, (x, y) in enumerate(SHEET_PLACES.values()):
        frame = icon if i == 0 else icon_image(root / "base" / "image" / "Ico" / f"b{i + 1}.ico", 32)
        room.paste(frame, (x, y), frame)
    return room


def write(root, frames):
    font = _font()
    W = 1420
    sheet = Image.new("RGB", (W, 2000), BG)
    d = ImageDraw.Draw(sheet)

    def label(x, y, text):
        d.text((x, y), text, fill=(40, 40, 40), font=font)

    firsts = {name: first_frame(root / "base" / "video" / f"{name}.avi") for name in frames}
    x, y = 10, 10
    label(x, y, "base/image/fon.jpg (1:1)")
    sheet.paste(Image.open(root / "base" / "image" / "fon.jpg").convert("RGB"), (x, y + 16))
    label(x + 704, y, "built-in background (1:1)")
    sheet.paste(Image.open(root / "src" / "resources" / "builtin_fon.jpg").convert("RGB"),
                (x + 704, y + 16))
    y += 16 + 368 + 14
    label(x, y, "game screen mock-up: clips keyed onto their widgets' colours, sheet icons placed")
    sheet.paste(mockup(root, firsts), (x, y + 16))

    # first frames of the clips at 2:1, beside the mock-up
    cx = x + 704
    label(cx, y, "first frames, 2:1")
    cy = y + 16
    for i, name in enumerate(["pemik", "pemik_sit", "pemik_sit2"]):
        im = firsts[name]
        sheet.paste(im.resize((im.width * 2, im.height * 2), Image.Resampling.NEAREST),
                    (cx + i * 200, cy))
        label(cx + i * 200, cy + 264, f"{name}.avi")
    cy += 284
    for i, name in enumerate(["table", "copybook"]):
        im = firsts[name]
        sheet.paste(im.resize((im.width * 2, im.height * 2), Image.Resampling.NEAREST),
                    (cx + i * 362, cy))
        label(cx + i * 362, cy + im.height * 2 + 2, f"{name}.avi")
    y = max(y + 16 + 368, cy + 186 + 16) + 14

    label(x, y, "clip frames, 1:1 (every third frame)")
    y += 16
    for name in ["pemik", "pemik_sit", "pemik_sit2", "table", "copybook"]:
        fx = x
        for f in frames[name][::3]:
            if fx + f.width > W - 10:
                break
            sheet.paste(f, (fx, y))
            fx += f.width + 2
        y += frames[name][0].height + 6

    # icons: on the desk at 1:1 and 4:1; the switch on the black menu
    label(x, y, "b1..b5.ico and the built-in sheet icon on the desk (32 and 16 px, 1:1 and 4:1);"
                " son.bmp, sof.bmp, built-in ns on the black menu, key colour dropped")
    y += 16
    strip = Image.new("RGB", (6 * 60, 40), DESK)
    paths = [root / "base" / "image" / "Ico" / f"b{i}.ico" for i in range(1, 6)]
    paths.append(root / "src" / "resources" / "builtin_sheet.ico")
    for i, p in enumerate(paths):
        for size, dx in ((32, 2), (16, 38)):
            im = icon_image(p, size)
            strip.paste(im, (i * 60 + dx, 4), im)
    sheet.paste(strip, (x, y))
    sheet.paste(strip.resize((strip.width * 2, strip.height * 2), Image.Resampling.NEAREST),
                (x, y + 46))
    sx = x + 2 * strip.width + 20
    menu = Image.new("RGB", (3 * 40, 40), (0, 0, 0))
    for i, p in enumerate([root / "base" / "image" / "Ico" / "son.bmp",
                           root / "base" / "image" / "Ico" / "sof.bmp",
                           root / "src" / "resources" / "builtin_ns.bmp"]):
        bmp = Image.open(p).convert("RGB")
        menu.paste(keyed_corner(bmp), (i * 40 + 4, 4))
    sheet.paste(menu, (sx, y))
    sheet.paste(menu.resize((menu.width * 4, menu.height * 4), Image.Resampling.NEAREST),
                (sx, y + 46))
    y += 46 + 160 + 10
    sheet = sheet.crop((0, 0, W, y))
    sheet.save(root / "docs" / "contact-sheet.png", optimize=True)


def keyed_corner(bmp):
    """A bitmap drawn transparently by its lower-left colour, onto black."""
    key = bmp.getpixel((0, bmp.height - 1))
    out = bmp.copy()
    out.putdata([(0, 0, 0) if p == key else p for p in bmp.getdata()])
    return out
