#!/usr/bin/env python3
"""Shows how the generated skin looks in use: each background with the temperature drawn
over it as the library draws it (white, 50 px, centred in (W/2 - 60, 70, 120 x 60)), the
close button in place, on a light and a dark desktop; below them the button strip,
the bubble tip pictures and the icon sizes.

Usage: preview.py SKIN_FOLDER NUMBER_FONT.ttf OUT.png
"""
import sys

from PIL import Image, ImageDraw, ImageFont

import backgrounds

DESKTOPS = ((214, 222, 230, 255), (36, 52, 84, 255))


def window(folder, name, font):
    number = "116" if backgrounds.FILES[name][1] == "F" else "47"
    picture = Image.open(f"{folder}/{name}").convert("RGBA")
    close = Image.open(f"{folder}/img_btn_close.png").convert("RGBA")
    picture.alpha_composite(close, backgrounds.CLOSE[:2])
    ImageDraw.Draw(picture).text((170, 100), number, font=font, fill=(0xFB, 0xFB, 0xFB, 255),
                                 anchor="mm")
    return picture


def sheet(folder, font):
    names = list(backgrounds.FILES)
    out = Image.new("RGBA", (4 * 350 + 10, 2 * 260 + 150), (128, 128, 128, 255))
    for row, desktop in enumerate(DESKTOPS):
        for column, name in enumerate(names):
            tile = Image.new("RGBA", (340, 250), desktop)
            tile.alpha_composite(window(folder, name, font))
            out.paste(tile, (10 + column * 350, 10 + row * 260))
    button = Image.open(f"{folder}/img_button.png").convert("RGBA")
    strip = Image.new("RGBA", button.size, (5, 5, 5, 255))
    strip.alpha_composite(button)
    caption = ImageFont.truetype(font.path, 14)
    for state, colour in enumerate(((255, 255, 255),) * 3 + ((128, 128, 128),)):
        nudge = 1 if state == 2 else 0  # the pressed caption sits one pixel lower and right
        ImageDraw.Draw(strip).text((50 + 100 * state + nudge, 15 + nudge), "YES", font=caption,
                                   fill=colour, anchor="mm")
    out.paste(strip, (10, 540))
    for x, name in enumerate(("tip_bk", "tip_arrow_left", "tip_arrow_right", "tip_arrow_top")):
        out.alpha_composite(Image.open(f"{folder}/img_{name}.png").convert("RGBA"),
                            (430 + 30 * x, 540))
    icon = Image.open(f"{folder}/Calorix.ico")
    x = 10
    for size in (16, 24, 32, 48, 256):
        icon.size = (size, size)
        frame = icon.copy().convert("RGBA")
        if size == 256:
            frame = frame.resize((96, 96), Image.LANCZOS)
        out.alpha_composite(frame, (600 + x, 540))
        x += frame.width + 10
    return out


def main():
    folder, font_path, out_path = sys.argv[1:4]
    sheet(folder, ImageFont.truetype(font_path, 50)).save(out_path)


if __name__ == "__main__":
    main()
