"""Speed and footprint of the real program under Wine in the lab. A benchmark, not a test: it prints
a table, writes the figures as JSON and draws them into a PNG. Run it inside the lab:

    tools/bench.sh [--repeats N]        (installs what it needs, builds, runs this in a fresh lab)
    tools/lab.sh run -- /usr/bin/python3 bench/run_bench.py [--out DIR] [--repeats N]

What it measures:
  - time until all N simulated devices are listed (N = 1, 16, 64, 256, 1024; of 1024 the first 256 fill
    the list and the rest are refused), against the physical reference of one search period plus one
    round trip, and how many rows were still missing 30 s after the first search;
  - the time from a listed device taking a new address by itself to its row showing it, on a full list;
  - the search period (mean and spread) from the simulated devices' log;
  - the time from a device taking its new address to the IP Config dialog closing;
  - CPU use with 256 rows listed (devices still answering, and all quiet), peak memory, .exe size;
  - start-up to the shown window against a bare Win32 dialog started the same way (a ratio);
  - the time from a real mouse click on Refresh to the list being emptied, while 256 devices answer and
    a flood arrives (ten clicks a run).
"""

import argparse
import json
import statistics
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))

import lab  # noqa: E402
import process_stats  # noqa: E402
from test_flood import refresh_click_waits  # noqa: E402
from test_ip_change import CONFIG_CAPTION, open_config  # noqa: E402

DEVICE_COUNTS = (1, 16, 64, 256, 1024)
MAX_ROWS = 256
LIST_LIMIT_S = 30.0
SEARCH_PERIOD_S = 0.9
RECEIVE_STEP_S = 0.05
CPU_WINDOW_S = 10.0
BARE_CAPTION = "Bare Dialog"


def run_logs(name):
    """A fresh folder for the logs of one measuring run (named on the console if the run fails)."""
    return tempfile.mkdtemp(prefix=f"qm-bench-{name}-")


def reference(round_trip_s=0.0):
    """The physical limit from the program's start: its first search leaves one period after the
    start, and every answer needs one round trip."""
    return SEARCH_PERIOD_S + round_trip_s


def old_bound(n):
    """What one datagram per 50 ms allowed, for comparison with earlier figures."""
    return SEARCH_PERIOD_S + min(n, MAX_ROWS) * RECEIVE_STEP_S


def spread(values):
    return {
        "mean": statistics.mean(values),
        "min": min(values),
        "max": max(values),
        "stdev": statistics.stdev(values) if len(values) > 1 else 0.0,
        "n": len(values),
    }


def cpu_percent(pid, seconds):
    before, started = process_stats.cpu_seconds(pid), time.monotonic()
    time.sleep(seconds)
    after, ended = process_stats.cpu_seconds(pid), time.monotonic()
    return 100.0 * (after - before) / (ended - started)


def footprint_after_listing(sim):
    """CPU with the rows listed, first with the devices answering and then with them stopped; memory."""
    pid = process_stats.wait_for_pid("quillmast.exe")
    answering = cpu_percent(pid, CPU_WINDOW_S)
    sim.stop()
    time.sleep(2)
    quiet = cpu_percent(pid, CPU_WINDOW_S)
    resident, peak = process_stats.memory_kib(pid)
    return {"cpu_answering_percent": answering, "cpu_quiet_percent": quiet, "resident_kib": resident,
            "peak_resident_kib": peak}


def listing_run(n, footprint):
    """Starts the program beside n devices; returns the listing figures and, if asked, the footprint
    (else None)."""
    with lab.ProcessGroup(run_logs(f"{n}-devices")) as session:
        sim = session.sim("--devices", str(n), "--ip-base", "203.0.113.0", "--reply", "unicast")
        program = session.program()
        probe = session.probe()
        probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
        first = lab.poll(lambda: sim.records("search"), 15, "the first search")[0]
        first_search = lab.monotonic_of(first["t"])
        deadline = first_search + LIST_LIMIT_S
        listed_at, count = None, 0
        expected = min(n, MAX_ROWS)
        while time.monotonic() < deadline:
            count = int(probe.cmd("count"))
            if count >= expected:
                listed_at = time.monotonic()
                break
            time.sleep(0.02)
        # Listing now takes less than a search period: wait for a few more to measure the period.
        lab.poll(lambda: len(sim.records("search")) >= 6, 15, "six searches")
        searches = [lab.monotonic_of(r["t"]) for r in sim.records("search")]
        result = {
            "devices": n,
            "listed": count,
            "missing": expected - count,
            "from_first_search": listed_at - first_search if listed_at else None,
            "from_launch": listed_at - program.launched if listed_at else None,
            # The program's own clock starts one search period before its first search.
            "from_start": listed_at - first_search + SEARCH_PERIOD_S if listed_at else None,
            "first_search_after_launch": first_search - program.launched,
            "search_gaps": [b - a for a, b in zip(searches, searches[1:])],
        }
        figures = footprint_after_listing(sim) if footprint else None
        probe.cmd("escape")
        program.wait_exit(15)
        return result, figures


def new_address_shown_run():
    """A full list of 256; device 199 takes a new address by itself 12 s after the simulator starts.
    Returns the seconds from its change to its row showing the new address."""
    new_ip = "198.51.100.250"
    with lab.ProcessGroup(run_logs("new-address")) as session:
        sim = session.sim("--devices", "256", "--ip-base", "203.0.113.0", "--reply", "unicast",
                          "--move", f"199={new_ip}@12000")
        session.program()
        probe = session.probe()
        probe.cmd(f"wait {lab.MAIN_CAPTION} 30000")
        lab.poll(lambda: probe.cmd("count") == str(MAX_ROWS), 20, "a full list")
        row = next(i for i, r in enumerate(probe.rows()) if r[1] == "203.0.113.199")
        lab.expect(not sim.records("changed"), "the device moved before the benchmark was watching")
        changed = lab.poll(lambda: sim.records("changed"), 15, "the device's change", 0.01)[0]
        lab.poll(lambda: probe.cmd(f"row {row}").split("\t")[1] == new_ip, 10, "the row to show it", 0.01)
        return time.monotonic() - lab.monotonic_of(changed["t"])


def confirm_to_close_run():
    with lab.ProcessGroup(run_logs("ip-change")) as session:
        sim, probe = open_config(session, ("--change", "confirm", "--change-delay", "3000"))
        probe.cmd("click 1")
        probe.cmd(f'gone "{CONFIG_CAPTION}" 20000')
        closed = time.monotonic()
        changed = lab.poll(lambda: sim.records("changed"), 5, "the device's change")[0]
        return closed - lab.monotonic_of(changed["t"])


def startup_run(exe, caption, ending):
    with lab.ProcessGroup(run_logs(f"start-up-{Path(exe).stem}")) as session:
        probe = session.probe()
        probe.cmd("windows")  # the probe is up before the clock starts
        program = session.program(exe=exe, name=Path(exe).stem)
        probe.cmd(f'wait "{caption}" 30000')
        shown = time.monotonic() - program.launched
        probe.cmd(f"use {probe.windows(caption)[0]}")
        probe.cmd(ending)
        program.wait_exit(15)
        return shown


def measure(repeats):
    figures = {"listing": {}, "search_gaps": [], "footprint": []}
    for n in DEVICE_COUNTS:
        runs = []
        for repeat in range(repeats):
            run, footprint = listing_run(n, footprint=(n == MAX_ROWS))
            figures["search_gaps"] += run.pop("search_gaps")
            if footprint:
                figures["footprint"].append(footprint)
            runs.append(run)
            print(f"  {n} devices, run {repeat + 1}: {run}", flush=True)
        figures["listing"][n] = runs
    figures["new_address_shown"] = [new_address_shown_run() for _ in range(repeats)]
    print(f"  new address shown: {figures['new_address_shown']}", flush=True)
    figures["confirm_to_close"] = [confirm_to_close_run() for _ in range(repeats)]
    print(f"  confirm to close: {figures['confirm_to_close']}", flush=True)
    figures["refresh_click_ms"] = []
    for _ in range(repeats):
        with lab.ProcessGroup(run_logs("refresh-click")) as session:
            figures["refresh_click_ms"] += refresh_click_waits(session)
    print(f"  click on Refresh to emptied list: {figures['refresh_click_ms']} ms", flush=True)
    program, bare = [], []
    for _ in range(max(repeats, 5)):
        program.append(startup_run(lab.program_exe(), lab.MAIN_CAPTION, "escape"))
        bare.append(startup_run(lab.BUILD_WIN / "bin" / "bare_dialog.exe", BARE_CAPTION, "click 1"))
    figures["startup"] = {"program": program, "bare_dialog": bare}
    figures["exe_bytes"] = lab.program_exe().stat().st_size
    print(f"  start-up: program {program}, bare dialog {bare}", flush=True)
    return figures


def median(values):
    return statistics.median(values) if values else None


def fmt(value, unit="s", digits=2):
    return "-" if value is None else f"{value:.{digits}f} {unit}"


def table(figures):
    lines = ["| devices | rows | all listed, from the first search | from the program's start | from launch "
             "| reference (0.9 s + round trip) | old bound (0.9 s + rows x 50 ms) | rows missing after 30 s |",
             "|---:|---:|---:|---:|---:|---:|---:|---:|"]
    for n, runs in figures["listing"].items():
        firsts = [r["from_first_search"] for r in runs if r.get("from_first_search") is not None]
        starts = [r["from_start"] for r in runs if r["from_start"] is not None]
        launches = [r["from_launch"] for r in runs if r["from_launch"] is not None]
        missing = max(r["missing"] for r in runs)
        lines.append(f"| {n} | {min(int(n), MAX_ROWS)} | {fmt(median(firsts))} | {fmt(median(starts))} "
                     f"| {fmt(median(launches))} | {fmt(reference())} | {fmt(old_bound(int(n)))} "
                     f"| {missing} (worst of {len(runs)}) |")
    lines.append("")
    lines.append("| figure | value |")
    lines.append("|---|---|")
    if len(figures["search_gaps"]) > 1:
        gaps = spread(figures["search_gaps"])
        lines.append(f"| search period | mean {gaps['mean'] * 1000:.1f} ms, stdev {gaps['stdev'] * 1000:.1f} ms, "
                     f"{gaps['min'] * 1000:.1f}..{gaps['max'] * 1000:.1f} ms over {gaps['n']} gaps |")
    shown = figures.get("new_address_shown")
    if shown:
        lines.append(f"| a device's new address shown after (full list) | median {median(shown) * 1000:.0f} ms "
                     f"({min(shown) * 1000:.0f}..{max(shown) * 1000:.0f}) |")
    close = figures["confirm_to_close"]
    lines.append(f"| device's new address to IP Config closed | median {median(close) * 1000:.0f} ms "
                 f"({min(close) * 1000:.0f}..{max(close) * 1000:.0f}) |")
    foot = figures["footprint"]
    lines.append(f"| CPU, 256 rows, devices answering every search | "
                 f"{median([f['cpu_answering_percent'] for f in foot]):.1f} % of one core |")
    lines.append(f"| CPU, 256 rows, network quiet | {median([f['cpu_quiet_percent'] for f in foot]):.2f} % of one core |")
    lines.append(f"| peak resident memory (Wine process) | {max(f['peak_resident_kib'] for f in foot) / 1024:.1f} MiB |")
    lines.append(f"| quillmast.exe | {figures['exe_bytes']:,} bytes |")
    clicks = figures.get("refresh_click_ms")
    if clicks:
        lines.append(f"| a mouse click on Refresh to the list emptied, 256 devices and a flood | median "
                     f"{median(clicks):.0f} ms, max {max(clicks)} ms over {len(clicks)} clicks |")
    program, bare = median(figures["startup"]["program"]), median(figures["startup"]["bare_dialog"])
    lines.append(f"| launch to shown window | program {program * 1000:.0f} ms, bare dialog {bare * 1000:.0f} ms, "
                 f"ratio {program / bare:.2f} |")
    return "\n".join(lines)


def plot(figures, path):
    import matplotlib

    matplotlib.use("Agg")
    import matplotlib.pyplot as plt

    fig, (left, right) = plt.subplots(1, 2, figsize=(11, 4.2))
    counts = [int(n) for n in figures["listing"]]
    left.plot(counts, [old_bound(n) for n in counts], "k:", label="old bound 0.9 s + rows x 50 ms")
    left.plot(counts, [reference() for _ in counts], "k--", label="reference: 0.9 s + one round trip")
    for n, runs in figures["listing"].items():
        done = [r["from_start"] for r in runs if r["from_start"] is not None]
        left.plot([int(n)] * len(done), done, "o", color="tab:blue", alpha=0.6)
        missing = [r for r in runs if r["from_start"] is None]
        if missing:
            left.plot([int(n)] * len(missing), [LIST_LIMIT_S] * len(missing), "x", color="tab:red")
    left.plot([], [], "o", color="tab:blue", label="measured (from the program's start)")
    left.plot([], [], "x", color="tab:red", label="not all listed within 30 s")
    left.set_xscale("log", base=2)
    left.set_xlabel("simulated devices N (above 256, the rest are refused)")
    left.set_ylabel("time until all are listed (s)")
    left.set_title("Listing speed")
    left.legend(fontsize=8)
    left.grid(alpha=0.3)

    start = figures["startup"]
    right.boxplot([start["program"], start["bare_dialog"]], labels=["quillmast.exe", "bare dialog"])
    right.set_ylabel("launch to shown window (s)")
    right.set_title("Start-up under the same Wine")
    right.grid(alpha=0.3)
    fig.tight_layout()
    fig.savefig(path, dpi=100)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", type=Path, default=ROOT / "build" / "bench")
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--replot", type=Path, metavar="FIGURES_JSON",
                        help="only print the table and draw the plot of an earlier run (no lab needed)")
    args = parser.parse_args()
    if args.replot:
        figures = json.loads(args.replot.read_text())
        print(table(figures))
        plot(figures, args.replot.with_name("bench.png"))
        return
    if not lab.in_lab():
        sys.exit("bench: QM_LAB is not set: run it inside the lab (tools/bench.sh)")
    args.out.mkdir(parents=True, exist_ok=True)
    figures = measure(args.repeats)
    (args.out / "figures.json").write_text(json.dumps(figures, indent=1))
    text = table(figures)
    (args.out / "figures.md").write_text(text + "\n")
    print(text)
    plot(figures, args.out / "bench.png")
    print(f"figures: {args.out / 'figures.json'}, plot: {args.out / 'bench.png'}")


if __name__ == "__main__":
    main()
