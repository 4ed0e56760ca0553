# Sourced: box_start_xvfb [WxH] starts Xvfb (1024x768 unless told) on a free
# display number and exports DISPLAY; the server is stopped when the sourcing
# script exits.
box_start_xvfb() {
  local n size=${1:-1024x768}
  for n in $(seq 91 199); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp >/dev/null 2>&1 &
    box_xvfb_pid=$!
    for _ in $(seq 1 100); do
      [ -e "/tmp/.X11-unix/X$n" ] && break
      kill -0 "$box_xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    if [ -e "/tmp/.X11-unix/X$n" ]; then
      export DISPLAY=":$n"
      trap 'box_stop_xvfb' EXIT
      return 0
    fi
  done
  echo "no free display for Xvfb" >&2
  return 1
}

box_stop_xvfb() {
  [ -n "${box_xvfb_pid:-}" ] && kill "$box_xvfb_pid" 2>/dev/null && wait "$box_xvfb_pid" 2>/dev/null
  box_xvfb_pid=
}
