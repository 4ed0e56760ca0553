#!/usr/bin/env bash
# Renders the skin pictures from their SVG sources and optimises them:
#
#   tools/render-art.sh            all pictures
#   tools/render-art.sh 156 181    only these resource ids
#
# skin/art/<id>_<name>.svg  ->  skin/images/<id>_<name>[_<state>].png      (1x)
#                            ->  skin/images/2x/<id>_<name>[_<state>].png   (2x)
#
# The 2x set is what the installer draws at 200 %, and what it resamples
# for the scales between and above; both sets come from the same source, so
# no scale ever stretches a 1x bitmap.
#
# The PNGs are committed, so building needs none of this; run it after
# changing a source and commit both. skin/images/SOURCES.sha1 records the
# sources each PNG was made from (the skin test compares it).
#
# Debian tools only: rsvg-convert (librsvg2-bin), the WenQuanYi Micro Hei font
# (fonts-wqy-microhei) for every caption, optipng, zopflipng (zopfli).
set -euo pipefail
source "$(dirname "$0")/common.sh"
art=$box_root/skin/art
out=$box_root/skin/images

# id  source (in skin/art)           state: normal, or a stylesheet in skin/art/states
#                                           sets: the big pictures (slides, backgrounds) come
#                                           in the 2x set alone: the installer filters them
#                                           down for 100 %, within 50 dB of the 1x render,
#                                           and their 1x copies would cost 226 KB of the
#                                           download; small ones keep both (buttons and thin
#                                           lines come out sharper from their own 1x render).
pictures="
143 143_slide_desktop.svg          normal 2x
144 144_progress_track.svg         normal 1x,2x
146 146_progress_strip.svg         normal 1x,2x
147 147_progress_page.svg          normal 1x,2x
148 148_slide_welcome.svg          normal 2x
150 150_slide_speed.svg            normal 2x
152 152_directory_box.svg          normal 1x,2x
153 153_browse_button.svg          normal 1x,2x
154 153_browse_button.svg          hot    1x,2x
155 153_browse_button.svg          pushed 1x,2x
156 156_next_button.svg            normal 1x,2x
157 156_next_button.svg            hot    1x,2x
158 156_next_button.svg            pushed 1x,2x
159 159_finish_button.svg          normal 1x,2x
160 159_finish_button.svg          hot    1x,2x
161 159_finish_button.svg          pushed 1x,2x
164 164_wizard_background.svg      normal 2x
172 172_run_toggle.svg             normal 1x,2x
173 173_run_toggle_off.svg         normal 1x,2x
174 174_slide_safe.svg             normal 2x
178 178_set_name_button.svg        normal 1x,2x
179 178_set_name_button.svg        hot    1x,2x
180 178_set_name_button.svg        pushed 1x,2x
181 181_name_background.svg        normal 2x
182 182_speech_bubble.svg          normal 1x,2x
183 183_name_box.svg               normal 1x,2x
184 184_directory_caption.svg      normal 1x,2x
185 185_carousel_mark.svg          normal 1x,2x
186 186_carousel_mark_current.svg  normal 1x,2x
"

for tool in rsvg-convert optipng zopflipng fc-list; do
  command -v "$tool" >/dev/null || { log "missing $tool: apt-get install librsvg2-bin optipng zopfli fontconfig"; exit 1; }
done
# Without the font, rsvg falls back silently and the captions come out wrong.
[[ $(fc-list : family) == *'WenQuanYi Micro Hei'* ]] || { log "missing font: apt-get install fonts-wqy-microhei"; exit 1; }

wanted=" $* "
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

png_name() { # id source state
  local base=${2%.svg}
  base=${base#*_}
  if [ "$3" = normal ]; then echo "$1_$base.png"; else echo "$1_${base}_$3.png"; fi
}

while read -r id source state sets; do
  [ -n "$id" ] || continue
  [ "$wanted" = "  " ] || [[ $wanted == *" $id "* ]] || continue
  name=$(png_name "$id" "$source" "$state")
  args=()
  [ "$state" = normal ] || args=(--stylesheet "$art/states/$state.css")
  for zoom in 1 2; do
    [[ ,$sets, == *,${zoom}x,* ]] || { rm -f "$out/$name"; continue; }
    dir=$out
    [ "$zoom" = 1 ] || dir=$out/2x
    mkdir -p "$dir" "$tmp/$zoom"
    rsvg-convert "${args[@]}" --zoom "$zoom" "$art/$source" -o "$tmp/$zoom/$name"
    optipng -quiet -o5 -strip all "$tmp/$zoom/$name"
    # Zopfli's deflate, still lossless: 7-8 % smaller again, and every byte
    # of Install.exe is downloaded by every user.
    zopflipng -y -m "$tmp/$zoom/$name" "$tmp/$zoom/$name" >/dev/null
    mv "$tmp/$zoom/$name" "$dir/$name"
    log "${zoom}x $name $(stat -c %s "$dir/$name") bytes"
  done
done <<<"$pictures"

# The record of what the committed pictures were made from.
(cd "$art" && sha1sum ./*.svg states/*.css | sed 's| \./| |') >"$out/SOURCES.sha1"
