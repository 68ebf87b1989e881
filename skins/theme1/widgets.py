"""The small pictures: the close button, the message box's button strip, the bubble tip.

The button strip is stretched as a nine-grid with corners of 8 when a button differs from
100 x 30, so everything between the corners varies only from top to bottom. The bubble's
background is stretched the same way with corners of 6.
"""
import art

CLOSE_SIZE = (18, 17)
BUTTON_FRAME = (100, 30)
BUTTON_CORNER = 8
TIP_SIZE = (24, 24)
TIP_FILL = (30, 35, 44, 238)
TIP_RIM = (255, 255, 255, 64)

# Normal, hover, pressed, disabled: (top colour, bottom colour, rim colour). The first three
# carry a white caption, so their fills stay dark enough for a contrast of 4.5 : 1; the
# disabled one carries a grey caption and looks inactive.
BUTTON_STATES = (
    ((16, 118, 184), (6, 88, 142), (80, 170, 235, 150)),
    ((26, 138, 204), (10, 108, 168), (140, 210, 255, 190)),
    ((4, 68, 112), (8, 82, 132), (30, 104, 160, 170)),
    ((66, 72, 82), (54, 59, 68), (110, 116, 126, 120)),
)


def close_button():
    size = CLOSE_SIZE
    ring = art.ellipse(size, (0.5, 0, 17.5, 17), outline=(255, 255, 255, 96), width=1)
    cross = art.lines(size, [((5.8, 5.3), (12.2, 11.7)), ((12.2, 5.3), (5.8, 11.7))],
                      (236, 240, 245, 255), 1.6)
    return art.stack(size, ring, cross)


def button_frame(top, bottom, rim):
    size = BUTTON_FRAME
    box = (0, 0) + size
    radius = BUTTON_CORNER - 1  # the rounding stays inside the unstretched corners
    shape = art.rounded_rect(size, box, radius, fill=(255, 255, 255, 255))
    body = art.masked(art.vertical_gradient(size, box, top + (255,), bottom + (255,)), shape)
    edge = art.rounded_rect(size, box, radius, outline=rim, width=1)
    return art.stack(size, body, edge)


def button_strip():
    frames = [button_frame(*state) for state in BUTTON_STATES]
    strip = art.layer((BUTTON_FRAME[0] * len(frames), BUTTON_FRAME[1]))
    for index, frame in enumerate(frames):
        strip.paste(frame, (index * BUTTON_FRAME[0], 0))
    return strip


def tip_background():
    box = (0, 0) + TIP_SIZE
    return art.stack(TIP_SIZE, art.rounded_rect(TIP_SIZE, box, 5, fill=TIP_FILL),
                     art.rounded_rect(TIP_SIZE, box, 5, outline=TIP_RIM, width=1))


def tip_arrow(direction):
    """A small wedge in the bubble's colours pointing left, right or up."""
    wide, deep = 12, 7
    points = {
        "left": [(0, wide / 2), (deep, 0), (deep, wide)],
        "right": [(deep, wide / 2), (0, 0), (0, wide)],
        "top": [(wide / 2, 0), (0, deep), (wide, deep)],
    }[direction]
    size = (wide, deep) if direction == "top" else (deep, wide)
    return art.polygon(size, points, TIP_FILL)


FILES = {
    "img_btn_close.png": close_button,
    "img_button.png": button_strip,
    "img_tip_bk.png": tip_background,
    "img_tip_arrow_left.png": lambda: tip_arrow("left"),
    "img_tip_arrow_right.png": lambda: tip_arrow("right"),
    "img_tip_arrow_top.png": lambda: tip_arrow("top"),
}
