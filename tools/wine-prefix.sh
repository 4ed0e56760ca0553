# Sourced after tools/wine-env.sh and with $DISPLAY set: makes the prefix
# ready for programs whose start is timed.
#
# The display must be up before Wine's first program: wineboot starts the
# prefix's desktop process, and one started without a display leaves every
# later window without a driver (the program ends without showing anything).
#
# box_prepare_prefix <build-dir>
#   creates the prefix if needed, starts a persistent wineserver and Wine's
#   services detached (or CTest would wait on them as if they were the first
#   test's children), then runs the build's prefix_probe once: the first GUI
#   program of a prefix pays for the display connection and the font list.
#   Sets box_prefix_kind to what the probe reports, e.g.
#   "i686 process on a 64-bit system (WoW64)".
box_prepare_prefix() {
  local build=$1 probe
  [ -n "${DISPLAY:-}" ] || { echo "box_prepare_prefix: no DISPLAY" >&2; return 1; }
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "creating the Wine prefix $WINEPREFIX ($WINEARCH)"
    "$BOX_WINE" wineboot -i </dev/null >/dev/null 2>&1 || true
  fi
  "$BOX_WINESERVER" -p 60 </dev/null >/dev/null 2>&1 || true
  "$BOX_WINE" wineboot </dev/null >/dev/null 2>&1 || true
  # The tests' own certificate authority is one this machine trusts, as a
  # company's would be: the HTTPS servers on loopback present its
  # certificates (tools/servers/tls-certs.sh).
  if [ -f "$build/tests/trust_authority.exe" ]; then
    bash "$(dirname "${BASH_SOURCE[0]}")/servers/tls-certs.sh" "$build/tls"
    "$BOX_WINE" "$build/tests/trust_authority.exe" "Z:${build//\//\\}\\tls\\ca.der" </dev/null >/dev/null 2>&1 ||
      { echo "the prefix $WINEPREFIX did not take the tests' authority" >&2; return 1; }
  fi
  # The registry on disk as it stands now (wineserver writes it only every
  # half minute): tests copy the prefix from it.
  box_stop_prefix
  "$BOX_WINESERVER" -p 60 </dev/null >/dev/null 2>&1 || true
  "$BOX_WINE" wineboot </dev/null >/dev/null 2>&1 || true
  probe=$build/tests/prefix_probe.exe
  if [ ! -f "$probe" ]; then
    box_prefix_kind="$WINEARCH prefix (not probed)"
    return 0
  fi
  local out
  if ! out=$("$BOX_WINE" "$probe" 2>&1); then
    echo "the prefix $WINEPREFIX cannot run a GUI program: $out" >&2
    return 1
  fi
  box_prefix_kind=$(tr -d '\r' <<<"$out" | grep ' process on a ' | tail -1)
}

box_stop_prefix() {
  "$BOX_WINESERVER" -k 2>/dev/null || true
  # wineserver -k returns before the server has gone.
  "$BOX_WINESERVER" -w 2>/dev/null || true
}
