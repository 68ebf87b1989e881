"""The program's icon: a thermometer with cool liquid on a dark rounded tile.

Each size is drawn on its own from a 16-unit grid, so the 16-pixel picture keeps whole-pixel
edges instead of being a blurred reduction of the large one. The icon file holds 32-bit
pictures with an AND mask for 16 to 48 pixels, which every Windows version reads, and a
PNG for 256 pixels, which Windows reads from Vista on.
"""
import io
import struct

import art

SIZES = (16, 24, 32, 48, 256)
LIQUID = (60, 206, 255, 255)
GLASS = (238, 242, 247, 255)


def picture(size):
    u = size / 16
    box = (0, 0, size, size)
    tile_shape = art.rounded_rect((size, size), box, 3.5 * u, fill=(255, 255, 255, 255))
    tile = art.masked(art.vertical_gradient((size, size), box, (44, 56, 78, 255),
                                            (16, 20, 30, 255)), tile_shape)
    layers = [tile, art.rounded_rect((size, size), box, 3.5 * u, outline=(120, 210, 255, 90),
                                     width=max(1.0, 0.5 * u))]

    def scaled(x0, y0, x1, y1):
        return (x0 * u, y0 * u, x1 * u, y1 * u)

    layers += [
        art.rounded_rect((size, size), scaled(6, 2, 10, 11), 2 * u, fill=GLASS),
        art.ellipse((size, size), scaled(4.75, 8.25, 11.25, 14.75), fill=GLASS),
        art.rounded_rect((size, size), scaled(7.1, 5.5, 8.9, 11), 0.9 * u, fill=LIQUID),
        art.ellipse((size, size), scaled(5.9, 9.4, 10.1, 13.6), fill=LIQUID),
    ]
    if size >= 32:
        ticks = [((10.9 * u, y * u), (12.3 * u, y * u)) for y in (3.5, 5.5, 7.5)]
        layers.append(art.lines((size, size), ticks, (238, 242, 247, 200), 0.55 * u))
    return art.stack((size, size), *layers)


def dib_entry(image):
    """A 32-bit icon picture: info header (twice the height), BGRA rows bottom-up, AND mask."""
    width, height = image.size
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, 32, 0, 0, 0, 0, 0, 0)
    pixels = image.tobytes("raw", "BGRA")
    stride = width * 4
    rows = b"".join(pixels[y * stride:(y + 1) * stride] for y in reversed(range(height)))
    mask_stride = (width + 31) // 32 * 4
    mask = bytearray()
    alpha = image.getchannel("A")
    for y in reversed(range(height)):
        row = bytearray(mask_stride)
        for x in range(width):
            if alpha.getpixel((x, y)) == 0:
                row[x // 8] |= 0x80 >> (x % 8)
        mask += row
    return header + rows + bytes(mask)


def png_entry(image):
    out = io.BytesIO()
    image.save(out, "PNG")
    return out.getvalue()


def icon_file():
    """The bytes of the .ico file with every size."""
    images = [picture(size) for size in SIZES]
    bodies = [png_entry(i) if i.width >= 256 else dib_entry(i) for i in images]
    directory = struct.pack("<HHH", 0, 1, len(images))
    offset = len(directory) + 16 * len(images)
    for image, body in zip(images, bodies):
        side = image.width % 256  # 0 stands for 256
        directory += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(body), offset)
        offset += len(body)
    return directory + b"".join(bodies)
