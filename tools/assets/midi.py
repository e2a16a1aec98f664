"""A small Standard MIDI File writer and a note notation for composing.

Notation: space-separated tokens "PITCH:BEATS", where PITCH is a note name
with octave (C4 is middle C, sharps "#", flats "b"), several joined by "+"
for a chord, or "r" for a rest; BEATS is a length in quarter notes.
"""

import struct

from sketch import rng

TPQ = 480  # ticks per quarter note

NAMES = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def pitch(name):
    step = NAMES[name[0].upper()]
    i = 1
    while i < len(name) and name[i] in "#b":
        step += 1 if name[i] == "#" else -1
        i += 1
    return 12 * (int(name[i:]) + 1) + step


def parse(text):
    """[(beats, [pitches] or [])] from the notation."""
    out = []
    for tok in text.split():
        name, _, beats = tok.partition(":")
        notes = [] if name == "r" else [pitch(n) for n in name.split("+")]
        out.append((float(beats), notes))
    return out


class Part:
    """One instrument on one channel; notes are (start beat, length, pitch, velocity)."""

    def __init__(self, channel, program, volume=100, pan=64, reverb=40):
        self.channel, self.program = channel, program
        self.volume, self.pan, self.reverb = volume, pan, reverb
        self.expression = 127
        self.dynamics = []
        self.notes = []

    def shape(self, *points):
        """The part's dynamics: (beat, dB) breakpoints, 0 dB or less, followed linearly in dB
        between them and held before the first and after the last; two points on one beat make
        a sudden change. Written as expression, relative to `expression`."""
        self.dynamics = sorted(points, key=lambda p: p[0])

    def add(self, start, text, vel=80, legato=0.92, human=0, seed="h"):
        """Append the notation at `start` (beats); returns the beat after it."""
        g = rng(f"{seed}@{start}")
        t = start
        for beats, ps in parse(text):
            for p in ps:
                v = vel + (g.randint(-human, human) if human else 0)
                self.notes.append((t, beats * legato, p, max(1, min(127, v))))
            t += beats
        return t

    def hit(self, start, length, p, vel):
        self.notes.append((start, length, p, vel))


def _varlen(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def _track(events):
    """events: (tick, order, bytes); sorted, delta-timed, with End of Track."""
    events.sort(key=lambda e: (e[0], e[1]))
    data = bytearray()
    now = 0
    for tick, _, msg in events:
        data += _varlen(tick - now) + msg
        now = tick
    data += b"\x00\xff\x2f\x00"
    return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def _expression(part):
    """(tick, value) of the part's expression controller: its level, shaped by its dynamics."""
    def value(db):
        assert db <= 0, "expression can only lower a part"
        return max(1, min(127, round(part.expression * 10 ** (db / 40))))

    points = part.dynamics or [(0, 0.0)]
    out = [(0, value(points[0][1]))]
    for (b0, d0), (b1, d1) in zip(points, points[1:]):
        t0, t1 = round(b0 * TPQ), round(b1 * TPQ)
        for tick in range(t0, t1, TPQ // 8):  # a ramp in eighths of a beat
            out.append((tick, value(d0 + (d1 - d0) * (tick - t0) / (t1 - t0))))
        out.append((t1, value(d1)))
    changes = []
    for tick, v in out:
        if changes and changes[-1][0] == tick:
            changes.pop()
        if not changes or changes[-1][1] != v:
            changes.append((tick, v))
    return [c for c in changes if c != (0, 127)]


def last_note_end(parts):
    """The beat at which the last note of the parts ends."""
    return max(start + length for part in parts for start, length, _, _ in part.notes)


def write(path, tempo_bpm, parts, beats_per_bar=4):
    """A format 1 file: a tempo track, then one track per part; returns its
    length in seconds.

    The tempo track's End of Track lies where the last note ends, so a
    player's idea of the piece's length is the music's own: no closing rest.
    """
    end_beat = last_note_end(parts)
    usq = round(60_000_000 / tempo_bpm)
    meta = [(0, 0, b"\xff\x51\x03" + usq.to_bytes(3, "big")),
            (0, 1, b"\xff\x58\x04" + bytes([beats_per_bar, 2, 24, 8])),
            (round(end_beat * TPQ), 9, b"\xff\x01\x00")]  # empty text marks the end
    tracks = [_track(meta)]
    for part in parts:
        ch = part.channel
        ev = [(0, 0, bytes([0xB0 | ch, 7, part.volume])),
              (0, 0, bytes([0xB0 | ch, 10, part.pan])),
              (0, 0, bytes([0xB0 | ch, 91, part.reverb])),
              *[(tick, 0, bytes([0xB0 | ch, 11, v])) for tick, v in _expression(part)],
              (0, 1, bytes([0xC0 | ch, part.program]))]
        for start, length, p, vel in part.notes:
            on = round(start * TPQ)
            off = max(on + 1, round((start + length) * TPQ))
            ev.append((on, 3, bytes([0x90 | ch, p, vel])))
            ev.append((off, 2, bytes([0x80 | ch, p, 0])))
        tracks.append(_track(ev))
    head = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TPQ)
    with open(path, "wb") as f:
        f.write(head + b"".join(tracks))
    return end_beat * 60.0 / tempo_bpm
