#!/usr/bin/env python3
"""The tempo benchmark's corpus: drum loops, takes and a few files without beats, each with the tempo it
was made at.

Every file is planned here from a seed of its own (its kind and number), so the corpus is the same on
every machine and one file's change leaves the others alone. Drums come from the Hydrogen kits that Debian
ships (hydrogen-drumkits: real recorded hits, several velocity layers) and from General MIDI renderings
made with fluidsynth and the FluidR3 sound font; the short form (--quick) uses synthesized drums only, so
it needs nothing beyond the build's own packages. bench/tempo_corpus.cpp (korvo_tempo_corpus) mixes and
writes the files.

    tempo_corpus.py --renderer build/bench/korvo_tempo_corpus --out DIR [--quick | --seed N]

DIR receives the sound files and manifest.tsv (file, kind, tempo, form, beats, notes).
"""

import argparse
import math
import random
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

KITS = Path("/usr/share/hydrogen/data/drumkits")
SOUND_FONT = Path("/usr/share/sounds/sf2/FluidR3_GM.sf2")

# Kits whose instruments are a drum set; the hand-percussion kits (cajon, djembe) have no kick, snare and
# hat to map.
KIT_NAMES = [
    "Audiophob", "BJA_Pacific", "ColomboAcousticDrumkit", "ElectricEmpireKit", "ForzeeStereo",
    "HardElectro1", "Millo-Drums_v.1", "Millo_MultiLayered2", "Millo_MultiLayered3",
    "The Black Pearl 1.0", "VariBreaks", "rumpf_kit_z01_h2",
]

EXTENSIONS = {"wav16": ".wav", "wav24": ".wav", "wavf": ".wav", "aiff16": ".aif", "aiff24": ".aiff",
              "flac16": ".flac", "flac24": ".flac", "ogg": ".ogg", "mp3": ".mp3"}

# General MIDI drum keys for the roles a groove uses.
GM_KEYS = {"kick": 36, "snare": 38, "clap": 39, "hat": 42, "openhat": 46, "crash": 49, "ride": 51,
           "tomhi": 50, "tommid": 47, "tomlow": 45}
# FluidR3's drum sets: standard, room, power, electronic, TR-808, jazz, brush.
GM_DRUM_SETS = [0, 8, 16, 24, 25, 32, 40]

# Grooves, one character a sixteenth: x accent, o normal, g ghost note, . rest.
GROOVES_44 = {
    "rock": dict(kick="x.......x.x.....", snare="....x.......x...", hat="x.o.x.o.x.o.x.o."),
    "pop16": dict(kick="x.....x...x.....", snare="....x.......x...", hat="xooox.ooxoooxooo"),
    "funk": dict(kick="x..x..x...x..x..", snare="....x..g.g..x..g", hat="xoxoxoxoxoxoxoxo"),
    "house": dict(kick="x...x...x...x...", clap="....x.......x...", hat="g...g...g...g...",
                  openhat="..o...o...o...o."),
    "hiphop": dict(kick="x......xx.x.....", snare="....x.......x...", hat="x.o.x.o.x.o.x.o."),
    "break": dict(kick="x.x.......xx....", snare="....x..g.g.gx..g", ride="x.o.x.o.x.o.x.o."),
    "disco": dict(kick="x...x...x...x...", snare="....x.......x...", hat="o...o...o...o...",
                  openhat="..x...x...x...x."),
    "ride": dict(kick="x.......x..o....", snare="....x.......x...", ride="x.o.x.o.x.o.x.o."),
}
GROOVES_SWING = {
    "shuffle": (dict(kick="x.......x.......", snare="....x.......x...", hat="x.o.x.o.x.o.x.o."), 0.5),
    "swing16": (dict(kick="x..o..x...x.....", snare="....x..g.g..x..g", hat="xoxoxoxoxoxoxoxo"), 0.25),
    "jazz": (dict(kick="o.......o.......", snare="......g.....g.g.", ride="x...x.o.x...x.o.",
                  hat="....x.......x..."), 0.5),
    "hiphop": (dict(kick="x......xx.x.....", snare="....x.......x...", hat="x.o.x.o.x.o.x.o."), 0.5),
}
GROOVES_HALF = {
    "half": dict(kick="x......x..x.....", snare="........x.......", hat="x.o.x.o.x.o.x.o."),
    "half16": dict(kick="x.....x...x..o..", snare="........x......g", hat="xoxoxoxoxoxoxoxo"),
}
GROOVES_DOUBLE = {
    "double": dict(kick="x...x...x...x...", snare="..x...x...x...x.", hat="xoxoxoxoxoxoxoxo"),
    "double2": dict(kick="x...x.x.x...x.x.", snare="..x...x...x...x.", ride="xoxoxoxoxoxoxoxo"),
}
GROOVES_DNB = {
    "twostep": dict(kick="x.........x.....", snare="....x.......x...", hat="x.o.x.o.x.o.x.o."),
    "roller": dict(kick="x.........x..o..", snare="....x..g....x...", hat="xoxoxoxoxoxoxoxo"),
    "amen": dict(kick="x.x.......xx....", snare="....x..g.g.gx..g", ride="x.o.x.o.x.o.x.o."),
}
GROOVES_34 = {
    "waltz": dict(kick="x...........", snare="....x...x...", hat="x.o.x.o.x.o."),
    "three": dict(kick="x.....x.....", snare="........x...", hat="x.o.x.o.x.o."),
    "three16": dict(kick="x.....x..o..", snare="....x.....x.", hat="xoxoxoxoxoxo"),
}

ADJECTIVES = ["dusty", "tight", "loose", "deep", "bright", "dark", "warm", "crisp", "heavy", "lazy",
              "rolling", "broken", "steady", "punchy", "soft", "raw", "smooth", "dry", "wet", "fat",
              "lofi", "vintage", "street", "room", "studio", "garage", "mellow", "bouncy", "sharp", "hazy"]
NOUNS = ["groove", "beat", "loop", "drums", "break", "pattern", "rhythm", "kit", "jam", "pocket"]
LETTERS = "abcdefghjkmnpqrstuvwxyz"
BPM_NAMES = ["{b}bpm_loop", "Loop - {b} BPM", "drums_{b}_bpm", "Break {b}BPM", "{w}_{b}BPM",
             "{w} {b} bpm", "{b} BPM {w}", "{w}-{b}bpm"]
DECOY_NAMES = ["kick_808_{w}", "{w}_loop_2024", "{w} 44100", "take 3", "TR-909 {w}", "bar 16 {w}",
               "{w}_v2", "{w} 48k", "Kit 12 {w}", "{w}_mix_01"]


def tempo_text(t):
    return f"{t:.4f}".rstrip("0").rstrip(".")


def bpm_in_name(t):
    return f"{t:g}" if abs(t * 2 - round(t * 2)) < 1e-9 else f"{t:.2f}"


# ---------------------------------------------------------------- the kits

def words(name):
    return re.findall(r"[a-z]+", name.lower())


def role_of(name):
    """The groove role an instrument plays, from its name: the kits name their instruments freely
    ("Kick (Tama Superstar 22\")", "Closed HH 2", "VariBreaks Hat 1 Op", "c3 - bass drum 1")."""
    w = words(name)
    low = name.lower()
    hat = "hat" in w or "hh" in w or "hihat" in w
    if "kick" in w or "bassdrum" in w or ("bass" in w and "drum" in w) or "bd" in w:
        return "kick"
    if "snare" in w and not {"roll", "rim", "rimshot", "stick"} & set(w):
        return "snare"
    if "clap" in w:
        return "clap"
    if hat and {"open", "opened", "op", "ohh"} & set(w):
        return "openhat"
    if hat and {"closed", "cl", "chh"} & set(w):
        return "hat"
    if "crash" in w and not {"ride", "bell", "flink", "choke"} & set(w):
        return "crash"
    if "ride" in w and not {"bell", "crash", "cup", "flink", "bow"} & set(w):
        return "ride"
    if "tom" in w or low.startswith("tom"):
        if {"floor", "low", "lo"} & set(w):
            return "tomlow"
        if {"mid", "middle"} & set(w) or "2" in low.split():
            return "tommid"
        return "tomhi"
    return None


def load_kit(name):
    folder = KITS / name
    root = ET.parse(folder / "drumkit.xml").getroot()

    def child(node, tag):
        for c in node:
            if c.tag.split("}")[-1] == tag:
                return c
        return None

    def text(node, tag, default=""):
        c = child(node, tag)
        return c.text if c is not None and c.text is not None else default

    roles = {}
    for instrument in root.iter():
        if instrument.tag.split("}")[-1] != "instrument":
            continue
        role = role_of(text(instrument, "name"))
        if role is None or role in roles:
            continue
        layers = []
        for layer in instrument.iter():
            if layer.tag.split("}")[-1] != "layer":
                continue
            f = folder / text(layer, "filename")
            if f.is_file():
                layers.append((float(text(layer, "min", "0")), float(text(layer, "max", "1")),
                               float(text(layer, "gain", "1")), str(f)))
        direct = text(instrument, "filename")
        if not layers and direct and (folder / direct).is_file():
            layers.append((0.0, 1.0, 1.0, str(folder / direct)))
        if not layers:
            continue
        roles[role] = dict(name=text(instrument, "name"), layers=sorted(layers),
                           volume=float(text(instrument, "volume", "1")),
                           left=float(text(instrument, "pan_L", "1")),
                           right=float(text(instrument, "pan_R", "1")))
    native = set(roles)
    if "snare" not in roles and "clap" in roles:
        roles["snare"] = roles["clap"]
    if "clap" not in roles and "snare" in roles:
        roles["clap"] = roles["snare"]
    if "hat" not in roles and "ride" in roles:
        roles["hat"] = roles["ride"]
    if "ride" not in roles and "hat" in roles:
        roles["ride"] = roles["hat"]
    if "openhat" not in roles and "hat" in roles:
        roles["openhat"] = roles["hat"]
    for tom in ("tomhi", "tommid", "tomlow"):
        if tom not in roles:
            for other in ("tommid", "tomlow", "tomhi", "snare"):
                if other in roles:
                    roles[tom] = roles[other]
                    break
    if not {"kick", "snare", "hat"} <= roles.keys():
        return None
    return dict(name=name, roles=roles, native=native)


def load_kits():
    kits = []
    for name in KIT_NAMES:
        if (KITS / name / "drumkit.xml").is_file():
            kit = load_kit(name)
            if kit:
                kits.append(kit)
    return kits


# ---------------------------------------------------------------- grooves as events

VELOCITY = {"x": 0.95, "o": 0.72, "g": 0.32}


class Groove:
    """Where each hit of a groove falls, in beats, and how hard; then in seconds with the feel."""

    def __init__(self, rng, pattern, steps_per_bar, swing=None, human_ms=0.0):
        self.rng = rng
        self.pattern = pattern
        self.steps = steps_per_bar
        self.swing = swing  # (ratio, unit in beats) or None
        self.human = human_ms / 1000.0

    def bar(self, index, fill=False, crash_at=None):
        hits = []
        for role, line in self.pattern.items():
            for step, ch in enumerate(line):
                if ch == ".":
                    continue
                if fill and step >= self.steps // 2 and role not in ("kick",):
                    continue
                hits.append((index, step, role, ch))
        if fill:
            half = self.steps // 2
            shape = self.rng.choice(["snare", "toms", "mixed"])
            toms = ["tomhi", "tomhi", "tommid", "tommid", "tomlow", "tomlow"]
            for k, step in enumerate(range(half, self.steps)):
                if shape == "snare":
                    role, ch = "snare", "o" if k < (self.steps - half) // 2 else "x"
                elif shape == "toms":
                    role, ch = toms[min(len(toms) - 1, k * len(toms) // (self.steps - half))], "x"
                else:
                    role, ch = ("snare" if k % 2 == 0 else toms[min(5, k * 6 // (self.steps - half))]), "o"
                hits.append((index, step, role, ch))
        if crash_at is not None:
            hits.append((index, crash_at, "crash", "x"))
            if not any(h[1] == crash_at and h[2] == "kick" for h in hits):
                hits.append((index, crash_at, "kick", "x"))
        return hits

    def timed(self, hits, tempo, meter_beats, first=True):
        """(seconds, role, velocity) for each hit; the very first hit of a loop stays on the grid, as the
        person who cut the loop would have cut it there."""
        out = []
        spb = 60.0 / tempo
        for bar, step, role, ch in hits:
            beat = bar * meter_beats + step / 4.0
            if self.swing:
                ratio, unit = self.swing
                pair = 2 * unit
                within = beat % pair
                if abs(within - unit) < 1e-9:
                    beat += ratio * pair - unit
            t = beat * spb
            if self.human and not (first and bar == 0 and step == 0):
                t += max(-2.5, min(2.5, self.rng.gauss(0, 0.5))) * self.human
            v = VELOCITY[ch] + self.rng.uniform(-0.06, 0.06)
            out.append((t, role, max(0.08, min(1.0, v))))
        out.sort()
        return out


def choke_open_hats(events):
    """An open hat stops when the next hat hit closes it."""
    out = []
    for i, (t, role, v) in enumerate(events):
        length = -1.0
        if role == "openhat":
            for t2, role2, _ in events[i + 1:]:
                if role2 in ("hat", "openhat") and t2 > t:
                    length = t2 - t
                    break
        out.append((t, role, v, length))
    return out


# ---------------------------------------------------------------- one file's plan

class Plan:
    def __init__(self, name, kind, tempo, form, beats, source, fmt, rate, channels):
        self.name, self.kind, self.tempo, self.form, self.beats = name, kind, tempo, form, beats
        self.source, self.format, self.rate, self.channels = source, fmt, rate, channels
        self.events = []  # (seconds, role, velocity, choke length)
        self.bass = []  # (seconds, length, midi key, velocity), General MIDI renderings only
        self.tones = []  # (kind, seconds, length, gain, frequency), no-beat files
        self.frames = 0
        self.offset = 0.0
        self.fade = None
        self.silence_from = None
        self.wrap = False
        self.peak = "-1"
        self.notes = {}

    @property
    def file(self):
        return self.name + EXTENSIONS[self.format]


def pick_groove(rng, grooves, swing):
    """One of GROOVES: its name, its pattern, and the swing it is played with (a share and the note
    value it applies to), or None for a straight groove."""
    name = rng.choice(sorted(grooves))
    pattern = grooves[name]
    if isinstance(pattern, tuple):
        pattern, unit = pattern
        return name, pattern, (swing, unit) if swing else None
    return name, pattern, None


class Planner:
    def __init__(self, kits, quick):
        self.kits = kits
        self.quick = quick
        self.used_names = set()
        self.plans = []

    # -- choices shared by every kind

    def pick_format(self, rng):
        fmt = rng.choices(list(EXTENSIONS), weights=[32, 12, 10, 6, 4, 9, 5, 11, 11])[0]
        rates = [44100, 48000] if fmt in ("ogg", "mp3") else [44100, 48000, 96000]
        rate = rng.choices(rates, weights=[6, 3, 1][: len(rates)])[0]
        channels = rng.choices([1, 2], weights=[3, 7])[0]
        return fmt, rate, channels

    def pick_tempo(self, rng, low, high):
        whole = rng.randint(math.ceil(low), math.floor(high))
        frac = rng.choices([0.0, 0.5, 0.25, 0.75, 1 / 3, 2 / 3], weights=[70, 12, 5, 5, 4, 4])[0]
        t = whole + frac
        return t if t <= high else float(whole)

    def pick_bars(self, rng):
        return rng.choices([1, 2, 4, 8], weights=[25, 35, 30, 10])[0]

    def plain_name(self, rng):
        for _ in range(1000):
            sep = rng.choice(["_", " ", "-", "_"])
            base = rng.choice(ADJECTIVES) + sep + rng.choice(NOUNS)
            if rng.random() < 0.5:
                base += sep + rng.choice(LETTERS)
            if rng.random() < 0.2:
                base = base.title()
            if base.lower() not in self.used_names:
                self.used_names.add(base.lower())
                return base
        raise RuntimeError("no unused name left")

    def templated_name(self, rng, templates, tempo):
        for _ in range(1000):
            base = rng.choice(templates).format(b=bpm_in_name(tempo), w=rng.choice(ADJECTIVES + NOUNS))
            if base.lower() not in self.used_names:
                self.used_names.add(base.lower())
                return base
        raise RuntimeError("no unused name left")

    def pick_source(self, rng, gm_share, needs=()):
        if self.quick:
            return "synth"
        if rng.random() < gm_share:
            return "gm"
        return "kit:" + rng.choice([k for k in self.kits if set(needs) <= k["native"]])["name"]

    def new_plan(self, rng, kind, tempo, form, beats, source, name=None, **notes):
        fmt, rate, channels = self.pick_format(rng)
        fmt = notes.pop("fmt", fmt)
        rate = notes.pop("rate", rate)
        channels = notes.pop("channels", channels)
        p = Plan(name or self.plain_name(rng), kind, tempo, form, beats, source, fmt, rate, channels)
        p.peak = f"{rng.uniform(-9, -0.3):.2f}" if fmt not in ("ogg", "mp3") else f"{rng.uniform(-9, -3):.2f}"
        p.notes.update(source=source, format=fmt, rate=rate, channels=channels)
        p.notes.update({k: v for k, v in notes.items() if v is not None})
        self.plans.append(p)
        return p

    # -- the loops

    def loop(self, rng, kind, tempo, bars, grooves, steps=16, swing=None, human=None, fill=False,
             crash_first=False, crash_last=None, cycles=1, gm_share=0.3, name=None, source=None,
             beats=None, bass=None, **notes):
        """A loop of BARS bars (or BEATS beats) at TEMPO; its events span CYCLES repetitions, for the
        files cut longer than one loop."""
        meter_beats = steps // 4
        beats = beats if beats is not None else bars * meter_beats
        bars_needed = math.ceil(beats / meter_beats)
        # A kit that has no crash of its own would play a closed hat for it, which does not ring.
        source = source or self.pick_source(rng, gm_share, ("crash",) if crash_first or crash_last is not None else ())
        pattern_name, pattern, swing = pick_groove(rng, grooves, swing)
        if human is None:
            human = rng.choice([0, 0, 2, 3, 5]) if source != "synth" else 0
        groove = Groove(rng, pattern, steps, swing, human)
        hits = []
        for cycle in range(cycles):
            for b in range(bars_needed):
                last = b == bars_needed - 1
                crash = 0 if crash_first and b == 0 else None
                if crash_last is not None and last:
                    crash = crash_last
                for h in groove.bar(b, fill=fill and last, crash_at=crash):
                    if h[1] / 4.0 + h[0] * meter_beats < beats:
                        hits.append((h[0] + cycle * beats / meter_beats, h[1], h[2], h[3]))
        events = choke_open_hats(groove.timed(hits, tempo, meter_beats))
        p = self.new_plan(rng, kind, tempo, "loop", beats, source, name=name, groove=pattern_name,
                          meter=f"{meter_beats}/4", bars=f"{beats / meter_beats:g}",
                          swing=f"{swing[0]:.3f}/{swing[1]:g}" if swing else None,
                          human=f"{human}ms" if human else None, **notes)
        p.events = events
        p.frames = round(beats * 60.0 / p.tempo * p.rate)
        if source == "gm" and (bass if bass is not None else rng.random() < 0.5):
            p.bass = bass_line(rng, p.tempo, beats * cycles, meter_beats)
            p.notes["bass"] = "yes"
        return p

    def take(self, rng, kind, tempo, seconds, grooves, steps=16, swing=None, gm_share=0.3, source=None,
             **notes):
        """A stretch of playing that is no loop: it starts anywhere in a bar and stops anywhere, with a
        fill every four or eight bars."""
        meter_beats = steps // 4
        source = source or self.pick_source(rng, gm_share)
        pattern_name, pattern, swing = pick_groove(rng, grooves, swing)
        human = rng.choice([0, 3, 5, 8]) if source != "synth" else 0
        groove = Groove(rng, pattern, steps, swing, human)
        # Anywhere in the first four bars, off the beat grid.
        start = rng.uniform(0.05, meter_beats * 4 - 0.05) * 60.0 / tempo
        bar_s = meter_beats * 60.0 / tempo
        phrase = rng.choice([4, 8])
        hits = []
        for b in range(-1, int((start + seconds) / bar_s) + 2):
            fill = b % phrase == phrase - 1
            crash = 0 if b % phrase == 0 and b > 0 else None
            hits.extend(groove.bar(b, fill=fill, crash_at=crash))
        events = [(t - start, role, v, length) for t, role, v, length in
                  choke_open_hats(groove.timed(hits, tempo, meter_beats, first=False))]
        p = self.new_plan(rng, kind, tempo, "take", 0, source, groove=pattern_name, meter=f"{meter_beats}/4",
                          swing=f"{swing[0]:.3f}/{swing[1]:g}" if swing else None,
                          human=f"{human}ms" if human else None, start=f"{start:.3f}s", **notes)
        p.events = events
        p.frames = round(seconds * p.rate)
        p.beats = p.frames / p.rate * p.tempo / 60.0
        if source == "gm" and rng.random() < 0.5:
            p.bass = [(t - start, d, k, v) for t, d, k, v in
                      bass_line(rng, p.tempo, (start + seconds) * p.tempo / 60.0 + meter_beats, meter_beats)]
            p.notes["bass"] = "yes"
        return p


def bass_line(rng, tempo, beats, meter_beats):
    """Eighth-note roots and fifths over a four-bar progression (fingered bass in General MIDI)."""
    roots = rng.choice([[40, 45, 38, 43], [33, 33, 36, 38], [36, 41, 43, 41], [38, 38, 45, 43]])
    spb = 60.0 / tempo
    out = []
    n = int(math.ceil(beats * 2))
    for i in range(n):
        beat = i / 2.0
        if beat >= beats:
            break
        bar = int(beat // meter_beats)
        if rng.random() < 0.25 and i % 2 == 1:
            continue
        key = roots[bar % 4] + (7 if rng.random() < 0.2 else 0)
        out.append((beat * spb, 0.45 * spb, key, rng.randint(80, 115)))
    return out


# ---------------------------------------------------------------- the corpus

def plan_full(kits, seed=0):
    pl = Planner(kits, quick=False)

    # Seed 0 is the corpus the tuning is measured on; any other gives new files of the same kinds, to
    # see how the reading does on loops it was never tried on.
    def seeded(kind, i):
        return random.Random(f"{kind}-{i}" if seed == 0 else f"{seed}-{kind}-{i}")

    for i in range(28):
        r = seeded("straight", i)
        p = pl.loop(r, "straight", pl.pick_tempo(r, 60, 200), pl.pick_bars(r), GROOVES_44)
        # Some loops are exported with their tails folded back onto the start.
        if r.random() < 0.3:
            p.wrap = True
            p.notes["wrap"] = "yes"
    for i in range(14):
        r = seeded("swung", i)
        pl.loop(r, "swung", pl.pick_tempo(r, 60, 180), pl.pick_bars(r), GROOVES_SWING,
                swing=r.uniform(0.60, 0.66))
    for i in range(10):
        r = seeded("fill", i)
        pl.loop(r, "fill", pl.pick_tempo(r, 70, 180), r.choice([1, 2, 4, 4, 8]), GROOVES_44, fill=True)
    for i in range(10):
        r = seeded("crash-first", i)
        pl.loop(r, "crash-first", pl.pick_tempo(r, 60, 200), pl.pick_bars(r), GROOVES_44, crash_first=True)
    for i in range(8):
        # A crash in the last bar rings on past the loop's end and is cut there.
        r = seeded("crash-ring-cut", i)
        p = pl.loop(r, "crash-ring-cut", pl.pick_tempo(r, 70, 180), r.choice([1, 2, 4]), GROOVES_44,
                    crash_last=r.choice([0, 8, 14]))
        if r.random() < 0.3:
            p.wrap = True
            p.notes["wrap"] = "yes"
    for i in range(8):
        # The same, with the ringing kept: the file runs on past the last bar until the crash dies away.
        r = seeded("crash-tail-kept", i)
        p = pl.loop(r, "crash-tail-kept", pl.pick_tempo(r, 70, 180), r.choice([1, 2, 4]), GROOVES_44,
                    crash_last=r.choice([0, 8, 14]), gm_share=0.25)
        tail = r.uniform(1.2, 3.5)
        p.frames += round(tail * p.rate)
        p.notes["tail"] = f"{tail:.2f}s"
        p.form = "loop+tail"
    for i in range(8):
        r = seeded("fade-out", i)
        p = pl.loop(r, "fade-out", pl.pick_tempo(r, 70, 180), r.choice([2, 4, 4, 8]), GROOVES_44)
        length = p.frames / p.rate
        fade = length * r.choice([0.25, 0.5, 1.0])
        p.fade = (length - fade, length)
        p.notes["fade"] = f"{fade:.2f}s"
    for i in range(12):
        r = seeded("silence", i)
        p = pl.loop(r, "silence", pl.pick_tempo(r, 60, 200), pl.pick_bars(r), GROOVES_44)
        where = r.choice(["before", "after", "both"])
        before = r.uniform(0.010, 0.070) if where in ("before", "both") else 0.0
        after = r.uniform(0.010, 0.070) if where in ("after", "both") else 0.0
        loop_frames = p.frames
        p.offset = before
        p.frames = loop_frames + round(before * p.rate) + round(after * p.rate)
        if after:
            p.silence_from = before + loop_frames / p.rate
        p.notes["silence"] = f"{before * 1000:.0f}ms+{after * 1000:.0f}ms"
    for i in range(14):
        # Cut by ear: a few milliseconds of the next downbeat, or a few missing.
        r = seeded("trim-error", i)
        p = pl.loop(r, "trim-error", pl.pick_tempo(r, 60, 200), pl.pick_bars(r), GROOVES_44, cycles=2)
        error = r.choice([-1, 1]) * r.uniform(0.001, 0.020)
        p.frames += round(error * p.rate)
        p.notes["trim"] = f"{error * 1000:+.1f}ms"
    for i in range(8):
        r = seeded("half-time", i)
        pl.loop(r, "half-time", pl.pick_tempo(r, 120, 180), r.choice([1, 2, 2, 4]), GROOVES_HALF)
    for i in range(8):
        r = seeded("double-time", i)
        pl.loop(r, "double-time", pl.pick_tempo(r, 60, 100), r.choice([1, 2, 4, 4]), GROOVES_DOUBLE)
    for i in range(8):
        r = seeded("dnb", i)
        tempo = r.choice([172, 173, 174, 174, 175, 172.5, 173.5, 174.5])
        pl.loop(r, "dnb", tempo, r.choice([1, 2, 4, 4, 8]), GROOVES_DNB, gm_share=0.5, bass=r.random() < 0.7)
    for i in range(8):
        r = seeded("three-four", i)
        pl.loop(r, "three-four", pl.pick_tempo(r, 80, 190), r.choice([2, 4, 4, 8]), GROOVES_34, steps=12)
    for i in range(8):
        # Six and twelve beats of a 4/4 groove: a bar and a half, three bars.
        r = seeded("beats-6-12", i)
        pl.loop(r, "beats-6-12", pl.pick_tempo(r, 70, 180), 0, GROOVES_44, beats=r.choice([6, 12]))
    for i in range(16):
        r = seeded("take", i)
        grooves = r.choice([GROOVES_44, GROOVES_44, GROOVES_SWING, GROOVES_34])
        pl.take(r, "take", pl.pick_tempo(r, 70, 180), r.uniform(10, 60), grooves,
                steps=12 if grooves is GROOVES_34 else 16, swing=r.uniform(0.6, 0.66))
    for i in range(14):
        r = seeded("name-bpm", i)
        tempo = float(r.randint(70, 180)) if r.random() < 0.8 else r.randint(70, 179) + 0.5
        name = pl.templated_name(r, BPM_NAMES, tempo)
        pl.loop(r, "name-bpm", tempo, pl.pick_bars(r), GROOVES_44, name=name, named="bpm")
    for i in range(10):
        r = seeded("name-decoy", i)
        tempo = pl.pick_tempo(r, 60, 200)
        name = pl.templated_name(r, DECOY_NAMES, tempo)
        pl.loop(r, "name-decoy", tempo, pl.pick_bars(r), GROOVES_44, name=name, named="decoy")
    no_beats(pl, seeded)
    return pl.plans


def no_beats(pl, seeded):
    r = seeded("no-beat", 0)
    p = pl.new_plan(r, "no-beat", None, "none", 0, "synth", name="sine_tone", fmt="wav16", rate=44100,
                    channels=1, sound="440 Hz sine")
    p.tones = [("sine", 0.0, 6.0, 0.5, 440.0)]
    p.frames = 6 * p.rate
    r = seeded("no-beat", 1)
    p = pl.new_plan(r, "no-beat", None, "none", 0, "synth", name="warm_pad", fmt="flac24", rate=48000,
                    channels=2, sound="A major pad")
    p.tones = [("pad", 0.0, 8.0, 0.3, 220.0)]
    p.frames = 8 * p.rate
    r = seeded("no-beat", 2)
    p = pl.new_plan(r, "no-beat", None, "none", 0, "synth", name="noise_floor", fmt="wav16", rate=48000,
                    channels=2, sound="TPDF noise at one 16-bit step")
    p.tones = [("noise", 0.0, 5.0, 1.0 / 32768, 0.0)]
    p.frames = 5 * p.rate
    p.peak = "raw"


def plan_quick():
    """A handful of synthesized files, for CI: one of each main kind, nothing beyond the build's own
    packages needed."""
    pl = Planner([], quick=True)
    r = random.Random("quick")
    pl.loop(r, "straight", 120.0, 4, {"rock": GROOVES_44["rock"]}, fmt="wav16", rate=44100, channels=2)
    pl.loop(r, "swung", 97.5, 2, {"shuffle": GROOVES_SWING["shuffle"]}, swing=0.62, fmt="flac16",
            rate=48000, channels=1)
    pl.loop(r, "dnb", 174.0, 4, {"twostep": GROOVES_DNB["twostep"]}, fmt="wavf", rate=44100, channels=2)
    pl.loop(r, "three-four", 90.0, 4, {"waltz": GROOVES_34["waltz"]}, steps=12, fmt="ogg", rate=44100,
            channels=2)
    p = pl.loop(r, "trim-error", 87.25, 2, {"funk": GROOVES_44["funk"]}, cycles=2, fmt="aiff16", rate=44100,
                channels=1)
    p.frames += round(0.008 * p.rate)
    p.notes["trim"] = "+8.0ms"
    pl.take(r, "take", 133.0 + 1 / 3, 15.0, {"rock": GROOVES_44["rock"]}, fmt="wav24", rate=48000, channels=2)
    pl.loop(r, "name-bpm", 105.0, 2, {"pop16": GROOVES_44["pop16"]}, name="Loop - 105 BPM", named="bpm",
            fmt="wav16", rate=44100, channels=2)
    no_beats(pl, lambda kind, i: random.Random(f"quick-{kind}-{i}"))
    del pl.plans[-2:]  # the sine is enough here
    return pl.plans


# ---------------------------------------------------------------- rendering

def midi_file(path, tempo, drum_set, drums, bass):
    """Format 0, 480 ticks a beat; drums on channel 10, the bass (if any) on channel 1. The file holds
    its tempo as whole microseconds a beat: over the longest loop (32 beats) that moves the last hit by
    less than 20 microseconds, under a sample, so the plan's tempo stays the true one."""
    us = round(60e6 / tempo)
    ticks_per_s = 480 * 1e6 / us

    def vlq(n):
        out = [n & 0x7F]
        n >>= 7
        while n:
            out.append((n & 0x7F) | 0x80)
            n >>= 7
        return bytes(reversed(out))

    events = []  # (tick, order, bytes): note-offs before note-ons at the same tick
    events.append((0, 0, b"\xff\x51\x03" + us.to_bytes(3, "big")))
    events.append((0, 0, bytes([0xC9, drum_set])))
    if bass:
        events.append((0, 0, bytes([0xC0, 33])))
    for t, role, v, length in drums:
        tick = max(0, round(t * ticks_per_s))
        key = GM_KEYS[role]
        vel = max(1, min(127, round(v * 127)))
        off = tick + (round(length * ticks_per_s) if length > 0 else 60)
        events.append((tick, 2, bytes([0x99, key, vel])))
        events.append((off, 1, bytes([0x89, key, 0])))
    for t, length, key, vel in bass:
        tick = max(0, round(t * ticks_per_s))
        events.append((tick, 2, bytes([0x90, key, vel])))
        events.append((tick + max(1, round(length * ticks_per_s)), 1, bytes([0x80, key, 0])))
    events.sort(key=lambda e: (e[0], e[1]))
    track = b""
    now = 0
    for tick, _, data in events:
        track += vlq(tick - now) + data
        now = tick
    track += vlq(480) + b"\xff\x2f\x00"
    header = b"MThd" + (6).to_bytes(4, "big") + (0).to_bytes(2, "big") + (1).to_bytes(2, "big") + \
        (480).to_bytes(2, "big")
    Path(path).write_bytes(header + b"MTrk" + len(track).to_bytes(4, "big") + track)


def render_gm(plan, work):
    """Renders a plan's drums (and bass) with fluidsynth into a WAV at the plan's rate; returns the
    WAV's path and where in the plan's time its first sample lies."""
    shift = -min([0.0] + [e[0] for e in plan.events] + [b[0] for b in plan.bass])
    drums = [(t + shift, role, v, length) for t, role, v, length in plan.events]
    bass = [(t + shift, d, k, v) for t, d, k, v in plan.bass]
    rng = random.Random("drum-set-" + plan.name)
    mid = work / (plan.name + ".mid")
    wav = work / (plan.name + ".gm.wav")
    drum_set = rng.choice(GM_DRUM_SETS)
    plan.notes["gm_set"] = drum_set
    midi_file(mid, plan.tempo, drum_set, drums, bass)
    subprocess.run(["fluidsynth", "-ni", "-q", "-o", "audio.file.format=float", "-o", "synth.cpu-cores=1",
                    "-r", str(plan.rate), "-F", str(wav), str(SOUND_FONT), str(mid)],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return wav, -shift


def kit_layer(role, velocity):
    for low, high, gain, path in role["layers"]:
        if low <= velocity <= high:
            return gain, path
    return role["layers"][-1][2], role["layers"][-1][3]


def job_lines(plan, kits, out, gm_wavs):
    lines = ["\t".join(["file", str(out / plan.file), plan.format, str(plan.rate), str(plan.channels),
                        str(plan.frames), plan.peak])]
    if plan.source.startswith("kit:"):
        kit = kits[plan.source[4:]]
        for t, role, v, length in plan.events:
            r = kit["roles"][role]
            gain, path = kit_layer(r, v)
            g = r["volume"] * gain * v
            lines.append("\t".join(["hit", f"{t + plan.offset:.6f}", f"{g:.4f}", f"{r['left']:.3f}",
                                    f"{r['right']:.3f}", f"{length:.6f}", path]))
    elif plan.source == "gm":
        wav, start = gm_wavs[plan.name]
        lines.append("\t".join(["source", str(wav), f"{start + plan.offset:.6f}", "1"]))
    else:
        seed = sum(ord(c) for c in plan.name)
        synth = {"kick": ("kick", 0.5, 1.0), "snare": ("snare", 0.3, 0.6), "clap": ("snare", 0.3, 0.6),
                 "hat": ("hat", 0.12, 0.35), "openhat": ("hat", 0.3, 0.35), "ride": ("hat", 0.3, 0.3),
                 "crash": ("hat", 1.5, 0.5), "tomhi": ("kick", 0.3, 0.6), "tommid": ("kick", 0.3, 0.6),
                 "tomlow": ("kick", 0.3, 0.6)}
        for i, (t, role, v, length) in enumerate(plan.events):
            kind, dur, gain = synth[role]
            lines.append("\t".join(["tone", kind, f"{t + plan.offset:.6f}", f"{dur}", f"{gain * v:.4f}", "0",
                                    str(seed + i)]))
        for i, (kind, t, dur, gain, freq) in enumerate(plan.tones):
            lines.append("\t".join(["tone", kind, f"{t:.6f}", f"{dur}", f"{gain:.8f}", f"{freq}", str(seed + i)]))
    if plan.fade:
        lines.append(f"fade\t{plan.fade[0]:.6f}\t{plan.fade[1]:.6f}")
    if plan.silence_from is not None:
        lines.append(f"silence\t{plan.silence_from:.6f}")
    if plan.wrap:
        lines.append("wrap")
    lines.append("end")
    return lines


def manifest_row(plan):
    tempo = tempo_text(plan.tempo) if plan.tempo else ""
    beats = f"{plan.beats:g}" if plan.form != "take" else f"{plan.beats:.3f}"
    notes = "; ".join(f"{k}={v}" for k, v in plan.notes.items())
    return "\t".join([plan.file, plan.kind, tempo, plan.form, beats if plan.tempo else "", notes])


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--renderer", required=True, help="the korvo_tempo_corpus executable")
    ap.add_argument("--out", required=True, help="folder for the files and manifest.tsv")
    ap.add_argument("--quick", action="store_true", help="a handful of synthesized files only")
    ap.add_argument("--seed", type=int, default=0, help="another corpus of the same kinds (0: the usual one)")
    ap.add_argument("--jobs", type=int, default=2)
    args = ap.parse_args()

    out = Path(args.out).resolve()
    if out.exists():
        shutil.rmtree(out)
    out.mkdir(parents=True)
    if args.quick:
        kits, plans = {}, plan_quick()
    else:
        kit_list = load_kits()
        if len(kit_list) < 4:
            sys.exit("tempo_corpus: the Hydrogen drum kits are missing (scripts/install-deps.sh --bench)")
        kits = {k["name"]: k for k in kit_list}
        plans = plan_full(kit_list, args.seed)
        # Takes crash at each phrase; a kit without a crash of its own plays its ride there.
        for k in kit_list:
            k["roles"].setdefault("crash", k["roles"]["ride"])

    with tempfile.TemporaryDirectory(prefix="korvo-corpus-") as tmp:
        work = Path(tmp)
        gm = [p for p in plans if p.source == "gm"]
        with ThreadPoolExecutor(args.jobs) as pool:
            gm_wavs = dict(zip([p.name for p in gm], pool.map(lambda p: render_gm(p, work), gm)))
        # Two job lists, for two renderers side by side; each renders its files in plan order.
        lists = [[] for _ in range(args.jobs)]
        for i, plan in enumerate(plans):
            lists[i % args.jobs].extend(job_lines(plan, kits, out, gm_wavs))
        paths = []
        for i, lines in enumerate(lists):
            path = work / f"jobs{i}.txt"
            path.write_text("\n".join(lines) + "\n", encoding="utf-8")
            paths.append(path)
        procs = [subprocess.Popen([args.renderer, "render", str(p)]) for p in paths]
        failed = [p for p in procs if p.wait() != 0]
        if failed:
            sys.exit("tempo_corpus: the renderer failed")

    rows = ["file\tkind\ttempo\tform\tbeats\tnotes"] + [manifest_row(p) for p in plans]
    (out / "manifest.tsv").write_text("\n".join(rows) + "\n", encoding="utf-8")
    print(f"tempo_corpus: {len(plans)} files in {out}")


if __name__ == "__main__":
    main()
