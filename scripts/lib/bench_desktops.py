"""The part of docs/performance.md about the Wayland scene on the compositors people run
(sway, gnome-shell, KWin) against each one's floor, and the hand-written part at the end
of the file, which scripts/bench keeps as it is."""
import os

# Where the hand-written part of docs/performance.md begins.
KEPT_MARK = "<!-- Written by hand from here on; scripts/bench keeps it as it is. -->"

# desktop, its name, the scene's results, the floor's results, the target for the
# compositor's CPU with the saver over its CPU with the floor
DESKTOPS = [
    ("sway", "sway (`WLR_RENDERER=pixman`)", "wayland", "sway-floor", 1.2),
    ("sway", "sway, against the GTK-painted floor", "wayland", "sway-gtk-floor", 1.2),
    ("gnome", "gnome-shell 43 (`--headless --wayland`, software GL)", "gnome", "gnome-floor", 5),
    ("kwin", "KWin (`--virtual`)", "kwin", "kwin-floor", 1.2),
]


def desktop_section(results, runs, sizes, median, fmt, size_label, seconds):
    """The table of the scene and the floor under each compositor, for the sizes measured."""
    lines = []
    out = lines.append

    def measured(program, size):
        return any(os.path.exists(os.path.join(results, f"{program}-{size}-{r}.txt"))
                   for r in range(1, runs + 1))

    present = [d for d in DESKTOPS if any(measured(d[3], s) for s in sizes)]
    table_sizes = [s for s in sizes if any(measured(d[3], s) for d in present)]
    if not present:
        return lines
    out("## The scene against each compositor's floor")
    out("")
    out(f"`build/linux/bench/wayland_scene_cost --seconds {seconds}` (pools full) and then "
        f"`build/linux/bench/wayland_floor_cost --seconds {seconds} --surface layer` in the "
        "same session: the floor is a bare GTK 3 client on the same kind of surface, with two "
        "shared-memory buffers of its own, that changes and damages one pixel each time the "
        "compositor asks for a frame. sway is started by `scripts/bench`, gnome-shell and KWin "
        "by `build/linux/tests/e2e/zimoklas_desktop_session gnome|kwin WxH -- ...`, the "
        "end-to-end tests' headless sessions; it lets the compositor go quiet before each "
        "program. The ratio is the compositor's CPU with the saver over its CPU with the floor. "
        "The GTK-painted floor (`--surface toplevel --paint gtk`) is a fullscreen GTK 3 window "
        "that GTK paints itself, one pixel invalidated and damaged a frame; GTK hands the "
        "compositor a new shared-memory pool and buffer for every frame.")
    out("")
    out("| compositor | size | saver CPU | compositor CPU, saver | compositor CPU, floor | "
        "compositor, saver / floor | commits a second | damage boxes a commit |")
    out("|---|---|---|---|---|---|---|---|")
    for _, title, scene, floor, limit in present:
        for s in table_sizes:
            saver = median(scene, s, "xserver_cpu_share")
            base = median(floor, s, "compositor_cpu_share")
            ratio = saver / base if saver is not None and base else None
            met = "✓" if ratio is not None and ratio <= limit else "✗"
            own = median(scene, s, "cpu_share")
            cells = [title, size_label(s),
                     fmt(own, 2) + (" %" if own is not None else ""),
                     fmt(saver, 2) + (" %" if saver is not None else ""),
                     fmt(base, 2) + (" %" if base is not None else ""),
                     f"{fmt(ratio, 2)} (≤ {limit} {met})",
                     fmt(median(scene, s, "frames_per_second")),
                     fmt(median(scene, s, "damage_boxes_per_frame"))]
            out("| " + " | ".join(cells) + " |")
    out("")
    return lines


def kept_part(path):
    """The hand-written end of the file at `path`, from its mark on; empty without one."""
    try:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    except OSError:
        return []
    at = text.find(KEPT_MARK)
    return [] if at < 0 else text[at:].rstrip("\n").split("\n")
