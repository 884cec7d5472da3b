# Sourced by the scripts: makes sure an X display exists for Wine's windows and clipboard.
# Starts Xvfb on a free display when there is none, and stops it when the script exits.
ensure_display() {
  if [ -n "${DISPLAY:-}" ]; then return; fi
  local n=90
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  ZELTRA_XVFB_PID=$!
  trap 'kill "$ZELTRA_XVFB_PID" 2>/dev/null || true' EXIT
  export DISPLAY=":$n"
  for _ in $(seq 50); do
    [ -e "/tmp/.X11-unix/X$n" ] && return
    sleep 0.1
  done
  echo "could not start Xvfb on :$n" >&2
  exit 1
}
