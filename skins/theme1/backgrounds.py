"""The main window's backgrounds: one per device (CPU, GPU) and unit (Celsius, Fahrenheit).

The window is 340 x 250 and presented with per-pixel alpha. The library draws the
temperature over the background in white, 50 px, centred in (110, 70)-(230, 130); the
display window behind it is opaque and dark so the number reads on any desktop and its
smoothed edges blend against a known colour. A click in (40, 155)-(300, 210) switches the
unit, so that band holds the unit switch; the close button sits at (295, 25)-(313, 42).
The library outlines (275, 10)-(293, 27) while the pointer is there, so that spot stays plain.
"""
import art

SIZE = (340, 250)
PANEL = (6, 6, 334, 244)
DISPLAY = (80, 58, 260, 142)
CLOSE = (295, 25, 313, 42)
TRACK = (70, 163, 270, 203)
KNOBS = {"C": (73, 166, 170, 200), "F": (170, 166, 267, 200)}

ACCENTS = {"CPU": (52, 200, 255), "GPU": (122, 226, 92)}
TEXT = (236, 240, 245, 255)
MUTED = (140, 150, 166, 255)
FAINT = (96, 106, 122, 255)


def panel():
    shape = art.rounded_rect(SIZE, PANEL, 20, fill=(255, 255, 255, 255))
    body = art.masked(art.vertical_gradient(SIZE, PANEL, (40, 46, 58, 236), (17, 20, 27, 240)),
                      shape)
    sheen = art.masked(art.vertical_gradient(SIZE, (6, 6, 334, 60), (255, 255, 255, 14),
                                             (255, 255, 255, 0)), shape)
    rim = art.rounded_rect(SIZE, PANEL, 20, outline=(255, 255, 255, 46), width=1)
    plate = art.ellipse(SIZE, (CLOSE[0] + 0.5, CLOSE[1], CLOSE[2] - 0.5, CLOSE[3]),
                        fill=(255, 255, 255, 20))
    return art.stack(SIZE, body, sheen, rim, plate)


def cpu_glyph(accent):
    pins = []
    for offset in (29, 34, 39):
        pins += [((offset, 20), (offset, 23)), ((offset, 43), (offset, 46)),
                 ((20, offset), (23, offset)), ((43, offset), (46, offset))]
    ink = accent + (255,)
    return art.stack(SIZE, art.rounded_rect(SIZE, (24, 24, 44, 44), 3, outline=ink, width=1.6),
                     art.rounded_rect(SIZE, (29, 29, 39, 39), 1.5, fill=ink),
                     art.lines(SIZE, pins, ink, 1.4))


def gpu_glyph(accent):
    card = art.rounded_rect(SIZE, (19, 24, 47, 41), 2.5, outline=accent + (255,), width=1.6)
    fan = art.ellipse(SIZE, (24, 27, 35, 38), outline=accent + (255,), width=1.4)
    hub = art.ellipse(SIZE, (28, 31, 31, 34), fill=accent + (255,))
    vents = art.lines(SIZE, [((39, 29), (39, 36)), ((42.5, 29), (42.5, 36))], accent + (255,), 1.3)
    fingers = art.lines(SIZE, [((24, 44), (37, 44))], accent + (255,), 2.0)
    return art.stack(SIZE, card, fan, hub, vents, fingers)


def header(device, accent, fonts):
    glyph = cpu_glyph(accent) if device == "CPU" else gpu_glyph(accent)
    name = art.text(SIZE, (54, 34), device, fonts.get("OpenSans-Bold", 18), TEXT, anchor="lm")
    caption = art.text(SIZE, (98, 35), "TEMPERATURE", fonts.get("OpenSans-Semibold", 10), MUTED,
                       anchor="lm", spacing=1.2)
    return art.stack(SIZE, glyph, name, caption)


def display(unit, accent, fonts):
    shape = art.rounded_rect(SIZE, DISPLAY, 14, fill=(255, 255, 255, 255))
    halo = art.glow(shape, accent, 7, strength=0.55)
    face = art.masked(art.vertical_gradient(SIZE, DISPLAY, (5, 8, 12, 255), (13, 18, 25, 255)),
                      shape)
    gloss = art.masked(art.vertical_gradient(SIZE, (80, 58, 260, 96), (255, 255, 255, 12),
                                             (255, 255, 255, 3)), shape)
    rim = art.rounded_rect(SIZE, DISPLAY, 14, outline=accent + (210,), width=1.5)
    mark = art.text(SIZE, (250, 66), "\u00b0" + unit, fonts.get("OpenSans-Semibold", 14),
                    accent + (255,), anchor="rt")
    return art.stack(SIZE, halo, face, gloss, rim, mark)


def unit_switch(unit, accent, fonts):
    track = art.rounded_rect(SIZE, TRACK, 20, fill=(255, 255, 255, 14))
    track_rim = art.rounded_rect(SIZE, TRACK, 20, outline=(255, 255, 255, 52), width=1)
    knob_box = KNOBS[unit]
    knob_shape = art.rounded_rect(SIZE, knob_box, 17, fill=(255, 255, 255, 255))
    lighter = tuple(min(255, c + 40) for c in accent)
    knob = art.masked(art.vertical_gradient(SIZE, knob_box, lighter + (255,), accent + (255,)),
                      knob_shape)
    font = fonts.get("OpenSans-Bold", 17)
    labels = []
    for name, box in KNOBS.items():
        colour = (12, 22, 32, 255) if name == unit else MUTED
        centre = ((box[0] + box[2]) / 2, (box[1] + box[3]) / 2)
        labels.append(art.text(SIZE, centre, "\u00b0" + name, font, colour, anchor="mm"))
    return art.stack(SIZE, track, track_rim, knob, *labels)


def footer(fonts):
    return art.text(SIZE, (170, 226), "CALORIX", fonts.get("OpenSans-Semibold", 9), FAINT,
                    anchor="mm", spacing=2.5)


def background(device, unit, fonts):
    accent = ACCENTS[device]
    return art.stack(SIZE, panel(), header(device, accent, fonts), display(unit, accent, fonts),
                     unit_switch(unit, accent, fonts), footer(fonts))


# File name -> (device, unit); 5 is Celsius and 6 Fahrenheit, as the program asks for them.
FILES = {
    "img_cpu_bkg5.png": ("CPU", "C"),
    "img_cpu_bkg6.png": ("CPU", "F"),
    "img_gpu_bkg5.png": ("GPU", "C"),
    "img_gpu_bkg6.png": ("GPU", "F"),
}
