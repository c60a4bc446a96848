#!/usr/bin/env python3
"""Draws the installer's built-in header icon (32x32, 16x16 and, for screens
at 150 %, 48x48; 32 bits per pixel) and writes it as an .ico file: a blue rounded box with a white arrow
pointing down into a tray. Run once; the result is committed."""
import struct, sys

def draw(n):
    px = []
    for y in range(n):
        row = []
        for x in range(n):
            # Rounded box with a one-pixel margin.
            r = n * 0.22
            cx = min(max(x + 0.5, r + 1), n - 1 - r)
            cy = min(max(y + 0.5, r + 1), n - 1 - r)
            inside = (x + 0.5 - cx) ** 2 + (y + 0.5 - cy) ** 2 <= r * r
            if not inside:
                row.append((0, 0, 0, 0)); continue
            t = y / (n - 1)
            blue = (int(200 - 60 * t), int(110 - 40 * t), int(30 + 10 * t), 255)  # BGRA
            u = x / n; v = y / n
            shaft = 0.43 <= u < 0.57 and 0.18 <= v < 0.52
            head = v >= 0.45 and v < 0.68 and abs(u - 0.5) <= (0.68 - v) * 1.0
            tray = (0.74 <= v < 0.82 and 0.22 <= u < 0.78) or (0.62 <= v < 0.82 and (0.22 <= u < 0.30 or 0.70 <= u < 0.78))
            row.append((255, 255, 255, 255) if (shaft or head or tray) else blue)
        px.append(row)
    return px

def image(n):
    px = draw(n)
    header = struct.pack('<IiiHHIIiiII', 40, n, 2 * n, 1, 32, 0, 0, 0, 0, 0, 0)
    xor = b''.join(bytes(c) for row in reversed(px) for c in row)
    mask_row = ((n + 31) // 32) * 4
    mask = b''
    for row in reversed(px):
        bits = 0; out = bytearray(mask_row)
        for x, c in enumerate(row):
            if c[3] == 0:
                out[x // 8] |= 0x80 >> (x % 8)
        mask += bytes(out)
    return header + xor + mask

sizes = (32, 16, 48)
images = [image(n) for n in sizes]
data = struct.pack('<HHH', 0, 1, len(images))
offset = 6 + 16 * len(images)
for n, img in zip(sizes, images):
    data += struct.pack('<BBBBHHII', n, n, 0, 0, 1, 32, len(img), offset)
    offset += len(img)
data += b''.join(images)
open(sys.argv[1], 'wb').write(data)
