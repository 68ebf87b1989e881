#!/usr/bin/env python3
"""Draws the tray program's skin (theme1) into one folder: the main window's backgrounds,
the close button, the message box's button strip, the bubble tip pictures and Calorix.ico.

Usage: make_skin.py OUT_FOLDER FONT_FOLDER
FONT_FOLDER holds the Open Sans faces (Debian's fonts-open-sans).
"""
import os
import sys

import art
import backgrounds
import icon
import widgets


def main():
    out, font_folder = sys.argv[1:3]
    os.makedirs(out, exist_ok=True)
    fonts = art.Fonts(font_folder)
    for name, (device, unit) in backgrounds.FILES.items():
        backgrounds.background(device, unit, fonts).save(os.path.join(out, name))
    for name, draw in widgets.FILES.items():
        draw().save(os.path.join(out, name))
    with open(os.path.join(out, "Calorix.ico"), "wb") as ico:
        ico.write(icon.icon_file())


if __name__ == "__main__":
    main()
