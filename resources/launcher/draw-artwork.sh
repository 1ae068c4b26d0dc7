#!/usr/bin/env bash
# Draws the launcher's artwork with ImageMagick: the window's background, the four design
# pictures and the icon. Run it again after changing a drawing; the results are committed.
set -euo pipefail
cd "$(dirname "$0")"
font=/usr/share/fonts/truetype/liberation/LiberationSans-Bold.ttf
regular=/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf

# Background, 797 x 490: a black panel on the left 295 pixels; on the right a disc sliding into
# the slot of a drive, over a dusk-blue wall; a black band along the bottom.
convert -size 797x490 xc:black \
  \( -size 502x440 gradient:'#22344a'-'#5b7490' \) -geometry +295+0 -composite \
  -fill '#c9ced6' -stroke '#8d949e' -strokewidth 2 -draw 'circle 560,210 560,92' \
  -fill '#e9edf2' -stroke none -draw 'circle 560,210 560,120' \
  -fill none -stroke '#b4d3ef' -strokewidth 6 -draw 'arc 470,120 650,300 200,250' \
  -stroke '#f0c8e0' -strokewidth 5 -draw 'arc 485,135 635,285 20,70' \
  -fill '#9aa3ad' -stroke '#7a828c' -strokewidth 2 -draw 'circle 560,210 560,180' \
  -fill '#22344a' -stroke none -draw 'circle 560,210 560,198' \
  -fill '#3a3f46' -stroke '#1b1e22' -strokewidth 2 -draw 'roundrectangle 340,262 780,380 10,10' \
  -fill '#565c64' -stroke none -draw 'rectangle 352,274 768,300' \
  -fill '#0c0d0f' -draw 'rectangle 420,282 700,290' \
  -fill '#6fdc6f' -draw 'rectangle 720,340 740,346' \
  -fill '#8a9098' -draw 'roundrectangle 650,330 700,356 4,4' \
  -fill black -draw 'rectangle 0,440 796,489' \
  -depth 8 -type TrueColor background.png

# Player button for Windows Media recordings, 96 x 68: a blue tile with a play triangle.
convert -size 96x68 xc:white \
  -fill '#1f5fbf' -stroke '#123c7a' -strokewidth 2 -draw 'roundrectangle 3,3 92,64 10,10' \
  -fill white -stroke none -draw 'polygon 38,10 38,38 62,24' \
  -font "$font" -pointsize 11 -fill white -gravity south -annotate +0+7 'Windows Media' \
  -quality 92 command1.jpg

# Player button for RealMedia recordings, 96 x 69: an orange tile with a play triangle.
convert -size 96x69 xc:white \
  -fill '#e07a1f' -stroke '#9a4e0c' -strokewidth 2 -draw 'roundrectangle 3,3 92,65 10,10' \
  -fill white -stroke none -draw 'polygon 38,10 38,38 62,24' \
  -font "$font" -pointsize 12 -fill white -gravity south -annotate +0+8 'RealMedia' \
  -quality 92 command2.jpg

# EXIT, 60 x 60: a round white button on the black panel.
convert -size 60x60 xc:black \
  -fill '#f4f4f4' -stroke '#9c9c9c' -strokewidth 3 -draw 'circle 30,30 30,4' \
  -font "$font" -pointsize 15 -fill '#202020' -stroke none -gravity center -annotate +0+0 'Exit' \
  -quality 92 image1.jpg

# The web link, 228 x 24: light text on a dark strip.
convert -size 228x24 xc:'#161a20' \
  -fill none -stroke '#3c4654' -strokewidth 1 -draw 'rectangle 0,0 227,23' \
  -font "$regular" -pointsize 13 -fill '#d8e4f2' -stroke none -gravity center \
  -annotate +0+0 'Visit our web site' \
  -quality 92 image2.jpg

# Icon: a compact disc, 32 and 16 pixels, 16 colours.
for size in 32 16; do
  c=$((size / 2)); r=$((size / 2 - 1)); h=$((size / 8)); s=$((size / 5))
  convert -size ${size}x${size} xc:none \
    -fill '#cfd5dd' -stroke '#6d747e' -strokewidth 1 -draw "circle $c,$c $c,$((c - r))" \
    -fill none -stroke '#8fc1ea' -strokewidth $((size / 10 + 1)) \
    -draw "arc $((c - r + 3)),$((c - r + 3)) $((c + r - 3)),$((c + r - 3)) 200,260" \
    -fill '#8d949e' -stroke none -draw "circle $c,$c $c,$((c - s))" \
    -fill none -stroke none -draw "circle $c,$c $c,$((c - h))" \
    -alpha on -channel A -fx "hypot(i-$c+0.5,j-$c+0.5) < $h ? 0 : a" +channel \
    -colors 16 -depth 8 icon${size}.png
done
