# Sourced with a build directory as $1 and its Windows architecture as $2
# (i686 or x86_64): the Wine environment of that build. Each build has its own
# prefix and its own home, so shortcuts and user folders stay inside it.
box_build_dir=${1:?build directory}
case "${2:-i686}" in
  x86_64) export WINEARCH=win64 BOX_WINE=/usr/lib/wine/wine64 BOX_WINESERVER=/usr/lib/wine/wineserver64 ;;
  *)      export WINEARCH=win32 BOX_WINE=/usr/bin/wine BOX_WINESERVER=/usr/bin/wineserver ;;
esac
export WINEPREFIX=${BOX_WINEPREFIX:-$box_build_dir/wine/prefix-$WINEARCH}
export HOME=$box_build_dir/wine/home
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts, no desktop menu entries written into $HOME.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
# Code page 936, as on the systems the installer is for.
export LC_ALL=zh_CN.UTF-8
mkdir -p "$HOME/Desktop"
