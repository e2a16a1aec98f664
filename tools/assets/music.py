"""The game's four pieces, composed here and written as General MIDI.

pms.mp3   menu: a light, bouncy tune in C major; ends on a short chord, and
          starts again as the chord dies away.
pms2.mp3  exam: A minor over a wood-block tick-tock and a pizzicato ostinato.
pms.mid   a courtly fanfare in D major: trumpets, horns, timpani.
pms1.mid  a calm tune in G major on harp and flute.

The MP3s are rendered from their MIDI with FluidSynth and the TimGM6mb
soundfont, then encoded by lame as mono CBR. A piece ends with its last note:
an MP3 keeps that note's release as far as it is heard, at most TAIL, and a
MIDI file's End of Track lies where the note ends. The game starts a
repeating piece again when it ends, so its tail is the gap at every repeat.

Every piece is levelled to the one loudness at which the game plays music,
LOUDNESS (EBU R128 integrated loudness of what the game puts out, measured by
FFmpeg's meter): an MP3 by scaling its samples, a MIDI piece by its channels'
expression, with the synthesiser at the gain that the game's music back-end
gives it (MIDI_GAIN; the game's synthesiser plays at 22.05 kHz). And every
piece plays evenly, so that an exam opens as loud as the menu: any 10 s of it
lies within EVEN LU of that level and its first 30 s within EVEN_OPENING. Where
a section's texture is thinner or fuller than the rest, the piece's dynamics
(hairpins of the channels' expression at the section's edges, *_DYNAMICS)
bring it to the same level.
"""

import array
import math
import re
import subprocess
import tempfile
import wave
from pathlib import Path

import midi
from midi import Part

SOUNDFONT = "/usr/share/sounds/sf2/TimGM6mb.sf2"
RATE = 44100
# The game's music level in LUFS, and the synthesiser gain and rate of its MIDI
# playback (the back-end's music volume 60 of 128 on SDL2_mixer's scale, whose
# full volume is a FluidSynth gain of 1.2).
LOUDNESS = -20.0
# How far any 10 s of a piece, and its first 30 s, may lie from that level, in LU.
EVEN = 3.0
EVEN_OPENING = 2.0
MIDI_GAIN = 1.2 * 60 / 128
# The longest tail an MP3 keeps after its last note ends, in seconds; the tail
# ends sooner where the sound stays TAIL_FLOOR dB below the piece's peak, and
# its last FADE seconds (or the whole of a shorter one) fade to silence, so
# that the restart does not click.
TAIL = 0.35
TAIL_FLOOR = -50.0
FADE = 0.15
MIDI_RATE = 22050
DRUMS = 9

# General MIDI programs
PIANO, GLOCK, MARIMBA = 0, 9, 12
ACOUSTIC_BASS, CONTRABASS, TREMOLO, PIZZ, HARP, TIMPANI = 32, 43, 44, 45, 46, 47
STRINGS, TRUMPET, TROMBONE, HORN, OBOE, FLUTE = 48, 56, 57, 60, 68, 73
# General MIDI percussion keys
KICK, SNARE, HIHAT, TAMBOURINE, CRASH, TRIANGLE = 36, 38, 42, 54, 49, 81
WOOD_HI, WOOD_LO = 76, 77

CHORDS = {
    "C": ("C3", "C4+E4+G4", "G2"), "G": ("G2", "B3+D4+G4", "D3"),
    "G7": ("G2", "B3+D4+F4", "D3"), "F": ("F2", "A3+C4+F4", "C3"),
    "Am": ("A2", "A3+C4+E4", "E3"), "Em": ("E2", "B3+E4+G4", "B2"),
    "Dm": ("D3", "A3+D4+F4", "A2"), "E": ("E2", "G#3+B3+E4", "B2"),
    "D": ("D3", "A3+D4+F#4", "A2"), "A": ("A2", "A3+C#4+E4", "E3"),
}


def bars(plan):
    """'C G F-G' -> per bar a list of (chord, beat offset, beats)."""
    out = []
    for bar in plan.split():
        names = bar.split("-")
        step = 4 / len(names)
        out.append([(n, i * step, step) for i, n in enumerate(names)])
    return out


def tune(part, start, lines, **kw):
    t = start
    for line in lines:
        t = part.add(t, line, **kw)
    return t


# --- menu --------------------------------------------------------------------

MENU_A = ["E5:1 G5:1 C6:1 G5:1", "A5:1 G5:.5 F5:.5 E5:1 D5:1", "E5:.5 F5:.5 G5:1 G5:1 E5:1",
          "F5:1 A5:1 C6:1 A5:1", "G5:1.5 E5:.5 C5:1 E5:1", "D5:1 G5:1 B5:1 G5:1",
          "A5:1 F5:1 D5:1 B4:1"]
MENU_B = ["C6:1.5 B5:.5 A5:1 E5:1", "G5:1.5 F5:.5 E5:1 B4:1", "A5:1 C6:1 F5:1 A5:1",
          "G5:2 E5:1 C5:1", "D5:.5 E5:.5 F5:1 A5:1 F5:1", "G5:.5 A5:.5 B5:1 D6:1 B5:1",
          "C6:1 G5:1 A5:1 F5:1", "D5:1 E5:.5 F5:.5 G5:1 r:1"]

# the vamp of the first two bars full, the band softer under the flute, up for
# the marimba's middle section, down again for the flute's return: (beat, dB)
MENU_DYNAMICS = [(0, 0), (6, 0), (8, -6), (38, -6), (42, -3), (70, -3), (74, -6.8)]


def menu():
    tempo = 126
    plan = bars("C G7 " + "C G C F C G F-G C " + "Am Em F C Dm G C-F G7 "
                + "C G C F C G F-G C C")
    piano = Part(0, PIANO, volume=84, pan=52)
    bass = Part(1, ACOUSTIC_BASS, volume=96)
    flute = Part(2, FLUTE, volume=104, pan=70)
    mallet = Part(3, MARIMBA, volume=127, pan=76)
    glock = Part(4, GLOCK, volume=60, pan=84)
    pad = Part(5, STRINGS, volume=72, pan=40, reverb=70)
    drums = Part(DRUMS, 0, volume=70)
    last = len(plan) - 1
    for b, bar in enumerate(plan[:last]):
        t0 = b * 4
        for name, off, n in bar:
            root, chord, fifth = CHORDS[name]
            for k in range(int(n)):  # oom-pah: bass on the strong beats, chord between
                beat = off + k
                if beat % 2 == 0:
                    piano.add(t0 + beat, f"{root if beat == 0 or n < 4 else fifth}:1", 74, 0.45, 6, "pb")
                else:
                    piano.add(t0 + beat, f"{chord}:1", 58, 0.35, 6, "pc")
            bass.add(t0 + off, f"{root.replace('3', '2')}:{n}", 84, 0.85)
            if 10 <= b < 18:
                pad.add(t0 + off, f"{chord}:{n}", 52, 0.98)
        if b >= 2:
            for k in range(8):
                drums.hit(t0 + k / 2, 0.25, HIHAT, 38 if k % 2 == 0 else 26)
            drums.hit(t0, 0.5, KICK, 60)
            drums.hit(t0 + 2, 0.5, KICK, 52)
            drums.hit(t0 + 1, 0.5, TAMBOURINE, 40)
            drums.hit(t0 + 3, 0.5, TAMBOURINE, 40)
    t = tune(flute, 8, MENU_A + ["C5:3 r:1"], vel=92, legato=0.88, human=6, seed="fa")
    t = tune(mallet, t, MENU_B, vel=112, legato=0.9, human=6, seed="mb")
    tune(flute, t, MENU_A + ["C6:1 G5:.5 E5:.5 C5:1 r:1"], vel=96, legato=0.88, human=6, seed="fa2")
    tune(glock, t, MENU_A + ["C6:1 G5:.5 E5:.5 C5:1 r:1"], vel=60, legato=0.6)
    # the close: one short chord from everyone
    end = last * 4
    piano.add(end, "C3+C4+E4+G4+C5:1.5 r:2.5", 84, 0.9)
    bass.add(end, "C2:1.5", 90, 0.9)
    flute.add(end, "C6:1.5", 90, 0.9)
    drums.hit(end, 1, KICK, 70)
    drums.hit(end, 2, TRIANGLE, 60)
    parts = [piano, bass, flute, mallet, glock, pad, drums]
    for part in parts:
        part.shape(*MENU_DYNAMICS)
    return tempo, parts


# --- exam --------------------------------------------------------------------

EXAM_TUNE = ["E5:1.5 D5:.5 C5:1 E5:1", "A5:2 G5:1 E5:1", "F5:1.5 E5:.5 D5:1 C5:1",
             "A4:2 C5:1 F5:1", "F5:1 E5:.5 D5:.5 A5:1 F5:1", "E5:1 G#5:1 B5:1 G#5:1",
             "A5:1.5 G#5:.5 A5:1 E5:1", "B4:2 G#4:1 r:1", "C5:2 A4:2", "B4:1 C5:1 D5:1 E5:1"]
# the clockwork alone, then softer as the strings join, softer again under the
# oboe's tune, and down into the timpani's swell: (beat, dB)
EXAM_DYNAMICS = [(0, 0), (14, 0), (18, -5), (46, -5), (50, -11), (84, -11), (88, -13)]
OSTINATO = {"Am": "A3 E4 C4 E4", "F": "F3 C4 A3 C4", "Dm": "D3 A3 F3 A3", "E": "E3 B3 G#3 B3"}


def exam():
    tempo = 104
    plan = bars("Am Am Am Am " + "Am Am F F Dm Dm E E " + "Am Am F F Dm E Am E " + "F E Am Am")
    pizz = Part(0, PIZZ, volume=100, pan=50)
    pad = Part(1, TREMOLO, volume=70, pan=74, reverb=60)
    bass = Part(2, CONTRABASS, volume=100)
    oboe = Part(3, OBOE, volume=100, pan=64)
    timp = Part(4, TIMPANI, volume=110)
    drums = Part(DRUMS, 0, volume=90)
    for b, bar in enumerate(plan[:22]):
        t0 = b * 4
        name = bar[0][0]
        notes = OSTINATO[name].split()
        for k in range(8):  # the clockwork: eighth notes, accent on each beat
            pizz.add(t0 + k / 2, f"{notes[k % 4]}:.5", 78 if k % 2 == 0 else 60, 0.5)
        if b >= 4:
            pad.add(t0, f"{CHORDS[name][1]}:4", 50 + (b - 4), 0.98)
            bass.add(t0, f"{CHORDS[name][0].replace('3', '2')}:4", 80, 0.95)
    for b in range(23):
        t0 = b * 4
        for k in range(4):  # tick-tock
            drums.hit(t0 + k, 0.25, WOOD_HI if k % 2 == 0 else WOOD_LO, 84 if k % 2 == 0 else 70)
    tune(oboe, 48, EXAM_TUNE, vel=90, legato=0.95, human=5, seed="ob")
    # the build: a timpani roll swelling into the last chord, then the clock alone
    for i in range(32):
        timp.hit(80 + i / 4, 0.25, midi.pitch("E2") if i >= 16 else midi.pitch("A2"), 40 + i * 2)
    end = 88
    timp.hit(end, 2, midi.pitch("A2"), 110)
    pizz.add(end, "A2+A3+E4+A4:1.5", 100, 0.9)
    pad.add(end, "A3+C4+E4:2", 80, 0.9)
    bass.add(end, "A1:2", 100, 0.9)
    oboe.add(end, "A5:1.5", 96, 0.9)
    drums.hit(end + 4, 0.25, WOOD_HI, 60)
    drums.hit(end + 5, 0.25, WOOD_LO, 45)
    parts = [pizz, pad, bass, oboe, timp, drums]
    for part in parts:
        part.shape(*EXAM_DYNAMICS)
    return tempo, parts


# --- fanfare -----------------------------------------------------------------

FANFARE = ["D5:.333 D5:.333 D5:.334 D5:1 A4:1 D5:1",
           "F#5:.333 F#5:.333 F#5:.334 F#5:1 D5:1 F#5:1",
           "A5:1.5 F#5:.5 D5:1 F#5:1", "E5:3 r:1",
           "G5:1.5 F#5:.5 E5:1 D5:1", "C#5:1 E5:1 A5:2",
           "B5:1.5 A5:.5 G5:1 F#5:1", "E5:1 A4:.5 B4:.5 C#5:1 E5:1",
           "D5:.333 D5:.333 D5:.334 F#5:.333 F#5:.333 F#5:.334 A5:1 F#5:1",
           "D5+F#5+A5+D6:2.5 r:1.5"]


def fanfare():
    tempo = 108
    plan = bars("D D D A G-D A G-D A D D")
    tpt = Part(0, TRUMPET, volume=110, pan=60)
    horn = Part(1, HORN, volume=96, pan=44)
    bone = Part(2, TROMBONE, volume=100, pan=80)
    timp = Part(3, TIMPANI, volume=112)
    strings = Part(4, STRINGS, volume=70, reverb=70)
    drums = Part(DRUMS, 0, volume=80)
    tune(tpt, 0, FANFARE, vel=100, legato=0.85, human=5, seed="tp")
    for b, bar in enumerate(plan[:9]):
        t0 = b * 4
        for name, off, n in bar:
            root, chord, fifth = CHORDS[name]
            horn.add(t0 + off, f"{chord.replace('3', '4', 1) if name != 'D' else 'F#4+A4'}:{n}",
                     76, 0.9)
            bone.add(t0 + off, f"{root}:{min(n, 2)}", 88, 0.8)
            if n == 4:
                bone.add(t0 + off + 2, f"{fifth}:2", 80, 0.8)
            strings.add(t0 + off, f"{chord}:{n}", 60, 0.98)
        timp.hit(t0, 0.5, midi.pitch("D2"), 96)
        timp.hit(t0 + 2, 0.5, midi.pitch("A1"), 84)
        drums.hit(t0, 0.25, SNARE, 60)
        for k in (2, 2.333, 2.666):  # a march snare's triplet
            drums.hit(t0 + k, 0.2, SNARE, 50)
    for i in range(8):  # a timpani roll into the last bars
        timp.hit(30 + i / 4, 0.25, midi.pitch("A1"), 60 + i * 5)
    end = 36
    horn.add(end, "F#4+A4+D5:2.5", 88, 0.95)
    bone.add(end, "D3:2.5", 96, 0.95)
    timp.hit(end, 2, midi.pitch("D2"), 120)
    strings.add(end, "D3+A3+D4+F#4:2.5", 70, 0.98)
    drums.hit(end, 2, CRASH, 80)
    return tempo, [tpt, horn, bone, timp, strings, drums]


# --- about -------------------------------------------------------------------

CALM = ["B4:1.5 A4:.5 G4:1 D5:1", "E5:2 D5:1 B4:1", "C5:1.5 B4:.5 A4:1 G4:1", "A4:3 r:1",
        "B4:1 D5:1 G5:1.5 F#5:.5", "E5:1.5 D5:.5 C5:1 E5:1", "D5:1 B4:1 A4:1 F#4:1", "G4:4"]
ARP = {"G": "G3 B3 D4 G4 B4 G4 D4 B3", "Em": "E3 B3 E4 G4 B4 G4 E4 B3",
       "C": "C3 G3 C4 E4 G4 E4 C4 G3", "D": "D3 A3 D4 F#4 A4 F#4 D4 A3",
       "Am": "A2 E3 A3 C4 E4 C4 A3 E3"}


def calm():
    tempo = 76
    plan = bars("G Em C D G C Am-D G")
    harp = Part(0, HARP, volume=120, pan=50)
    flute = Part(1, FLUTE, volume=110, pan=74, reverb=70)
    strings = Part(2, STRINGS, volume=60, pan=64, reverb=80)
    for b, bar in enumerate(plan):
        t0 = b * 4
        for name, off, n in bar:
            notes = ARP[name].split()
            for k in range(int(n * 2)):
                harp.add(t0 + off + k / 2, f"{notes[k % 8]}:.5", 84 if k % 4 == 0 else 70, 1.6)
            strings.add(t0 + off, f"{CHORDS[name][1]}:{n}", 44, 0.98)
    tune(flute, 0, CALM, vel=100, legato=0.96, human=4, seed="cf")
    end = 32
    harp.add(end, "G3:.5 B3:.5 D4:.5 G4:.5 B4:.5 D5:.5 G5:2", 80, 2.0)
    strings.add(end, "G3+B3+D4+G4:3", 40, 0.98)
    return tempo, [harp, flute, strings]


# --- rendering ---------------------------------------------------------------

def synthesise(mid, wav, gain, rate):
    subprocess.run(["fluidsynth", "-n", "-i", "-q", "-g", str(gain), "-r", str(rate),
                    "-F", str(wav), "-T", "wav", "-O", "s16", SOUNDFONT, str(mid)],
                   check=True, stdout=subprocess.DEVNULL)


def meter(path, upmix=None):
    """FFmpeg's EBU R128 report on a sound file as the game plays it; `upmix` is
    an FFmpeg pan filter that turns it into the game's stereo."""
    chain = f"{upmix},ebur128" if upmix else "ebur128"
    return subprocess.run(["ffmpeg", "-nostats", "-hide_banner", "-i", str(path), "-af", chain,
                           "-f", "null", "-"], capture_output=True, text=True, check=True).stderr


def loudness(path, upmix=None):
    """Integrated loudness of a sound file in LUFS as the game plays it."""
    return float(re.findall(r"I:\s+(-?[0-9.]+) LUFS", meter(path, upmix))[-1])


def spread(path, upmix=None):
    """The loudness of the quietest and the loudest 10 s of a sound file, and
    of its first 30 s, in LUFS: the mean power of the 400 ms blocks whose
    momentary loudness the meter reports every 100 ms, from the first block
    that sounds to the last."""
    levels = [float(m) for m in re.findall(r"TARGET:\S+ LUFS\s+M:\s*(-?[0-9.]+)",
                                           meter(path, upmix))]
    sounding = [i for i, m in enumerate(levels) if m > -70]
    power = [10 ** ((m + 0.691) / 10) for m in levels[sounding[0]:sounding[-1] + 1]]

    def stretch(start, seconds):
        part = power[start:start + seconds * 10 - 3]
        return -0.691 + 10 * math.log10(sum(part) / len(part))

    windows = [stretch(i, 10) for i in range(len(power) - 96)]
    return min(windows), max(windows), stretch(0, 30)


def check_even(name, path, upmix=None):
    quietest, loudest, opening = spread(path, upmix)
    assert LOUDNESS - EVEN <= quietest and loudest <= LOUDNESS + EVEN, \
        f"{name}: 10 s of it range from {quietest:.1f} to {loudest:.1f} LUFS: level its sections"
    assert abs(opening - LOUDNESS) <= EVEN_OPENING, f"{name} opens at {opening:.1f} LUFS"


# lame makes the mono MP3 from the channels' mean, and the game plays it on both sides
DOWNMIX = "pan=stereo|c0=0.5*c0+0.5*c1|c1=0.5*c0+0.5*c1"
DOUBLE = "pan=stereo|c0=c0|c1=c0"


def render_mp3(mid, mp3, seconds, gain, tmp):
    """MIDI -> WAV (FluidSynth) -> trimmed, faded mono WAV -> MP3 (lame, CBR 64k).

    The piece is cut after its last note, which ends `seconds` into it, at the
    end of the note's release (see TAIL), however long the synthesiser lets
    its reverb ring. lame scales it to the game's loudness.
    """
    raw = Path(tmp) / "raw.wav"
    synthesise(mid, raw, gain, RATE)
    with wave.open(str(raw)) as w:
        ch = w.getnchannels()
        data = array.array("h", w.readframes(w.getnframes()))
    last = int(seconds * RATE)
    data += array.array("h", bytes(2 * ch * max(0, last + int(TAIL * RATE) - len(data) // ch)))
    floor = max(map(abs, data)) * 10 ** (TAIL_FLOOR / 20)
    n = last
    for i in range(last + int(TAIL * RATE) - 1, last - 1, -1):
        if any(abs(data[i * ch + c]) > floor for c in range(ch)):
            n = i + 1
            break
    del data[n * ch:]
    # only the release fades: the last note sounds whole
    fade = min(n - last, int(FADE * RATE))
    for i in range(n - fade, n):
        g = (n - i) / fade
        for c in range(ch):
            data[i * ch + c] = int(data[i * ch + c] * g * g)
    cut = Path(tmp) / "cut.wav"
    with wave.open(str(cut), "wb") as w:
        w.setnchannels(ch)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(data.tobytes())
    def encode(scale):
        subprocess.run(["lame", "--silent", "--noreplaygain", "-q", "2", "-m", "m", "-a",
                        "--scale", f"{scale:.4f}", "-b", "64", "--cbr", str(cut), str(mp3)],
                       check=True)
        return scale * 10 ** ((LOUDNESS - loudness(mp3, DOUBLE)) / 20)

    # encoded twice: the encoder's low-pass takes a little off the first estimate
    encode(encode(10 ** ((LOUDNESS - loudness(cut, DOWNMIX)) / 20)))
    check_even(mp3.name, mp3, DOUBLE)
    check_tail(mp3.name, mp3)


def check_tail(name, path):
    """The quiet end of an MP3 (below -50 dBFS, the encoder's padding
    included) lies within TAIL: the restart follows the sound at once."""
    pcm = subprocess.run(["ffmpeg", "-v", "error", "-i", str(path), "-f", "s16le", "-ac", "1",
                          "-"], capture_output=True, check=True).stdout
    samples = array.array("h", pcm)
    heard = 32768 * 10 ** (-50 / 20)
    quiet = next(i for i, s in enumerate(reversed(samples)) if abs(s) > heard) / RATE
    assert quiet <= TAIL, f"{name} ends with {quiet:.2f} s of silence"


def level_midi(mid, tempo, parts, tmp):
    """Writes the piece with every channel's expression set so that the game's
    synthesiser plays it at LOUDNESS; the expression can only lower a piece."""
    wav = Path(tmp) / "midi.wav"
    synthesise(mid, wav, MIDI_GAIN, MIDI_RATE)
    excess = loudness(wav) - LOUDNESS
    assert excess > -0.5, f"{mid.name} is {-excess:.1f} LU below the game's level: raise its volumes"
    # expression scales the level by 40 log10(e / 127) dB
    expression = max(1, min(127, round(127 * 10 ** (-max(0.0, excess) / 40))))
    for part in parts:
        part.expression = expression
    midi.write(mid, tempo, parts)
    synthesise(mid, wav, MIDI_GAIN, MIDI_RATE)
    level = loudness(wav)
    assert abs(level - LOUDNESS) <= 0.5, f"{mid.name} levelled to {level:.1f} LUFS"
    check_even(mid.name, wav)


PIECES = [
    # composer, MIDI path, MP3 path (None: only the MIDI is shipped), and the
    # synthesiser gain at which an MP3 is rendered before it is levelled
    (menu, None, "base/sound/pms.mp3", 1.0),
    (exam, None, "base/sound/pms2.mp3", 0.8),
    (fanfare, "base/soundLite/pms.mid", None, None),
    (calm, "base/soundLite/pms1.mid", None, None),
]


def write_all(root):
    for sub in ("sound", "soundLite"):
        (root / "base" / sub).mkdir(parents=True, exist_ok=True)
    with tempfile.TemporaryDirectory() as tmp:
        for compose, mid_path, mp3_path, gain in PIECES:
            tempo, parts = compose()
            mid = root / mid_path if mid_path else Path(tmp) / "piece.mid"
            seconds = midi.write(mid, tempo, parts)
            if mp3_path:
                render_mp3(mid, root / mp3_path, seconds, gain, tmp)
            else:
                level_midi(mid, tempo, parts, tmp)
