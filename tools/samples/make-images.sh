#!/usr/bin/env bash
# Makes the pictures of the sample documentation set with ImageMagick and the byte writers in
# writers.py, and copies them into samples/. The output depends a little on the ImageMagick
# version and the installed fonts, so the pictures in samples/ are the reference; this is how
# they were made, for when one needs changing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"
mkdir -p work out
B='#1f3a6b'; O='#f08a24'
# --- animated logo: ring segment spins around a K, transparent outside the disc
for i in $(seq 0 11); do
  poly=$(python3 -c "
import math
a=$i*30; pts=[]
for r, rng in ((22.5, range(0, 101, 10)), (17.5, range(100, -1, -10))):
    pts += ['%.1f,%.1f' % (24 + r*math.cos(math.radians(a+t)), 24 + r*math.sin(math.radians(a+t))) for t in rng]
print(' '.join(pts))")
  convert -size 48x48 xc:none -fill "$B" -stroke none -draw 'circle 24,24 24,4' \
    -fill "$O" -draw "polygon $poly" \
    -stroke none -fill white -font DejaVu-Sans-Bold -pointsize 24 -gravity center -annotate +0+0 K \
    work/f$(printf %02d $i).png
done
convert -delay 8 -loop 0 -dispose background work/f*.png -channel A -threshold 50% +channel -layers Optimize -strip out/korva_logo.gif
# --- banner (transparent GIF, text fringe matted on white)
convert -size 320x44 xc:white -font DejaVu-Serif-Bold -pointsize 30 -fill "$B" -annotate +8+33 'KORVA' \
  -font DejaVu-Sans -pointsize 13 -fill '#555555' -annotate +140+22 'Portable Runtime' -annotate +140+38 'API Reference 2.4' \
  -fill "$O" -draw 'rectangle 8,38 122,41' -transparent white -colors 16 -strip out/banner.gif
# --- 16x16 member icons (transparent GIFs)
convert -size 16x16 xc:none -fill '#2e8b3e' -draw 'circle 8,8 8,1' -fill white -font DejaVu-Serif-Bold-Italic -pointsize 11 -gravity center -annotate +0+0 f -channel A -threshold 50% +channel -strip out/icon_func.gif
convert -size 16x16 xc:none -fill '#2f5fa7' -draw 'rectangle 2,2 13,13' -fill '#9cc3f0' -draw 'rectangle 4,4 11,6' -draw 'rectangle 4,9 11,11' -strip out/icon_struct.gif
convert -size 16x16 xc:none -fill '#7b3fa0' -draw 'rectangle 2,3 4,5' -draw 'rectangle 2,7 4,9' -draw 'rectangle 2,11 4,13' -draw 'rectangle 6,4 13,4' -draw 'rectangle 6,8 13,8' -draw 'rectangle 6,12 13,12' -strip out/icon_enum.gif
convert -size 16x16 xc:none -fill '#666666' -font DejaVu-Sans-Mono-Bold -pointsize 14 -gravity center -annotate +0+0 '#' -channel A -threshold 50% +channel -strip out/icon_macro.gif
# --- event flow diagram, interlaced GIF, 16 colours
convert -size 400x120 xc:'#fbfbf7' -stroke '#333333' -strokewidth 1 \
  -fill '#dfe9f7' -draw 'roundrectangle 10,40 110,80 6,6' -draw 'roundrectangle 150,40 250,80 6,6' -draw 'roundrectangle 290,40 390,80 6,6' \
  -fill '#333333' -draw 'line 110,60 146,60' -draw 'polygon 144,56 150,60 144,64' -draw 'line 250,60 286,60' -draw 'polygon 284,56 290,60 284,64' \
  -stroke none -font DejaVu-Sans -pointsize 11 -annotate +25+64 'kvEventPost' -annotate +160+64 'KvEventQueue' -annotate +305+64 'kvEventWait' \
  -fill "$O" -annotate +10+28 'producer thread' -annotate +290+28 'consumer thread' -fill '#777777' -annotate +163+104 'FIFO, bounded' \
  -colors 16 -interlace GIF -strip out/event_flow.gif
# --- tiled background for the credits page (BACKGROUND=)
python3 -c "
import random
random.seed(7); w = h = 48
v = [[random.random() for x in range(w)] for y in range(h)]
for _ in range(2):
    v = [[(v[y][x] + v[y][(x+1)%w] + v[(y+1)%h][x] + v[y][x-1] + v[y-1][x]) / 5 for x in range(w)] for y in range(h)]
out = open('work/parch.ppm', 'wb'); out.write(b'P6 48 48 255\\n')
for y in range(h):
    for x in range(w):
        t = (v[y][x] - 0.5) * 5
        out.write(bytes((int(min(255, 244 + 40*t)), int(min(255, 236 + 40*t)), int(min(255, 214 + 44*t)))))
"
convert work/parch.ppm -colors 8 -strip out/parchment.gif
# --- module architecture diagram: truecolour PNG (colour type 2)
convert -size 360x190 xc:white -stroke '#1f3a6b' -strokewidth 1 -font DejaVu-Sans -pointsize 11 \
  -fill '#e4ecf8' -draw 'rectangle 10,150 350,180' \
  -fill '#cfe0f5' -draw 'rectangle 10,105 120,140' -draw 'rectangle 125,105 235,140' -draw 'rectangle 240,105 350,140' \
  -fill '#fde3c8' -draw 'rectangle 10,60 90,95' -draw 'rectangle 95,60 175,95' -draw 'rectangle 180,60 260,95' -draw 'rectangle 265,60 350,95' \
  -fill '#d9f0d3' -draw 'rectangle 10,15 350,50' \
  -stroke none -fill '#1f3a6b' -annotate +150+170 'Core  (korva.h)' \
  -annotate +40+127 'Memory' -annotate +162+127 'Errors' -annotate +275+127 'Strings' \
  -annotate +27+82 'Buffers' -annotate +113+82 'Streams' -annotate +201+82 'Events' -annotate +285+82 'Geometry' \
  -annotate +115+37 'Your application' -strip PNG24:out/modules.png
# --- stream pipeline with soft shadow: RGBA, Adam7 interlaced (colour type 6)
convert -size 300x90 xc:none \
  \( -size 300x90 xc:none -fill '#00000060' -draw 'roundrectangle 14,24 94,74 8,8' -draw 'roundrectangle 114,24 194,74 8,8' -draw 'roundrectangle 214,24 294,74 8,8' -blur 0x3 \) -composite \
  -stroke '#1f3a6b' -fill '#ffffffe0' -draw 'roundrectangle 10,20 90,70 8,8' -draw 'roundrectangle 110,20 190,70 8,8' -draw 'roundrectangle 210,20 290,70 8,8' \
  -stroke "$O" -strokewidth 3 -draw 'line 92,45 106,45' -draw 'line 192,45 206,45' -stroke none \
  -fill '#1f3a6b' -font DejaVu-Sans -pointsize 11 -annotate +26+49 'file stream' -annotate +129+49 'KvBuffer' -annotate +228+49 'filter ops' \
  -interlace PNG -strip PNG32:out/pipeline.png
# --- palette PNG sources (written as colour type 3 + tRNS by writers.py)
convert -size 24x24 xc:none -fill '#00000040' -draw 'roundrectangle 4,4 23,23 3,3' -fill '#ffe680' -stroke '#b08a00' -draw 'roundrectangle 1,1 20,20 3,3' \
  -stroke '#8a6d00' -draw 'line 5,7 16,7' -draw 'line 5,11 16,11' -draw 'line 5,15 12,15' work/note.png
convert -size 24x24 xc:none -fill '#e03a1e' -stroke '#901e0c' -draw 'polygon 12,1 23,22 1,22' -stroke none -fill white -draw 'rectangle 11,8 13,15' -draw 'rectangle 11,18 13,20' work/warn.png
convert -size 24x24 xc:none -fill '#3a7bd5' -draw 'circle 12,12 12,1' -fill white -font DejaVu-Serif-Bold -pointsize 15 -gravity center -annotate +0+1 i work/info.png
# --- JPEGs: a photo-like landscape (baseline) and a progressive greyscale portrait strip
convert -size 220x140 gradient:'#7fb2e5'-'#eaf3fb' \
  \( -size 220x140 xc:none -fill '#fff3b0' -draw 'circle 170,38 170,20' -blur 0x4 \) -composite \
  \( -size 220x140 xc:none -fill '#5d8a4a' -draw 'path "M 0,100 Q 60,60 120,95 T 220,85 L 220,140 L 0,140 Z"' \) -composite \
  \( -size 220x140 xc:none -fill '#3f6b35' -draw 'path "M 0,120 Q 80,90 150,118 T 220,112 L 220,140 L 0,140 Z"' \) -composite \
  -seed 3 -attenuate 0.4 +noise Gaussian -quality 82 -strip out/overview_photo.jpg
convert -size 180x90 xc:'#d8d8d8' -fill '#9a9a9a' -draw 'circle 30,40 30,22' -draw 'circle 90,40 90,22' -draw 'circle 150,40 150,22' \
  -draw 'ellipse 30,90 26,30 180,360' -draw 'ellipse 90,90 26,30 180,360' -draw 'ellipse 150,90 26,30 180,360' \
  -blur 0x1.5 -seed 5 -attenuate 0.5 +noise Gaussian -colorspace Gray -interlace JPEG -quality 75 -strip out/team.jpg
# --- BMP sources
convert -size 160x120 xc:white -stroke '#bbbbbb' -draw 'line 20,0 20,120' -draw 'line 0,100 160,100' \
  -stroke '#1f3a6b' -strokewidth 2 -fill '#cfe0f5' -draw 'rectangle 50,30 130,80' -stroke "$O" -fill "$O" -draw 'circle 50,30 50,27' \
  -stroke none -fill '#333333' -font DejaVu-Sans -pointsize 10 -annotate +24+14 'y' -annotate +150+96 'x' -annotate +54+26 '(x, y)' -annotate +78+92 'w' -annotate +134+58 'h' \
  -stroke '#888888' -strokewidth 1 -draw 'line 50,86 130,86' -draw 'line 136,30 136,80' work/axes.png
convert -size 32x32 xc:'#c0c0c0' -fill '#2f2f2f' -draw 'rectangle 6,6 25,25' -fill '#b8860b' \
  -draw 'rectangle 8,2 9,5' -draw 'rectangle 13,2 14,5' -draw 'rectangle 18,2 19,5' -draw 'rectangle 23,2 24,5' \
  -draw 'rectangle 8,26 9,29' -draw 'rectangle 13,26 14,29' -draw 'rectangle 18,26 19,29' -draw 'rectangle 23,26 24,29' \
  -fill "$O" -draw 'circle 15,15 15,11' -colors 32 work/chip.png
convert -size 16x16 xc:white +antialias -fill '#1e8f2e' -stroke '#1e8f2e' -strokewidth 2 -draw 'polyline 3,8 6,12 13,3' -colors 4 work/check.png
convert -size 16x16 xc:white +antialias -fill black -draw 'circle 8,8 8,4' -monochrome work/dot.png
convert -size 40x40 xc:'#f4f4f4' -fill '#e8e8e8' -draw 'rectangle 0,0 19,19' -draw 'rectangle 20,20 39,39' work/tile.png

PYTHONPATH="$here" python3 "$here/make_images_2.py"
cp out/* "$here/../../samples/"
echo "pictures written to samples/"
