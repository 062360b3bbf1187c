#!/usr/bin/env python3
"""How well `korvo --tempo` reads a sample's tempo, on the generated corpus (bench/tempo_corpus.py), beside
three free tools run on the same files: aubio's `aubio tempo`, bpm-tools' `bpm` and SoundTouch's
`soundstretch -bpm`. A measurement, not a test: it exits 0 whatever the accuracy, and non-zero only when
something fails to run (the corpus cannot be made, Korvo crashes or prints no line for a file, a tool is
missing).

    tempo_bench.py --build build            the full corpus (about 200 files) and the three tools
    tempo_bench.py --build build --quick    eight synthesized files and Korvo alone (CI)
    tempo_bench.py --build build --seed 7   another corpus of the same kinds, never tuned on

Writes OUT/table.txt (what it prints) and OUT/results.tsv (a line a file, to look at the failures); OUT is
BUILD/bench-tempo, or BUILD/bench-tempo-quick. The corpus is made once into OUT/corpus and made again only
when the generator changes.
"""

import argparse
import hashlib
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time
from concurrent.futures import ThreadPoolExecutor
from pathlib import Path

HERE = Path(__file__).resolve().parent
TOOLS = ["aubio", "bpm", "soundstretch"]
NUMBER = re.compile(r"[0-9]+(?:\.[0-9]+)?")


# ---------------------------------------------------------------- the corpus

def corpus_stamp(quick, seed):
    h = hashlib.sha256()
    for name in ("tempo_corpus.py", "tempo_corpus.cpp"):
        h.update((HERE / name).read_bytes())
    h.update(b"quick" if quick else b"full %d" % seed)
    return h.hexdigest()


def read_manifest(folder):
    rows = []
    lines = (folder / "manifest.tsv").read_text(encoding="utf-8").splitlines()
    for line in lines[1:]:
        file, kind, tempo, form, beats, notes = (line.split("\t") + [""] * 6)[:6]
        rows.append(dict(file=file, kind=kind, tempo=float(tempo) if tempo else None, form=form,
                         beats=beats, notes=notes))
    return rows


def ensure_corpus(build, folder, quick, seed):
    stamp = corpus_stamp(quick, seed)
    stamp_file = folder / ".stamp"
    if stamp_file.is_file() and stamp_file.read_text().strip() == stamp and (folder / "manifest.tsv").is_file():
        rows = read_manifest(folder)
        if all((folder / r["file"]).is_file() for r in rows):
            print(f"corpus: {len(rows)} files in {folder} (kept: the generator is unchanged)")
            return rows, None
    renderer = build / "bench" / "korvo_tempo_corpus"
    if not renderer.is_file():
        sys.exit(f"tempo_bench: {renderer} is missing (make build)")
    started = time.monotonic()
    command = [sys.executable, str(HERE / "tempo_corpus.py"), "--renderer", str(renderer), "--out", str(folder)]
    if quick:
        command.append("--quick")
    elif seed:
        command += ["--seed", str(seed)]
    if subprocess.run(command).returncode != 0:
        sys.exit("tempo_bench: making the corpus failed")
    seconds = time.monotonic() - started
    stamp_file.write_text(stamp + "\n")
    rows = read_manifest(folder)
    print(f"corpus: {len(rows)} files made in {folder} in {seconds:.0f} s")
    return rows, seconds


# ---------------------------------------------------------------- Korvo

def unescape(path):
    """Korvo prints odd characters of a name as \\t, \\n, \\\\ and \\xHH; the corpus has none, but a
    name read back is compared in the form it was given."""
    out = bytearray()
    i = 0
    raw = path.encode("utf-8")
    while i < len(raw):
        c = raw[i:i + 1]
        if c == b"\\" and i + 1 < len(raw):
            n = raw[i + 1:i + 2]
            if n in (b"t", b"n", b"\\"):
                out += {b"t": b"\t", b"n": b"\n", b"\\": b"\\"}[n]
                i += 2
                continue
            if n == b"x" and re.fullmatch(rb"[0-9a-fA-F]{2}", raw[i + 2:i + 4]):
                out.append(int(raw[i + 2:i + 4], 16))
                i += 4
                continue
        out += c
        i += 1
    return out.decode("utf-8", "replace")


def parse_korvo_line(line):
    """PATH, then either `読み取れません: REASON`, or seconds, estimate, `テンポ T`, the reason and (from
    the sixth column, which may be missing or empty) the other readings offered: `87 (8拍), 58 (4拍)`."""
    cols = line.split("\t")
    result = dict(name=unescape(cols[0]), tempo=None, others=[], unreadable=False, reason="", odd=False)
    if len(cols) >= 2 and cols[1].startswith("読み取れません"):
        result["unreadable"] = True
        result["reason"] = cols[1]
        return result
    if len(cols) < 5 or not cols[3].startswith("テンポ"):
        result["odd"] = True
        result["reason"] = line
        return result
    m = NUMBER.search(cols[3])
    result["tempo"] = float(m.group()) if m else None
    result["reason"] = cols[4]
    if len(cols) >= 6 and cols[5].strip():
        for item in cols[5].split(","):
            m = NUMBER.search(item)
            if m:
                result["others"].append(float(m.group()))
    return result


def run_korvo_once(korvo, folder, files):
    proc = subprocess.run([str(korvo), "--tempo"] + files, cwd=folder, capture_output=True, timeout=3600)
    lines = proc.stdout.decode("utf-8", "replace").splitlines()
    return proc.returncode, lines, proc.stderr.decode("utf-8", "replace")


def run_korvo(korvo, folder, rows):
    """All the files in one invocation, named as they lie in the corpus folder, so that the name Korvo
    prints is the file's name whichever form it prints. Exit status 1 only says some file gave no tempo.
    When the run breaks off (a crash), each file is run alone to find which."""
    files = [r["file"] for r in rows]
    started = time.monotonic()
    status, lines, err = run_korvo_once(korvo, folder, files)
    seconds = time.monotonic() - started
    problems = []
    results = {}
    if status in (0, 1) and len(lines) == len(files):
        for file, line in zip(files, lines):
            parsed = parse_korvo_line(line)
            if parsed["name"] not in (file, str(Path(file).name)):
                problems.append(f"korvo printed '{parsed['name']}' where '{file}' was expected")
            results[file] = parsed
        return results, seconds, problems
    problems.append(f"korvo --tempo on all files: exit status {status}, {len(lines)} lines for {len(files)} "
                    f"files{': ' + err.strip().splitlines()[-1] if err.strip() else ''}; running each file alone")
    for file in files:
        status, lines, err = run_korvo_once(korvo, folder, [file])
        if status in (0, 1) and len(lines) == 1:
            results[file] = parse_korvo_line(lines[0])
        else:
            problems.append(f"korvo --tempo {file}: exit status {status}")
            results[file] = dict(name=file, tempo=None, others=[], unreadable=False, reason="crash", odd=True)
    return results, seconds, problems


# ---------------------------------------------------------------- the free tools

def first_number(text, after=""):
    for line in text.splitlines():
        if after in line:
            m = NUMBER.search(line[line.index(after) + len(after):])
            if m:
                return float(m.group())
    return None


def run_tools(build, folder, rows, jobs):
    """Each tool on each file; soundstretch reads only WAV and bpm only raw 44.1 kHz mono floats, so both
    get a 16-bit WAV decoded by the corpus renderer (and sox for bpm's raw stream); aubio reads every
    format of the corpus itself."""
    renderer = build / "bench" / "korvo_tempo_corpus"
    odd = []
    seconds = {t: 0.0 for t in TOOLS}

    lock = threading.Lock()

    def timed(tool, command, **kwargs):
        t0 = time.monotonic()
        p = subprocess.run(command, capture_output=True, timeout=600, **kwargs)
        with lock:
            seconds[tool] += time.monotonic() - t0
        return p

    def one(index, row, tmp):
        src = folder / row["file"]
        wav = Path(tmp) / f"{index}.wav"
        subprocess.run([str(renderer), "decode", str(src), str(wav)], check=True, capture_output=True)
        out = {}
        p = timed("aubio", ["aubio", "tempo", str(src)])
        text = p.stdout.decode("utf-8", "replace")
        if "unknown bpm" in text:
            out["aubio"] = None
        else:
            out["aubio"] = first_number(text, "")
            if out["aubio"] is None or "bpm" not in text:
                odd.append(f"aubio on {row['file']}: {text.strip() or p.stderr.decode('utf-8', 'replace').strip()}")
                out["aubio"] = None
        raw = Path(tmp) / f"{index}.f32"
        timed("bpm", ["sox", "-q", str(wav), "-t", "raw", "-r", "44100", "-e", "float", "-b", "32", "-c", "1",
                      str(raw)], check=True)
        with open(raw, "rb") as stream:
            p = timed("bpm", ["bpm", "-f", "%0.3f"], stdin=stream)
        raw.unlink()
        text = p.stdout.decode("utf-8", "replace").strip()
        out["bpm"] = float(text) if re.fullmatch(r"[0-9]+(\.[0-9]+)?", text) else None
        if out["bpm"] is None:
            odd.append(f"bpm on {row['file']}: {text!r}")
        elif out["bpm"] <= 0:
            out["bpm"] = None
        p = timed("soundstretch", ["soundstretch", str(wav), "-bpm"])
        text = (p.stdout + p.stderr).decode("utf-8", "replace")
        out["soundstretch"] = first_number(text, "Detected BPM rate")
        if out["soundstretch"] is None and "Couldn't detect BPM" not in text:
            odd.append(f"soundstretch on {row['file']}: {text.strip().splitlines()[-1:]}")
        wav.unlink()
        return out

    with tempfile.TemporaryDirectory(prefix="korvo-bench-tempo-") as tmp:
        with ThreadPoolExecutor(jobs) as pool:
            found = pool.map(lambda ir: one(ir[0], ir[1], tmp), enumerate(rows))
            results = dict(zip([r["file"] for r in rows], found))
    return results, seconds, odd


# ---------------------------------------------------------------- scoring

def verdict(tempo, reading):
    """exact: within 0.05 BPM; within1: within 1 % (and not exact); octave: within 1 % of T/2, 2T, 2T/3 or
    3T/2 and not of T; wrong: anything else. A file without beats is right when no tempo is read."""
    if tempo is None:
        return "right" if reading is None else "wrong"
    if reading is None:
        return "wrong"
    if abs(reading - tempo) <= 0.05:
        return "exact"
    if abs(reading - tempo) <= 0.01 * tempo:
        return "within1"
    for m in (0.5, 2.0, 2 / 3, 1.5):
        if abs(reading - m * tempo) <= 0.01 * m * tempo:
            return "octave"
    return "wrong"


def offered(tempo, first, others):
    if tempo is None:
        return first is None
    return any(r is not None and abs(r - tempo) <= 0.05 for r in [first] + others)


class Count:
    def __init__(self):
        self.n = self.exact = self.within1 = self.octave = self.wrong = self.offered = 0

    def add(self, v, was_offered=None):
        self.n += 1
        if v in ("exact", "right"):
            self.exact += 1
        if v in ("exact", "within1", "right"):
            self.within1 += 1
        if v == "octave":
            self.octave += 1
        if v == "wrong":
            self.wrong += 1
        if was_offered:
            self.offered += 1


def percent(a, n):
    return f"{100.0 * a / n:5.1f} %" if n else "    -  "


def build_table(rows, korvo, tools, with_tools, times):
    kinds = []
    for r in rows:
        if r["kind"] not in kinds:
            kinds.append(r["kind"])
    names = ["korvo"] + (TOOLS if with_tools else [])
    per = {k: {n: Count() for n in names} for k in kinds}
    total = {n: Count() for n in names}
    groups = {g: {n: Count() for n in names} for g in ("loops", "takes", "named")}
    tsv = ["\t".join(["file", "kind", "tempo", "korvo", "korvo_others", "korvo_verdict", "korvo_offered",
                      "korvo_reason"] + [x for t in TOOLS for x in (t, t + "_verdict")] + ["notes"])]
    for r in rows:
        k = korvo[r["file"]]
        readings = {"korvo": None if k["unreadable"] else k["tempo"]}
        if k["odd"] and not k["unreadable"]:
            readings["korvo"] = None
        for t in TOOLS:
            readings[t] = tools.get(r["file"], {}).get(t) if with_tools else None
        v = {n: verdict(r["tempo"], readings[n]) for n in names}
        off = offered(r["tempo"], readings["korvo"], k["others"])
        if r["tempo"] is None:
            # A file without beats is right only when Korvo says it cannot read a tempo from it.
            v["korvo"] = "right" if k["unreadable"] else "wrong"
            off = k["unreadable"]
        group = None
        if r["kind"] == "name-bpm":
            group = "named"
        elif r["form"] in ("loop", "loop+tail"):
            group = "loops"
        elif r["form"] == "take":
            group = "takes"
        for n in names:
            per[r["kind"]][n].add(v[n], off if n == "korvo" else None)
            total[n].add(v[n], off if n == "korvo" else None)
            if group:
                groups[group][n].add(v[n], off if n == "korvo" else None)

        def text(x):
            return "" if x is None else f"{x:g}"

        tool_cols = []
        for t in TOOLS:
            tool_cols += [text(readings[t]), v[t]] if with_tools else ["", ""]
        tsv.append("\t".join([r["file"], r["kind"], text(r["tempo"]),
                              "unreadable" if k["unreadable"] else text(readings["korvo"]),
                              ", ".join(f"{o:g}" for o in k["others"]), v["korvo"], "yes" if off else "no",
                              k["reason"]] + tool_cols + [r["notes"]]))

    out = []
    out.append(f"Sample tempo on the generated corpus: {len(rows)} files. Counts of files; the columns are "
               "cumulative where marked:")
    out.append("  exact = first reading within 0.05 BPM of the true tempo T; 1% = within 1 % of T (exact "
               "included);")
    out.append("  oct = not within 1 % of T but within 1 % of T/2, 2T, 2T/3 or 3T/2; wrong = neither (an "
               "unreadable line too);")
    out.append("  offer = T within 0.05 BPM of Korvo's first reading or of one of the others it offers. "
               "no-beat files count")
    out.append("  in exact, 1% and offer when no tempo is read (Korvo: a 読み取れません line).")
    out.append("")
    head1 = f"{'':17}{'':>6} | {'korvo':^29}"
    head2 = f"{'kind':17}{'files':>6} | {'exact':>5} {'1%':>5} {'oct':>5} {'wrong':>5} {'offer':>5}"
    for t in names[1:]:
        head1 += f" | {t:^23}"
        head2 += f" | {'exact':>5} {'1%':>5} {'oct':>5} {'wrong':>5}"
    out.append(head1)
    out.append(head2)
    out.append("-" * len(head2))

    def line(label, counts):
        c = counts["korvo"]
        s = f"{label:17}{c.n:>6} | {c.exact:>5} {c.within1:>5} {c.octave:>5} {c.wrong:>5} {c.offered:>5}"
        for t in names[1:]:
            d = counts[t]
            s += f" | {d.exact:>5} {d.within1:>5} {d.octave:>5} {d.wrong:>5}"
        return s

    for kind in kinds:
        out.append(line(kind, per[kind]))
    out.append("-" * len(head2))
    out.append(line("all", total))
    out.append("")
    out.append("Summary (loops and takes: files without a BPM in their name; name-bpm apart):")
    header = f"{'':38}" + "".join(f"{n:>16}" for n in names)
    out.append(header)
    loops, takes, named = groups["loops"], groups["takes"], groups["named"]

    def summary(label, pick, counts):
        s = f"{label:38}"
        for n in names:
            c = counts[n]
            value = pick(c, n)
            s += f"{value:>16}"
        return s

    out.append(summary(f"loops exact ({loops['korvo'].n}; goal >= 95 %)",
                       lambda c, n: percent(c.exact, c.n), loops))
    out.append(summary("loops offered", lambda c, n: percent(c.offered, c.n) if n == "korvo" else "-", loops))
    out.append(summary("loops within 1 %", lambda c, n: percent(c.within1, c.n), loops))
    out.append(summary(f"takes within 1 % ({takes['korvo'].n})", lambda c, n: percent(c.within1, c.n), takes))
    out.append(summary(f"named with a BPM, exact ({named['korvo'].n})", lambda c, n: percent(c.exact, c.n), named))
    out.append(summary(f"wrong, all files ({total['korvo'].n}; goal <= 2 %)",
                       lambda c, n: percent(c.wrong, c.n), total))
    if times:
        out.append(summary("time (s)", lambda c, n: f"{times[n]:.1f}" if n in times else "-", total))
    return "\n".join(out) + "\n", "\n".join(tsv) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--build", default="build", help="the build folder (korvo and korvo_tempo_corpus)")
    ap.add_argument("--out", help="the folder for the corpus and the results (BUILD/bench-tempo)")
    ap.add_argument("--quick", action="store_true", help="eight synthesized files, Korvo alone")
    ap.add_argument("--seed", type=int, default=0, help="another corpus of the same kinds (0: the usual one)")
    ap.add_argument("--jobs", type=int, default=2)
    args = ap.parse_args()
    build = Path(args.build).resolve()
    name = "bench-tempo-quick" if args.quick else "bench-tempo" if not args.seed else f"bench-tempo-seed{args.seed}"
    out = Path(args.out).resolve() if args.out else build / name
    korvo = build / "app" / "korvo"
    if not korvo.is_file():
        sys.exit(f"tempo_bench: {korvo} is missing (make build)")
    with_tools = not args.quick
    if with_tools:
        missing = [t for t in TOOLS + ["sox"] if shutil.which(t) is None]
        if missing:
            sys.exit(f"tempo_bench: missing {' '.join(missing)} (scripts/install-deps.sh --bench)")

    folder = out / "corpus"
    rows, _ = ensure_corpus(build, folder, args.quick, args.seed)
    korvo_results, korvo_seconds, problems = run_korvo(korvo, folder, rows)
    times = {"korvo": korvo_seconds}
    tool_results, odd = {}, []
    if with_tools:
        tool_results, tool_seconds, odd = run_tools(build, folder, rows, args.jobs)
        times.update(tool_seconds)
    for file, k in korvo_results.items():
        if k["odd"] and k["reason"] != "crash":
            odd.append(f"korvo on {file}: {k['reason']}")
    table, tsv = build_table(rows, korvo_results, tool_results, with_tools, times)
    (out / "table.txt").write_text(table, encoding="utf-8")
    (out / "results.tsv").write_text(tsv, encoding="utf-8")
    print()
    print(table, end="")
    print(f"\nper file: {out / 'results.tsv'}")
    for line in odd[:20]:
        print(f"odd output: {line}")
    if len(odd) > 20:
        print(f"odd output: {len(odd) - 20} more")
    for line in problems:
        print(f"tempo_bench: {line}", file=sys.stderr)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
