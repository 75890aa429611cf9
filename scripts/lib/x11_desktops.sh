# Sourced by scripts/bench: the saver where people run it on X11, each on a private Xvfb
# of its own. As a module of the xscreensaver daemon (against `zimoklas --root` alone on
# the same kind of display), and as `zimoklas /s` under gnome-shell --x11 and under
# KWin's X11 compositor. The daemon and the desktops refuse root, so as root they run as
# the account nobody, in folders of their own. Each measurement writes "name value unit" lines, CPU shares of one core.

# Clock ticks (user + system) a process has used so far; nothing once it is gone.
x11_cpu_ticks() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  # The fields after the command's name, which may hold spaces.
  awk '{print $12 + $13}' <<<"${stat##*) }"
}

# Measures for SECONDS and writes to OUT one "NAME share %" line for each NAME=PID that
# still runs at the end.
x11_measure() {
  local seconds=$1 out=$2
  shift 2
  local -A before=()
  local pair end hz
  hz=$(getconf CLK_TCK)
  for pair; do before[${pair%%=*}]=$(x11_cpu_ticks "${pair#*=}"); done
  sleep "$seconds"
  for pair; do
    end=$(x11_cpu_ticks "${pair#*=}")
    [[ -n "$end" && -n "${before[${pair%%=*}]}" ]] || continue
    awk -v name="${pair%%=*}" -v a="${before[${pair%%=*}]}" -v b="$end" -v hz="$hz" \
      -v s="$seconds" 'BEGIN { printf "%s %.2f %%\n", name, 100 * (b - a) / hz / s }' >>"$out"
  done
}

# The words that run a command as nobody when this script runs as root. A command started
# in the background with them is runuser, which passes signals on to its child.
X11_AS=()
[[ $(id -u) -eq 0 ]] && X11_AS=(runuser -u nobody --)

# The first child of PID, which runuser starts and waits for.
x11_child_of() {
  local pid=$1 child=""
  [[ $(id -u) -eq 0 ]] || { echo "$pid"; return; }
  for _ in $(seq 50); do
    child=$(pgrep -P "$pid" | head -1) && [[ -n "$child" ]] && break
    sleep 0.1
  done
  echo "$child"
}

x11_folder() {
  local dir
  dir=$(mktemp -d "/tmp/zimoklas-$1-XXXXXX")
  chmod 700 "$dir"
  if [[ $(id -u) -eq 0 ]]; then chown nobody "$dir"; fi
  echo "$dir"
}

# `SAVER --root` alone on the root window: what drawing the scene costs the X server.
bench_x11_root() {
  local saver=$1 size=$2 seconds=$3 out=$4 config pid
  : >"$out"
  config=$(mktemp -d /tmp/zimoklas-root-XXXXXX)
  start_xvfb "${size}x24"
  XDG_CONFIG_HOME="$config" "$saver" --root >/dev/null 2>&1 &
  pid=$!
  sleep 3
  x11_measure "$seconds" "$out" saver_cpu_share="$pid" xserver_cpu_share="$XVFB_PID"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  stop_xvfb
  rm -rf "$config"
}

# `SAVER --root` as the module of the xscreensaver daemon, which runs it in a window of
# its own over the screen.
bench_x11_xscreensaver() {
  local saver=$1 size=$2 seconds=$3 out=$4 home runner module
  : >"$out"
  command -v xscreensaver >/dev/null || return 0
  home=$(x11_folder xscreensaver)
  chmod 755 "$home"
  printf '%s\n' "mode: one" "selected: 0" "cycle: 0" "lock: False" "fade: False" \
    "unfade: False" "splash: False" "timeout: 0:30:00" "dpmsEnabled: False" \
    "programs: $saver --root \\n" >"$home/.xscreensaver"
  if [[ $(id -u) -eq 0 ]]; then chown nobody "$home/.xscreensaver"; fi
  start_xvfb "${size}x24"
  "${X11_AS[@]}" env HOME="$home" DISPLAY="$DISPLAY" XDG_CONFIG_HOME="$home/.config" \
    xscreensaver -no-splash >"$home.log" 2>&1 &
  runner=$!
  sleep 2
  "${X11_AS[@]}" env HOME="$home" DISPLAY="$DISPLAY" xscreensaver-command -activate \
    >>"$home.log" 2>&1 || true
  sleep 3
  module=$(pgrep -f -n "^$saver --root" || true)
  if [[ -n "$module" ]]; then
    x11_measure "$seconds" "$out" saver_cpu_share="$module" xserver_cpu_share="$XVFB_PID"
  else
    echo "the xscreensaver daemon started no module (see $home.log)" >&2
  fi
  "${X11_AS[@]}" env HOME="$home" DISPLAY="$DISPLAY" xscreensaver-command -exit \
    >>"$home.log" 2>&1 || true
  kill "$runner" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  stop_xvfb
  rm -rf "$home" "$home.log"
}

GNOME_X11_DIR=""
GNOME_X11_PIDS=()
GNOME_X11_SHELL=""
# Starts gnome-shell --x11 as the window manager and compositor of the current
# $DISPLAY, with a session bus and a private "system" bus (without one the shell ends in
# its login-manager code), neither of which starts services. Leaves its overview.
start_gnome_x11() {
  local dir bus runner
  dir=$(x11_folder gnome)
  GNOME_X11_DIR=$dir
  GNOME_X11_PIDS=()
  for bus in system_bus bus; do
    sed -e "s|<listen>.*</listen>|<listen>unix:path=$dir/$bus</listen>|" \
      -e 's|<standard_session_servicedirs />||' /usr/share/dbus-1/session.conf >"$dir/$bus.conf"
    "${X11_AS[@]}" dbus-daemon --config-file="$dir/$bus.conf" --nofork --nopidfile \
      >/dev/null 2>&1 &
    GNOME_X11_PIDS+=($!)
  done
  for _ in $(seq 100); do
    [[ -S "$dir/bus" && -S "$dir/system_bus" ]] && break
    sleep 0.1
  done
  "${X11_AS[@]}" env -u WAYLAND_DISPLAY HOME="$dir" XDG_RUNTIME_DIR="$dir" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus" \
    DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/system_bus" DISPLAY="$DISPLAY" \
    XDG_SESSION_TYPE=x11 GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
    gnome-shell --x11 --replace >"$dir.log" 2>&1 &
  runner=$!
  GNOME_X11_PIDS=("$runner" "${GNOME_X11_PIDS[@]}")
  GNOME_X11_SHELL=$(x11_child_of "$runner")
  # Up once it manages the screen; it starts in its overview, which Esc leaves.
  for _ in $(seq 600); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  sleep 8
  xdotool key Escape || true
  sleep 3
}

stop_gnome_x11() {
  local pid
  for pid in "${GNOME_X11_PIDS[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  GNOME_X11_PIDS=()
  if [[ -n "$GNOME_X11_DIR" ]]; then
    # What the shell started for its session, found by its runtime folder.
    for pid in $(pgrep -u "$(id -u nobody)" || true); do
      if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" |
        grep -qx "XDG_RUNTIME_DIR=$GNOME_X11_DIR"; then
        kill "$pid" 2>/dev/null || true
      fi
    done
    rm -rf "$GNOME_X11_DIR" "$GNOME_X11_DIR.log"
    GNOME_X11_DIR=""
  fi
}

# `SAVER --x11 /s` with default settings, measured after 3 s as saver_cpu_share beside
# the NAME=PID pairs given, then ended.
x11_measure_saver() {
  local saver=$1 seconds=$2 out=$3 config pid
  shift 3
  config=$(mktemp -d /tmp/zimoklas-x11-saver-XXXXXX)
  XDG_CONFIG_HOME="$config" "$saver" --x11 /s >/dev/null 2>&1 &
  pid=$!
  sleep 3
  x11_measure "$seconds" "$out" saver_cpu_share="$pid" "$@"
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  rm -rf "$config"
}

# `SAVER /s` under gnome-shell --x11: the saver, the shell and Xvfb; and the shell and
# Xvfb before the saver starts (idle). gnome-shell 43 keeps every window composited from
# its start until its quick-settings menu is first closed (the menu's hidden popup counts
# as shown); with QUICK=opened that menu is opened and closed first, as a user does, and
# a window that covers the monitor is then shown as it is.
bench_x11_gnome() {
  local saver=$1 size=$2 seconds=$3 out=$4 idle=$5 quick=${6:-}
  : >"$out"
  : >"$idle"
  command -v gnome-shell >/dev/null || return 0
  start_xvfb "${size}x24"
  start_gnome_x11
  if [[ $quick == opened ]]; then
    xdotool mousemove "$((${size%x*} - 10))" 8 click 1 || true
    sleep 2
    xdotool key Escape mousemove "$((${size%x*} / 2))" "$((${size#*x} / 2))" || true
    sleep 2
  fi
  if [[ -n "$GNOME_X11_SHELL" ]] && kill -0 "$GNOME_X11_SHELL" 2>/dev/null; then
    x11_measure "$seconds" "$idle" shell_cpu_share="$GNOME_X11_SHELL" \
      xserver_cpu_share="$XVFB_PID"
    x11_measure_saver "$saver" "$seconds" "$out" shell_cpu_share="$GNOME_X11_SHELL" \
      xserver_cpu_share="$XVFB_PID"
  else
    echo "gnome-shell --x11 did not start (see $GNOME_X11_DIR.log)" >&2
  fi
  stop_gnome_x11
  stop_xvfb
}

# `SAVER /s` under KWin on X11 (kwin_x11, compositing with OpenGL in software): the saver,
# KWin and Xvfb.
bench_x11_kwin() {
  local saver=$1 size=$2 seconds=$3 out=$4 dir runner kwin
  : >"$out"
  command -v kwin_x11 >/dev/null || return 0
  start_xvfb "${size}x24"
  dir=$(x11_folder kwin)
  "${X11_AS[@]}" env -u WAYLAND_DISPLAY HOME="$dir" XDG_RUNTIME_DIR="$dir" DISPLAY="$DISPLAY" \
    QT_QPA_PLATFORM=xcb dbus-run-session kwin_x11 --replace >"$dir.log" 2>&1 &
  runner=$!
  for _ in $(seq 300); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  sleep 3
  kwin=$(pgrep -f -n "^kwin_x11 --replace" || true)
  if [[ -n "$kwin" ]]; then
    x11_measure_saver "$saver" "$seconds" "$out" kwin_cpu_share="$kwin" \
      xserver_cpu_share="$XVFB_PID"
  else
    echo "kwin_x11 did not start (see $dir.log)" >&2
  fi
  # dbus-run-session ends its session bus and KWin with it.
  kill "$runner" 2>/dev/null || true
  wait "$runner" 2>/dev/null || true
  [[ -n "$kwin" ]] && kill "$kwin" 2>/dev/null
  stop_xvfb
  rm -rf "$dir" "$dir.log"
}
