"""Hand-drawn drawing primitives on Pillow.

Every shape is drawn on a canvas SCALE times larger than the target and
shrunk at the end, so strokes get soft edges at 1:1. Lines wobble by a smooth
noise whose phase comes from a per-shape seed: the same seed always gives the
same wobble, so output is reproducible and a shape stays still from one clip
frame to the next instead of "boiling".
"""

import math
import random

from PIL import Image, ImageChops, ImageDraw

SCALE = 3

INK = (52, 40, 34)          # the one outline colour of the whole set
CHALK = (236, 240, 226)


def rng(seed):
    """A private random generator; string seeds are hashed stably."""
    if isinstance(seed, str):
        h = 2166136261
        for ch in seed.encode("utf-8"):
            h = ((h ^ ch) * 16777619) & 0xFFFFFFFF
        seed = h
    return random.Random(seed)


class Wobble:
    """Smooth 1-D noise: a sum of three sines with seeded frequencies and phases."""

    def __init__(self, seed, amp):
        r = rng(seed)
        self.terms = [(amp * w, r.uniform(0.05, 0.16) / k, r.uniform(0, 2 * math.pi))
                      for k, w in ((1, 0.6), (2, 0.3), (3, 0.15))]

    def __call__(self, t):
        return sum(a * math.sin(f * t + p) for a, f, p in self.terms)


def _resample(points, step):
    """Points along the polyline at most `step` apart, with their arc length."""
    out = [(points[0][0], points[0][1], 0.0)]
    s = 0.0
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        seg = math.hypot(x1 - x0, y1 - y0)
        n = max(1, int(seg / step))
        for i in range(1, n + 1):
            t = i / n
            s += seg / n
            out.append((x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, s))
    return out


def wobbly(points, seed, amp=0.5, closed=False, step=2.0):
    """The polyline displaced sideways by smooth noise (target pixels in and out)."""
    pts = list(points)
    if closed:
        pts = pts + [pts[0]]
    dense = _resample(pts, step)
    noise = Wobble(seed, amp)
    noise2 = Wobble(str(seed) + "/y", amp)
    res = []
    for x, y, s in dense:
        res.append((x + noise(s), y + noise2(s + 37.0)))
    if closed:
        res = res[:-1]
    return res


def ellipse_points(cx, cy, rx, ry, n=None, start=0.0, end=2 * math.pi):
    if n is None:
        n = max(12, int((rx + ry) * 1.6))
    return [(cx + rx * math.cos(start + (end - start) * i / n),
             cy + ry * math.sin(start + (end - start) * i / n)) for i in range(n + 1)]


def bezier(p0, p1, p2, p3=None, n=16):
    """Quadratic (three points) or cubic (four points) curve as a polyline."""
    out = []
    for i in range(n + 1):
        t = i / n
        u = 1 - t
        if p3 is None:
            x = u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0]
            y = u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]
        else:
            x = u ** 3 * p0[0] + 3 * u * u * t * p1[0] + 3 * u * t * t * p2[0] + t ** 3 * p3[0]
            y = u ** 3 * p0[1] + 3 * u * u * t * p1[1] + 3 * u * t * t * p2[1] + t ** 3 * p3[1]
        out.append((x, y))
    return out


class Sketch:
    """A canvas in target coordinates; call .image() for the 1:1 result."""

    def __init__(self, w, h, ground, scale=SCALE):
        self.w, self.h, self.s = w, h, scale
        self.ground = ground
        self.im = Image.new("RGB", (w * scale, h * scale), ground)
        self.d = ImageDraw.Draw(self.im)

    def _sc(self, pts):
        s = self.s
        return [(x * s, y * s) for x, y in pts]

    # --- strokes -------------------------------------------------------
    def stroke(self, points, seed, width=1.0, colour=INK, amp=0.45, closed=False):
        pts = wobbly(points, seed, amp, closed)
        if closed:
            pts = pts + [pts[0]]
        self.d.line(self._sc(pts), fill=colour, width=max(1, round(width * self.s)),
                    joint="curve")
        r = width * self.s / 2
        if r >= 1.5:  # round caps so thick strokes end softly
            for x, y in (pts[0], pts[-1]):
                self.d.ellipse([x * self.s - r, y * self.s - r, x * self.s + r, y * self.s + r],
                               fill=colour)

    def straight(self, points, width=1.0, colour=INK):
        self.d.line(self._sc(points), fill=colour, width=max(1, round(width * self.s)),
                    joint="curve")

    # --- shapes --------------------------------------------------------
    def shape(self, points, seed, fill=None, outline=INK, width=1.0, amp=0.45):
        pts = wobbly(points, seed, amp, closed=True)
        if fill is not None:
            self.d.polygon(self._sc(pts), fill=fill)
        if outline is not None and width > 0:
            self.stroke(pts, str(seed) + "/o", width, outline, amp=0.15, closed=True)
        return pts

    def rect(self, x0, y0, x1, y1, seed, fill=None, outline=INK, width=1.0, amp=0.45):
        return self.shape([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], seed, fill, outline,
                          width, amp)

    def oval(self, cx, cy, rx, ry, seed, fill=None, outline=INK, width=1.0, amp=0.3):
        pts = ellipse_points(cx, cy, rx, ry)[:-1]
        return self.shape(pts, seed, fill, outline, width, amp)

    def dot(self, x, y, r, colour=INK):
        s = self.s
        self.d.ellipse([(x - r) * s, (y - r) * s, (x + r) * s, (y + r) * s], fill=colour)

    def fill_poly(self, points, colour):
        self.d.polygon(self._sc(points), fill=colour)

    # --- texture -------------------------------------------------------
    def hatch(self, points, seed, colour, spacing=3.0, angle=-0.9, width=0.5, amp=0.3):
        """Loose parallel strokes clipped to a polygon: the shading of the set."""
        mask = Image.new("L", self.im.size, 0)
        ImageDraw.Draw(mask).polygon(self._sc(points), fill=255)
        xs = [p[0] for p in points]
        ys = [p[1] for p in points]
        cx, cy = (min(xs) + max(xs)) / 2, (min(ys) + max(ys)) / 2
        half = math.hypot(max(xs) - min(xs), max(ys) - min(ys)) / 2 + 2
        dx, dy = math.cos(angle), math.sin(angle)
        nx, ny = -dy, dx
        r = rng(seed)
        k = -half
        i = 0
        ink = Image.new("L", self.im.size, 0)
        idraw = ImageDraw.Draw(ink)
        while k <= half:
            off = k + r.uniform(-0.4, 0.4) * spacing
            a = (cx + nx * off - dx * half, cy + ny * off - dy * half)
            b = (cx + nx * off + dx * half, cy + ny * off + dy * half)
            pts = wobbly([a, b], f"{seed}#{i}", amp)
            idraw.line(self._sc(pts), fill=255, width=max(1, round(width * self.s)))
            k += spacing
            i += 1
        solid = Image.new("RGB", self.im.size, colour)
        self.im.paste(solid, (0, 0), ImageChops.multiply(ink, mask))

    def scribble(self, x0, y, x1, seed, colour=INK, width=0.6, height=1.6):
        """One line of illegible handwriting between x0 and x1 at baseline y."""
        g = rng(seed)
        pts = []
        x = x0
        while x < x1:
            pts.append((x, y - g.uniform(0.2, 1.0) * height))
            x += g.uniform(0.8, 1.6)
            pts.append((x, y + g.uniform(-0.1, 0.3) * height))
            x += g.uniform(0.8, 1.6)
            if g.random() < 0.12 and x < x1 - 3:  # a gap between words
                self.stroke(pts, f"{seed}@{x:.0f}", width, colour, amp=0.2)
                pts = []
                x += g.uniform(1.5, 3.0)
        if len(pts) > 1:
            self.stroke(pts, f"{seed}@end", width, colour, amp=0.2)

    def image(self):
        return self.im.resize((self.w, self.h), Image.Resampling.BOX)


def mix(c1, c2, t):
    return tuple(round(a + (b - a) * t) for a, b in zip(c1, c2))
