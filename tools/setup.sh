#!/usr/bin/env bash
# Prepares this machine to build and test the installer, then configures and
# builds it. Safe to run again: packages already present and dependency builds
# already in the cache are skipped, so a second run takes seconds.
#
#   tools/setup.sh            packages, dependencies, the Windows builds
#   BOX_SKIP_BUILD=1 ...      stop after the dependencies
#   BOX_INSTALLER_ONLY=1 ...  only the i686 Install.exe (tools/check-release.sh)
#
# BOX_SIGN_PKCS12, BOX_SIGN_PASSWORD_FILE and BOX_SIGN_TIMESTAMP_URL, when set,
# sign Install.exe (the CMake options of the same names; README, "Signing").
# SOURCE_DATE_EPOCH dates the executables; common.sh defaults it to the date
# of the checked-out commit.
#
# build/i686 is the installer as shipped. Where this machine cannot run 32-bit
# code, build/x86_64 is made too: the tests and the demo run that one.
#
# Everything third-party comes from Debian: binary packages where they serve the
# target, and source packages (apt-get source) built here for i686 mingw.
set -euo pipefail
source "$(dirname "$0")/common.sh"
root=$box_root cache=$box_cache jobs=$box_jobs

packages=(
  cmake ninja-build pkg-config dpkg-dev python3
  mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix libz-mingw-w64-dev
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
  wine wine32:i386 wine64 xvfb xauth xdotool imagemagick
  fonts-wqy-microhei locales
  nginx-light tinyproxy iproute2
  libstb-dev googletest libgtest-dev zlib1g-dev libminizip-dev
  clang libclang-rt-14-dev
  zip unzip nsis
  osslsigncode openssl
  librsvg2-bin optipng zopfli
)

install_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return
  log "installing packages: ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    as_root dpkg --add-architecture i386
  fi
  local update_log=$cache/apt-update.log attempt
  mkdir -p "$cache"
  # A mirror in sync may serve an index of the wrong size for a while:
  # asked again a little later, it often serves it whole.
  for attempt in 1 2 3; do
    as_root apt-get update -q 2>&1 | tee "$update_log" || true
    grep -q 'Failed to fetch' "$update_log" || break
    [ "$attempt" = 3 ] || { log "apt-get update lost an index; asking again in 20 s"; sleep 20; }
  done
  DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -q --no-install-recommends "${missing[@]}" && return
  # A mirror in the middle of a sync can serve one suite's index with the
  # wrong size; apt then ignores that index, and the i386 and amd64 versions
  # of multi-arch libraries stop matching, so wine32 cannot be installed.
  # The suites whose indexes arrived whole still can: install from those,
  # through a sources list and index folder of our own (the system's are left
  # as they are).
  local broken
  broken=$(sed -n 's|.*Failed to fetch [^ ]*/dists/\([^/ ]*\)/.*|\1|p' "$update_log" | sort -u)
  [ -n "$broken" ] || { log "the packages could not be installed: ${missing[*]} (see apt's messages above)"; exit 1; }
  log "WARNING: the mirror keeps serving a broken index for: $broken" \
    "($(sed -n 's|.*Failed to fetch \([^ ]*\) .*|\1|p' "$update_log" | sort -u | tr '\n' ' '));" \
    "installing from the other suites' indexes alone"
  local sources=$cache/apt-sources lists=$cache/apt-lists
  rm -rf "$sources"; mkdir -p "$sources" "$lists/partial"
  local file suite
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # deb822 stanzas: the broken suites leave their Suites lines, and a
    # stanza left without a suite goes whole.
    python3 - "$file" "$sources/$(basename "$file")" $broken <<'PY'
import sys
source, target, broken = sys.argv[1], sys.argv[2], set(sys.argv[3:])
kept = []
for stanza in open(source).read().split("\n\n"):
    lines = []
    for line in stanza.splitlines():
        if line.startswith("Suites:"):
            suites = [s for s in line[len("Suites:"):].split() if s not in broken]
            if not suites:
                lines = None
                break
            line = "Suites: " + " ".join(suites)
        lines.append(line)
    if lines:
        kept.append("\n".join(lines))
open(target, "w").write("\n\n".join(kept) + "\n")
PY
  done
  : >"$sources/sources.list"
  if [ -f /etc/apt/sources.list ]; then
    cp /etc/apt/sources.list "$sources/sources.list"
    for suite in $broken; do sed -i "/[ \t]$suite[ \t]/d" "$sources/sources.list"; done
  fi
  local apt_opts=(-o "Dir::Etc::SourceList=$sources/sources.list" -o "Dir::Etc::SourceParts=$sources"
    -o "Dir::State::Lists=$lists")
  as_root apt-get "${apt_opts[@]}" update -q || true
  DEBIAN_FRONTEND=noninteractive as_root apt-get "${apt_opts[@]}" install -y -q --no-install-recommends "${missing[@]}" ||
    { log "the packages could not be installed even without the suite $broken: ${missing[*]}"; exit 1; }
}

# Wine needs the glibc locale itself, not only LC_ALL, to create files with
# Chinese names under code page 936.
make_locale() {
  # zh_CN is the users' system (code page 936); en_US and hi_IN give Wine
  # code pages 1252 and 65001 for the tests of other systems.
  local name
  for name in zh_CN en_US hi_IN; do
    locale -a 2>/dev/null | grep -qi "^$name\.utf-\?8$" && continue
    log "generating the $name.UTF-8 locale"
    as_root localedef -i "$name" -f UTF-8 "$name.UTF-8"
  done
}

# apt-get source needs deb-src entries beside the binary ones; derive them
# from the machine's own sources file rather than naming a host here.
enable_sources() {
  local src=/etc/apt/sources.list.d/debian.sources dst=/etc/apt/sources.list.d/box-installer-src.sources
  [ -f "$dst" ] && return
  if [ -f "$src" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$src" | as_root tee "$dst" >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | as_root tee /etc/apt/sources.list.d/box-installer-src.list >/dev/null
    as_root touch "$dst"
  fi
  # A suite whose index is broken mid-sync is ignored: the pinned sources
  # come from the main suite.
  as_root apt-get update -q || log "apt-get update reported an error; going on with the indexes that arrived"
}

# Versions of the source packages built for the target. zlib is pinned: the
# security suite's newer source is not downloadable.
curl_ver=7.88.1
fmt_ver=9.1.0
spdlog_ver=1.10.0
zlib_ver=1:1.2.13.dfsg-1

# Bump when the options below change, so the cache is rebuilt.
recipe=7
deps_key() { # arch
  local id
  id=$( { echo "$recipe"; "$1-w64-mingw32-g++-posix" --version | head -1
    cat "$root/cmake/mingw-common.cmake" "$root/cmake/mingw-rules.cmake" "$root/cmake/toolchain-$1-mingw.cmake" \
      "$root/tools/minizip/CMakeLists.txt"
  } | sha1sum | cut -c1-12)
  echo "$1.curl-$curl_ver.fmt-$fmt_ver.spdlog-$spdlog_ver.zlib-${zlib_ver#1:}.$id"
}
deps_prefix() { echo "$cache/prefix-$(deps_key "$1")"; }

fetch_source() { # package version -> directory
  local pkg=$1 ver=$2 dir="$cache/src/$1-${2#*:}"
  if [ ! -f "$dir/.fetched" ]; then
    rm -rf "$dir"; mkdir -p "$dir"
    (cd "$dir" && apt-get source -q --download-only "$pkg=$ver" >/dev/null 2>&1 \
      || apt-get source -q --download-only "$pkg" >/dev/null)
    (cd "$dir" && dpkg-source -q --no-check -x ./*.dsc src >/dev/null)
    touch "$dir/.fetched"
  fi
  echo "$dir/src"
}

# Built for size like the installer itself: each function and datum in its
# own section, so the installer's --gc-sections drops what it never calls;
# -Os (MinSizeRel); C code without unwind tables (nothing unwinds through
# it: our callbacks never throw). fmt without locale support
# (FMT_STATIC_THOUSANDS_SEPARATOR, as the installer compiles its headers):
# otherwise std::locale and every standard facet come along, 450 KB.
#
# Reproducible like the installer (cmake/Reproducible.cmake): the cache's
# folder, which differs from user to user, is mapped to a fixed name wherever
# the compiler would write it (sources, build folders, the prefix's headers);
# the toolchain file makes the archives deterministic.
dep_map="-ffile-prefix-map=$cache=box-cache"
dep_c_flags="-ffunction-sections -fdata-sections -fno-asynchronous-unwind-tables $dep_map"
# Nor floating-point formatting (the log formats none; its tables and
# algorithms are 25 KB), nor spdlog's default console logger (its colour
# sinks: a GUI program has no console). CMakeLists.txt compiles the
# installer with the same macros.
dep_cxx_flags="-ffunction-sections -fdata-sections -DFMT_STATIC_THOUSANDS_SEPARATOR=44 $dep_map"
dep_cxx_flags+=" -DFMT_USE_FLOAT=0 -DFMT_USE_DOUBLE=0 -DFMT_USE_LONG_DOUBLE=0 -DSPDLOG_DISABLE_DEFAULT_LOGGER"

cmake_dep() { # arch name source-dir extra-args...
  local arch=$1 name=$2 src=$3; shift 3
  local prefix; prefix=$(deps_prefix "$arch")
  local bdir="$cache/build/$(deps_key "$arch")/$name"
  rm -rf "$bdir"; mkdir -p "$(dirname "$bdir")"
  cmake -S "$src" -B "$bdir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" \
    -DCMAKE_BUILD_TYPE=MinSizeRel -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DCMAKE_C_FLAGS="$dep_c_flags${dep_c_extra:+ $dep_c_extra}" -DCMAKE_CXX_FLAGS="$dep_cxx_flags" \
    -DCMAKE_PREFIX_PATH="$prefix" -DBUILD_SHARED_LIBS=OFF "$@" >"$bdir.log" 2>&1 \
    || { tail -40 "$bdir.log"; exit 1; }
  cmake --build "$bdir" -j"$jobs" >>"$bdir.log" 2>&1 || { tail -40 "$bdir.log"; exit 1; }
  cmake --install "$bdir" >>"$bdir.log" 2>&1 || { tail -40 "$bdir.log"; exit 1; }
}

# curl speaks TLS through the system's Schannel (the machine's own roots and
# policies; no CA bundle: CURL_CA_BUNDLE=none, or the build machine's path
# would be compiled in) and authenticates to proxies through SSPI (Negotiate
# and NTLM as the logged-on user, Basic with typed credentials). secur32 is
# loaded at run time by curl itself from the system folder; crypt32, which
# the Schannel code calls, is delay-loaded by the installer's link.
#
# HAVE_MINGW_ORIGINAL for curl below: curl's random numbers then come from advapi32's
# CryptGenRandom (a KnownDLL) instead of BCryptGenRandom. bcrypt.dll is no
# KnownDLL, and a static import of it would be looked up beside Install.exe
# (a downloads folder) before the program could restrict the search. The
# macro only chooses that branch of curl's rand.c.
build_deps() { # arch
  local arch=$1 prefix; prefix=$(deps_prefix "$1")
  [ -f "$prefix/.complete" ] && return
  log "building dependencies for $arch mingw into $prefix"
  enable_sources
  rm -rf "$prefix"
  local t0=$SECONDS
  cmake_dep "$arch" fmt "$(fetch_source fmtlib "$fmt_ver")" -DFMT_TEST=OFF -DFMT_DOC=OFF
  cmake_dep "$arch" spdlog "$(fetch_source spdlog "$spdlog_ver")" \
    -DSPDLOG_FMT_EXTERNAL=ON -DSPDLOG_BUILD_EXAMPLE=OFF -DSPDLOG_BUILD_TESTS=OFF -DSPDLOG_BUILD_BENCH=OFF \
    -DSPDLOG_WCHAR_FILENAMES=ON
  local zsrc; zsrc=$(fetch_source zlib "$zlib_ver")
  cmake_dep "$arch" minizip "$root/tools/minizip" -DMINIZIP_SOURCE_DIR="$zsrc/contrib/minizip"
  dep_c_extra=-DHAVE_MINGW_ORIGINAL cmake_dep "$arch" curl "$(fetch_source curl "$curl_ver")" \
    -DHTTP_ONLY=ON -DBUILD_CURL_EXE=OFF -DBUILD_TESTING=OFF -DENABLE_MANUAL=OFF \
    -DCURL_USE_SCHANNEL=ON -DCURL_WINDOWS_SSPI=ON -DCURL_CA_BUNDLE=none -DCURL_CA_PATH=none \
    -DCURL_USE_OPENSSL=OFF -DCURL_USE_MBEDTLS=OFF -DCURL_USE_BEARSSL=OFF \
    -DCURL_USE_WOLFSSL=OFF -DCURL_USE_GNUTLS=OFF -DCURL_USE_NSS=OFF -DCURL_USE_LIBSSH2=OFF \
    -DCURL_USE_LIBSSH=OFF -DUSE_LIBIDN2=OFF -DUSE_WIN32_IDN=OFF -DUSE_NGHTTP2=OFF -DCURL_ZLIB=OFF \
    -DCURL_BROTLI=OFF -DCURL_ZSTD=OFF -DCURL_DISABLE_LDAP=ON -DENABLE_UNIX_SOCKETS=OFF \
    -DENABLE_THREADED_RESOLVER=ON \
    -DCURL_DISABLE_COOKIES=ON -DCURL_DISABLE_MIME=ON -DCURL_DISABLE_DOH=ON -DCURL_DISABLE_ALTSVC=ON \
    -DCURL_DISABLE_HSTS=ON -DCURL_DISABLE_NETRC=ON -DCURL_DISABLE_GETOPTIONS=ON \
    -DCURL_DISABLE_PARSEDATE=ON -DCURL_DISABLE_PROGRESS_METER=ON
  touch "$prefix/.complete"
  log "$arch dependencies built in $((SECONDS - t0)) s"
}

# What a rebuild needs to reproduce the build's bytes: the Debian packages
# of the toolchain (the prebuilt runtime, libstdc++ and zlib come with them)
# and the revisions of the source packages built here. A release publishes
# this file with its SHA-256 (README, "Reproducing a release").
write_buildinfo() { # arch file
  local arch=$1 pkg
  {
    echo "SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-}"
    echo "commit=$(git -C "$root" rev-parse HEAD 2>/dev/null || echo unknown)"
    # Debian spells the 64-bit toolchain's packages x86-64; a package this
    # machine lacks is left out rather than ending the setup.
    local deb=${arch//_/-}
    dpkg-query -W -f='${Package}=${Version}\n' "gcc-mingw-w64-$deb-posix" "g++-mingw-w64-$deb-posix" \
      "binutils-mingw-w64-$deb" mingw-w64-common "mingw-w64-$deb-dev" libz-mingw-w64-dev cmake ninja-build \
      osslsigncode zip 2>/dev/null || true
    for pkg in "curl-$curl_ver" "fmtlib-$fmt_ver" "spdlog-$spdlog_ver" "zlib-${zlib_ver#*:}"; do
      sed -n 's/^Source: \(.*\)/\1/p; s/^Version: \(.*\)/=\1/p' "$cache/src/$pkg"/*.dsc | paste -sd '' -
    done | sed 's/^/source:/'
  } >"$2"
}

configure_build() { # arch [target]
  local arch=$1 target=${2:-all} dir; dir=$(box_build_dir "$1")
  log "building the $arch installer in $dir${2:+ (target $2)}"
  # New dependency builds live in a new prefix; CMake would keep finding the
  # old one through its cached package folders.
  local prefix; prefix=$(deps_prefix "$arch")
  if [ -f "$dir/CMakeCache.txt" ] && [ "$(cat "$dir/.deps-prefix" 2>/dev/null)" != "$prefix" ]; then
    rm -f "$dir/CMakeCache.txt"
  fi
  mkdir -p "$dir"
  echo "$prefix" >"$dir/.deps-prefix"
  write_buildinfo "$arch" "$dir/buildinfo.txt"
  # The demo and the tests install the demo package this build makes, with
  # its signed manifest: the installer embeds two throwaway release keys that
  # are made here (a third, "other", stays out of the build), with version
  # floor 5. Never committed. A pin (BOX_PACKAGE_SHA256) or keys given by the
  # caller take their place.
  local keys=${BOX_RELEASE_KEYS:-} floor=${BOX_PACKAGE_VERSION_FLOOR:-0}
  if [ -z "${BOX_PACKAGE_SHA256:-}" ] && [ -z "$keys" ]; then
    local name
    for name in release second other; do
      bash "$root/tools/release-key.sh" "$dir/release-keys/$name" >/dev/null
    done
    keys="$(cat "$dir/release-keys/release/release.pub.b64");$(cat "$dir/release-keys/second/release.pub.b64")"
    floor=${BOX_PACKAGE_VERSION_FLOOR:-5}
  fi
  cmake -S "$root" -B "$dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-mingw.cmake" \
    -DCMAKE_BUILD_TYPE="${BOX_BUILD_TYPE:-Release}" -DCMAKE_PREFIX_PATH="$(deps_prefix "$arch")" \
    -DBOX_PACKAGE_SHA256="${BOX_PACKAGE_SHA256:-}" -DBOX_PACKAGE_SIZE="${BOX_PACKAGE_SIZE:-}" \
    -DBOX_RELEASE_KEYS="$keys" -DBOX_PACKAGE_VERSION_FLOOR="$floor" \
    -DBOX_SIGN_PKCS12="${BOX_SIGN_PKCS12:-}" -DBOX_SIGN_PASSWORD_FILE="${BOX_SIGN_PASSWORD_FILE:-}" \
    -DBOX_SIGN_TIMESTAMP_URL="${BOX_SIGN_TIMESTAMP_URL:-}" >/dev/null
  cmake --build "$dir" -j"$jobs" --target "$target"
}

# Sources first (apt must not run twice at once), then the builds of both
# architectures side by side: much of a build is CMake's serial configure
# checks, so two of them share two cores well.
build_all_deps() {
  local missing=() arch
  for arch in "$@"; do [ -f "$(deps_prefix "$arch")/.complete" ] || missing+=("$arch"); done
  [ ${#missing[@]} -eq 0 ] && return
  enable_sources
  fetch_source fmtlib "$fmt_ver" >/dev/null
  fetch_source spdlog "$spdlog_ver" >/dev/null
  fetch_source zlib "$zlib_ver" >/dev/null
  fetch_source curl "$curl_ver" >/dev/null
  local pids=() status=0
  for arch in "${missing[@]}"; do
    build_deps "$arch" &
    pids+=($!)
  done
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
  [ $status = 0 ] || { log "a dependency build failed"; exit 1; }
}

install_packages
make_locale
run_arch=$(box_run_arch)
archs=(i686)
[ "$run_arch" = i686 ] || [ -n "${BOX_INSTALLER_ONLY:-}" ] || archs+=("$run_arch")
build_all_deps "${archs[@]}"
if [ -n "${BOX_SKIP_BUILD:-}" ]; then
  :
elif [ -n "${BOX_INSTALLER_ONLY:-}" ]; then
  configure_build i686 Install
else
  # The shipped i686 Install.exe is always built; where this machine cannot
  # run it, its tests are not (BOX_BUILD_ALL=1 builds them as well).
  if [ "$run_arch" = i686 ] || [ -n "${BOX_BUILD_ALL:-}" ]; then
    configure_build i686
  else
    configure_build i686 Install
  fi
  [ "$run_arch" = i686 ] || configure_build "$run_arch"
fi
