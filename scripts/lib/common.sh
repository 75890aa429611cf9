# Shared by the scripts: the repository root, a Wine prefix per build tree, and a
# virtual X display that is started and stopped by the script that needs it.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# Creates the Wine prefix of a build tree once; later calls reuse it. Its windows are
# not left to a window manager: the virtual display has none, and Wine would otherwise
# wait two seconds for one whenever a full-screen window is shown or hidden.
wine_prefix() {
  local prefix="$ROOT/build/windows/wineprefix"
  if [[ ! -f "$prefix/system.reg" ]]; then
    mkdir -p "$ROOT/build/windows"
    WINEPREFIX="$prefix" wineboot -i >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" wineserver -w || true
  fi
  if ! grep -q '^"Managed"="N"' "$prefix/user.reg" 2>/dev/null; then
    WINEPREFIX="$prefix" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
      >/dev/null 2>&1 || true
    WINEPREFIX="$prefix" wineserver -w || true
  fi
  # This Wine build does not pick up its own fonts from its data folder: without a copy in
  # the prefix, caption buttons (Marlett) show as letters and dialogs lose Tahoma.
  local fonts=/usr/share/wine/fonts
  if [[ -d $fonts && ! -f "$prefix/drive_c/windows/Fonts/marlett.ttf" ]]; then
    mkdir -p "$prefix/drive_c/windows/Fonts"
    cp "$fonts"/*.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
  fi
  export WINEPREFIX="$prefix"
}

XVFB_PID=""
# Starts Xvfb on the first free display number from 90 up and exports DISPLAY.
start_xvfb() {
  local size=${1:-1920x1080x24} n
  for n in $(seq 90 120); do
    [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
    Xvfb ":$n" -screen 0 "$size" -nolisten tcp >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 50); do
      [[ -e /tmp/.X11-unix/X$n ]] && break
      sleep 0.1
    done
    if kill -0 "$XVFB_PID" 2>/dev/null; then
      export DISPLAY=":$n"
      return 0
    fi
  done
  echo "could not start Xvfb" >&2
  return 1
}

stop_xvfb() {
  if [[ -n "$XVFB_PID" ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}

SWAY_PID=""
SWAY_DIR=""
# Starts a headless sway of the given output size (no input devices, a magenta
# background) and exports WAYLAND_DISPLAY and XDG_RUNTIME_DIR for its clients, and
# SWAY_COMPOSITOR, the compositor's pid. Sway refuses to run as root, so as root it runs
# as the account nobody in a runtime folder of its own.
start_sway() {
  local size=${1:-1280x720}
  SWAY_DIR=$(mktemp -d /tmp/zimoklas-sway-XXXXXX)
  printf 'output HEADLESS-1 resolution %s bg #FF00FF solid_color\n' "$size" >"$SWAY_DIR/config"
  chmod 700 "$SWAY_DIR"
  local as=()
  if [[ $(id -u) -eq 0 ]]; then
    chown -R nobody "$SWAY_DIR"
    as=(runuser -u nobody --)
  fi
  "${as[@]}" env -u DISPLAY HOME="$SWAY_DIR" XDG_RUNTIME_DIR="$SWAY_DIR" \
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$SWAY_DIR/config" >"$SWAY_DIR.log" 2>&1 &
  SWAY_PID=$!
  for _ in $(seq 100); do
    [[ -S "$SWAY_DIR/wayland-1" ]] && break
    sleep 0.1
  done
  if [[ ! -S "$SWAY_DIR/wayland-1" ]]; then
    echo "could not start sway (see $SWAY_DIR.log)" >&2
    return 1
  fi
  SWAY_COMPOSITOR=$SWAY_PID
  if [[ ${#as[@]} -gt 0 ]]; then
    SWAY_COMPOSITOR=$(pgrep -P "$SWAY_PID" | head -1)
  fi
  export WAYLAND_DISPLAY=wayland-1 XDG_RUNTIME_DIR="$SWAY_DIR" SWAY_COMPOSITOR
}

stop_sway() {
  if [[ -n "$SWAY_PID" ]]; then
    kill "$SWAY_PID" 2>/dev/null || true
    wait "$SWAY_PID" 2>/dev/null || true
    SWAY_PID=""
  fi
  if [[ -n "$SWAY_DIR" ]]; then
    [[ "${XDG_RUNTIME_DIR:-}" == "$SWAY_DIR" ]] && unset XDG_RUNTIME_DIR
    rm -rf "$SWAY_DIR" "$SWAY_DIR.log"
    SWAY_DIR=""
  fi
  unset WAYLAND_DISPLAY SWAY_COMPOSITOR
}
