#!/usr/bin/python3
"""Makes every picture, clip and piece of music of the game, reproducibly.

    /usr/bin/python3 tools/assets/generate.py [--root DIR] [--only pictures|music]

Writes base/ (what the game loads at run time), src/resources/ (what is
compiled in), dist/icons/ (the application icon at every size the desktop
asks for) and docs/contact-sheet.png under DIR (default: the repository).
Needs Debian's python3-pil, ffmpeg, fluidsynth, timgm6mb-soundfont and lame.
"""

import argparse
import sys
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))

import contact  # noqa: E402
import examiner  # noqa: E402
import icons  # noqa: E402
import media  # noqa: E402
import music  # noqa: E402
import scene  # noqa: E402
from palette import DESK, WALL  # noqa: E402

# the name of the desktop entry, the metainfo and the application icon
APP_ID = "example.rodvk.pemy"

# clip name, frame maker, the plain ground that the game keys out
CLIPS = [
    ("pemik", examiner.watching, WALL),
    ("table", lambda: scene.table_frames(20), WALL),
    ("copybook", lambda: scene.copybook_frames(28), DESK),
    ("pemik_sit", examiner.reading, WALL),
    ("pemik_sit2", examiner.dozing, WALL),
]

QRC = """<!DOCTYPE RCC>
<RCC version="1.0">
<qresource prefix="/builtin">
    <file alias="fon.jpg">builtin_fon.jpg</file>
    <file alias="sheet.ico">builtin_sheet.ico</file>
    <file alias="ns.bmp">builtin_ns.bmp</file>
</qresource>
</RCC>
"""


def pictures(root):
    base = root / "base"
    res = root / "src" / "resources"
    for d in (base / "image" / "Ico", base / "video", base / "data", res, root / "docs"):
        d.mkdir(parents=True, exist_ok=True)
    keep = base / "data" / ".keep"
    if not keep.exists():
        keep.write_bytes(b"")

    media.save_jpeg(scene.room(), base / "image" / "fon.jpg")
    media.save_jpeg(scene.room(plain=True), res / "builtin_fon.jpg")
    icons.write_all(root, res)
    icons.write_app_icons(root / "dist" / "icons", APP_ID)
    (res / "builtin.qrc").write_text(QRC)

    firsts = {}
    for name, make, ground in CLIPS:
        frames = make()
        media.write_avi(frames, base / "video" / f"{name}.avi", ground)
        firsts[name] = frames
    contact.write(root, firsts)


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--root", type=Path, default=HERE.parent.parent)
    ap.add_argument("--only", choices=("pictures", "music"))
    args = ap.parse_args()
    root = args.root.resolve()
    if args.only != "music":
        pictures(root)
    if args.only != "pictures":
        music.write_all(root)


if __name__ == "__main__":
    main()
