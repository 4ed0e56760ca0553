# Sourced with a build directory as $1 and its Windows architecture as $2
# (i686 or x86_64): the Wine environment of that build. Each build has its own
# prefixes and its own home, so shortcuts and user folders stay inside it.
#
# The prefix kind follows the build unless BOX_PREFIX_KIND names one:
#   i686 build      a 32-bit prefix (win32), or with BOX_PREFIX_KIND=win64 a
#                   64-bit prefix where it runs under WoW64, as on most users'
#                   machines;
#   x86_64 build    a 64-bit prefix (win64) only.
box_build_dir=${1:?build directory}
case "${2:-i686}" in
  x86_64) export WINEARCH=win64 BOX_WINE=/usr/lib/wine/wine64 BOX_WINESERVER=/usr/lib/wine/wineserver64 ;;
  *)
    # Debian's wine and wineserver scripts pick the loader that the program
    # and the prefix need, WoW64 included.
    export WINEARCH=${BOX_PREFIX_KIND:-win32} BOX_WINE=/usr/bin/wine BOX_WINESERVER=/usr/bin/wineserver
    case "$WINEARCH" in
      win32|win64) ;;
      *) echo "BOX_PREFIX_KIND must be win32 or win64, not $WINEARCH" >&2; return 1 ;;
    esac
    ;;
esac
export WINEPREFIX=${BOX_WINEPREFIX:-$box_build_dir/wine/prefix-$WINEARCH}
export HOME=${BOX_WINEHOME:-$box_build_dir/wine/home-$WINEARCH}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts, no desktop menu entries written into $HOME.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
# Code page 936, as on the systems the installer is for.
export LC_ALL=zh_CN.UTF-8
mkdir -p "$HOME/Desktop"
