#!/usr/bin/env bash
# Draws the program icon, a compact disc, at the sizes the desktop asks for.
# Run by hand when the icon changes; the PNGs are committed.
set -euo pipefail
cd "$(dirname "$0")/icons"
for s in 16 32 48 128 256; do
  c=$(echo "$s/2" | bc -l)
  r=$(echo "$s*0.47" | bc -l)
  hub=$(echo "$s*0.16" | bc -l)
  hole=$(echo "$s*0.06" | bc -l)
  sheen=$(echo "$s*0.36" | bc -l)
  convert -size "${s}x${s}" xc:none \
    -fill '#c9ced6' -stroke '#5b6470' -strokewidth "$(echo "if ($s<48) 1 else $s/48" | bc)" \
    -draw "circle $c,$c $c,$(echo "$c-$r" | bc -l)" \
    -stroke none -fill '#9fd3ff' -draw "path 'M $c,$c L $(echo "$c+$sheen" | bc -l),$(echo "$c-$sheen*0.5" | bc -l) A $sheen,$sheen 0 0,0 $(echo "$c+$sheen*0.5" | bc -l),$(echo "$c-$sheen" | bc -l) Z'" \
    -fill '#f5c5ff' -draw "path 'M $c,$c L $(echo "$c-$sheen" | bc -l),$(echo "$c+$sheen*0.5" | bc -l) A $sheen,$sheen 0 0,0 $(echo "$c-$sheen*0.5" | bc -l),$(echo "$c+$sheen" | bc -l) Z'" \
    -fill '#eef1f4' -stroke '#5b6470' -strokewidth 1 -draw "circle $c,$c $c,$(echo "$c-$hub" | bc -l)" \
    -fill none -stroke none -draw "circle $c,$c $c,$(echo "$c-$hole" | bc -l)" \
    -alpha set -region "$(printf '%.0f' "$(echo "$hole*2" | bc -l)")x$(printf '%.0f' "$(echo "$hole*2" | bc -l)")+$(printf '%.0f' "$(echo "$c-$hole" | bc -l)")+$(printf '%.0f' "$(echo "$c-$hole" | bc -l)")" -alpha transparent \
    "ambrel-$s.png"
done
