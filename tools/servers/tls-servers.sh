# Sourced: tls_server_blocks <tls-dir> <root> <http-port> <file> <as-path> NAME=PORT...
# writes nginx server blocks, on the ports given, for the HTTPS cases of the
# tests (tools/servers/tls-certs.sh's certificates):
#   good, wronghost, expired, untrusted   TLS with that certificate
#   tohttps   plain http answering 302 to the same path on "good"
#   tohttp    TLS ("good") answering 302 to the same path on <http-port>
# <root> is served by every TLS server, and <file> also at <as-path> (the
# package; "-" for none).
tls_server_blocks() {
  local tls=$1 root=$2 http=$3 file=$4 as=$5; shift 5
  local entry name port good= single=
  [ "$file" = - ] || single="location = $as { alias $file; }"
  for entry in "$@"; do [ "${entry%%=*}" = good ] && good=${entry#*=}; done
  for entry in "$@"; do
    name=${entry%%=*} port=${entry#*=}
    case "$name" in
      good | wronghost | expired | untrusted)
        cat <<CONF
  server {
    listen 127.0.0.1:$port ssl;
    ssl_certificate $tls/$name.crt;
    ssl_certificate_key $tls/$name.key;
    root $root;
    $single
  }
CONF
        ;;
      tohttps)
        printf '  server {\n    listen 127.0.0.1:%s;\n    return 302 https://127.0.0.1:%s$request_uri;\n  }\n' "$port" "$good" ;;
      tohttp)
        cat <<CONF
  server {
    listen 127.0.0.1:$port ssl;
    ssl_certificate $tls/good.crt;
    ssl_certificate_key $tls/good.key;
    return 302 http://127.0.0.1:$http\$request_uri;
  }
CONF
        ;;
    esac
  done
}

# tinyproxy_start <run-dir> <name> <port> [config lines...]: a tinyproxy on
# 127.0.0.1:<port> with a configuration, log and pid file of its own; the
# log (<run-dir>/<name>.log) shows every request it carried.
tinyproxy_start() {
  local run=$1 name=$2 port=$3; shift 3
  mkdir -p "$run"
  {
    echo "Port $port"
    echo "Listen 127.0.0.1"
    echo "Timeout 60"
    echo "LogFile \"$run/$name.log\""
    echo "LogLevel Connect"
    echo "PidFile \"$run/$name.pid\""
    echo "MaxClients 50"
    echo "Allow 127.0.0.1"
    # As root it would otherwise drop to a user who may not write its log.
    [ "$(id -u)" = 0 ] && { echo "User root"; echo "Group root"; }
    local line
    for line in "$@"; do echo "$line"; done
  } >"$run/$name.conf"
  rm -f "$run/$name.pid" "$run/$name.log"
  tinyproxy -c "$run/$name.conf" </dev/null >"$run/$name.out" 2>&1 || { cat "$run/$name.out" >&2; return 1; }
  for _ in $(seq 1 50); do [ -s "$run/$name.pid" ] && return 0; sleep 0.1; done
  echo "tinyproxy $name did not start" >&2
  return 1
}

tinyproxy_stop() { # run-dir name
  [ -f "$1/$2.pid" ] || return 0
  local pid; pid=$(cat "$1/$2.pid")
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  rm -f "$1/$2.pid"
}
