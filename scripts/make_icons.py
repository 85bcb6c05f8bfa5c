#!/usr/bin/env python3
"""Draws the program's icons (tray states, window icon, row remove button) and writes them as
32-bit ICO and PNG files into src/App/ui/resources. Run it again after changing a design."""
import math
import os
import struct
import zlib

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', 'src', 'App', 'ui', 'resources')
SUPER = 4  # supersampling per axis for smooth edges


def render(size, shape):
    """shape(x, y) -> (r, g, b, a) for a point in the unit square; returns rows of RGBA tuples."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(SUPER):
                for sx in range(SUPER):
                    r, g, b, a = shape((px + (sx + 0.5) / SUPER) / size, (py + (sy + 0.5) / SUPER) / size)
                    acc[0] += r * a; acc[1] += g * a; acc[2] += b * a; acc[3] += a
            n = SUPER * SUPER
            alpha = acc[3] / n
            if alpha > 0:
                row.append(tuple(int(acc[i] / acc[3]) for i in range(3)) + (int(alpha),))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def quill(color, mark=None):
    """A round badge in the state's colour with a white meter dial and needle; mark adds a sign."""
    def shape(x, y):
        dx, dy = x - 0.5, y - 0.5
        d = math.hypot(dx, dy)
        if d > 0.48:
            return (0, 0, 0, 0)
        if d > 0.44:
            return tuple(int(c * 0.6) for c in color) + (255,)
        white = (255, 255, 255, 255)
        if mark == 'pause':
            if 0.33 < x < 0.44 and 0.28 < y < 0.72 or 0.56 < x < 0.67 and 0.28 < y < 0.72:
                return white
            return color + (255,)
        if mark == 'error':
            if 0.44 < x < 0.56 and (0.2 < y < 0.58 or 0.66 < y < 0.78):
                return white
            return color + (255,)
        # dial: an upper arc of ticks and a needle from the hub towards the upper right
        ang = math.atan2(-(y - 0.6), x - 0.5)
        r = math.hypot(x - 0.5, y - 0.6)
        if 0.26 < r < 0.33 and 0.15 < ang < math.pi - 0.15 and (ang * 7 / math.pi) % 1 < 0.55:
            return white
        # needle
        nx, ny = math.cos(math.pi / 4), -math.sin(math.pi / 4)
        t = (x - 0.5) * nx + (y - 0.6) * ny
        perp = abs((x - 0.5) * ny - (y - 0.6) * nx)
        if -0.02 < t < 0.27 and perp < 0.035:
            return white
        if r < 0.07:
            return white
        if 0.74 < y < 0.8 and 0.3 < x < 0.7:
            return white
        return color + (255,)
    return shape


def trash(x, y):
    grey = (90, 90, 96, 255)
    if 0.2 < x < 0.8 and 0.2 < y < 0.28 or 0.4 < x < 0.6 and 0.12 < y < 0.2:
        return grey
    if 0.27 < x < 0.73 and 0.32 < y < 0.88:
        inner = 0.33 < x < 0.67 and 0.36 < y < 0.84
        stripe = any(abs(x - c) < 0.03 for c in (0.42, 0.58))
        return grey if not inner or stripe else (235, 235, 235, 255)
    return (0, 0, 0, 0)


def png_bytes(rows):
    size = len(rows)
    raw = b''.join(b'\0' + bytes(v for px in row for v in px) for row in rows)
    def chunk(kind, data):
        return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    return (b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0))
            + chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def ico_bytes(images):
    """images: list of rows; each stored as a 32-bit BMP entry with an empty AND mask."""
    header = struct.pack('<HHH', 0, 1, len(images))
    entries, blobs = b'', b''
    offset = 6 + 16 * len(images)
    for rows in images:
        size = len(rows)
        bmp = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, 32, 0, 0, 0, 0, 0, 0)
        for row in reversed(rows):
            bmp += b''.join(bytes((b, g, r, a)) for r, g, b, a in row)
        mask_row = ((size + 31) // 32) * 4
        bmp += b'\0' * mask_row * size
        entries += struct.pack('<BBBBHHII', size % 256, size % 256, 0, 0, 1, 32, len(bmp), offset)
        blobs += bmp
        offset += len(bmp)
    return header + entries + blobs


def main():
    states = {
        'Quillon': quill((31, 111, 139)),
        'QuillonStopped': quill((128, 128, 128), 'pause'),
        'QuillonError': quill((200, 40, 40), 'error'),
    }
    for name, shape in states.items():
        with open(os.path.join(OUT, name + '.ico'), 'wb') as f:
            f.write(ico_bytes([render(s, shape) for s in (16, 32, 48)]))
    with open(os.path.join(OUT, 'trash.png'), 'wb') as f:
        f.write(png_bytes(render(16, trash)))


if __name__ == '__main__':
    main()
