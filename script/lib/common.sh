# Sourced by the scripts: exit hooks, an X display for Wine, and running programs in the build's
# Wine prefix.

ZELTRA_EXIT_HOOKS=()
# Runs the command when the script exits; the hook added last runs first.
at_exit() { ZELTRA_EXIT_HOOKS+=("$1"); }
zeltra_run_exit_hooks() {
  local i
  for ((i = ${#ZELTRA_EXIT_HOOKS[@]} - 1; i >= 0; i--)); do eval "${ZELTRA_EXIT_HOOKS[i]}" || true; done
}
trap zeltra_run_exit_hooks EXIT

# Makes sure an X display exists for Wine's windows and clipboard: starts Xvfb on a free display
# when there is none, and stops it (after Wine) when the script exits.
ensure_display() {
  if [ -n "${DISPLAY:-}" ]; then return; fi
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  at_exit "kill $! 2>/dev/null"
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      at_exit "stop_wine"
      return
    fi
    sleep 0.1
  done
  echo "could not start Xvfb on :$n" >&2
  exit 1
}

ZELTRA_WIN64=$PWD/build/win64
# Ends the Wine processes of the build's prefix (before the display they use goes away).
stop_wine() { [ -d "$ZELTRA_WIN64/wineprefix" ] && WINEPREFIX="$ZELTRA_WIN64/wineprefix" wineserver -k 2>/dev/null; true; }
# Keeps one Wine server, with its background processes, running until the script exits: starting
# it anew for every program costs about a second. Its processes get no terminal or pipe of ours.
start_wine() {
  ensure_display
  wine_run cmd /c exit </dev/null >/dev/null 2>&1 || true
  WINEPREFIX="$ZELTRA_WIN64/wineprefix" wineserver -p </dev/null >/dev/null 2>&1 || true
  at_exit stop_wine
}
# Runs a Windows program in the build's prefix.
wine_run() { tests/wine/run-under-wine "$ZELTRA_WIN64" "$@"; }
# The add-in DLL, and as Wine programs see it.
ZELTRA_DLL_UNIX=$ZELTRA_WIN64/bin/DODuruda_Vored.dll
# A file as Wine programs see it (a Wine prefix maps drive Z: to /); relative to the working directory.
windows_path() { local path=$1; [[ $path = /* ]] || path=$PWD/$path; echo "Z:${path//\//\\}"; }
ZELTRA_DLL=$(windows_path "$ZELTRA_DLL_UNIX")
