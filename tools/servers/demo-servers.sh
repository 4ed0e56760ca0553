#!/usr/bin/env bash
# The package and API servers for a demo run of Install.exe, on the host and
# ports compiled into the given build:
#
#   demo-servers.sh start <package.zip> [<build-dir>]   serves it as /Orrery2.zip
#   demo-servers.sh stop [<build-dir>]
#
# Their files go to <build-dir>/demo-servers, or to BOX_SERVERS_DIR.
#
# BOX_PACKAGE_SERVER=fault serves the package from the fault-injecting server
# instead of nginx (its plan from BOX_FAULT_PLAN, changed later through its
# /_plan); BOX_API_ANSWER names the API server's answer to the installer's
# report (api_server.py: int1 by default, silent never answers).
#
# When the build embeds release keys, the package's signed manifest is served
# beside it (/Orrery2.zip.sig.json), signed with the build's throwaway key
# (release-keys/release, made by tools/setup.sh) for the build's version
# floor, valid 30 days.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../common.sh"
cmd=${1:?start or stop}

cache_value() { # name default
  local value
  value=$(sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt" 2>/dev/null || true)
  echo "${value:-$2}"
}

if [ "$cmd" = start ]; then
  package=${2:?package file}
  build=${3:-$(box_build_dir "$(box_run_arch)")}
else
  build=${2:-$(box_build_dir "$(box_run_arch)")}
fi
run=${BOX_SERVERS_DIR:-$build/demo-servers}

case "$cmd" in
  start)
    [ -f "$package" ] || { echo "no package $package" >&2; exit 1; }
    mkdir -p "$run/www"
    rm -f "$run/www/Orrery2.zip.sig.json"
    if [ -n "$(cache_value BOX_RELEASE_KEYS)" ] && [ -f "$build/release-keys/release/release.key" ]; then
      bash "$here/../sign-package.sh" "$build/release-keys/release/release.key" "$package" \
        "$(cache_value BOX_PACKAGE_VERSION_FLOOR 0)" "+30 days" "$run/www/Orrery2.zip.sig.json" >/dev/null
    fi
    if [ "${BOX_PACKAGE_SERVER:-nginx}" = fault ]; then
      cp "$package" "$run/www/Orrery2.zip"
      rm -f "$run/fault.port"
      setsid python3 "$here/fault_server.py" --root "$run/www" --port "$(cache_value BOX_PACKAGE_PORT 18080)" \
        --port-file "$run/fault.port" --plan "${BOX_FAULT_PLAN:-ok}" </dev/null >"$run/fault.log" 2>&1 &
      echo $! >"$run/fault.pid"
      for _ in $(seq 1 100); do [ -s "$run/fault.port" ] && break; sleep 0.05; done
      [ -s "$run/fault.port" ] || { cat "$run/fault.log" >&2; exit 1; }
    else
      bash "$here/nginx.sh" start "$run/nginx" "$(cache_value BOX_PACKAGE_PORT 18080)" "$run/www" "$package" /Orrery2.zip
    fi
    rm -f "$run/api.port"
    setsid python3 "$here/api_server.py" --port "$(cache_value BOX_API_PORT 18081)" --port-file "$run/api.port" \
      --answer "${BOX_API_ANSWER:-int1}" </dev/null >"$run/api.log" 2>&1 &
    echo $! >"$run/api.pid"
    for _ in $(seq 1 100); do [ -s "$run/api.port" ] && break; sleep 0.05; done
    [ -s "$run/api.port" ] || { cat "$run/api.log" >&2; exit 1; }
    log "package server on port $(cache_value BOX_PACKAGE_PORT 18080), API server on port $(cache_value BOX_API_PORT 18081)"
    ;;
  stop)
    bash "$here/nginx.sh" stop "$run/nginx"
    for name in api fault; do
      if [ -f "$run/$name.pid" ]; then kill "$(cat "$run/$name.pid")" 2>/dev/null || true; rm -f "$run/$name.pid"; fi
    done
    ;;
  *) echo "usage: $0 start <package.zip> [<build-dir>] | stop [<build-dir>]" >&2; exit 2 ;;
esac
