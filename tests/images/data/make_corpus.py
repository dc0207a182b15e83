#!/usr/bin/env python3
"""Writes the decoder test corpus: PNG files of every colour type and bit depth (interlaced and
not, with and without gAMA and tRNS, every filter type) and GIF files (87a and 89a, interlaced,
transparent, animated with each disposal). Run from this folder; the files are kept in git."""
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)


def sample(x, y, c, maxv, seed):
    return (x * 37 + y * 91 + c * 53 + seed * 17 + (x * y) % 7 * 29) % (maxv + 1)


def pack_row(samples, depth):
    if depth == 16:
        return b"".join(struct.pack(">H", s) for s in samples)
    if depth == 8:
        return bytes(samples)
    out = bytearray()
    per = 8 // depth
    for i in range(0, len(samples), per):
        b = 0
        for k in range(per):
            v = samples[i + k] if i + k < len(samples) else 0
            b |= v << ((per - 1 - k) * depth)
        out.append(b)
    return bytes(out)


def paeth(a, b, c):
    p = a + b - c
    pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    if pa <= pb and pa <= pc:
        return a
    return b if pb <= pc else c


def filter_row(row, prev, bpp, ftype):
    out = bytearray([ftype])
    for i in range(len(row)):
        a = row[i - bpp] if i >= bpp else 0
        b = prev[i]
        c = prev[i - bpp] if i >= bpp else 0
        pred = [0, a, b, (a + b) // 2, paeth(a, b, c)][ftype]
        out.append((row[i] - pred) & 0xFF)
    return bytes(out)


CHANNELS = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}


def raw_image(w, h, ctype, depth, seed, pixel):
    """Filtered scanlines of the sub-image given by pixel(x, y) -> samples."""
    nch = CHANNELS[ctype]
    bpp = max(1, nch * depth // 8)
    out = bytearray()
    prev = bytes(len(pack_row([0] * (w * nch), depth)))
    for y in range(h):
        samples = []
        for x in range(w):
            samples.extend(pixel(x, y))
        row = pack_row(samples, depth)
        out += filter_row(row, prev, bpp, (y + seed) % 5)
        prev = row
    return bytes(out)


ADAM7 = [(0, 0, 8, 8), (4, 0, 8, 8), (0, 4, 4, 8), (2, 0, 4, 4), (0, 2, 2, 4), (1, 0, 2, 2), (0, 1, 1, 2)]


def write_png(name, w, h, ctype, depth, interlace=False, gamma=None, trns=None, plte=None, seed=0):
    nch = CHANNELS[ctype]
    maxv = (1 << depth) - 1
    if ctype == 3:
        maxv = len(plte) - 1

    def full(x, y):
        return [sample(x, y, c, maxv, seed) for c in range(nch)]

    if not interlace:
        raw = raw_image(w, h, ctype, depth, seed, full)
    else:
        raw = b""
        for (sx, sy, dx, dy) in ADAM7:
            pw = (w - sx + dx - 1) // dx
            ph = (h - sy + dy - 1) // dy
            if pw <= 0 or ph <= 0:
                continue
            raw += raw_image(pw, ph, ctype, depth, seed,
                             lambda x, y, sx=sx, sy=sy, dx=dx, dy=dy: full(sx + x * dx, sy + y * dy))
    data = b"\x89PNG\r\n\x1a\n"
    data += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, depth, ctype, 0, 0, 1 if interlace else 0))
    if gamma is not None:
        data += chunk(b"gAMA", struct.pack(">I", gamma))
    if plte is not None:
        data += chunk(b"PLTE", b"".join(bytes(c) for c in plte))
    if trns is not None:
        data += chunk(b"tRNS", trns)
    data += chunk(b"tEXt", b"Comment\x00corpus")
    comp = zlib.compress(raw, 9)
    # Split the image data over several chunks to exercise joining.
    third = max(1, len(comp) // 3)
    for i in range(0, len(comp), third):
        data += chunk(b"IDAT", comp[i:i + third])
    data += chunk(b"IEND", b"")
    with open(os.path.join(HERE, "png", name), "wb") as f:
        f.write(data)


def make_pngs():
    os.makedirs(os.path.join(HERE, "png"), exist_ok=True)
    combos = [(0, d) for d in (1, 2, 4, 8, 16)] + [(2, 8), (2, 16)] + [(3, d) for d in (1, 2, 4, 8)] + \
             [(4, 8), (4, 16), (6, 8), (6, 16)]
    for ctype, depth in combos:
        plte = None
        if ctype == 3:
            n = min(1 << depth, 200)
            plte = [((i * 67) % 256, (i * 131 + 40) % 256, (i * 29 + 90) % 256) for i in range(n)]
        for interlace in (False, True):
            for variant in ("plain", "gama", "trns"):
                gamma = None
                trns = None
                if variant == "gama":
                    gamma = 100000 if depth % 2 == 0 else 31000
                if variant == "trns":
                    if ctype in (4, 6):
                        continue
                    if ctype == 3:
                        trns = bytes([255, 128, 0] + [255] * 2)[:len(plte)]
                    elif ctype == 0:
                        trns = struct.pack(">H", 1)
                    else:
                        trns = struct.pack(">HHH", 1, 2, 3)
                name = "t%d-d%02d-%s-%s.png" % (ctype, depth, "i" if interlace else "n", variant)
                w, h = (13, 11) if not interlace else (19, 17)
                write_png(name, w, h, ctype, depth, interlace, gamma, trns, plte, seed=ctype + depth)
    write_png("tiny-1x1-interlaced.png", 1, 1, 2, 8, True)
    write_png("tiny-1x1.png", 1, 1, 0, 8, False)
    write_png("wide-1-row.png", 40, 1, 2, 8, True)


# ---- GIF ----------------------------------------------------------------------------------

def lzw_encode(indexes, min_size):
    clear = 1 << min_size
    end = clear + 1
    out_bits = []
    width = min_size + 1
    table = {}
    next_code = end + 1

    def emit(code):
        out_bits.append((code, width))

    emit(clear)
    prefix = None
    for idx in indexes:
        key = (prefix, idx)
        if prefix is None:
            prefix = idx
            continue
        if key in table:
            prefix = table[key]
            continue
        emit(prefix)
        if next_code < 4096:
            table[key] = next_code
            next_code += 1
            if next_code > (1 << width) and width < 12:
                width += 1
        else:
            emit(clear)
            table = {}
            next_code = end + 1
            width = min_size + 1
        prefix = idx
    if prefix is not None:
        emit(prefix)
    emit(end)
    acc = 0
    nbits = 0
    out = bytearray()
    for code, w in out_bits:
        acc |= code << nbits
        nbits += w
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8
    if nbits:
        out.append(acc & 0xFF)
    return bytes(out)


def sub_blocks(data):
    out = bytearray()
    for i in range(0, len(data), 255):
        part = data[i:i + 255]
        out.append(len(part))
        out += part
    out.append(0)
    return bytes(out)


def interlace_order(h):
    rows = []
    for start, step in ((0, 8), (4, 8), (2, 4), (1, 2)):
        rows.extend(range(start, h, step))
    return rows


def gif_frame(left, top, w, h, pix, min_size=None, local=None, interlaced=False, gce=None):
    out = bytearray()
    if gce is not None:
        disposal, delay, tindex = gce
        packed = (disposal << 2) | (1 if tindex is not None else 0)
        out += b"\x21\xF9\x04" + bytes([packed]) + struct.pack("<H", delay) + bytes([tindex or 0]) + b"\x00"
    packed = 0
    if local is not None:
        bits = max(1, (len(local) - 1).bit_length())
        packed |= 0x80 | (bits - 1)
    if interlaced:
        packed |= 0x40
    out += b"\x2C" + struct.pack("<HHHH", left, top, w, h) + bytes([packed])
    if local is not None:
        bits = max(1, (len(local) - 1).bit_length())
        table = list(local) + [(0, 0, 0)] * ((1 << bits) - len(local))
        out += b"".join(bytes(c) for c in table)
    rows = interlace_order(h) if interlaced else range(h)
    indexes = []
    for y in rows:
        indexes.extend(pix(x, y) for x in range(w))
    ms = min_size or 8
    out.append(ms)
    out += sub_blocks(lzw_encode(indexes, ms))
    return bytes(out)


def gif(name, sw, sh, gct, frames, version=b"89a", loop=None, trailer=True):
    bits = max(1, (len(gct) - 1).bit_length())
    table = list(gct) + [(0, 0, 0)] * ((1 << bits) - len(gct))
    data = b"GIF" + version + struct.pack("<HH", sw, sh) + bytes([0x80 | ((bits - 1) << 4) | (bits - 1), 0, 0])
    data += b"".join(bytes(c) for c in table)
    if loop is not None:
        data += b"\x21\xFF\x0BNETSCAPE2.0\x03\x01" + struct.pack("<H", loop) + b"\x00"
    for f in frames:
        data += f
    if trailer:
        data += b"\x3B"
    with open(os.path.join(HERE, "gif", name), "wb") as f:
        f.write(data)


def make_gifs():
    os.makedirs(os.path.join(HERE, "gif"), exist_ok=True)
    pal16 = [((i * 53) % 256, (i * 97 + 30) % 256, (i * 151 + 60) % 256) for i in range(16)]
    pal256 = [((i * 7) % 256, (i * 13 + 50) % 256, (255 - i) % 256) for i in range(256)]
    pal2 = [(0, 0, 0), (255, 255, 255)]

    def noise(n):
        return lambda x, y: (x * 7 + y * 13 + (x * y) % 5) % n

    gif("g87-plain.gif", 23, 17, pal16, [gif_frame(0, 0, 23, 17, noise(16), 4)], version=b"87a")
    gif("g89-plain-256.gif", 64, 40, pal256, [gif_frame(0, 0, 64, 40, noise(256), 8)])
    gif("g89-2colour.gif", 33, 9, pal2, [gif_frame(0, 0, 33, 9, noise(2), 2)])
    gif("g89-interlaced.gif", 21, 29, pal16, [gif_frame(0, 0, 21, 29, noise(16), 4, interlaced=True)])
    gif("g87-interlaced-10rows.gif", 5, 10, pal16, [gif_frame(0, 0, 5, 10, lambda x, y: y, 4, interlaced=True)],
        version=b"87a")
    gif("g89-transparent.gif", 20, 12, pal16, [gif_frame(0, 0, 20, 12, noise(16), 4, gce=(0, 0, 3))])
    gif("g89-local-table.gif", 16, 16, pal16,
        [gif_frame(2, 3, 10, 9, noise(4), 2, local=[(255, 0, 0), (0, 255, 0), (0, 0, 255), (9, 9, 9)])])
    # Long runs to exercise the 12-bit table limit and the clear codes of a full table.
    gif("g89-large.gif", 300, 200, pal256, [gif_frame(0, 0, 300, 200, lambda x, y: (x ^ y) % 256, 8)])
    # Animations with each disposal, transparent and not.
    for disposal in range(4):
        frames = [
            gif_frame(0, 0, 24, 16, noise(16), 4, gce=(disposal, 10, 5)),
            gif_frame(4, 2, 12, 10, lambda x, y: (x + y) % 16, 4, gce=(disposal, 20, 5)),
            gif_frame(10, 6, 14, 10, lambda x, y: (x * 3 + y) % 16, 4, gce=(disposal, 0, 5), interlaced=True),
        ]
        gif("anim-disposal%d-transparent.gif" % disposal, 24, 16, pal16, frames, loop=0)
        frames = [
            gif_frame(0, 0, 24, 16, noise(16), 4, gce=(disposal, 10, None)),
            gif_frame(4, 2, 12, 10, lambda x, y: (x + y) % 16, 4, gce=(disposal, 20, None)),
            gif_frame(10, 6, 14, 10, lambda x, y: (x * 3 + y) % 16, 4, gce=(disposal, 0, None),
                      local=pal16[::-1]),
        ]
        gif("anim-disposal%d-opaque.gif" % disposal, 24, 16, pal16, frames, loop=2)
    gif("anim-no-loop.gif", 8, 8, pal16,
        [gif_frame(0, 0, 8, 8, noise(16), 4, gce=(1, 0, None)), gif_frame(0, 0, 8, 8, noise(7), 4, gce=(1, 5, None)),
         gif_frame(0, 0, 8, 8, noise(3), 4, gce=(1, 20, None))])
    gif("no-trailer.gif", 9, 7, pal16, [gif_frame(0, 0, 9, 7, noise(16), 4)], trailer=False)
    # A frame reaching past the logical screen is clipped.
    gif("frame-outside-screen.gif", 10, 10, pal16, [gif_frame(0, 0, 10, 10, noise(16), 4),
                                                     gif_frame(6, 5, 9, 12, noise(5), 4)])


if __name__ == "__main__":
    make_pngs()
    make_gifs()

# ImageMagick made the im-* files and the composed frames under gif/expected/:
#   convert rose: png/im-rose-rgb.png;  convert rose: -interlace PNG png/im-rose-rgb-interlaced.png
#   convert rose: -colors 64 PNG8:png/im-rose-palette.png
#   convert rose: -colorspace gray -depth 16 png/im-rose-gray16.png
#   convert logo: -resize 25% -alpha set -channel A -fx 'i/w' +channel PNG32:png/im-logo-rgba.png
#   convert rose: gif/im-rose.gif;  convert rose: -interlace GIF gif/im-rose-interlaced.gif
#   convert -delay 10 rose: \( rose: -flip \) \( rose: -flop \) -loop 3 gif/im-anim-rose.gif
#   convert -dispose Background -delay 5 -size 30x20 xc:none -fill red -draw 'rectangle 2,2 10,10' \
#     \( -size 30x20 xc:none -fill blue -draw 'circle 20,10 25,12' \) -loop 0 gif/im-anim-transparent.gif
#   convert NAME.gif -coalesce rgba:gif/expected/NAME.coalesced.rgba
