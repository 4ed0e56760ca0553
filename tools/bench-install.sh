#!/usr/bin/env bash
# Benchmarks of the package extraction and download, on demand (not in CI).
# Prints figures and ratios from one run, side by side on the same disk;
# asserts nothing.
#
#   extraction: our code under Wine against Info-ZIP unzip natively, and
#               against a silent NSIS installer of the same files under Wine;
#               and the installer's whole way of placing the files (into a
#               staging folder, each file flushed to the disk, the swap, the
#               clean-up) beside the bare extraction, with the flushes one
#               after the other and BOX_BENCH_FLUSH_THREADS (default 4) at once
#   download:   our code under Wine against the curl command natively and
#               against a bare Winsock receive loop under Wine (the floor
#               Wine allows), all from the same nginx on loopback; and over
#               HTTPS (the tests' own authority, which the prefix trusts):
#               ours against native curl, beside our plain-HTTP figure
#
# BOX_BENCH_PARTS (default "extract download") chooses the series.
#
# Two packages are made once and kept in $BOX_BENCH_DIR (default
# build/<arch>/bench): about 200 MB in 20 files, and 5,000 small files in
# nested folders. Each series extracts into fresh folders and pauses first
# (BOX_BENCH_PAUSE seconds, default 15): Wine creates files markedly slower
# right after many were deleted.
set -euo pipefail
source "$(dirname "$0")/common.sh"

arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
work=${BOX_BENCH_DIR:-$dir/bench}
pause=${BOX_BENCH_PAUSE:-15}
rounds=${BOX_BENCH_ROUNDS:-3}
mkdir -p "$work"
work=$(cd "$work" && pwd)

[ -f "$dir/CMakeCache.txt" ] || bash "$box_root/tools/setup.sh"
cmake --build "$dir" --target install_bench trust_authority -j2 >/dev/null
bench_exe=$dir/tests/install_bench.exe

source "$box_root/tools/wine-env.sh" "$dir" "$arch"
winpath() { echo "Z:${1//\//\\}"; }
now() { date +%s.%N; }
elapsed() { python3 -c "print(f'{$2 - $1:.3f}')"; }

# The reference installer is built for what this machine runs: a 32-bit stub
# runs in both kinds of prefix, but only where the kernel runs 32-bit code.
nsis_target=x86-unicode
[ "$arch" = i686 ] || nsis_target=amd64-unicode

make_packages() {
  [ -f "$work/packages-$nsis_target.done" ] && return
  log "making the benchmark packages in $work (once)"
  python3 "$box_root/tools/bench-package.py" large "$work/large.zip"
  python3 "$box_root/tools/bench-package.py" small "$work/small.zip"
  for p in large small; do
    rm -rf "$work/tree-$p"; unzip -q "$work/$p.zip" -d "$work/tree-$p"
    cat >"$work/$p.nsi" <<NSI
Unicode true
Target $nsis_target
SetCompressor zlib
Name "bench"
OutFile "$work/$p-setup.exe"
InstallDir "C:\\bench"
RequestExecutionLevel user
SilentInstall silent
Section
  SetOutPath \$INSTDIR
  File /r "$work/tree-$p/*.*"
SectionEnd
NSI
    makensis -V1 "$work/$p.nsi" >/dev/null
  done
  touch "$work/packages-$nsis_target.done"
}

make_packages
"$BOX_WINESERVER" -p 60 </dev/null >/dev/null 2>&1 || true
"$BOX_WINE" wineboot </dev/null >/dev/null 2>&1 || true

results=$work/results.txt
: >"$results"
parts=${BOX_BENCH_PARTS:-extract download}
for round in $(seq 1 "$rounds"); do
  [[ " $parts " = *" extract "* ]] || break
  for p in large small; do
    run=$work/run-$round-$p
    rm -rf "$run"; mkdir -p "$run"
    sleep "$pause"
    t0=$(now); unzip -q -o "$work/$p.zip" -d "$run/unzip"; t1=$(now)
    echo "$p unzip $(elapsed "$t0" "$t1")" >>"$results"
    sleep "$pause"
    mkdir -p "$run/ours"
    t0=$(now)
    # The extraction traces every entry on stdout. Into /dev/null that costs
    # under Wine what it never costs the installer, which has no console: a
    # character device makes the C runtime write unbuffered. A file it is.
    line=$("$BOX_WINE" "$bench_exe" extract "$(winpath "$work/$p.zip")" "$(winpath "$run/ours")" 2>&1 >"$run/trace.txt" | grep extract_seconds)
    t1=$(now)
    echo "$p ours $(sed 's/.*extract_seconds=\([0-9.]*\).*/\1/' <<<"$line")" >>"$results"
    echo "$p ours-whole $(elapsed "$t0" "$t1")" >>"$results"
    # The staged way: no flush, one at a time, several at once.
    for threads in 0 1 "${BOX_BENCH_FLUSH_THREADS:-4}"; do
      sleep "$pause"
      line=$("$BOX_WINE" "$bench_exe" stage "$(winpath "$work/$p.zip")" "$(winpath "$run/staged-$threads")" "$threads" \
        2>&1 >"$run/trace.txt" | grep extract_seconds)
      grep -q 'result=0 swap=0' <<<"$line" || echo "the staged installation failed: $line" >&2
      for step in extract flush swap cleanup; do
        echo "$p staged$threads-$step $(sed "s/.*${step}_seconds=\([0-9.]*\).*/\1/" <<<"$line")" >>"$results"
      done
    done
    cmp -s "$run/ours/bin/part00.dat" "$run/staged-1/bin/part00.dat" 2>/dev/null || [ "$p" = small ]
    sleep "$pause"
    t0=$(now); "$BOX_WINE" "$work/$p-setup.exe" /S "/D=$(winpath "$run/nsis")"; t1=$(now)
    echo "$p nsis $(elapsed "$t0" "$t1")" >>"$results"
    cmp -s "$run/unzip/bin/part00.dat" "$run/ours/bin/part00.dat" 2>/dev/null || [ "$p" = small ]
    rm -rf "$run"
  done
done

log "download: our code under Wine and native curl from one nginx on loopback, over http and https"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port=$(free_port) tls_port=$(free_port)
source "$box_root/tools/servers/tls-servers.sh"
bash "$box_root/tools/servers/tls-certs.sh" "$dir/tls"
"$BOX_WINE" "$dir/tests/trust_authority.exe" "$(winpath "$dir/tls/ca.der")" </dev/null >/dev/null 2>&1
tls_server_blocks "$dir/tls" "$work" "$port" - - "good=$tls_port" >"$work/nginx-tls.conf"
BOX_NGINX_EXTRA=$work/nginx-tls.conf bash "$box_root/tools/servers/nginx.sh" start "$work/nginx" "$port" "$work"
trap 'bash "$box_root/tools/servers/nginx.sh" stop "$work/nginx"; "$BOX_WINESERVER" -k 2>/dev/null || true' EXIT
mkdir -p "$work/dl"
head -c 1024 /dev/urandom >"$work/tiny.zip"
# Ours twice: as a process's first request ("ours": the proxy settings, the
# trusted roots and the security packages read on the way), and as the
# installer downloads its package ("warm"): after the warm-up it starts with
# the process, which ends while the first page shows (or, with /S, while the
# signed manifest is fetched).
ours_download() {
  local row=$1 url=$2 command line
  for command in download download-warm; do
    rm -f "$work/dl/temp.zip"
    line=$("$BOX_WINE" "$bench_exe" "$command" "$url" "$(winpath "$work/dl")" 2>&1 >/dev/null | grep download_seconds)
    grep -q 'result=0' <<<"$line" || echo "$command $url failed: $line" >&2
    case "$row" in download | https) cmp -s "$work/dl/curl.zip" "$work/dl/temp.zip" || echo "$command $url differs" >&2 ;; esac
    echo "$row $([ "$command" = download ] && echo ours || echo warm) $(sed 's/.*download_seconds=\([0-9.]*\).*/\1/' <<<"$line")" >>"$results"
  done
}
for round in $(seq 1 "$rounds"); do
  rm -f "$work/dl/curl.zip" "$work/dl/temp.zip"
  t=$(curl -s -o "$work/dl/curl.zip" -w '%{time_total}' "http://127.0.0.1:$port/large.zip")
  echo "download curl $t" >>"$results"
  ours_download download "http://127.0.0.1:$port/large.zip"
  # The floor under Wine: a bare Winsock receive loop writing the file.
  rm -f "$work/dl/winsock.zip"
  line=$("$BOX_WINE" "$bench_exe" winsock "http://127.0.0.1:$port/large.zip" "$(winpath "$work/dl")" 2>&1 >/dev/null | grep winsock_seconds)
  echo "download winsock $(sed 's/.*winsock_seconds=\([0-9.]*\).*/\1/' <<<"$line")" >>"$results"
  cmp -s "$work/dl/curl.zip" "$work/dl/winsock.zip" || echo "the bare Winsock download differs" >&2
  # HTTPS: the same file, the same server, through Schannel and our own
  # certificate check; native curl through OpenSSL.
  rm -f "$work/dl/curl.zip" "$work/dl/temp.zip"
  t=$(curl -s --cacert "$dir/tls/ca.crt" -o "$work/dl/curl.zip" -w '%{time_total}' "https://127.0.0.1:$tls_port/large.zip")
  echo "https curl $t" >>"$results"
  ours_download https "https://127.0.0.1:$tls_port/large.zip"
  # What a download costs before its first byte (a process's first TLS
  # handshake, the system's proxy settings, the chain engine's first look at
  # the trusted roots): the same requests for a 1 KB file.
  for scheme in http https; do
    p=$port; [ "$scheme" = https ] && p=$tls_port
    t=$(curl -s --cacert "$dir/tls/ca.crt" -o /dev/null -w '%{time_total}' "$scheme://127.0.0.1:$p/tiny.zip")
    echo "$scheme-start curl $t" >>"$results"
    ours_download "$scheme-start" "$scheme://127.0.0.1:$p/tiny.zip"
  done
done

python3 - "$results" "$work" <<'PY'
import os, statistics, sys
rows = {}
for line in open(sys.argv[1]):
    a, b, t = line.split()
    rows.setdefault((a, b), []).append(float(t))
med = {k: statistics.median(v) for k, v in rows.items()}
size = os.path.getsize(os.path.join(sys.argv[2], "large.zip"))
print(f"large package: {size / 1e6:.0f} MB compressed, 200 MB in 20 files; small: 5,000 files")
print("median of %d rounds, seconds" % len(rows[("download", "curl")]))
for p in ("large", "small") if ("large", "unzip") in med else ():
    u, o, w, n = (med[(p, k)] for k in ("unzip", "ours", "ours-whole", "nsis"))
    print(f"  {p:5} extract: unzip native {u:6.3f}   ours {o:6.3f} (whole run {w:6.3f})   nsis under Wine {n:6.3f}")
    print(f"        ours/unzip {o / u:5.2f}   ours/nsis {o / n:5.2f}   (whole run: {w / u:5.2f}, {w / n:5.2f})")
    for threads in sorted({k[1][6:k[1].index("-")] for k in med if k[0] == p and k[1].startswith("staged")}, key=int):
        steps = [med[(p, f"staged{threads}-{s}")] for s in ("extract", "flush", "swap", "cleanup")]
        how = {"0": "no flush", "1": "flushed one by one"}.get(threads, f"flushed {threads} at once")
        print(f"        staged, {how:20}: {sum(steps):6.3f} = extract {steps[0]:.3f} + flush {steps[1]:.3f}"
              f" + swap {steps[2]:.3f} + clean-up {steps[3]:.3f}   staged/bare {sum(steps) / o:5.2f}")
c, o, w, f = (med[("download", k)] for k in ("curl", "ours", "warm", "winsock"))
print(f"  download: curl native {size / c / 1e6:7.1f} MB/s   bare Winsock under Wine {size / f / 1e6:7.1f} MB/s"
      f"   ours {size / o / 1e6:7.1f} MB/s first request, {size / w / 1e6:7.1f} MB/s as the installer")
print(f"        ours/curl throughput {c / o:5.2f} first request, {c / w:5.2f} as the installer   ours/Winsock floor {f / w:5.2f}")
hc, ho, hw = (med[("https", k)] for k in ("curl", "ours", "warm"))
print(f"  https:    curl native {size / hc / 1e6:7.1f} MB/s   ours {size / ho / 1e6:7.1f} MB/s first request,"
      f" {size / hw / 1e6:7.1f} MB/s as the installer   ours over http {size / w / 1e6:7.1f} MB/s")
print(f"        ours/curl throughput {hc / ho:5.2f} first request, {hc / hw:5.2f} as the installer   ours https/http {w / hw:5.2f}")
sc, so, sw, hsc, hso, hsw = (med[(k, x)] for k in ("http-start", "https-start") for x in ("curl", "ours", "warm"))
print(f"  before the first byte (a 1 KB file): http curl {sc:.3f} ours {so:.3f} / {sw:.3f}"
      f"   https curl {hsc:.3f} ours {hso:.3f} / {hsw:.3f} s (first request / as the installer)")
print(f"        after it: https ours/curl throughput {(hc - hsc) / (hw - hsw):5.2f}   http {(c - sc) / (w - sw):5.2f}")
PY
