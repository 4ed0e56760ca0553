# Sourced: box_start_xvfb [WxH] starts Xvfb (1024x768 unless told) on a free
# display number and exports DISPLAY; the server is stopped when the sourcing
# script exits. Xvfb picks the number itself (-displayfd), so that scripts
# starting displays side by side never take the same one. BOX_XVFB_ARGS adds
# options (the isolated tests: a display private to their namespace).
box_start_xvfb() {
  local size=${1:-1024x768} fifo n=
  fifo=$(mktemp -u "${TMPDIR:-/tmp}/box-xvfb.XXXXXX")
  mkfifo "$fifo"
  # shellcheck disable=SC2086  # options, split on purpose
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp ${BOX_XVFB_ARGS:-} 3>"$fifo" >/dev/null 2>&1 &
  box_xvfb_pid=$!
  # The number arrives once the server listens; nothing arrives if it fails.
  read -r -t 20 n <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$n" ] || ! kill -0 "$box_xvfb_pid" 2>/dev/null; then
    echo "Xvfb would not start" >&2
    box_stop_xvfb
    return 1
  fi
  export DISPLAY=":$n"
  trap 'box_stop_xvfb' EXIT
}

box_stop_xvfb() {
  [ -n "${box_xvfb_pid:-}" ] && kill "$box_xvfb_pid" 2>/dev/null && wait "$box_xvfb_pid" 2>/dev/null
  box_xvfb_pid=
}
