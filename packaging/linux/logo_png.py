#!/usr/bin/env python3
"""Writes the program's logo (the drawing of resources/ico/Brellix_logo_002.ico) as a PNG file of
the given size, for the desktop's icon theme.

    python3 packaging/linux/logo_png.py OUT.png [SIZE]     # SIZE defaults to 128
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'resources'))
import make_icons  # noqa: E402


def main():
    out = sys.argv[1]
    size = int(sys.argv[2]) if len(sys.argv) > 2 else 128
    with open(out, 'wb') as f:
        f.write(make_icons.png(make_icons.render(make_icons.logo_colour, size), size))


if __name__ == '__main__':
    main()
