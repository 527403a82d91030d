#!/usr/bin/env python3
"""Draws the program's icon from its shape source into a Windows .ico file.

Each image is drawn at its own size with 4x4 samples per pixel and stored in
256 colours with a 1-bit transparency mask, the form every Windows version
shows. Usage: make_icon.py SOURCE OUTPUT.ico
"""

import struct
import sys

SAMPLES = 4  # per pixel side


def parse_colour(text):
    if len(text) != 7 or text[0] != "#":
        raise ValueError("colour must be #RRGGBB: " + text)
    return tuple(int(text[i:i + 2], 16) for i in (1, 3, 5))


def parse_points(words):
    points = []
    for word in words:
        x, y = word.split(",")
        points.append((float(x), float(y)))
    if len(points) < 3:
        raise ValueError("a polygon needs three points")
    return points


def read_source(path):
    sizes = []
    shapes = []
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            # A colour starts with "#", so comments are only whole lines.
            words = line.split() if not line.lstrip().startswith("#") else []
            if not words:
                continue
            try:
                if words[0] == "sizes":
                    sizes = [int(w) for w in words[1:]]
                elif words[0] == "fill":
                    shapes.append(("fill", parse_colour(words[1]), 0, parse_points(words[2:])))
                elif words[0] == "stroke":
                    shapes.append(("stroke", parse_colour(words[1]), float(words[2]),
                                   parse_points(words[3:])))
                else:
                    raise ValueError("unknown shape " + words[0])
            except (ValueError, IndexError) as error:
                sys.exit(f"{path}:{number}: {error}")
    if not sizes:
        sys.exit(f"{path}: no sizes")
    return sizes, shapes


def inside(points, x, y):
    result = False
    count = len(points)
    for i in range(count):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % count]
        if (y1 > y) != (y2 > y):
            if x < x1 + (y - y1) * (x2 - x1) / (y2 - y1):
                result = not result
    return result


def distance_to_edges(points, x, y):
    best = float("inf")
    count = len(points)
    for i in range(count):
        x1, y1 = points[i]
        x2, y2 = points[(i + 1) % count]
        dx, dy = x2 - x1, y2 - y1
        length = dx * dx + dy * dy
        t = 0.0 if length == 0 else max(0.0, min(1.0, ((x - x1) * dx + (y - y1) * dy) / length))
        px, py = x1 + t * dx - x, y1 + t * dy - y
        best = min(best, (px * px + py * py) ** 0.5)
    return best


def draw(size, shapes):
    """RGBA rows of one image; alpha is 0 or 255."""
    scale = size / 48.0
    scaled = [(kind, colour, width, [(x * scale, y * scale) for x, y in points])
              for kind, colour, width, points in shapes]
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            total = [0, 0, 0]
            covered = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    x = px + (sx + 0.5) / SAMPLES
                    y = py + (sy + 0.5) / SAMPLES
                    colour = None
                    for kind, shape_colour, width, points in scaled:
                        if not inside(points, x, y):
                            continue
                        if kind == "stroke" and distance_to_edges(points, x, y) > width:
                            continue
                        colour = shape_colour
                    if colour is not None:
                        covered += 1
                        for k in range(3):
                            total[k] += colour[k]
            if covered * 2 >= SAMPLES * SAMPLES:
                row.append(tuple(round(t / covered) for t in total) + (255,))
            else:
                row.append((0, 0, 0, 0))
        rows.append(row)
    return rows


def make_palette(shapes):
    """256 colours: the source's own, a 6x6x6 cube for the blends, then greys."""
    palette = [(0, 0, 0)]
    for _, colour, _, _ in shapes:
        if colour not in palette:
            palette.append(colour)
    levels = (0, 51, 102, 153, 204, 255)
    for r in levels:
        for g in levels:
            for b in levels:
                if (r, g, b) not in palette:
                    palette.append((r, g, b))
    grey = 8
    while len(palette) < 256:
        if (grey, grey, grey) not in palette:
            palette.append((grey, grey, grey))
        grey += 6
    return palette[:256]


def nearest(palette, colour, cache):
    if colour not in cache:
        cache[colour] = min(range(1, len(palette)), key=lambda i: sum(
            (palette[i][k] - colour[k]) ** 2 for k in range(3)))
    return cache[colour]


def encode_image(rows, palette, cache):
    size = len(rows)
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 8, 0, 0, 0, 0, 256, 0)
    colours = b"".join(struct.pack("BBBB", b, g, r, 0) for r, g, b in palette)
    pixels = bytearray()
    mask = bytearray()
    mask_stride = ((size + 31) // 32) * 4
    for row in reversed(rows):  # bottom-up
        line = bytearray()
        bits = bytearray(mask_stride)
        for x, (r, g, b, a) in enumerate(row):
            if a:
                line.append(nearest(palette, (r, g, b), cache))
            else:
                line.append(0)
                bits[x // 8] |= 0x80 >> (x % 8)
        line.extend(b"\0" * ((-len(line)) % 4))
        pixels += line
        mask += bits
    return header + colours + bytes(pixels) + bytes(mask)


def main():
    if len(sys.argv) != 3:
        sys.exit("usage: make_icon.py SOURCE OUTPUT.ico")
    sizes, shapes = read_source(sys.argv[1])
    palette = make_palette(shapes)
    cache = {}
    images = [(size, encode_image(draw(size, shapes), palette, cache)) for size in sizes]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    entries = b""
    for size, data in images:
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 8, len(data), offset)
        offset += len(data)
    with open(sys.argv[2], "wb") as output:
        output.write(directory + entries + b"".join(data for _, data in images))


if __name__ == "__main__":
    main()
