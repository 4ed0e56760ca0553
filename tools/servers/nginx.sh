#!/usr/bin/env bash
# nginx with a configuration, pid file and logs of its own, for the tests,
# the demo and the benchmarks:
#
#   nginx.sh start <run-dir> <port> <root-dir> [<file> <as-path>]
#   nginx.sh stop <run-dir>
#
# Serves <root-dir> on 127.0.0.1:<port>, byte ranges included; with <file>
# and <as-path>, that one file is also served at <as-path> (the demo serves
# a package as /Orrery2.zip).
set -euo pipefail

cmd=${1:?start or stop}
run=${2:?run directory}

if [ "$cmd" = stop ]; then
  if [ -f "$run/nginx.pid" ]; then
    pid=$(cat "$run/nginx.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    rm -f "$run/nginx.pid"
  fi
  exit 0
fi

port=${3:?port}
root=$(cd "${4:?root directory}" && pwd)
mkdir -p "$run/temp"
run=$(cd "$run" && pwd)

# Temp paths of the modules this nginx has (nginx-light lacks some).
temp_paths="client_body_temp_path $run/temp/body;"
for module in proxy fastcgi uwsgi scgi; do
  nginx -V 2>&1 | grep -q -- "--without-http_${module}_module" || temp_paths+=" ${module}_temp_path $run/temp/$module;"
done
# As root the workers would otherwise run as nobody, who may not read the
# build tree.
user_line=
[ "$(id -u)" = 0 ] && user_line="user root;"
single_file=
if [ $# -ge 6 ]; then
  file=$(cd "$(dirname "$5")" && pwd)/$(basename "$5")
  single_file="location = $6 { alias $file; }"
fi

# BOX_NGINX_RATE (bytes a second, nginx units such as 300k) slows the
# transfer down, so that a person or a screenshot can see it under way.
# BOX_NGINX_EXTRA names a file of further server blocks (TLS, redirects)
# that the configuration includes.
rate_line=
[ -n "${BOX_NGINX_RATE:-}" ] && rate_line="limit_rate ${BOX_NGINX_RATE};"

cat >"$run/nginx.conf" <<CONF
$user_line
daemon on;
worker_processes 1;
pid $run/nginx.pid;
error_log $run/error.log warn;
events { worker_connections 256; }
http {
  access_log off;
  $temp_paths
  types { application/zip zip; }
  default_type application/octet-stream;
  sendfile on;
  tcp_nopush on;
  server {
    listen 127.0.0.1:$port;
    root $root;
    $rate_line
    $single_file
  }
  ${BOX_NGINX_EXTRA:+include $BOX_NGINX_EXTRA;}
}
CONF

rm -f "$run/nginx.pid"
nginx -c "$run/nginx.conf" -p "$run" -e "$run/error.log" </dev/null >>"$run/nginx.out" 2>&1 || {
  cat "$run/nginx.out" "$run/error.log" >&2 2>/dev/null; exit 1; }
for _ in $(seq 1 50); do [ -s "$run/nginx.pid" ] && exit 0; sleep 0.1; done
echo "nginx did not start" >&2
exit 1
