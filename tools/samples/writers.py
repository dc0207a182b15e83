import struct, zlib, subprocess

def raw(path, w, h, fmt='rgba'):
    """Rasterise an image with ImageMagick and return its pixels as tuples."""
    data = subprocess.run(['convert', path, '-resize', f'{w}x{h}!', '-depth', '8', f'{fmt}:-'],
                          check=True, capture_output=True).stdout
    n = len(fmt)
    return [tuple(data[i:i + n]) for i in range(0, len(data), n)]

def chunk(t, d):
    return struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)

def png_palette(path, w, h, px, depth=8):
    """Colour type 3 with PLTE and a trimmed tRNS (partial alpha kept)."""
    pal = []
    idx = {}
    for p in px:
        if p[3] == 0:
            p = (0, 0, 0, 0)
        if p not in idx:
            idx[p] = len(pal); pal.append(p)
    assert len(pal) <= (1 << depth), len(pal)
    # transparent entries first so tRNS stays short
    order = sorted(range(len(pal)), key=lambda i: pal[i][3] == 255)
    remap = {old: new for new, old in enumerate(order)}
    pal = [pal[i] for i in order]
    rows = b''
    for y in range(h):
        vals = [remap[idx[(0, 0, 0, 0) if px[y*w+x][3] == 0 else px[y*w+x]]] for x in range(w)]
        bits = b''
        if depth == 8:
            bits = bytes(vals)
        else:
            per = 8 // depth; acc = bytearray()
            for i in range(0, w, per):
                b = 0
                for k in range(per):
                    v = vals[i+k] if i + k < w else 0
                    b |= v << (8 - depth*(k+1))
                acc.append(b)
            bits = bytes(acc)
        rows += b'\x00' + bits
    ntr = max([i+1 for i, p in enumerate(pal) if p[3] != 255] + [0])
    out = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, depth, 3, 0, 0, 0))
    out += chunk(b'PLTE', b''.join(bytes(p[:3]) for p in pal))
    if ntr:
        out += chunk(b'tRNS', bytes(p[3] for p in pal[:ntr]))
    out += chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b'')
    open(path, 'wb').write(out)

def png_gray(path, w, h, px, depth=8):
    rows = b''
    for y in range(h):
        vals = [px[y*w+x][0] for x in range(w)]
        if depth == 8:
            rows += b'\x01' + bytes(vals[0:1]) + bytes((vals[i] - vals[i-1]) & 255 for i in range(1, w))  # Sub filter
        else:
            per = 8 // depth; acc = bytearray()
            for i in range(0, w, per):
                b = 0
                for k in range(per):
                    v = (vals[i+k] if i + k < w else 0) >> (8 - depth)
                    b |= v << (8 - depth*(k+1))
                acc.append(b)
            rows += b'\x00' + bytes(acc)
    out = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, depth, 0, 0, 0, 0))
    out += chunk(b'IDAT', zlib.compress(rows, 9)) + chunk(b'IEND', b'')
    open(path, 'wb').write(out)

def bmp(path, w, h, px, bits):
    """Windows bitmap, bottom-up, BITMAPINFOHEADER, 1/4/8/24 bits per pixel."""
    if bits == 24:
        pal = []
    else:
        pal = sorted(set(p[:3] for p in px))
        assert len(pal) <= (1 << bits), (path, len(pal))
        pal += [(0, 0, 0)] * ((1 << bits) - len(pal))
    look = {p: i for i, p in enumerate(pal)}
    stride = ((w * bits + 31) // 32) * 4
    body = b''
    for y in range(h - 1, -1, -1):
        row = bytearray()
        if bits == 24:
            for x in range(w):
                r, g, b = px[y*w+x][:3]; row += bytes((b, g, r))
        else:
            per = 8 // bits
            for i in range(0, w, per):
                v = 0
                for k in range(per):
                    c = look[px[y*w+i+k][:3]] if i + k < w else 0
                    v |= c << (8 - bits*(k+1))
                row.append(v)
        row += b'\x00' * (stride - len(row))
        body += bytes(row)
    paldata = b''.join(bytes((b, g, r, 0)) for r, g, b in pal)
    off = 14 + 40 + len(paldata)
    hdr = b'BM' + struct.pack('<IHHI', off + len(body), 0, 0, off)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bits, 0, len(body), 2835, 2835,
                       len(pal) if bits != 24 else 0, 0)
    open(path, 'wb').write(hdr + info + paldata + body)
