#!/usr/bin/env python3
"""Checks the skin folder the build drew: sizes, frames, transparency where the program
relies on it, contrast behind the temperature, and the icon's sizes as ImageMagick reads them.

Usage: skin_check.py SKIN_FOLDER
"""
import subprocess
import sys

from PIL import Image

NUMBER_BOX = (110, 70, 230, 130)  # where the library centres the temperature
UNIT_BOX = (40, 155, 300, 210)    # a click here switches the unit
CLOSE_BOX = (295, 25, 313, 42)
NUMBER_WHITE = (0xFB, 0xFB, 0xFB)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def load(folder, name):
    return Image.open(f"{folder}/{name}").convert("RGBA")


def pixels(image, box):
    return [image.getpixel((x, y)) for y in range(box[1], box[3]) for x in range(box[0], box[2])]


def luminance(rgb):
    def linear(c):
        c /= 255
        return c / 12.92 if c <= 0.03928 else ((c + 0.055) / 1.055) ** 2.4

    r, g, b = (linear(c) for c in rgb[:3])
    return 0.2126 * r + 0.7152 * g + 0.0722 * b


def contrast(a, b):
    high, low = sorted((luminance(a), luminance(b)), reverse=True)
    return (high + 0.05) / (low + 0.05)


def check_backgrounds(folder):
    pictures = {}
    for device in ("cpu", "gpu"):
        for unit in (5, 6):
            name = f"img_{device}_bkg{unit}.png"
            image = pictures[name] = load(folder, name)
            check(image.size == (340, 250), f"{name}: size {image.size}")
            corners = [image.getpixel(p) for p in ((0, 0), (339, 0), (0, 249), (339, 249))]
            check(all(p[3] == 0 for p in corners), f"{name}: corners not see-through")
            body = image.getpixel((20, 120))[3]
            check(150 <= body < 255, f"{name}: panel alpha {body} is not semi-transparent")
            # A layered window passes clicks on fully transparent pixels to what lies below.
            for box, what in ((UNIT_BOX, "unit area"), (CLOSE_BOX, "close area")):
                check(min(p[3] for p in pixels(image, box)) > 0, f"{name}: {what} has holes")
            behind = pixels(image, NUMBER_BOX)
            check(all(p[3] == 255 for p in behind), f"{name}: display window not opaque")
            worst = min(contrast(NUMBER_WHITE, p) for p in behind)
            check(worst >= 12, f"{name}: number contrast only {worst:.1f}")
    for device in ("cpu", "gpu"):
        c, f = pictures[f"img_{device}_bkg5.png"], pictures[f"img_{device}_bkg6.png"]
        check(pixels(c, UNIT_BOX) != pixels(f, UNIT_BOX), f"{device}: units look the same")
    header = (15, 15, 200, 50)
    check(pixels(pictures["img_cpu_bkg5.png"], header) != pixels(pictures["img_gpu_bkg5.png"],
                                                                 header),
          "CPU and GPU headers look the same")


def check_button(folder):
    strip = load(folder, "img_button.png")
    check(strip.size == (400, 30), f"img_button.png: size {strip.size}")
    frames = [strip.crop((i * 100, 0, i * 100 + 100, 30)) for i in range(4)]
    check(len({f.tobytes() for f in frames}) == 4, "img_button.png: frames not all different")
    for i, frame in enumerate(frames):
        # Wider buttons stretch what lies between the 8-pixel corners.
        middle = [frame.crop((x, 0, x + 1, 30)).tobytes() for x in range(8, 92)]
        check(len(set(middle)) == 1, f"img_button.png frame {i}: varies across its middle")
        check(frame.getpixel((0, 0))[3] < 128, f"img_button.png frame {i}: square corner")
        centre = frame.getpixel((50, 15))
        check(centre[3] == 255, f"img_button.png frame {i}: centre not opaque")
        if i < 3:
            check(contrast((255, 255, 255), centre) >= 4.5, f"frame {i}: white caption faint")


def check_small_pictures(folder):
    close = load(folder, "img_btn_close.png")
    check(close.size == (18, 17), f"img_btn_close.png: size {close.size}")
    check(close.getpixel((9, 8))[3] > 200 and close.getpixel((0, 0))[3] == 0,
          "img_btn_close.png: no cross on a clear ground")
    tip = load(folder, "img_tip_bk.png")
    check(tip.width > 12 and tip.height > 12, f"img_tip_bk.png: {tip.size} has no middle")
    middle = pixels(tip, (6, 6, tip.width - 6, tip.height - 6))
    check(len(set(middle)) == 1, "img_tip_bk.png: middle is not one colour")
    for name, size in (("left", (7, 12)), ("right", (7, 12)), ("top", (12, 7))):
        arrow = load(folder, f"img_tip_arrow_{name}.png")
        check(arrow.size == size, f"img_tip_arrow_{name}.png: size {arrow.size}")
        alphas = [p[3] for p in pixels(arrow, (0, 0) + arrow.size)]
        check(0 in alphas and max(alphas) > 200, f"img_tip_arrow_{name}.png: no wedge")


def check_icon(folder):
    listed = subprocess.run(["identify", "-format", "%w %h %A %z\n", f"{folder}/Calorix.ico"],
                            capture_output=True, text=True, check=True).stdout.split("\n")
    entries = sorted(tuple(line.split()) for line in listed if line)
    sizes = sorted(int(e[0]) for e in entries)
    check(sizes == [16, 24, 32, 48, 256], f"Calorix.ico: sizes {sizes}")
    check(all(e[0] == e[1] and e[2].lower() in ("blend", "true") for e in entries),
          f"Calorix.ico: entries {entries}")


def main():
    folder = sys.argv[1]
    check_backgrounds(folder)
    check_button(folder)
    check_small_pictures(folder)
    check_icon(folder)
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(failures)} problems in {folder}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
