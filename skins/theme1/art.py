"""Drawing helpers shared by the skin's pictures: anti-aliased shapes, glows and text.

Shapes are drawn on a canvas SCALE times larger and reduced with an area filter, which gives
smooth edges without a vector library. Every helper returns or fills an RGBA layer of the
final size; pictures are built by compositing layers in order.
"""
from PIL import Image, ImageChops, ImageDraw, ImageFilter, ImageFont

SCALE = 4


def layer(size):
    return Image.new("RGBA", size, (0, 0, 0, 0))


def supersampled(size, paint):
    """Calls paint(draw, s) on a SCALE-times canvas, s scaling coordinates; returns the layer."""
    big = layer((size[0] * SCALE, size[1] * SCALE))
    paint(ImageDraw.Draw(big), lambda v: round(v * SCALE))
    return big.resize(size, Image.BOX)


def rounded_rect(size, box, radius, fill=None, outline=None, width=1.0):
    """A rounded rectangle; box is (left, top, right, bottom) in pixel edges, not centres."""

    def paint(draw, s):
        rect = [s(box[0]), s(box[1]), s(box[2]) - 1, s(box[3]) - 1]
        draw.rounded_rectangle(rect, s(radius), fill=fill, outline=outline,
                               width=max(1, s(width)) if outline else 0)

    return supersampled(size, paint)


def ellipse(size, box, fill=None, outline=None, width=1.0):
    def paint(draw, s):
        rect = [s(box[0]), s(box[1]), s(box[2]) - 1, s(box[3]) - 1]
        draw.ellipse(rect, fill=fill, outline=outline, width=max(1, s(width)) if outline else 0)

    return supersampled(size, paint)


def polygon(size, points, fill):
    def paint(draw, s):
        draw.polygon([(s(x), s(y)) for x, y in points], fill=fill)

    return supersampled(size, paint)


def lines(size, segments, fill, width):
    """Straight strokes with round ends; segments are ((x0, y0), (x1, y1)) pairs."""

    def paint(draw, s):
        r = s(width) / 2
        for (x0, y0), (x1, y1) in segments:
            draw.line([(s(x0), s(y0)), (s(x1), s(y1))], fill=fill, width=s(width))
            for x, y in ((x0, y0), (x1, y1)):
                draw.ellipse([s(x) - r, s(y) - r, s(x) + r, s(y) + r], fill=fill)

    return supersampled(size, paint)


def vertical_gradient(size, box, top, bottom):
    """An RGBA gradient filling box (straight edges; mask it for other shapes)."""
    out = layer(size)
    height = box[3] - box[1]
    for row in range(height):
        t = row / max(1, height - 1)
        colour = tuple(round(a + (b - a) * t) for a, b in zip(top, bottom))
        ImageDraw.Draw(out).line([(box[0], box[1] + row), (box[2] - 1, box[1] + row)], fill=colour)
    return out


def masked(picture, shape):
    """picture limited to shape's coverage (shape's alpha multiplies picture's alpha)."""
    out = picture.copy()
    out.putalpha(ImageChops.multiply(picture.getchannel("A"), shape.getchannel("A")))
    return out


def glow(shape, colour, radius, strength=1.0):
    """A soft halo of colour around shape's coverage."""
    alpha = shape.getchannel("A").filter(ImageFilter.GaussianBlur(radius))
    if strength != 1.0:
        alpha = alpha.point(lambda v: min(255, round(v * strength)))
    out = Image.new("RGBA", shape.size, colour[:3] + (0,))
    out.putalpha(alpha)
    return out


def stack(size, *layers):
    out = layer(size)
    for item in layers:
        out = Image.alpha_composite(out, item)
    return out


class Fonts:
    """The TrueType faces the art uses, from one font folder."""

    def __init__(self, folder):
        self.folder = folder

    def get(self, face, px):
        return ImageFont.truetype(f"{self.folder}/{face}.ttf", px)


def text(size, origin, words, font, fill, anchor="la", spacing=0.0):
    """Text drawn at pixel size (hinted by FreeType); spacing adds letter spacing in pixels."""
    out = layer(size)
    draw = ImageDraw.Draw(out)
    if not spacing:
        draw.text(origin, words, font=font, fill=fill, anchor=anchor)
        return out
    total = sum(font.getlength(c) for c in words) + spacing * (len(words) - 1)
    x = origin[0] - {"l": 0, "m": total / 2, "r": total}[anchor[0]]
    for c in words:
        draw.text((x, origin[1]), c, font=font, fill=fill, anchor="l" + anchor[1])
        x += font.getlength(c) + spacing
    return out
