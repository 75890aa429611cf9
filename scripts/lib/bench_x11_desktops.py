"""The section of docs/performance.md on the saver where people run it on X11: as the
xscreensaver daemon's module and under gnome-shell --x11, from the figures that
scripts/lib/x11_desktops.sh wrote, this tree's code beside the code given to scripts/bench
with --before."""
import glob
import os

# Each measurement: its files' prefix in the results, and its figures.
MEASUREMENTS = [
    ("x11root", "`zimoklas --root` alone", [("saver CPU", "saver_cpu_share"),
                                             ("Xvfb CPU", "xserver_cpu_share")]),
    ("xdaemon", "xscreensaver daemon, module `zimoklas --root`",
     [("saver CPU", "saver_cpu_share"), ("Xvfb CPU", "xserver_cpu_share")]),
    ("xgnome", "gnome-shell --x11, `zimoklas /s`, as the shell starts",
     [("saver CPU", "saver_cpu_share"), ("gnome-shell CPU", "shell_cpu_share"),
      ("Xvfb CPU", "xserver_cpu_share")]),
    ("xgnomeidle", "gnome-shell --x11 before the saver starts",
     [("gnome-shell CPU", "shell_cpu_share"), ("Xvfb CPU", "xserver_cpu_share")]),
    ("xgnomeqs", "gnome-shell --x11, `zimoklas /s`, quick settings opened once",
     [("saver CPU", "saver_cpu_share"), ("gnome-shell CPU", "shell_cpu_share"),
      ("Xvfb CPU", "xserver_cpu_share")]),
    ("xkwin", "KWin on X11, `zimoklas /s`",
     [("saver CPU", "saver_cpu_share"), ("KWin CPU", "kwin_cpu_share"),
      ("Xvfb CPU", "xserver_cpu_share")]),
]


def section(out, median, fmt, results, seconds, runs):
    """Appends the section through `out` when scripts/bench measured these; `median(program,
    size, name)` reads the medians and `fmt` formats a figure."""
    found = glob.glob(os.path.join(results, "x11root-after-*-1.txt"))
    if not found:
        return
    size = os.path.basename(found[0])[len("x11root-after-"):-len("-1.txt")]
    before = bool(glob.glob(os.path.join(results, "x11root-before-*-1.txt")))
    columns = ["before", "after"] if before else ["after"]

    def value(prefix, column, name):
        return median(f"{prefix}-{column}", size, name)

    def cell(v):
        return "n/a" if v is None else f"{fmt(v, 2)} %"

    def ratio(a, b):
        return f"{a / b:.2f}" if a is not None and b else "n/a"

    label = size.replace("x", " × ")
    out("")
    out("## Where people run it on X11")
    out("")
    out(f"`scripts/lib/x11_desktops.sh`, from `scripts/bench`: each program on a private Xvfb of "
        f"{label} with the default settings, the daemon and the shell as the account nobody; "
        f"CPU shares of one core over {seconds} s after a few seconds' warm-up, medians of "
        f"{runs} runs. "
        + ("The landed code (`--before`) is measured in the same runs, one after the other. "
           if before else "Run `scripts/bench --before REF` to measure the code at REF beside it. ")
        + "gnome-shell 43 composes every window from its start until its quick-settings menu "
        "has been closed once: that menu's popup counts as shown while its container is hidden, "
        "which keeps the shell from showing a full-screen window as it is. So gnome-shell is "
        "measured both as it starts and after that menu has been opened and closed.")
    out("")
    out("| where | figure | " + " | ".join(
        "landed code" if c == "before" else "this tree" for c in columns) + " |")
    out("|---|---|" + "---|" * len(columns))
    for prefix, title, figures in MEASUREMENTS:
        for name, key in figures:
            out(f"| {title} | {name} | " + " | ".join(cell(value(prefix, c, key))
                                                     for c in columns) + " |")
    out("")
    out("| ratio | " + " | ".join(
        "landed code" if c == "before" else "this tree" for c in columns) + " | target |")
    out("|---|" + "---|" * len(columns) + "---|")
    cells = [ratio(value("xdaemon", c, "xserver_cpu_share"),
                   value("x11root", c, "xserver_cpu_share")) for c in columns]
    out("| Xvfb CPU under the daemon / with `--root` alone | " + " | ".join(cells) + " | ≤ 1.5 |")
    today = value("xgnome", columns[0], "shell_cpu_share")
    cells = [ratio(value("xgnomeqs", c, "shell_cpu_share"), today) for c in columns]
    out("| gnome-shell CPU with the saver, quick settings opened once / as the shell starts "
        f"({'landed code' if before else 'this tree'}) | " + " | ".join(cells) + " | ≤ 0.1 |")
    out("")
    out("The daemon gives its module a window with backing store Always, which the X server keeps "
        "by drawing the window off screen and copying each damaged area onto the screen; a "
        "module's window of its own inside it would be drawn off screen too. The module sets the "
        "daemon's window to no backing store while it draws and gives it back when it ends. "
        "Under gnome-shell the saver's window covers the monitor exactly, is opaque and asks to "
        "bypass the compositor (`_NET_WM_BYPASS_COMPOSITOR`); once the shell lets any window go "
        "uncomposed, the saver's is shown as it is and the shell does nothing while it runs. "
        "KWin on X11 composes windows that bypass it (override-redirect) whatever they ask; it "
        "stops composing only for a window it manages that is full screen and asks to bypass "
        "the compositor.")
    out("")
