#!/usr/bin/env bash
# Draws the player's artwork with ImageMagick: the two background pages (770 and 813 pixels wide),
# the placeholder thumbnail and the compact-disc icon. The company is fictional.
set -euo pipefail
cd "$(dirname "$0")"
page='rgb(253,255,234)'
banner='rgb(30,58,110)'
accent='rgb(240,180,40)'
for w in 770 813; do
  convert -size ${w}x600 "xc:$page" \
    -fill "$banner" -draw "rectangle 0,0 $((w - 1)),87" \
    -fill "$accent" -draw "rectangle 0,84 $((w - 1)),87" \
    -fill "$accent" -draw "circle 44,42 44,14" \
    -fill "$banner" -draw "circle 44,42 44,24" \
    -fill "$accent" -draw "circle 44,42 44,35" \
    -font Liberation-Sans-Bold -pointsize 30 -fill white -annotate +86+44 'Lindqvist & Marr' \
    -font Liberation-Sans -pointsize 15 -fill 'rgb(220,228,245)' \
    -annotate +88+68 'Recorded presentations and conferences' \
    -font Liberation-Sans-Bold -pointsize 15 -fill white -gravity NorthEast \
    -annotate +24+30 'Tel. +44 20 7946 0958' \
    -font Liberation-Sans -pointsize 12 -fill 'rgb(220,228,245)' \
    -annotate +24+54 'www.example.com' \
    -quality 90 "background-$w.jpg"
done
convert -size 80x65 xc:'rgb(236,236,228)' -fill none -stroke 'rgb(150,150,140)' \
  -draw 'rectangle 0,0 79,64' -fill 'rgb(190,190,180)' -stroke none \
  -draw 'rectangle 10,12 69,16' -draw 'rectangle 10,24 58,27' -draw 'rectangle 10,33 62,36' \
  -draw 'rectangle 10,42 50,45' -quality 90 thumbnail-placeholder.jpg
for s in 32 16; do
  c=$((s / 2)); r=$((s / 2 - 1)); h=$((s / 8 + 1))
  convert -size ${s}x${s} xc:none \
    -fill 'rgb(192,192,192)' -stroke 'rgb(96,96,96)' -draw "circle $c,$c $c,$((c - r))" \
    -fill 'rgb(170,200,255)' -stroke none -draw "circle $c,$c $c,$((c - r * 2 / 3))" \
    -fill 'rgb(255,240,170)' -draw "circle $c,$c $c,$((c - r / 3))" \
    -fill white -stroke 'rgb(96,96,96)' -draw "circle $c,$c $c,$((c - h))" \
    -colors 16 "PNG8:cd-$s.png"
done
