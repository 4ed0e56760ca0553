#!/usr/bin/env bash
# Sets everything up from nothing and runs every test:
#   - Install.exe as released: signed (with a throwaway certificate), dated
#     and reproducible (tools/check-release.sh builds it a second time);
#   - the host build of the modules that need no Win32, under AddressSanitizer
#     and UndefinedBehaviorSanitizer, and a short run of each fuzzer;
#   - the Windows tests under Wine, windows on a private Xvfb display.
# Ends with CTest's summary of the Windows tests.
set -euo pipefail
source "$(dirname "$0")/common.sh"
source "$box_root/tools/xvfb.sh"

t0=$SECONDS
status=0
# Packages and dependencies first: the certificate needs openssl.
BOX_SKIP_BUILD=1 bash "$box_root/tools/setup.sh"
# The Windows tests run Install.exe as it is released: signed. Here with a
# throwaway authority and certificate (build/sign, never committed); never
# with a time stamp, which would need a server on the network.
sign=$(box_build_dir sign)
bash "$box_root/tools/test-cert.sh" "$sign"
export BOX_SIGN_PKCS12=$sign/sign.p12 BOX_SIGN_PASSWORD_FILE=$sign/password BOX_SIGN_TIMESTAMP_URL=
bash "$box_root/tools/setup.sh"
log "checking the release file: date, signature, a second build"
t_release=$SECONDS
release=passed
bash "$box_root/tools/check-release.sh" "$(box_build_dir i686)" "$sign/ca.crt" || { release=FAILED; status=1; }
log "release checks took $((SECONDS - t_release)) s"

host=$(box_build_dir host)
log "building the host modules with sanitizers and fuzzers in $host"
# The archive reader is built from the same zlib sources as for Windows, so
# that the sanitizers and the fuzzer see into it.
minizip_src=$(ls -d "$box_cache"/src/zlib-*/src/contrib/minizip 2>/dev/null | head -1 || true)
cmake -S "$box_root" -B "$host" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBOX_SANITIZE=ON -DBOX_FUZZ=ON -DBOX_MINIZIP_SOURCE_DIR="$minizip_src" >/dev/null
cmake --build "$host" -j"$box_jobs"

bash "$box_root/tools/fuzz.sh" "${BOX_FUZZ_SECONDS:-5}"

log "host tests (sanitizers)"
ctest --test-dir "$host" --output-on-failure -j"$box_jobs"

arch=$(box_run_arch)
dir=$(box_build_dir "$arch")
if [ "$arch" != i686 ]; then
  # The shipped file cannot run here; it is still checked as a file.
  log "checking the shipped i686 Install.exe (format, subsystem, DLLs)"
  bash "$box_root/tests/app/check_pe.sh" "$(box_build_dir i686)/bin/Install.exe" i686-w64-mingw32-objdump i686
fi

# The prefixes the Windows tests run in. The i686 build runs everything in a
# 32-bit prefix, then the tests whose outcome depends on the kind of system
# (label wow64: the end-to-end runs, the registry and the shortcuts) again in
# a 64-bit prefix, where it runs under WoW64 as on most users' machines. A
# machine that runs no 32-bit code runs the x86_64 build in a 64-bit prefix.
if [ "$arch" = i686 ]; then
  passes=("win32:" "win64:-L wow64")
else
  log "this kernel runs no 32-bit code: the Windows tests run the x86_64 build under 64-bit Wine;" \
    "the shipped i686 Install.exe was checked as a file but not run"
  passes=("win64:")
fi

box_start_xvfb
for pass in "${passes[@]}"; do
  kind=${pass%%:*} filter=${pass#*:}
  report=$dir/ctest-$kind.xml
  rm -f "$report" "$dir/ctest-$kind.probe"
  (
    export BOX_PREFIX_KIND=$kind
    source "$box_root/tools/wine-env.sh" "$dir" "$arch"
    source "$box_root/tools/wine-prefix.sh"
    box_prepare_prefix "$dir"
    trap box_stop_prefix EXIT
    echo "$box_prefix_kind" >"$dir/ctest-$kind.probe"
    log "Windows tests of the $arch build in a $WINEARCH prefix ($box_prefix_kind) on display $DISPLAY"
    # shellcheck disable=SC2086  # the filter is two words or none
    # Twice the cores: the end-to-end scenarios spend most of their time
    # waiting on servers, timers and windows, each in its own namespace,
    # prefix and display.
    ctest --test-dir "$dir" --output-on-failure -j"$((box_jobs * 2))" --output-junit "$report" $filter
  ) || status=1
done
python3 "$box_root/tools/test-summary.py" "$dir" "$arch" "${passes[@]%%:*}" || status=1
log "release checks of Install.exe (date, signature, second build): $release"
log "all done in $((SECONDS - t0)) s"
exit $status
