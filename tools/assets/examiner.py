"""The examiner: a grey-bearded professor in glasses, suit and red tie.

He is drawn whole in a 95 x 131 box, head at the top. Seated at home only the
top 54 rows show above the desk clip; while he patrols the whole figure shows,
so he is drawn standing straight. Three clips share the figure: watching the
room, reading a newspaper, and dozing.
"""

import math
from dataclasses import dataclass

from palette import *  # noqa: F401,F403
from sketch import Sketch, bezier, ellipse_points, mix

BOX = (95, 131)
CX = 47.5
BEARD = (226, 224, 216)


@dataclass
class Pose:
    breath: float = 0.0     # 0..1: chest and head sink by up to a pixel
    turn: float = 0.0       # -1 (his right, viewer's left) .. 1
    look: tuple = (0.0, 0.0)  # pupils' offset in pixels
    blink: float = 0.0      # 0 open .. 1 shut
    brow: float = 0.0       # raise of the eyebrows in pixels
    nod: float = 0.0        # head sinks forward, pixels (dozing)
    sleep: bool = False     # eyes drawn as closed arcs, mouth open
    bubble: float = 0.0     # radius of a sleeper's nose bubble
    paper_top: float = None  # newspaper held with its top edge at this row
    page: float = None      # 0..1: a newspaper page turning right to left
    arms_folded: bool = False


def _body(sk, p):
    dy = p.breath
    # legs and shoes: still, they carry the rest
    for x0, x1, side in ((27, 46, "l"), (49, 68, "r")):
        sk.shape([(x0, 92), (x1, 92), (x1 - 1, 123), (x0 + 1, 123)], f"leg{side}",
                 fill=TROUSERS, width=0.9)
        sk.shape([(x0 - 2 + (0 if side == "l" else 3), 122), (x1 + (0 if side == "l" else 3), 122),
                  (x1 + (1 if side == "l" else 4), 129), (x0 - 3 + (0 if side == "l" else 3), 129)],
                 f"shoe{side}", fill=SHOE, width=0.8)
    # jacket
    jacket = [(31, 41 + dy), (64, 41 + dy), (74, 46 + dy), (77, 54 + dy), (77, 97), (18, 97),
              (18, 54 + dy), (21, 46 + dy)]
    sk.shape(jacket, "jacket", fill=SUIT, width=1.1)
    sk.hatch([(19, 75), (77, 75), (77, 97), (18, 97)], "jackethatch", SUIT_DARK, spacing=3.0,
             width=0.5)
    # shirt and tie in the jacket's V
    sk.shape([(39, 42 + dy), (56, 42 + dy), (47.5, 66 + dy * 0.5)], "shirt", fill=SHIRT,
             width=0.8)
    sk.shape([(45.5, 45 + dy), (49.5, 45 + dy), (50.5, 60 + dy * 0.5), (47.5, 65 + dy * 0.5),
              (44.5, 60 + dy * 0.5)], "tie", fill=TIE, width=0.7)
    sk.stroke([(39, 42 + dy), (44, 56 + dy), (47.5, 66 + dy * 0.5)], "lapell", 0.8)
    sk.stroke([(56, 42 + dy), (51, 56 + dy), (47.5, 66 + dy * 0.5)], "lapelr", 0.8)
    for i in range(3):
        sk.dot(51.5, 72 + i * 7, 0.9, SUIT_DARK)
    if p.arms_folded:
        sk.shape([(22, 66 + dy), (73, 64 + dy), (74, 75 + dy), (21, 77 + dy)], "folded",
                 fill=SUIT, width=1.0)
        sk.oval(24, 71 + dy, 4, 4, "fisthl", fill=SKIN, width=0.7)
        sk.oval(71, 70 + dy, 4, 4, "fisthr", fill=SKIN, width=0.7)
        return
    # arms hang at the sides with the hands out of the cuffs
    sk.stroke([(23, 54 + dy), (21, 90)], "armseaml", 0.7)
    sk.stroke([(72, 54 + dy), (74, 90)], "armseamr", 0.7)
    if p.paper_top is None:
        sk.oval(20, 98, 4, 5, "handl", fill=SKIN, width=0.7)
        sk.oval(75, 98, 4, 5, "handr", fill=SKIN, width=0.7)


def _head(sk, p):
    dy = p.breath + p.nod
    fx = 3.0 * p.turn
    hx = CX + 1.0 * p.turn
    hy = 22 + dy
    # neck under the beard
    sk.rect(42, 33 + dy, 53, 43 + dy, "neck", fill=SKIN_SHADE, width=0.8)
    # ears: the one he turns away from shows more
    # grey tufts behind the ears, bulging past the head's outline
    for side in (-1, 1):
        tx = hx + side * 11.5 + fx * 0.15
        sk.shape([(tx - side * 1.5, hy - 8), (tx + side * 3.5, hy - 5), (tx + side * 4.0, hy + 2),
                  (tx + side * 1.0, hy + 6), (tx - side * 1.5, hy + 4)], f"tuft{side}",
                 fill=HAIR_GREY, width=0.7, amp=0.4)
    sk.oval(hx, hy, 12, 15, "head", fill=SKIN, width=1.1)
    for side, ex in ((-1, hx - 12.0 + fx * 0.25), (1, hx + 12.0 + fx * 0.25)):
        if p.turn * side > 0.7:
            continue
        sk.oval(ex, hy + 1, 2.4, 4.0, f"ear{side}", fill=SKIN, width=0.8)
    # a bald crown shine and grey tufts over the ears
    sk.stroke(bezier((hx - 5 + fx * 0.3, hy - 11), (hx - 2 + fx * 0.3, hy - 13.5),
                     (hx + 2 + fx * 0.3, hy - 12.5)), "shine", 0.9, (252, 232, 214))
    # beard and moustache
    sk.shape([(hx - 9 + fx * 0.6, hy + 6), (hx + 9 + fx * 0.6, hy + 6),
              (hx + 7 + fx * 0.8, hy + 14), (hx + fx, hy + 18), (hx - 7 + fx * 0.8, hy + 14)],
             "beard", fill=BEARD, width=0.8, amp=0.5)
    if p.sleep:
        sk.oval(hx + fx, hy + 10.5, 2.2, 1.8, "mouthopen", fill=(120, 50, 50), width=0.6)
    else:
        sk.stroke([(hx - 2.5 + fx, hy + 10.5), (hx + 2.5 + fx, hy + 10.2)], "mouth", 0.7)
    sk.shape([(hx - 6 + fx, hy + 8), (hx + fx, hy + 6.5), (hx + 6 + fx, hy + 8),
              (hx + fx, hy + 9.5)], "moustache", fill=mix(BEARD, HAIR_GREY, 0.6), width=0.6)
    # nose
    sk.stroke([(hx + fx, hy - 1), (hx + fx + 1.5 * (1 if p.turn >= 0 else -1), hy + 4),
               (hx + fx, hy + 5)], "nose", 0.8)
    # eyes behind round glasses
    ey = hy - 1 + (1.5 if p.sleep else 0)
    for side in (-1, 1):
        ex = hx + fx + side * 5.2
        sk.oval(ex, ey, 4.4, 4.0, f"lens{side}", fill=(250, 250, 246), width=0.9)
        if p.sleep or p.blink > 0.6:
            sk.stroke(bezier((ex - 2.5, ey), (ex, ey + 1.8), (ex + 2.5, ey)), f"shut{side}", 0.8)
        else:
            lx, ly = p.look
            sk.dot(ex + lx, ey + 0.3 + ly, 1.35)
            if p.blink > 0.2:
                sk.fill_poly(ellipse_points(ex, ey, 3.6, 3.4, 12, math.pi, 2 * math.pi)
                             + [(ex + 3.6, ey - 0.5 + p.blink * 2)], SKIN)
        # eyebrows
        sk.stroke([(ex - 3, ey - 5 - p.brow * (1.3 if side > 0 else 0.7)),
                   (ex + 3, ey - 5.5 - p.brow * (1.3 if side > 0 else 0.7))],
                  f"brow{side}", 1.4, HAIR_GREY if p.sleep else mix(HAIR_GREY, INK, 0.5))
    sk.stroke([(hx + fx - 1, ey - 0.5), (hx + fx + 1, ey - 0.5)], "bridge", 0.8)
    if p.bubble > 0.3:
        bx, by = hx + fx + 4 + p.bubble * 0.6, hy + 5 + p.bubble * 0.3
        sk.oval(bx, by, p.bubble, p.bubble, "bubble", fill=(222, 240, 250), width=0.6,
                amp=0.1)
        sk.dot(bx - p.bubble * 0.35, by - p.bubble * 0.35, 0.5, (255, 255, 255))


def _newspaper(sk, p):
    top = p.paper_top
    x0, x1, h = 6, 89, 58
    sk.shape([(x0, top), (x1, top - 1), (x1 + 1, top + h), (x0 - 1, top + h + 1)], "news",
             fill=NEWS, width=1.0, amp=0.35)
    mid = (x0 + x1) / 2
    sk.stroke([(mid, top), (mid + 0.5, top + h)], "newsfold", 0.6, NEWS_SHADE)
    # the masthead as a bold scribble, a picture box, and columns of lines
    sk.scribble(x0 + 5, top + 6, mid - 6, "masthead", INK, 1.1, 3.0)
    sk.rect(x0 + 5, top + 11, x0 + 20, top + 24, "newsphoto", fill=NEWS_SHADE, width=0.6)
    for col, cx0 in enumerate((x0 + 23, mid + 4, mid + 23)):
        cw = 15 if col else mid - 3 - cx0
        for i in range(8 if col else 3):
            y = top + (6 if col else 13) + i * 4
            sk.scribble(cx0, y, cx0 + cw, f"news{col}_{i}", mix(INK, NEWS, 0.35), 0.4, 1.1)
    for i in range(4):
        sk.scribble(x0 + 5, top + 30 + i * 4, mid - 5, f"newsl{i}", mix(INK, NEWS, 0.35),
                    0.4, 1.1)
    if p.page is not None and 0 < p.page < 1:
        # the turning page: its free edge swings from the right edge to the left
        edge = x1 + (x0 - x1) * p.page
        lift = 6 * math.sin(math.pi * p.page)
        sk.shape([(mid, top), (edge, top - lift), (edge, top + h + lift * 0.3), (mid, top + h)],
                 "page", fill=mix(NEWS, (255, 255, 255), 0.4), width=0.9, amp=0.2)
    # hands gripping the edges
    for side, hx in (("l", x0 + 1), ("r", x1)):
        sk.oval(hx, top + 22, 4.2, 5.5, f"grip{side}", fill=SKIN, width=0.8)


def frame(p):
    sk = Sketch(*BOX, WALL)
    _body(sk, p)
    _head(sk, p)
    if p.paper_top is not None:
        _newspaper(sk, p)
    return sk.image()


def _breath(i, n, cycles=2):
    return 0.5 - 0.5 * math.cos(2 * math.pi * cycles * i / n)


def watching(n=36):
    """Seated and watchful: breathes, blinks, looks aside, then eyes the student."""
    out = []
    for i in range(n):
        p = Pose(breath=_breath(i, n))
        if i in (8, 33):
            p.blink = 1.0
        elif i in (7, 9, 32, 34):
            p.blink = 0.4
        if 13 <= i <= 20:  # turns his head to the window side and back
            u = (i - 13) / 7
            p.turn = -math.sin(math.pi * u)
            p.look = (-1.2 * math.sin(math.pi * u), 0)
        if 23 <= i <= 30:  # a suspicious glance down at the student's desk
            u = (i - 23) / 7
            k = math.sin(math.pi * u)
            p.turn = 0.45 * k
            p.look = (1.6 * k, 1.2 * k)
            p.brow = 1.6 * k
        out.append(frame(p))
    return out


def reading(n=32):
    """Behind a newspaper: it trembles, drops for a peek at the student, and a page turns."""
    out = []
    for i in range(n):
        p = Pose(breath=_breath(i, n, 1))
        top = 26.0 + 0.4 * math.sin(i * 1.7)
        if 9 <= i <= 22:
            u = (i - 9) / 13
            top += 10 * math.sin(math.pi * u) ** 0.6
            p.look = (1.5 * math.sin(math.pi * u), 1.0)
            p.brow = 1.2 * math.sin(math.pi * u)
        p.paper_top = top
        if 24 <= i <= 30:
            p.page = (i - 23) / 8
        out.append(frame(p))
    return out


def dozing(n=30):
    """Asleep with folded arms: the head sinks, a bubble swells, a start, and again."""
    out = []
    for i in range(n):
        p = Pose(sleep=True, arms_folded=True, breath=_breath(i, n, 1))
        if i < 22:
            u = i / 21
            p.nod = 3.0 * u
            p.bubble = 0.8 + 3.2 * u
        else:
            u = (i - 22) / 8
            p.nod = 3.0 * (1 - u) ** 3 - 0.6 * math.sin(math.pi * u)
            p.bubble = 0.0
            p.turn = 0.2 * math.sin(math.pi * u)
        out.append(frame(p))
    return out
