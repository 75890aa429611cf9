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
