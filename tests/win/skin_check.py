#!/usr/bin/env python3
"""Checks the skin folder the build drew: sizes, frames, transparency where the program
relies on it, and the icon's sizes as ImageMagick reads them.

Usage: skin_check.py SKIN_FOLDER
"""
import subprocess
import sys

from PIL import Image

SIZES = {
    "img_cpu_bkg5.png": (340, 250), "img_cpu_bkg6.png": (340, 250),
    "img_gpu_bkg5.png": (340, 250), "img_gpu_bkg6.png": (340, 250),
    "img_btn_close.png": (18, 17), "img_button.png": (400, 30), "img_tip_bk.png": (24, 24),
    "img_tip_arrow_left.png": (7, 12), "img_tip_arrow_right.png": (7, 12),
    "img_tip_arrow_top.png": (12, 7),
}
UNIT_BOX = (40, 155, 300, 210)  # a click here switches the unit
CLOSE_BOX = (295, 25, 313, 42)
HEADER_BOX = (15, 15, 200, 50)
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def area(image, box):
    return list(image.crop(box).getdata())


def luminance(rgb):
    linear = [c / 255 / 12.92 if c <= 10 else ((c / 255 + 0.055) / 1.055) ** 2.4 for c in rgb]
    return 0.2126 * linear[0] + 0.7152 * linear[1] + 0.0722 * linear[2]


def check_backgrounds(images):
    for name in (n for n in images if "bkg" in n):
        image = images[name]
        corners = [image.getpixel(p) for p in ((0, 0), (339, 0), (0, 249), (339, 249))]
        check(all(p[3] == 0 for p in corners), f"{name}: corners not see-through")
        check(150 <= image.getpixel((20, 120))[3] < 255, f"{name}: panel not semi-transparent")
        # A layered window passes clicks on fully transparent pixels to what lies below.
        for box in (UNIT_BOX, CLOSE_BOX):
            check(min(p[3] for p in area(image, box)) > 0, f"{name}: holes in {box}")
    for device in ("cpu", "gpu"):
        celsius, fahrenheit = (images[f"img_{device}_bkg{u}.png"] for u in (5, 6))
        check(area(celsius, UNIT_BOX) != area(fahrenheit, UNIT_BOX), f"{device}: same units")
    cpu, gpu = images["img_cpu_bkg5.png"], images["img_gpu_bkg5.png"]
    check(area(cpu, HEADER_BOX) != area(gpu, HEADER_BOX), "CPU and GPU headers look the same")


def check_button(strip):
    frames = [strip.crop((i * 100, 0, i * 100 + 100, 30)) for i in range(4)]
    check(len({f.tobytes() for f in frames}) == 4, "img_button.png: frames not all different")
    for i, frame in enumerate(frames):
        # Wider buttons stretch what lies between the 8-pixel corners.
        middle = {frame.crop((x, 0, x + 1, 30)).tobytes() for x in range(8, 92)}
        check(len(middle) == 1, f"img_button.png frame {i}: varies across its middle")
        check(frame.getpixel((0, 0))[3] < 128, f"img_button.png frame {i}: square corner")
        centre = frame.getpixel((50, 15))
        # White captions on the first three frames need a contrast of 4.5 : 1.
        check(centre[3] == 255 and (i == 3 or luminance(centre[:3]) <= 0.183),
              f"img_button.png frame {i}: {centre} too light or not opaque")


def check_icon(folder):
    listed = subprocess.run(["identify", "-format", "%w %h %A,", f"{folder}/Calorix.ico"],
                            capture_output=True, text=True, check=True).stdout
    check(sorted(listed.lower().replace("blend", "true").split(",")[:-1]) ==
          sorted(f"{s} {s} true" for s in (16, 24, 32, 48, 256)), f"Calorix.ico: {listed}")


def main():
    folder = sys.argv[1]
    images = {name: Image.open(f"{folder}/{name}") for name in SIZES}
    for name, image in images.items():
        check(image.mode == "RGBA" and image.size == SIZES[name],
              f"{name}: {image.mode} {image.size}")
    check_backgrounds(images)
    check_button(images["img_button.png"])
    check_icon(folder)
    for failure in failures:
        print("FAIL:", failure)
    print(f"{len(failures)} problems in {folder}")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
