#!/usr/bin/env python3
"""Checks on raw 8-bit RGB screenshots of the client area (WIDTH x HEIGHT).

  pixels.py noise SHOT WIDTH HEIGHT
      the 1-px border is pale noise: every channel 208..254
  pixels.py shimmer FIRST SECOND WIDTH HEIGHT
      the 1-px border is pale noise (every channel 208..254) in both shots and
      changed between them, while everything inside it stayed the same
  pixels.py picture SHOT REFERENCE WIDTH HEIGHT
      inside the border the shot shows REFERENCE (raw RGB of the same size),
      allowing for a different JPEG decoder's rounding
  pixels.py picture SHOT - WIDTH HEIGHT
      inside the border the shot shows some picture: many colours, not white
  pixels.py dots BEFORE AFTER WIDTH HEIGHT
      inside the border, every pixel that changed between the shots turned
      white, and at least one did
  pixels.py white SHOT WIDTH HEIGHT
      inside the border every pixel is white

Prints nothing and exits 0 when the check holds; otherwise prints why, exits 1.
"""
import sys

NOISE_LOW, NOISE_HIGH = 208, 254


def load(path, width, height):
    with open(path, "rb") as file:
        data = file.read()
    if len(data) != width * height * 3:
        sys.exit("%s holds %d bytes, not a %dx%d RGB image" % (path, len(data), width, height))
    return [data[row * width * 3:(row + 1) * width * 3] for row in range(height)]


def pixel(rows, x, y):
    return tuple(rows[y][x * 3:x * 3 + 3])


def border(width, height):
    for x in range(width):
        yield x, 0
        yield x, height - 1
    for y in range(1, height - 1):
        yield 0, y
        yield width - 1, y


def interior(rows, width):
    return [row[3:(width - 1) * 3] for row in rows[1:-1]]


def noise(rows, width, height, name="the"):
    for x, y in border(width, height):
        value = pixel(rows, x, y)
        if not all(NOISE_LOW <= channel <= NOISE_HIGH for channel in value):
            return "border pixel (%d,%d) of %s shot is %s, outside %d..%d" % (
                x, y, name, value, NOISE_LOW, NOISE_HIGH)
    return None


def shimmer(first, second, width, height):
    problem = noise(first, width, height, "the first") or noise(second, width, height, "the second")
    if problem:
        return problem
    changed = sum(pixel(first, x, y) != pixel(second, x, y) for x, y in border(width, height))
    if changed < width:
        return "only %d border pixels changed between the shots" % changed
    for y, (a, b) in enumerate(zip(interior(first, width), interior(second, width)), start=1):
        if a != b:
            x = next(i for i in range(len(a)) if a[i] != b[i]) // 3 + 1
            return "the inside changed between the shots, first at (%d,%d)" % (x, y)
    return None


def picture(shot, reference, width, height):
    inside = b"".join(interior(shot, width))
    if reference is None:
        colours = {inside[i:i + 3] for i in range(0, len(inside), 3)}
        if len(colours) < 100:
            return "the inside shows only %d colours, not a picture" % len(colours)
        return None
    expected = b"".join(interior(reference, width))
    differences = sorted(abs(a - b) for a, b in zip(inside, expected))
    mean = sum(differences) / len(differences)
    near_worst = differences[int(len(differences) * 0.999)]
    if mean > 3 or near_worst > 40:
        return "the inside differs from the picture: mean %.1f, 99.9th percentile %d" % (mean, near_worst)
    return None


WHITE = (255, 255, 255)


def dots(before, after, width, height):
    turned = 0
    for y in range(1, height - 1):
        for x in range(1, width - 1):
            if pixel(before, x, y) != pixel(after, x, y):
                if pixel(after, x, y) != WHITE:
                    return "(%d,%d) changed to %s, not to white" % (x, y, pixel(after, x, y))
                turned += 1
    return None if turned else "no pixel inside the border turned white"


def white(shot, width, height):
    for y in range(1, height - 1):
        for x in range(1, width - 1):
            if pixel(shot, x, y) != WHITE:
                return "(%d,%d) is %s, not white" % (x, y, pixel(shot, x, y))
    return None


def main():
    command, arguments = sys.argv[1] if len(sys.argv) > 1 else "", sys.argv[2:]
    if (command, len(arguments)) not in (("noise", 3), ("shimmer", 4), ("picture", 4), ("dots", 4), ("white", 3)):
        sys.exit(__doc__)
    width, height = int(arguments[-2]), int(arguments[-1])
    shot = load(arguments[0], width, height)
    if command == "noise":
        problem = noise(shot, width, height)
    elif command == "shimmer":
        problem = shimmer(shot, load(arguments[1], width, height), width, height)
    elif command == "dots":
        problem = dots(shot, load(arguments[1], width, height), width, height)
    elif command == "white":
        problem = white(shot, width, height) or noise(shot, width, height)
    else:
        reference = None if arguments[1] == "-" else load(arguments[1], width, height)
        problem = picture(shot, reference, width, height)
    if problem:
        print(problem)
        sys.exit(1)


main()
