"""Writes docs/performance.md from the figures scripts/bench collected: medians of the
runs, the targets beside them, and the ratios against screen area and against the peer."""
import json
import os
import platform
import statistics
import subprocess
import sys
from datetime import datetime, timezone

results, seconds, runs, sizes = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4].split()
# The file whose hand-written end is kept (the table's own, before this run).
previous = sys.argv[5] if len(sys.argv) > 5 else None
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
sys.dont_write_bytecode = True  # no __pycache__ in the source tree
from bench_desktops import desktop_section, kept_part  # noqa: E402
import bench_x11_desktops  # noqa: E402


def figures(path):
    """The "name value unit" lines of one program's output."""
    found = {}
    try:
        with open(path, encoding="utf-8") as f:
            for line in f:
                parts = line.split()
                if len(parts) == 3:
                    try:
                        found[parts[0]] = float(parts[1])
                    except ValueError:
                        pass
    except OSError:
        pass
    return found


def median(program, size, name):
    values = [figures(os.path.join(results, f"{program}-{size}-{run}.txt")).get(name)
              for run in range(1, runs + 1)]
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def fmt(value, digits=1):
    return "n/a" if value is None else f"{value:,.{digits}f}".replace(",", " ")


def size_label(size):
    return size.replace("x", " × ")


def first_line(command):
    try:
        return subprocess.run(command, capture_output=True, text=True, check=False,
                              shell=True).stdout.strip().splitlines()[0]
    except (OSError, IndexError):
        return "unknown"


def machine():
    cpu = first_line("grep -m1 'model name' /proc/cpuinfo | cut -d: -f2-").strip()
    memory = first_line("grep -m1 MemTotal /proc/meminfo | awk '{printf \"%.1f GB\", $2/1048576}'")
    system = first_line(". /etc/os-release && echo \"$PRETTY_NAME\"")
    xvfb = first_line("dpkg-query -W -f='${Version}' xvfb")
    wine = first_line("wine --version")
    return (f"{cpu}, {os.cpu_count()} cores, {memory}; {system}, Linux {platform.release()}; "
            f"Xvfb {xvfb}, {wine}")


def load(name):
    try:
        with open(os.path.join(results, name), encoding="utf-8") as f:
            return f.read().split("load average:")[1].strip()
    except (OSError, IndexError):
        return "unknown"


# figure, name in scene_cost's output, digits, unit, target per size, comparison
SCENE_ROWS = [
    ("ticks delivered a second", "ticks_per_second", 1, "", ["198"] * 3, ">="),
    ("saver CPU per tick (user + sys)", "cpu_per_tick", 1, "µs", ["150", "150", "200"], "<="),
    ("median tick from wake-up to drawn (animation, pixels, flush)", "work_median", 0, "µs",
     None, None),
    ("saver CPU share", "cpu_share", 2, "%", None, None),
    ("X server CPU share", "xserver_cpu_share", 2, "%", ["5", "5", "6"], "<="),
    ("p99 deadline-to-drawn delay", "delay_p99", 3, "ms", ["2"] * 3, "<="),
    ("max deadline-to-drawn delay", "delay_max", 3, "ms", None, None),
    ("p99 deadline-to-wake-up delay", "wake_p99", 3, "ms", None, None),
    ("p99 wake-up delay of a bare 5 ms sleeper (the machine's)", "bare_wake_p99", 3, "ms", None,
     None),
    ("peak RSS of the saver", "peak_rss", 1, "MB", ["20", "20", "30"], "<="),
    ("heap allocations per tick (operator new)", "heap_allocations_per_tick", 3, "", ["0"] * 3,
     "<="),
    ("heap allocations per clock tick (once a second)", "heap_allocations_per_clock_tick", 1, "",
     None, None),
    ("malloc calls per tick (Xlib, Pango, cairo included)", "malloc_calls_per_tick", 3, "", None, None),
    ("X requests per tick", "requests_per_tick", 2, "", None, None),
]
STANDARD = ["1280x720", "1920x1080", "3840x2160"]


def target_for(targets, size):
    """A row's target at a size: none, one for every size, or one per standard size."""
    if targets is None or isinstance(targets, str):
        return targets
    return targets[STANDARD.index(size)] if size in STANDARD else targets[1]


def cell(value, digits, unit, target, comparison):
    text = fmt(value, digits) + (f" {unit}" if unit and value is not None else "")
    if target is None or value is None:
        return text
    met = value >= float(target) if comparison == ">=" else value <= float(target)
    sign = "≥" if comparison == ">=" else ("=" if float(target) == 0 else "≤")
    return f"{text} ({sign} {target} {'✓' if met else '✗'})".replace(" )", ")")


lines = []
out = lines.append


def figure_table(program, table_sizes, rows):
    """One program's medians, a row a figure and a column a size, each with its target."""
    out("| figure | " + " | ".join(size_label(s) for s in table_sizes) + " |")
    out("|---|" + "---|" * len(table_sizes))
    for label, name, digits, unit, targets, comparison in rows:
        cells = [cell(median(program, s, name), digits, unit, target_for(targets, s), comparison)
                 for s in table_sizes]
        out(f"| {label} | " + " | ".join(cells) + " |")

now = datetime.now(timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
out("# Performance")
out("")
out(f"Measured on {now} by `scripts/bench`, which regenerates this file. Machine: {machine()}.")
out(f"Every figure is the median of {runs} runs of {seconds} s on a private Xvfb of the given "
    "size (24 bits), the Wayland scene's under headless sway, gnome-shell and KWin; each run "
    "measures the "
    "programs one after the other. The machine "
    "is shared with other builds: load average at the start "
    f"{load('load-start.txt')}, at the end {load('load-end.txt')}.")
out("")
out("## The native scene")
out("")
out(f"`build/linux/bench/scene_cost --size WxH --seconds {seconds}`: the X11 scene of `zimoklas /s` "
    "(pixel path and label drawing included) with the spark and flake pools held full, "
    "500 sparks and 1500 flakes.")
out("")
figure_table("scene", sizes, SCENE_ROWS)
out("")

small, large, mid = "1280x720", "3840x2160", "1920x1080"
area = None
if small in sizes and large in sizes:
    a, b = median("scene", small, "cpu_per_tick"), median("scene", large, "cpu_per_tick")
    area = b / a if a and b is not None else None
peer_ratio = None
if mid in sizes:
    ours = [median("scene", mid, "cpu_share"), median("scene", mid, "xserver_cpu_share")]
    theirs = [median("peer", mid, "program_cpu_share"), median("peer", mid, "xserver_cpu_share")]
    if None not in ours and None not in theirs and sum(theirs) > 0:
        peer_ratio = sum(ours) / sum(theirs)
out("| ratio | figure | target |")
out("|---|---|---|")
out(f"| cost against area: saver CPU per tick, 3840 × 2160 / 1280 × 720 | {fmt(area, 2)} | "
    f"≤ 1.5 {'✓' if area is not None and area <= 1.5 else '✗'} |")
out(f"| against the peer at 1920 × 1080: (saver + X server) / (fireworkx + X server) | "
    f"{fmt(peer_ratio, 3)} | ≤ 0.1 {'✓' if peer_ratio is not None and peer_ratio <= 0.1 else '✗'} |")
out("")

out("The delay runs from a tick's deadline to the return of the flush that hands its "
    "drawing to the X server; the wake-up delay is its part before the tick starts, spent "
    "waiting for a core. CPU per tick is all of the saver's CPU (clock tick, label repaints "
    "and the loop included) divided by the ticks. The median tick from wake-up to drawn is "
    "the wall time of a tick's own work; most of the rest is the cost of waking up every "
    "5 ms, which falls on a core that has slept, its caches cold. The clock tick's line of "
    "text is the one allocation left, once a second. The libraries' own mallocs (Xlib, "
    "and Pango and cairo laying out and drawing the clock line and the notice once a "
    "second) are counted apart.")
out("")
wayland_sizes = [s for s in sizes
                 if any(os.path.exists(os.path.join(results, f"wayland-{s}-{r}.txt"))
                        for r in range(1, runs + 1))]
WAYLAND_ROWS = [
    ("ticks delivered a second", "ticks_per_second", 1, "", "198", ">="),
    ("saver CPU per tick (user + sys)", "cpu_per_tick", 1, "µs", None, None),
    ("median tick from wake-up to its writes logged", "work_median", 0, "µs", None, None),
    ("saver CPU share", "cpu_share", 2, "%", None, None),
    ("compositor (sway) CPU share", "xserver_cpu_share", 2, "%", None, None),
    # Ticks run when the compositor asks for a frame: each waits up to a frame (60 Hz).
    ("p99 deadline-to-drawn delay (ticks wait for the frame)", "delay_p99", 3, "ms", "17",
     "<="),
    ("wake-ups a second", "wake_ups_per_second", 1, "", "70", "<="),
    ("peak RSS of the saver", "peak_rss", 1, "MB", None, None),
    ("heap allocations per tick (operator new)", "heap_allocations_per_tick", 3, "", "0", "<="),
    ("malloc calls per tick (GTK, libwayland included)", "malloc_calls_per_tick", 3, "", None,
     None),
    ("commits a second", "frames_per_second", 1, "", None, None),
    ("damage boxes a commit", "damage_boxes_per_frame", 1, "", None, None),
]
FLOOR_ROWS = [
    ("ticks delivered a second", "ticks_per_second", 1, "", None, None),
    ("floor CPU per tick (user + sys)", "cpu_per_tick", 1, "µs", None, None),
    ("X server CPU share", "xserver_cpu_share", 2, "%", None, None),
]


def ratio_row(label, value, limit):
    if limit is None:
        return f"| {label} | {fmt(value, 2)} | (no target) |"
    met = "✓" if value is not None and value <= limit else "✗"
    return f"| {label} | {fmt(value, 2)} | ≤ {limit} {met} |"


def quotient(a, b):
    return a / b if a is not None and b else None


if wayland_sizes:
    out("## The scene on Wayland")
    out("")
    out(f"`build/linux/bench/wayland_scene_cost --seconds {seconds} --compositor PID`: the "
        "Wayland scene of `zimoklas /s` (a layer surface, its pixels in buffers of its "
        "own) with the pools held full, under a headless sway (`WLR_RENDERER=pixman`, no input "
        "devices) of the given size that `scripts/bench` starts for each run.")
    out("")
    figure_table("wayland", wayland_sizes, WAYLAND_ROWS)
    out("")
    out("On X11 the X server sets the tick's points in its own framebuffer, and its CPU is "
        "not the saver's; on Wayland the saver sets them itself: each write is logged with its "
        "colour and replayed into each of the two shared-memory buffers when that buffer is "
        "next sent, since sway holds the buffer on the screen until the next commit; the "
        "scene keeps no third copy. These writes land all over "
        "the output, so most of them miss the caches, and they are most of the difference "
        "from the X11 saver (they grow with the output's size, as Xvfb's share does on X11). "
        "The rest is libwayland's requests and GLib's main loop, which prepares and polls "
        "GTK's sources once a frame: the ticks run when sway asks for a frame, all those "
        "due by then, so the saver wakes about 61 times a second, not 200. The window "
        "is declared opaque and holds the buffers itself, so sway composes each damaged "
        "pixel once, with pixman, for each of its 60 frames a second, where Xvfb only sets "
        "the points; with full pools the flakes touch nearly every 64-pixel square between "
        "two commits. The delay runs to the tick's writes being logged, before its commit; "
        "a tick waits for the next frame, up to 17 ms at 60 Hz.")
    out("")

lines.extend(desktop_section(results, runs, sizes, median, fmt, size_label, seconds))

out("## The floor")
out("")
out(f"`build/linux/bench/floor_cost --size WxH --seconds {seconds}`: a bare program on a private "
    "Xvfb that wakes every 5 ms on absolute deadlines and sends 4000 points a tick (what "
    "500 sparks and 1500 flakes, each erased and drawn, make) as two `XDrawPoints` and one "
    "flush, and animates nothing: what any design that draws 200 ticks a second pays.")
out("")
figure_table("floor", sizes, FLOOR_ROWS)
out("")
out("| ratio | figure | target |")
out("|---|---|---|")
for s in sizes:
    floor_ratio = quotient(median("scene", s, "cpu_per_tick"), median("floor", s, "cpu_per_tick"))
    out(ratio_row(f"X11 saver CPU per tick / floor's, {size_label(s)}", floor_ratio, 1.5))
for s in wayland_sizes:
    own = quotient(median("wayland", s, "cpu_per_tick"), median("scene", s, "cpu_per_tick"))
    out(ratio_row(f"Wayland saver CPU per tick / X11 saver's, {size_label(s)}", own, 1.2))
    wl = [median("wayland", s, "cpu_share"), median("wayland", s, "xserver_cpu_share")]
    x = [median("scene", s, "cpu_share"), median("scene", s, "xserver_cpu_share")]
    both = quotient(sum(wl), sum(x)) if None not in wl and None not in x else None
    out(ratio_row(f"(saver + sway) / (saver + Xvfb) CPU, {size_label(s)}", both, 2))
    # On Wayland the saver sets its pixels itself; on X11 the X server does.
    pixels = quotient(wl[0], sum(x)) if wl[0] is not None and None not in x else None
    out(ratio_row(f"Wayland saver / (X11 saver + Xvfb) CPU, {size_label(s)}", pixels, None))
out("")
missed = [s for s in sizes
          if (r := quotient(median("scene", s, "cpu_per_tick"), median("floor", s, "cpu_per_tick")))
          is not None and r > 1.5]
if missed:
    out(f"✗ marks a target missed. The X11 saver costs more than 1.5 times the floor at "
        f"{', '.join(size_label(s) for s in missed)}: the goal of at most 1.5 times is not "
        "met yet, and it stays open as work on the X11 pixel path, measured again by this "
        "table.")
    out("")
out("Above the floor, the X11 scene pays for the animation itself (the tick without its "
    "wake-up, below), for the resolution of each tick's writes so that the last one wins, "
    "for a third colour's request, and once a second for the clock line and the notice's "
    "repaint through Pango.")
out("")

out("## The peer and the Windows build under Wine")
out("")
out(f"`build/linux/bench/proc_cost --size WxH --seconds {seconds} -- PROGRAM ...`, after 3 s of "
    "warm-up. The peer is Debian's `fireworkx -root` (package `xscreensaver-data-extra`); "
    "its frames a second do not compare with ticks, its CPU does. The Wine figures are "
    "Wine's, not Windows': informative only.")
out("")
out("| program | figure | " + " | ".join(size_label(s) for s in sizes) + " |")
out("|---|---|" + "---|" * len(sizes))
OTHER_ROWS = [
    ("peer", "`fireworkx -root`", [("CPU share", "program_cpu_share", "%"),
                                   ("X server CPU share", "xserver_cpu_share", "%"),
                                   ("peak RSS", "program_peak_rss", "MB")]),
    ("wine", "`Zimoklas.scr /s` under Wine", [("CPU share", "program_cpu_share", "%"),
                                              ("wineserver CPU share", "wineserver_cpu_share", "%"),
                                              ("X server CPU share", "xserver_cpu_share", "%"),
                                              ("peak RSS", "program_peak_rss", "MB")]),
]
for program, title, rows in OTHER_ROWS:
    for label, name, unit in rows:
        cells = [f"{fmt(median(program, s, name))} {unit}" for s in sizes]
        out(f"| {title} | {label} | " + " | ".join(cells) + " |")
out("")

out("## The tick without its wake-up")
out("")
out("`build/linux/bench/tick_bench`: one animation tick at full load, median of "
    f"{runs} repetitions (Google Benchmark), run back to back so that caches stay warm. "
    "The first two draw without X; `X11PixelBatch` draws through the scene's pixel path into "
    "a 1920 × 1080 window on Xvfb and flushes each tick.")
out("")
out("| benchmark | CPU per tick |")
out("|---|---|")
try:
    with open(os.path.join(results, "tick_bench.json"), encoding="utf-8") as f:
        engine = json.load(f)
    entries = engine.get("benchmarks", [])
    # One repetition has no aggregates: its runs are the figures.
    medians = [b for b in entries if b.get("aggregate_name") == "median"]
    for bench in medians or [b for b in entries if b.get("run_type") == "iteration"]:
        if "cpu_time" in bench:
            out(f"| {bench['run_name']} | {bench['cpu_time']:.1f} {bench['time_unit'].replace('us', 'µs')} |")
except (OSError, ValueError):
    out("| tick_bench | n/a |")
# The saver where people run it on X11, in a module of its own.
bench_x11_desktops.section(out, median, fmt, results, seconds, runs)
if previous:
    kept = kept_part(previous)
    if kept:
        out("")
        lines.extend(kept)
print("\n".join(lines))
