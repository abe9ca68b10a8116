#!/usr/bin/env python3
"""Turns the benchmark JSON of bench/run.sh into the tables of docs/performance.md.

usage: tables.py RESULTS_DIR [--dat DIR]

Prints markdown to standard output. With --dat, also writes the plot data (throughput-*.dat,
cpu-by-size.dat) into DIR for bench/plot.gp. Files that a run did not produce are skipped.
"""
import json
import os
import sys

LOAD_MODES = ["library", "raw", "cpprest", "cpprest2", "wrk"]
NGINX_METHODS = [
    ("splash", "splash picture, plain form"),
    ("channels", "tag directory, encrypted form"),
    ("list", "song-list page of 100 songs, encrypted form"),
    ("fav", "favourites page of 50 songs, plain form"),
]
GROWTH = [("list10", 10), ("list", 100), ("list1000", 1000)]


def load(directory, name):
    path = os.path.join(directory, name + ".json")
    if not os.path.exists(path):
        return None
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def run_of(data, mode, concurrency):
    for run in (data or {}).get("runs", []):
        if run["mode"] == mode and run["concurrency"] == concurrency:
            return run
    return None


def num(value, digits=1):
    """A measured figure; negative ones mean "not measured"."""
    if value is None or value < 0:
        return "-"
    return f"{value:,.{digits}f}"


def diff(value, digits=1):
    """A difference of two figures, which may be negative."""
    return "-" if value is None else f"{value:,.{digits}f}"


def mib(kb):
    return num(kb / 1024.0, 1)


def header(names, right_from=2):
    cells = "| " + " | ".join(names) + " |"
    rule = "|" + "|".join("---" if i < right_from else "---:" for i in range(len(names))) + "|"
    return [cells, rule]


def load_table(data):
    lines = header(["Mode", "C", "calls/s", "÷ raw", "p50 ms", "p99 ms", "client µs/call",
                    "cs/call", "server µs/call", "peak MiB"])
    concurrencies = sorted({r["concurrency"] for r in data["runs"]})
    for c in concurrencies:
        for mode in LOAD_MODES:
            r = run_of(data, mode, c)
            if not r:
                continue
            flag = " (time limit)" if r["timed_out"] else ""
            flag += f" ({r['failed']} failed)" if r["failed"] else ""
            lines.append(
                f"| {mode}{flag} | {c} | {num(r['requests_per_s'], 0)} | "
                f"{num(r['ratio_to_raw'], 2)} | {num(r['p50_us'] / 1000, 3)} | "
                f"{num(r['p99_us'] / 1000, 3)} | {num(r['client_cpu_us_per_request'])} | "
                f"{num(r['context_switches_per_request'], 2)} | "
                f"{num(r['server_cpu_us_per_request'])} | {mib(r['peak_rss_kb'])} |")
    return lines


def ratio(a, b):
    return a / b if a and b else None


def targets(directory):
    lines = header(["Figure", "Target", "Measured"], right_from=3)

    def row(figure, target, value, digits=2, signed=False):
        lines.append(f"| {figure} | {target} | {(diff if signed else num)(value, digits)} |")

    for method, _ in NGINX_METHODS:
        data = load(directory, "nginx-" + method)
        if not data:
            continue
        for c in (16, 64):
            lib, raw = run_of(data, "library", c), run_of(data, "raw", c)
            if lib and raw:
                row(f"{method}: library ÷ raw calls/s at {c}", "≥ 0.9",
                    ratio(lib["requests_per_s"], raw["requests_per_s"]))
        lib, cpp = run_of(data, "library", 16), run_of(data, "cpprest", 16)
        if lib and cpp:
            row(f"{method}: library ÷ cpprest calls/s at 16", "≥ 2",
                ratio(lib["requests_per_s"], cpp["requests_per_s"]))
        lib, raw = run_of(data, "library", 16), run_of(data, "raw", 16)
        if lib and raw:
            limit = "≤ 15" if method in ("channels", "list") else "≤ 10"
            row(f"{method}: library CPU beyond raw at 16, µs/call", limit,
                lib["client_cpu_us_per_request"] - raw["client_cpu_us_per_request"], 1, True)
            row(f"{method}: library context switches per call at 16", "≤ 0.5",
                lib["context_switches_per_request"])
    burst = load(directory, "burst")
    lib = run_of(burst, "library", burst["requests"]) if burst else None
    if lib:
        row(f"library peak RSS with {burst['requests']:,} calls in flight, MiB", "< 143 (150 MB)",
            lib["peak_rss_kb"] / 1024.0, 1)
    for task in ("fav", "list"):
        data = load(directory, "paging-" + task)
        lib, raw = run_of(data, "library", 1), run_of(data, "raw", 1)
        if lib and raw:
            row(f"paging {task}: library ÷ raw sequential GETs, median time per task", "≤ 1.1",
                ratio(lib["p50_us"], raw["p50_us"]))
    return lines


def growth(directory, meta):
    lines = header(["Songs", "Answer bytes", "library µs/call", "raw + parse µs/call",
                    "library − raw", "library calls/s", "raw calls/s"], right_from=0)
    rows = []
    for name, songs in GROWTH:
        data = load(directory, "growth-" + name) or (
            load(directory, "nginx-" + name) if name == "list" else None)
        lib, raw = run_of(data, "library", 16), run_of(data, "raw", 16)
        if not (lib and raw):
            continue
        size = meta.get("bodies", {}).get(name)
        lib_us, raw_us = lib["client_cpu_us_per_request"], raw["client_cpu_us_per_request"]
        rows.append((songs, lib_us, raw_us))
        lines.append(f"| {songs:,} | {num(size, 0) if size else '-'} | {num(lib_us)} | "
                     f"{num(raw_us)} | {diff(lib_us - raw_us)} | "
                     f"{num(lib['requests_per_s'], 0)} | {num(raw['requests_per_s'], 0)} |")
    return lines, rows


def burst_table(directory):
    data = load(directory, "burst")
    if not data:
        return []
    lines = header(["Mode", "calls at once", "RSS before MiB", "peak MiB", "KiB per call",
                    "wall s", "failed"])
    for r in data["runs"]:
        per_call = (r["peak_rss_kb"] - r["base_rss_kb"]) / max(1, r["completed"])
        wall = r["completed"] / r["requests_per_s"] if r["requests_per_s"] else None
        lines.append(f"| {r['mode']} | {r['concurrency']:,} | {mib(r['base_rss_kb'])} | "
                     f"{mib(r['peak_rss_kb'])} | {num(per_call, 2)} | {num(wall, 2)} | "
                     f"{r['failed']} |")
    return lines


def paging_table(directory):
    lines = header(["Task", "Mode", "tasks", "pages", "songs", "median ms/task", "p99 ms/task",
                    "client CPU ms/task", "÷ raw (median)"])
    found = False
    for task, label in (("fav", "2,400 favourites"), ("list", "500-song list")):
        data = load(directory, "paging-" + task)
        if not data:
            continue
        found = True
        raw = run_of(data, "raw", 1)
        for r in data["runs"]:
            pages = num(r["pages"], 0) if r["pages"] else "-"
            lines.append(
                f"| {label} | {r['mode']} | {r['completed']} | {pages} | {num(r['items'], 0)} | "
                f"{num(r['p50_us'] / 1000, 2)} | {num(r['p99_us'] / 1000, 2)} | "
                f"{num(r['client_cpu_us_per_request'] / 1000, 2)} | "
                f"{num(ratio(r['p50_us'], raw['p50_us']) if raw else None, 2)} |")
    return lines if found else []


def write_dat(directory, out, growth_rows):
    os.makedirs(out, exist_ok=True)
    for method, _ in NGINX_METHODS:
        data = load(directory, "nginx-" + method)
        if not data:
            continue
        concurrencies = sorted({r["concurrency"] for r in data["runs"]})
        with open(os.path.join(out, f"throughput-{method}.dat"), "w") as f:
            f.write("# C " + " ".join(LOAD_MODES) + "\n")
            for c in concurrencies:
                cells = []
                for mode in LOAD_MODES:
                    r = run_of(data, mode, c)
                    cells.append(f"{r['requests_per_s']:.1f}" if r else "NaN")
                f.write(f"{c} " + " ".join(cells) + "\n")
    with open(os.path.join(out, "cpu-by-size.dat"), "w") as f:
        f.write("# songs library raw_parse\n")
        for songs, lib_us, raw_us in growth_rows:
            f.write(f"{songs} {lib_us:.2f} {raw_us:.2f}\n")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    directory = sys.argv[1]
    dat = sys.argv[sys.argv.index("--dat") + 1] if "--dat" in sys.argv else None
    meta = load(directory, "meta") or {}
    out = []
    if meta:
        out.append(f"Run of {meta.get('date', '?')} on {meta.get('machine', '?')}; commit "
                   f"{meta.get('commit', '?')}; load average {meta.get('load_before', '?')} before, "
                   f"{meta.get('load_after', '?')} after; {meta.get('pinning', '')}")
        out.append("")
    out += ["### Targets", ""] + targets(directory) + [""]
    for method, label in NGINX_METHODS:
        data = load(directory, "nginx-" + method)
        if data:
            out += [f"### nginx, {label} (`--method {method}`)", "",
                    f"{data['requests']:,} calls per run after {data['warmup']:,} warm-up; load "
                    f"average {data['load_before']} → {data['load_after']}.", ""]
            out += load_table(data) + [""]
    growth_lines, growth_rows = growth(directory, meta)
    if growth_rows:
        out += ["### CPU per call by answer size (nginx, 16 in flight)", ""] + growth_lines + [""]
    burst = burst_table(directory)
    if burst:
        out += ["### Calls in flight at once (nginx)", ""] + burst + [""]
    paging = paging_table(directory)
    if paging:
        out += ["### Gathering tasks against sequential raw GETs (sandbox)", ""] + paging + [""]
    for method in ("splash", "channels"):
        data = load(directory, "sandbox-" + method)
        if data:
            out += [f"### Sandbox, `--method {method}`", "",
                    f"load average {data['load_before']} → {data['load_after']}.", ""]
            out += load_table(data) + [""]
    print("\n".join(out))
    if dat:
        write_dat(directory, dat, growth_rows)


if __name__ == "__main__":
    main()
