#!/usr/bin/python3
"""Start-up benchmark: Tagswap's main window against a skeleton of it.

    bench/run_startup_bench.py <build dir> [--reps N] [--warmup N] [--linger-ms N]
                               [--tagswap PATH]

Builds nothing: it expects <build dir>/tagswap, <build dir>/bench/tagswap_skeleton
and <build dir>/bench/tagswap_startup_probe (--tagswap points at another build of
the program, to try a change before it lands). Each launch runs on a private
Xvfb, is timed from fork to the map of its window, left for --linger-ms, then
ended, and its peak resident size is taken from the kernel. Runs are
interleaved and their order flips every repetition, so drift on a shared
machine lands on both programs alike. Prints markdown tables of medians and
ratios, and which Qt image format plugins either program had mapped when its
window mapped (read from /proc/<pid>/maps): the skeleton sets no icon, so any
plugin there is start-up work the window does not show.
"""

import argparse
import os
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field
from pathlib import Path

HERE = Path(__file__).resolve().parent
DEMO = HERE.parent / "demo"
MODS = [b"valve", b"tfc"]


@dataclass
class Case:
    label: str
    folder: Path
    # Ratio the product is held to.
    target: float
    # What the skeleton shows without reading it: the names the product finds
    # in the folder, in the product's order, and the mods of its mods.txt.
    skeleton_args: list = field(default_factory=list)
    samples: dict = field(default_factory=lambda: {"tagswap": [], "skeleton": []})


def start_xvfb():
    """A display of our own, so nothing else maps windows while we watch."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(
        ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1024x768x24",
         "-dpi", "96", "-nolisten", "tcp", "-noreset"],
        pass_fds=[write_end], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.close(write_end)
    number = b""
    with os.fdopen(read_end, "rb") as pipe:
        while not number.endswith(b"\n"):
            chunk = pipe.read(1)
            if not chunk:
                xvfb.kill()
                sys.exit("Xvfb did not start")
            number += chunk
    return xvfb, ":" + number.decode().strip()


def make_folder(path, count, wads):
    """A spray folder with its mods.txt; returns the skeleton's arguments for
    showing the same mods and names."""
    path.mkdir()
    (path / "mods.txt").write_bytes(b"\r\n".join(MODS) + b"\r\n")
    mods = [arg for mod in MODS for arg in ("--mod", mod.decode())]
    if count == len(wads):
        for wad in wads:
            shutil.copyfile(wad, path / wad.name)
        return mods + ["--", *sorted(w.name for w in wads)]
    # Hard links give real spray files without 10,000 copies on disk.
    names = [f"spray{i:05d}.wad" for i in range(1, count + 1)]
    for name in names:
        try:
            os.link(wads[0], path / name)
        except OSError:
            shutil.copyfile(wads[0], path / name)
    return mods + ["--", *names]


def probe(probe_bin, command, folder, env, linger_ms):
    result = subprocess.run(
        [str(probe_bin), "--linger-ms", str(linger_ms), "--", *map(str, command)],
        cwd=folder, env=env, capture_output=True, text=True, timeout=120)
    if result.returncode != 0:
        sys.exit(f"{Path(command[0]).name} in {folder.name}: {result.stderr.strip()}")
    fields = dict(part.split("=", 1) for part in result.stdout.split())
    return {"ms": float(fields["map_ms"]), "mib": int(fields["maxrss_kib"]) / 1024.0,
            "cpu": float(fields["cpu_ms"]), "plugins": fields["image_plugins"],
            "plugins_later": fields["image_plugins_later"]}


def median(case, name, key):
    return statistics.median(s[key] for s in case.samples[name])


def paired_ratio(case, key):
    # Each product run against the skeleton run beside it, so slow spells of
    # the machine cancel out instead of landing on one side.
    return statistics.median(
        a[key] / b[key] for a, b in zip(case.samples["tagswap"], case.samples["skeleton"]))


def quartiles(case, name, key):
    q = statistics.quantiles([s[key] for s in case.samples[name]], n=4)
    return f"{q[0]:.0f}–{q[2]:.0f}"


def plugin_check(cases):
    """One line per program: the image format plugins it had mapped when its window
    mapped, and when it was ended."""
    lines = []
    clean = True
    for name in ("tagswap", "skeleton"):
        runs = [s for case in cases for s in case.samples[name]]
        for key, when in (("plugins", "when its window mapped"),
                          ("plugins_later", "when it was ended")):
            found = sorted({p for s in runs if s[key] != "-" for p in s[key].split(",")})
            with_any = sum(1 for s in runs if s[key] != "-")
            if found:
                clean = False
                lines.append(f"- {name}: image format plugins mapped {when} in {with_any} "
                             f"of {len(runs)} runs: {', '.join(found)}")
            else:
                lines.append(f"- {name}: no image format plugin mapped {when} "
                             f"(all {len(runs)} runs)")
    verdict = "met" if clean else "MISSED"
    return [f"\nImage format plugins (/proc/<pid>/maps), target none in either program: "
            f"{verdict}\n"] + lines


def report(cases, reps, linger_ms):
    print(f"\nMedians of {reps} interleaved runs; each window left {linger_ms} ms "
          "after mapping before its peak RSS is read.\n")
    print("| case | tagswap ms | skeleton ms | time ratio "
          "| tagswap MiB | skeleton MiB | memory ratio | target |")
    print("|---|---:|---:|---:|---:|---:|---:|---|")
    for case in cases:
        tt, st = median(case, "tagswap", "ms"), median(case, "skeleton", "ms")
        tm, sm = median(case, "tagswap", "mib"), median(case, "skeleton", "mib")
        rt, rm = tt / st, tm / sm
        met = rt <= case.target and rm <= case.target
        verdict = f"≤ {case.target:.2f}× {'met' if met else 'MISSED'}"
        print(f"| {case.label} | {tt:.1f} | {st:.1f} | {rt:.3f}× | {tm:.1f} | {sm:.1f} | "
              f"{rm:.3f}× | {verdict} |")

    print("\nNoise check on the same runs: paired ratios, and processor time used up to "
          "the map (barely moved by other load on the machine).\n")
    print("| case | paired time ratio | tagswap CPU ms | skeleton CPU ms | CPU ratio "
          "| paired memory ratio | launch ms IQR tagswap | launch ms IQR skeleton |")
    print("|---|---:|---:|---:|---:|---:|---|---|")
    for case in cases:
        tc, sc = median(case, "tagswap", "cpu"), median(case, "skeleton", "cpu")
        print(f"| {case.label} | {paired_ratio(case, 'ms'):.3f}× | {tc:.1f} | {sc:.1f} | "
              f"{tc / sc:.3f}× | {paired_ratio(case, 'mib'):.3f}× | "
              f"{quartiles(case, 'tagswap', 'ms')} | {quartiles(case, 'skeleton', 'ms')} |")
    print("\n".join(plugin_check(cases)))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build_dir", type=Path)
    parser.add_argument("--reps", type=int, default=30)
    parser.add_argument("--warmup", type=int, default=3)
    parser.add_argument("--linger-ms", type=int, default=200)
    parser.add_argument("--tagswap", type=Path, help="the program to measure "
                        "(default: <build dir>/tagswap)")
    args = parser.parse_args()

    build = args.build_dir.resolve()
    tagswap = (args.tagswap or build / "tagswap").resolve()
    skeleton = build / "bench" / "tagswap_skeleton"
    probe_bin = build / "bench" / "tagswap_startup_probe"
    for path in (probe_bin, tagswap, skeleton):
        if not os.access(path, os.X_OK):
            sys.exit(f"missing {path}; build the tagswap, tagswap_skeleton and "
                     "tagswap_startup_probe targets first")

    wads = sorted(DEMO.glob("*.wad"))[:2]
    if len(wads) < 2:
        sys.exit(f"need at least two demo sprays in {DEMO}")

    with tempfile.TemporaryDirectory(prefix="tagswap-bench-") as tmp:
        tmp = Path(tmp)
        config = tmp / "config"
        (config / "Tagswap").mkdir(parents=True)
        # Already run once, so no first-run notice stands in front of the window.
        (config / "Tagswap" / "Tagswap.ini").write_text("[Settings]\nBeenRun=True\n")
        runtime = tmp / "runtime"
        runtime.mkdir(mode=0o700)
        two, many = tmp / "two", tmp / "many"
        cases = [
            Case("2 sprays", two, 1.05, make_folder(two, 2, wads)),
            Case("10,000 sprays", many, 1.25, make_folder(many, 10000, wads)),
        ]

        xvfb, display = start_xvfb()
        try:
            env = {k: v for k, v in os.environ.items()
                   if not k.startswith(("QT_", "XDG_")) and k != "WAYLAND_DISPLAY"}
            env.update({
                "DISPLAY": display,
                "QT_QPA_PLATFORM": "xcb",
                "XDG_CONFIG_HOME": str(config),
                "XDG_RUNTIME_DIR": str(runtime),
                "LANG": "C.UTF-8",
            })
            order = ["tagswap", "skeleton"]
            began = time.monotonic()
            for rep in range(-args.warmup, args.reps):
                for case in cases:
                    for name in order:
                        command = [tagswap] if name == "tagswap" else [skeleton,
                                                                       *case.skeleton_args]
                        result = probe(probe_bin, command, case.folder, env, args.linger_ms)
                        if rep >= 0:
                            case.samples[name].append(result)
                # ABBA rather than ABAB: neither program always goes first.
                order.reverse()
                if rep >= 0 and sys.stderr.isatty():
                    print(f"\rrepetition {rep + 1}/{args.reps}", end="", file=sys.stderr,
                          flush=True)
            print(f"\r{args.reps} repetitions in {time.monotonic() - began:.0f} s",
                  file=sys.stderr)
        finally:
            xvfb.send_signal(signal.SIGTERM)
            xvfb.wait()

    if args.tagswap:
        print(f"\nProgram measured: {tagswap}")
    report(cases, args.reps, args.linger_ms)


if __name__ == "__main__":
    main()
