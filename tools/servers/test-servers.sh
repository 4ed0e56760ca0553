#!/usr/bin/env bash
# The servers of the install tests, started before and stopped after them
# (CTest fixtures):
#
#   test-servers.sh start <dir>    nginx, the fault server and the API server
#   test-servers.sh stop <dir>
#
# <dir>/www is what nginx and the fault server serve; the tests write their
# packages there. Each server's port is in <dir>/<name>.port. Ports are
# chosen free, so test runs of several trees do not meet.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/tls-servers.sh"
cmd=${1:?start or stop}
dir=${2:?directory}

stop_pid_file() {
  local file=$1
  [ -f "$file" ] || return 0
  local pid; pid=$(cat "$file")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  rm -f "$file"
}

stop_all() {
  bash "$here/nginx.sh" stop "$dir/nginx"
  local proxy
  for proxy in proxy proxyauth proxyrefuse; do tinyproxy_stop "$dir/proxies" "$proxy"; done
  stop_pid_file "$dir/fault.pid"
  stop_pid_file "$dir/api.pid"
  rm -f "$dir"/*.port
}

free_port() {
  python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

start_python() { # name script args...
  local name=$1 script=$2; shift 2
  rm -f "$dir/$name.port"
  setsid python3 "$here/$script" --port-file "$dir/$name.port" "$@" </dev/null >"$dir/$name.log" 2>&1 &
  echo $! >"$dir/$name.pid"
  for _ in $(seq 1 100); do [ -s "$dir/$name.port" ] && return 0; sleep 0.05; done
  echo "$name did not start:" >&2; cat "$dir/$name.log" >&2; return 1
}

case "$cmd" in
  stop) stop_all ;;
  start)
    mkdir -p "$dir/www"
    stop_all
    # nginx serves plain http, and https on further ports with each of the
    # tests' certificates, plus the two redirects between them.
    tls=$(cd "$dir/.." && pwd)/tls
    bash "$here/tls-certs.sh" "$tls"
    started=
    for _ in 1 2 3 4 5; do
      port=$(free_port)
      ports=()
      for name in good wronghost expired untrusted tohttps tohttp; do ports+=("$name=$(free_port)"); done
      tls_server_blocks "$tls" "$dir/www" "$port" - - "${ports[@]}" >"$dir/nginx-tls.conf"
      if BOX_NGINX_EXTRA=$dir/nginx-tls.conf bash "$here/nginx.sh" start "$dir/nginx" "$port" "$dir/www" \
        2>"$dir/nginx-start.err"; then
        echo "$port" >"$dir/nginx.port"
        for entry in "${ports[@]}"; do echo "${entry#*=}" >"$dir/tls-${entry%%=*}.port"; done
        started=1; break
      fi
    done
    [ -n "$started" ] || { cat "$dir/nginx-start.err" >&2; exit 1; }
    # Proxies: an open one, one that wants a Basic login (alice, secret),
    # and one that refuses every tunnel but to port 443.
    tinyproxy_start "$dir/proxies" proxy "$(free_port)"
    tinyproxy_start "$dir/proxies" proxyauth "$(free_port)" "BasicAuth alice secret"
    tinyproxy_start "$dir/proxies" proxyrefuse "$(free_port)" "ConnectPort 443"
    for proxy in proxy proxyauth proxyrefuse; do
      sed -n 's/^Port //p' "$dir/proxies/$proxy.conf" >"$dir/$proxy.port"
    done
    start_python fault fault_server.py --root "$dir/www"
    start_python api api_server.py
    echo "servers in $dir: nginx $(cat "$dir/nginx.port") (https $(cat "$dir/tls-good.port")), fault $(cat "$dir/fault.port"), api $(cat "$dir/api.port"), proxy $(cat "$dir/proxy.port")"
    ;;
  *) echo "usage: $0 start|stop <dir>" >&2; exit 2 ;;
esac
