"""Writing pictures and clips in the forms that the game reads."""

import subprocess
import tempfile
from pathlib import Path

from PIL import Image

from icons import indexed

FPS = 10


def save_jpeg(im, path):
    # baseline, fixed quality and no metadata: same pixels, same bytes
    im.save(path, format="JPEG", quality=90, subsampling=0, optimize=False,
            progressive=False)


def write_avi(frames, path, ground):
    """A silent AVI: uncompressed 8-bit palette frames at FPS frames a second.

    Every frame shares one palette whose entry 0 is `ground`, and every pixel
    of exactly that colour keeps it, so the game can key the background out by
    the first frame's top-left pixel.
    """
    assert frames[0].getpixel((0, 0)) == ground, "top-left pixel must be the ground"
    w, h = frames[0].size
    strip = Image.new("RGB", (w, h * len(frames)))
    for i, f in enumerate(frames):
        strip.paste(f, (0, i * h))
    opaque = [p != ground for p in strip.getdata()]
    idx, pal = indexed(strip, opaque, 256, ground)
    flat = [c for rgb in pal for c in rgb]
    with tempfile.TemporaryDirectory() as tmp:
        for i in range(len(frames)):
            im = Image.new("P", (w, h))
            im.putpalette(flat)
            im.putdata(idx[i * w * h:(i + 1) * w * h])
            im.save(Path(tmp) / f"f{i:03d}.png", optimize=False)
        subprocess.run(
            ["ffmpeg", "-v", "error", "-y", "-framerate", str(FPS),
             "-i", str(Path(tmp) / "f%03d.png"),
             "-c:v", "rawvideo", "-pix_fmt", "pal8",
             "-fflags", "+bitexact", "-flags:v", "+bitexact", "-map_metadata", "-1",
             str(path)], check=True)
