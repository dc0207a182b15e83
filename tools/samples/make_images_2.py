import subprocess
import struct
from writers import *
def quant(src, n):
    # reduce colours (alpha kept) so they fit a palette
    dst = src.replace('.png', f'_q{n}.png')
    subprocess.run(['convert', src, '-dither', 'None', '-colors', str(n), 'PNG32:' + dst], check=True)
    return dst
for name in ('note', 'warn', 'info'):
    src = quant(f'work/{name}.png', 48)
    png_palette(f'out/{name}.png', 24, 24, raw(src, 24, 24), 8)
# 4-bit palette PNG with tRNS, a 16x16 "new" star
subprocess.run(['convert', '-size', '16x16', 'xc:none', '-fill', '#e8b000', '-stroke', '#a06000',
  '+antialias', '-draw', 'polygon 8,0 10,6 16,6 11,10 13,16 8,12 3,16 5,10 0,6 6,6', 'PNG32:work/star.png'], check=True)
png_palette('out/icon_new.png', 16, 16, raw('work/star.png', 16, 16), 4)
# greyscale tile, 8-bit with Sub filter, for a CSS background
png_gray('out/tile_grey.png', 40, 40, raw('work/tile.png', 40, 40, 'rgb'), 8)
# BMPs: 24-bit diagram, 8-bit icon, 4-bit icon, 1-bit bullet
bmp('out/axes.bmp', 160, 120, raw('work/axes.png', 160, 120, 'rgb'), 24)
bmp('out/chip.bmp', 32, 32, raw('work/chip.png', 32, 32, 'rgb'), 8)
bmp('out/check.bmp', 16, 16, raw('work/check.png', 16, 16, 'rgb'), 4)
bmp('out/dot.bmp', 16, 16, raw('work/dot.png', 16, 16, 'rgb'), 1)
# parchment tile as a plain GIF87a: drop every extension block
d = open('out/parchment.gif', 'rb').read()
w, h, fl = struct.unpack('<HHB', d[6:11]); p = 13 + ((3 << ((fl & 7) + 1)) if fl & 0x80 else 0)
out = b'GIF87a' + d[6:p]
while p < len(d):
    if d[p] == 0x21:
        q = p + 2
        while d[q]: q += d[q] + 1
        p = q + 1
    elif d[p] == 0x2C:
        q = p + 10 + ((3 << ((d[p+9] & 7) + 1)) if d[p+9] & 0x80 else 0) + 1
        while d[q]: q += d[q] + 1
        out += d[p:q+1]; p = q + 1
    else:
        out += b';'; break
open('out/parchment.gif', 'wb').write(out)
