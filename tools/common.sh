# Sourced by the tools scripts: paths, logging, and the Windows architecture
# this machine can run under Wine.
box_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
box_cache=${BOX_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/box-installer}
box_jobs=$(nproc)

# The date the builds give their executables (PE header, signing time), so
# that the same commit builds to the same bytes: the checked-out commit's
# date unless the caller sets one (reproducible-builds.org's variable).
if [ -z "${SOURCE_DATE_EPOCH:-}" ] && box_commit_date=$(git -C "$box_root" log -1 --format=%ct 2>/dev/null); then
  export SOURCE_DATE_EPOCH=$box_commit_date
fi

log() { printf '\033[1m[%s]\033[0m %s\n' "$(basename "$0" .sh)" "$*" >&2; }
as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# The installer ships as i686. Some kernels run no 32-bit user code at all
# ("IA-32 emulation off"), and 32-bit Wine cannot start there; the tests then
# run a 64-bit build of the same sources under 64-bit Wine instead.
box_run_arch() {
  if [ -n "${BOX_RUN_ARCH:-}" ]; then echo "$BOX_RUN_ARCH"; return; fi
  if [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1; then
    echo i686
  else
    echo x86_64
  fi
}

box_build_dir() { echo "${BOX_BUILD_ROOT:-$box_root/build}/$1"; }
