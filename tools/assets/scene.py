"""The exam room, the examiner's desk and the student's copybook.

Geometry follows the game screen: the room is the 688 x 368 background; the
desk clip lies at (-16, 96), the examiner's box at (9, 42) and his patrol
sweeps x 164..449, y 62..193; the copybook clip lies at (400, 256), on the
student's answer sheet, the area at (360, 232) of 209 x 137 where resting the
pointer copies nothing. Those boxes are painted by the game in flat WALL or
DESK colour, so the room keeps exactly those colours, untextured, wherever a
box can be and a few pixels around (tools/assets/check.py holds the places);
the copybook's box shows as its shadow on the sheet.
"""

import math

from palette import *  # noqa: F401,F403 (colour names)
from sketch import Sketch, bezier, ellipse_points, mix, rng

ROOM_W, ROOM_H = 688, 368
TABLE_POS = (-16, 96)
TABLE_SIZE = (176, 93)
COPYBOOK_POS = (400, 256)
COPYBOOK_SIZE = (121, 89)
ANSWER_SHEET = (360, 232, 569, 369)  # the student's own sheet: left, top, right, bottom
SHADOW = 3                           # how far the copybook's shadow reaches past its box
DESK_TOP = 200            # far edge of the student's desk
BAND_BOTTOM = 22          # the whitewashed band above the wall
SKIRTING_TOP = 197        # the skirting board between the wall and the desk
SHEET_PLACES = {"notes": (236, 306), "bombs": (20, 250), "cribs": (140, 274)}


# --- the examiner's desk --------------------------------------------------

def draw_table(sk, ox, oy, t=0.0, plain=False):
    """The examiner's desk with its papers, pen and lamp, top-left at (ox, oy).

    t in [0, 1) is the phase of the loop: papers stir, the pen rocks, the
    lamp's light breathes. t = 0 is the resting picture.
    """
    def P(x, y):
        return (ox + x, oy + y)

    def pts(seq):
        return [P(x, y) for x, y in seq]

    w, h = TABLE_SIZE
    # legs and the front panel
    for lx in (8, 156):
        sk.rect(*P(lx, 80), *P(lx + 12, 92), f"leg{lx}", fill=WOOD_DARK, width=1.0)
    sk.rect(*P(5, 22), *P(174, 84), "panel", fill=WOOD, width=1.2)
    if not plain:
        sk.hatch(pts([(5, 60), (174, 60), (174, 84), (5, 84)]), "panelhatch", WOOD_DARK,
                 spacing=3.0, width=0.5)
        for i, x in enumerate((46, 90, 134)):
            sk.stroke(pts([(x, 26), (x + 1, 82)]), f"plank{i}", 0.6, WOOD_DARK)
        sk.rect(*P(100, 34), *P(150, 50), "drawer", fill=WOOD_LIGHT, width=0.8)
        sk.oval(*P(125, 42), 2.2, 2.2, "knob", fill=BRASS, width=0.6)
    # the top, seen slightly from above
    # the far left columns lie off screen; they stay bare so that the clip's
    # top-left pixel is the plain ground the game keys out
    sk.shape(pts([(4, -2), (176, -2), (176, 22), (4, 22)]), "top", fill=WOOD_LIGHT,
             outline=None)
    sk.stroke(pts([(4, 22.5), (176, 22.5)]), "topedge", 1.6)
    if not plain:
        for i in range(4):
            y = 5 + i * 4.5
            sk.stroke(pts([(2, y), (60, y + 0.5), (118, y - 0.3), (174, y + 0.2)]),
                      f"grain{i}", 0.35, mix(WOOD_LIGHT, WOOD_DARK, 0.45), amp=0.6)

    # lamp light on the top: breathes with the phase
    glow = 0.55 + 0.25 * math.sin(2 * math.pi * t) if not plain else 0.5
    sk.oval(*P(148, 17), 22, 5, "glow", fill=mix(WOOD_LIGHT, GLOW, glow), outline=None)

    # a stack of papers; the top sheet lifts and slides a little
    for i in range(3):
        sk.rect(*P(38 + i, 10 - i * 0.8), *P(82 + i, 21 - i * 0.8), f"stack{i}",
                fill=mix(PAPER_SHADE, PAPER, i / 2), width=0.7)
    lift = 0 if plain else 1.6 * max(0.0, math.sin(2 * math.pi * t))
    slide = 0 if plain else 1.0 * math.sin(2 * math.pi * t + 0.6)
    top = [(43 + slide, 7.5), (86 + slide, 6.5 - lift), (87 + slide, 17.5 - lift * 0.6),
           (44 + slide, 18.5)]
    sk.shape(pts(top), "topsheet", fill=PAPER, width=0.8)
    if not plain:
        for i, y in enumerate((10.5, 13.3, 16.0)):
            sk.scribble(*P(47 + slide, y), P(80 + slide, y)[0] - lift * (2 - i) * 0.3,
                        f"tablescrib{i}", width=0.45, height=1.2)
        # a loose sheet at the far left, its corner stirring
        c = 1.2 * math.sin(2 * math.pi * t + 2.0)
        sk.shape(pts([(14, 8), (34, 6), (36 + c, 19 - abs(c)), (16, 21)]), "loose",
                 fill=PAPER, width=0.7)
        sk.scribble(*P(18, 12), P(31, 12)[0], "loosescrib", width=0.4, height=1.0)

    # a pen that rocks on the top
    rock = 0 if plain else 1.5 * math.sin(2 * math.pi * t * 2)
    a = (96 + rock, 18)
    b = (116 + rock * 0.5, 10)
    sk.stroke(pts([a, b]), "pen", 2.2, (30, 30, 36))
    sk.stroke(pts([a, (a[0] + 2.5, a[1] - 1)]), "pentip", 1.2, BRASS)

    # the lamp: base, arm and a green shade
    sk.oval(*P(150, 19), 9, 3, "lampbase", fill=BRASS, width=0.9)
    sk.stroke(pts([(150, 18), (147, 9), (150, 5)]), "lamparm", 1.6, mix(BRASS, INK, 0.3))
    sk.shape(pts([(136, 8), (140, 1), (160, 1), (165, 8)]), "shade", fill=LAMP_GREEN,
             width=1.0)
    sk.oval(*P(150.5, 8.5), 13, 1.8, "bulbglow", fill=mix(GLOW, (255, 255, 255), glow - 0.3),
            outline=None)


# --- the student's copybook -----------------------------------------------

COVER = (72, 112, 160)
GRID = (196, 212, 232)
SLEEVE = (150, 60, 52)


def _copybook_page(sk, P, x0, x1, seed, lines, plain):
    sk.shape([P(x0, 4), P(x1, 3), P(x1, 84), P(x0, 85)], seed, fill=PAPER, width=0.8,
             amp=0.25)
    if not plain:
        for gx in range(int(x0) + 4, int(x1) - 1, 4):
            sk.straight([P(gx, 5), P(gx, 83)], 0.3, GRID)
        for gy in range(8, 83, 4):
            sk.straight([P(x0 + 1, gy), P(x1 - 1, gy)], 0.3, GRID)
    for i, (ya, xa, xb) in enumerate(lines):
        sk.scribble(*P(xa, ya), P(xb, ya)[0], f"{seed}line{i}", PEN_BLUE, 0.55, 2.2)


def hand_pose(t):
    """Where the pen tip is at phase t: writing right along one line, then back."""
    x0, x1, y = 66.0, 100.0, 52.0
    if t < 0.75:
        u = t / 0.75
        return x0 + (x1 - x0) * u, y + 0.6 * math.sin(u * 40)
    u = (t - 0.75) / 0.25
    return x1 - (x1 - x0) * (0.5 - 0.5 * math.cos(math.pi * u)), y - 2.5 * math.sin(math.pi * u)


def draw_copybook(sk, ox, oy, t=None, plain=False):
    """The open copybook; with t given, the student's hand writes at phase t."""
    def P(x, y):
        return (ox + x, oy + y)

    sk.shape([P(2.5, 3.5), P(118.5, 2.5), P(119, 86.5), P(3, 87)], "cover", fill=COVER, width=1.0,
             amp=0.25)
    left = [(12 + i * 8, 8, 54 - (i % 3) * 6) for i in range(9)]
    right_done = [(12 + i * 8, 66, 112 - (i % 2) * 9) for i in range(5)]
    _copybook_page(sk, P, 4, 60, "lpage", left if not plain else left[:5], plain)
    _copybook_page(sk, P, 60, 117, "rpage", right_done if not plain else right_done[:3],
                   plain)
    sk.stroke([P(60, 3), P(60.5, 85)], "spine", 1.2, mix(COVER, INK, 0.4))
    if not plain:
        sk.straight([P(64, 4), P(64, 84)], 0.5, MARGIN_RED)
        sk.straight([P(8, 4), P(8, 84)], 0.5, MARGIN_RED)
    if t is None:
        return
    tipx, tipy = hand_pose(t)
    # the line being written grows behind the pen while it moves right
    writing = t < 0.75
    end = tipx if writing else 100.0
    if end > 67:
        sk.scribble(*P(66, 52), P(end, 52)[0], "newline", PEN_BLUE, 0.55, 2.2)
    _draw_hand(sk, P, tipx, tipy, lifted=not writing)


def _draw_hand(sk, P, tipx, tipy, lifted):
    # The forearm pivots about a point on the clip's lower edge, so it always
    # leaves the box at the same place and the room can draw its continuation.
    pivot = (104.0, 89.0)
    hx, hy = tipx + 9, tipy + 12           # the hand sits below-right of the tip
    ang = math.atan2(hy - pivot[1], hx - pivot[0])
    nx, ny = -math.sin(ang), math.cos(ang)
    wsleeve = 8.5
    sleeve = [(pivot[0] + nx * wsleeve, pivot[1] + ny * wsleeve + 4),
              (hx + 6 * math.cos(ang) * -1 + nx * 6, hy + 6 * math.sin(ang) * -1 + ny * 6),
              (hx + 6 * math.cos(ang) * -1 - nx * 6, hy + 6 * math.sin(ang) * -1 - ny * 6),
              (pivot[0] - nx * wsleeve, pivot[1] - ny * wsleeve + 4)]
    # the pen
    sk.stroke([P(tipx, tipy), P(tipx + 11, tipy - 13)], "handpen", 1.7, (34, 34, 40))
    sk.stroke([P(tipx, tipy), P(tipx + 1.5, tipy - 1.8)], "handpentip", 1.0, BRASS)
    # hand: a rounded fist with the thumb and index finger along the pen
    sk.oval(*P(hx, hy), 7.5, 6.0, "fist", fill=SKIN, width=0.9)
    sk.shape([P(hx - 6, hy - 3), P(tipx + 2.5, tipy - 2.5), P(tipx + 4.5, tipy - 0.5),
              P(hx - 3, hy + 1)], "finger", fill=SKIN, width=0.8, amp=0.2)
    sk.stroke([P(hx - 2, hy - 5.5), P(tipx + 6, tipy - 6)], "thumb", 0.7, SKIN_SHADE)
    sk.shape([P(x, y) for x, y in sleeve], "sleeve", fill=SLEEVE, width=1.0, amp=0.3)
    sk.stroke([P(*sleeve[1]), P(*sleeve[2])], "cuff", 1.6, mix(SLEEVE, INK, 0.3))
    if lifted:
        sk.stroke([P(tipx - 2, tipy + 3), P(tipx - 4, tipy + 4)], "lift", 0.4,
                  mix(DESK, INK, 0.4))


# --- the room ----------------------------------------------------------------

def _blackboard(sk, plain):
    # kept 4 px right of the examiner's patrol, whose box ends at x = 449
    x0, y0, x1, y1 = 461, 12, 678, 126
    sk.rect(x0 - 6, y0 - 6, x1 + 6, y1 + 6, "boardframe", fill=WOOD, width=1.2)
    sk.rect(x0, y0, x1, y1, "board", fill=BOARD, width=1.0)
    if not plain:
        sk.hatch([(x0, y0), (x1, y0), (x1, y1), (x0, y1)], "boardsmudge", BOARD_DARK,
                 spacing=5.0, angle=-0.4, width=0.8, amp=0.8)
    # chalk tray with a stub of chalk and a sponge
    sk.rect(x0 - 6, y1 + 5, x1 + 6, y1 + 10, "tray", fill=WOOD_LIGHT, width=1.0)
    sk.rect(x0 + 30, y1 + 2, x0 + 40, y1 + 5, "chalkstub", fill=CHALK, width=0.5)
    sk.rect(x1 - 40, y1 + 0, x1 - 24, y1 + 5, "sponge", fill=(200, 150, 70), width=0.7)
    chalk = mix(CHALK, BOARD, 0.08)
    if plain:
        sk.stroke([(x0 + 20, y0 + 26), (x0 + 90, y0 + 22)], "plainchalk1", 0.9, chalk)
        sk.stroke([(x0 + 20, y0 + 44), (x0 + 70, y0 + 46)], "plainchalk2", 0.9, chalk)
        return
    # a philosopher's lecture in illegible chalk: lines, a diagram, arrows
    for i in range(5):
        y = y0 + 16 + i * 13
        sk.scribble(x0 + 12, y, x0 + 12 + (120 - i * 17 if i % 2 == 0 else 90), f"chalk{i}",
                    chalk, 0.9, 4.0)
    cx, cy = x0 + 172, y0 + 42
    sk.stroke(ellipse_points(cx, cy, 20, 16), "chalkcircle", 1.0, chalk, amp=0.8)
    sk.stroke(ellipse_points(cx + 14, cy + 8, 16, 13), "chalkcircle2", 1.0, chalk, amp=0.8)
    sk.stroke([(cx - 12, cy + 38), (cx + 30, cy + 38)], "chalkline", 1.0, chalk)
    sk.stroke([(cx + 22, cy + 33), (cx + 30, cy + 38), (cx + 22, cy + 43)], "chalkarrow",
              1.0, chalk)
    sk.scribble(x0 + 130, y0 + 94, x0 + 200, "chalklast", chalk, 0.9, 4.0)


def _wall(sk, plain):
    # whitewashed top band above a painted wall, and a skirting board. The
    # examiner's box at his seat starts 18 px below the band, and his patrol
    # ends 3 px above the skirting: a room and clips scaled and rounded apart
    # by a few pixels still meet on plain wall, without a box's edge showing.
    band = mix(WALL, (250, 252, 236), 0.5)
    sk.fill_poly([(0, 0), (ROOM_W, 0), (ROOM_W, BAND_BOTTOM), (0, BAND_BOTTOM)], band)
    sk.stroke([(0, BAND_BOTTOM + 1), (ROOM_W, BAND_BOTTOM + 1)], "bandline", 1.2, WALL_DEEP,
              amp=0.3)
    sk.fill_poly([(0, SKIRTING_TOP), (ROOM_W, SKIRTING_TOP), (ROOM_W, DESK_TOP), (0, DESK_TOP)],
                 SKIRTING)
    sk.stroke([(0, SKIRTING_TOP - 0.5), (ROOM_W, SKIRTING_TOP - 0.5)], "skirtline", 0.8, INK,
              amp=0.2)
    if plain:
        return
    sk.hatch([(0, 0), (ROOM_W, 0), (ROOM_W, BAND_BOTTOM - 1), (0, BAND_BOTTOM - 1)], "bandhatch",
             mix(band, WALL, 0.6), spacing=6.0, angle=-1.2, width=0.6, amp=0.6)
    # the wall clock the whole exam is measured by: a face, ticks, two hands
    cx, cy = 400, 30
    sk.oval(cx, cy, 15, 15, "clockrim", fill=WOOD_DARK, width=1.0)
    sk.oval(cx, cy, 12, 12, "clockface", fill=PAPER, width=0.6)
    for i in range(12):
        a = i * math.pi / 6
        sk.straight([(cx + 9.5 * math.cos(a), cy + 9.5 * math.sin(a)),
                     (cx + 11 * math.cos(a), cy + 11 * math.sin(a))], 0.8, INK)
    sk.stroke([(cx, cy), (cx + 5, cy - 6)], "hourhand", 1.4)
    sk.stroke([(cx, cy), (cx - 1, cy + 9)], "minutehand", 1.0)
    # a portrait of a bearded thinker (no name plate)
    px, py = 276, 6
    sk.rect(px, py, px + 34, py + 46, "portraitframe", fill=(176, 130, 60), width=1.2)
    sk.rect(px + 4, py + 4, px + 30, py + 42, "portrait", fill=(226, 214, 180), width=0.6)
    sk.oval(px + 17, py + 18, 6.5, 7.5, "phead", fill=SKIN, width=0.7)
    sk.shape([(px + 10, py + 21), (px + 24, py + 21), (px + 21, py + 33), (px + 13, py + 33)],
             "pbeard", fill=(236, 234, 226), width=0.6)
    sk.shape([(px + 6, py + 42), (px + 9, py + 33), (px + 25, py + 33), (px + 28, py + 42)],
             "probe", fill=(90, 70, 60), width=0.6)
    sk.dot(px + 15, py + 17, 0.6)
    sk.dot(px + 19.5, py + 17, 0.6)


def _chair(sk):
    """The examiner's empty chair, seen when he has left it."""
    sk.rect(30, 62, 84, 100, "chairback", fill=WOOD_DARK, width=1.2)
    sk.rect(35, 67, 79, 86, "chairpad", fill=(120, 50, 44), width=0.8)


def _desk(sk, plain):
    sk.fill_poly([(0, DESK_TOP), (ROOM_W, DESK_TOP), (ROOM_W, ROOM_H), (0, ROOM_H)], DESK)
    sk.shape([(-2, DESK_TOP - 1), (ROOM_W + 2, DESK_TOP - 1), (ROOM_W + 2, DESK_TOP + 6),
              (-2, DESK_TOP + 6)], "deskedge", fill=DESK_EDGE, width=1.0, amp=0.3)
    if plain:
        return
    # grain, kept off the answer sheet that lies over it
    g = rng("grain")
    sx0, sy0, sx1, sy1 = ANSWER_SHEET
    for i in range(26):
        y = DESK_TOP + 12 + i * 6 + g.uniform(-2, 2)
        x = g.uniform(-40, ROOM_W - 80)
        length = g.uniform(60, 190)
        seg = [(x + k * length / 8, y + 1.2 * math.sin(k * 0.9 + i)) for k in range(9)]
        seg = [p for p in seg if not (sx0 - 4 <= p[0] <= sx1 + 4 and sy0 - 4 <= p[1] <= sy1 + 4)]
        if len(seg) > 1:
            sk.stroke(seg, f"deskgrain{i}", 0.4, DESK_DARK, amp=0.4)
    # things that students leave on desks: carved marks and doodles
    sk.stroke(bezier((310, 232), (318, 222), (326, 232)) + bezier((326, 232), (318, 244), (310, 232)),
              "heart", 0.8, DESK_EDGE)
    for i in range(5):
        sk.stroke([(600 + i * 4, 262), (601 + i * 4, 274)], f"tally{i}", 0.7, DESK_EDGE)
    sk.stroke([(598, 272), (620, 263)], "tallyx", 0.7, DESK_EDGE)
    sk.oval(615, 318, 9, 9, "doodleface", width=0.7, outline=DESK_EDGE)
    sk.dot(612, 316, 0.8, DESK_EDGE)
    sk.dot(618, 316, 0.8, DESK_EDGE)
    sk.stroke(bezier((610, 321), (615, 325), (620, 321)), "doodlesmile", 0.7, DESK_EDGE)
    sk.scribble(70, 216, 118, "deskscrib1", DESK_EDGE, 0.6, 2.4)
    sk.scribble(200, 232, 250, "deskscrib2", DESK_EDGE, 0.6, 2.4)
    sk.scribble(580, 346, 640, "deskscrib3", DESK_EDGE, 0.6, 2.4)


def _sheet_places(sk, plain):
    """Worn, darker patches where the three crib sheets lie, and their labels' spots."""
    for name, (x, y) in SHEET_PLACES.items():
        sk.oval(x + 17, y + 19, 17, 15, f"place{name}", fill=mix(DESK, DESK_DARK, 0.55),
                outline=None, amp=0.9)
        if not plain:
            sk.hatch(ellipse_points(x + 17, y + 19, 15, 13), f"placehatch{name}",
                     mix(DESK_DARK, DESK_EDGE, 0.5), spacing=4.0, width=0.4)


def _answer_sheet(sk, plain):
    """The student's answer sheet, filling its area edge to edge (its lower edge on the room's
    last rows), ruled and begun in ink; the copybook lies on it, its box's ground showing as the
    copybook's shadow, and the shadow reaches a little past the box down and to the right."""
    x0, y0, x1, _ = ANSWER_SHEET
    y1 = ROOM_H  # the area runs on below the room
    sk.fill_poly([(x1, y0 + 3), (x1 + 2, y0 + 3), (x1 + 2, y1), (x1, y1)], DESK_DARK)
    sk.rect(x0 + 1, y0 + 1, x1 - 1.5, y1 - 1.5, "answersheet", fill=PAPER, width=1.2, amp=0.2)
    if not plain:
        rule = mix(RULE_BLUE, PAPER, 0.45)
        for y in range(y0 + 30, y1 - 12, 9):
            sk.straight([(x0 + 9, y), (x1 - 9, y)], 0.4, rule)
        sk.straight([(x0 + 14, y0 + 8), (x0 + 14, y1 - 10)], 0.5, mix(MARGIN_RED, PAPER, 0.3))
        # the student's answer so far: a heading under the caption, lines either side of the
        # copybook, and more below it
        sk.scribble(x0 + 30, y0 + 16, x1 - 60, "answerhead", PEN_BLUE, 0.6, 2.6)
        for i, y in enumerate(range(y0 + 39, y1 - 12, 9)):
            if y < COPYBOOK_POS[1] + COPYBOOK_SIZE[1] + SHADOW + 4:
                sk.scribble(x0 + 17, y - 1, x0 + (30 if i % 3 == 2 else 36), f"answerl{i}",
                            PEN_BLUE, 0.5, 2.2)
                if i < 8:
                    sk.scribble(COPYBOOK_POS[0] + COPYBOOK_SIZE[0] + SHADOW + 3, y - 1,
                                x1 - (22 if i % 2 else 12), f"answerr{i}", PEN_BLUE, 0.5, 2.2)
            elif y < y1 - 14:
                sk.scribble(x0 + 17, y - 1, x0 + 110, f"answerb{i}", PEN_BLUE, 0.5, 2.2)
    # the copybook's shadow: the clip box's plain ground, and a little more of it past the box
    bx, by = COPYBOOK_POS
    bw, bh = COPYBOOK_SIZE
    sk.fill_poly([(bx, by), (bx + bw, by), (bx + bw + SHADOW, by + SHADOW),
                  (bx + bw + SHADOW, by + bh + SHADOW), (bx + SHADOW, by + bh + SHADOW),
                  (bx, by + bh)], DESK)


def _desk_things(sk, plain):
    # a pencil beside the copybook on the answer sheet, erasers beyond it and a ruler
    sk.stroke([(372, 332), (393, 276)], "pencil", 3.2, (214, 168, 52))
    sk.stroke([(393, 276), (395, 271)], "pencilpoint", 1.6, SKIN)
    sk.stroke([(372, 332), (371, 335)], "pencilend", 3.0, (200, 110, 110))
    sk.rect(584, 280, 608, 294, "eraser", fill=(226, 150, 150), width=0.9)
    if plain:
        return
    sk.rect(588, 290, 612, 304, "eraser2", fill=(120, 150, 210), width=0.9)
    sk.shape([(80, 322), (190, 314), (191, 322), (81, 330)], "ruler", fill=(236, 220, 150),
             width=0.9)
    for i in range(12):
        x = 86 + i * 9
        y = 322 - i * 0.72
        sk.straight([(x, y), (x, y + (3 if i % 2 else 5))], 0.5, INK)
    for i in range(3):
        sk.oval(582 + i * 7, 314 + i * 3, 2.4, 1.6, f"shaving{i}", fill=(214, 168, 52),
                width=0.5)
    # the student's sleeve coming in under the writing hand
    sk.shape([(488, 344), (516, 344), (524, 368), (482, 368)], "roomsleeve", fill=SLEEVE,
             width=1.0, amp=0.3)


def room(plain=False):
    """The 688 x 368 exam room; plain=True is the simpler built-in variant."""
    sk = Sketch(ROOM_W, ROOM_H, WALL)
    _wall(sk, plain)
    _blackboard(sk, plain)
    _chair(sk)
    _desk(sk, plain)
    _sheet_places(sk, plain)
    _answer_sheet(sk, plain)
    draw_copybook(sk, *COPYBOOK_POS, 0.0, plain)  # with the hand, as the clip starts
    _desk_things(sk, plain)
    image = sk.image()
    # the desk exactly as its clip's first frame shows it, ground and all: the game paints its
    # box there, and a desk drawn into the room beyond the box's edges would show where it is
    image.paste(table_picture(0.0, plain), TABLE_POS)
    return image


def table_picture(t, plain=False):
    sk = Sketch(*TABLE_SIZE, WALL)
    draw_table(sk, 0, 0, t, plain)
    return sk.image()


def table_frames(n):
    return [table_picture(i / n) for i in range(n)]


def copybook_frames(n):
    out = []
    for i in range(n):
        sk = Sketch(*COPYBOOK_SIZE, DESK)
        draw_copybook(sk, 0, 0, i / n)
        out.append(sk.image())
    return out
