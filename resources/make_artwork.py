#!/usr/bin/python3
"""Draws the editor's pictures at every display scale and writes them beside this script.

  editor-background.png  300 x 225, opaque: tan tweed cabinet with the "Zintrax" logo, a
                         dark control plate carrying the scales and names of the knobs
                         "Distance" and "Feeding", and the recessed grille-cloth X/Y pad
                         with the cabinet names at its corners. Its bottom-left pixel is
                         exactly (190, 166, 116).
  editor-dot.png         14 x 14, colour-keyed (exact black is transparent): an ivory bead
                         with a dark rim, the pad's puck and the pointer of both knobs.
  editor-knob.png        71 x 68, colour-keyed: the knob face, its edge blended against the
                         plate colour so the hard-edged face sits smoothly on the plate.

  zintrax.png            128 x 128 with alpha, drawn at scale 1.5 only: the desktop entry's
                         icon, a knob face with its pointer bead on a rounded patch of the
                         control plate.

  editor-readout.png     the read-out's font: a strip of 96 cells, first a swatch (filled with
                         the read-out's face colour, its top row the rim colour), then the
                         printable ASCII characters in DejaVu Sans Mono, blended against the
                         face colour, the rest exact black (transparent).

The window is 298 x 223 and shows background pixel (x + 1, y + 1) at (x, y), so drawing
happens in window coordinates, shifted by one pixel. Every picture is procedural with
fixed seeds: each run writes the same files.

Each picture is drawn once per display scale S in 1, 1.5, 2, 2.5 and 3 by the same code, at
S screen pixels per unit of the window; the pictures for S other than 1 are named
editor-NAME@Sx.png. A coordinate c of the window lies at screen pixel floor(c * S + 0.5),
as the editor places its controls; the background is centred on the scaled window as the
editor centres it.

Needs: Python 3 with pycairo (Debian python3-cairo), run as /usr/bin/python3; the fonts
DejaVu Sans (fonts-dejavu-core) and Lobster Two (fonts-lobster) for the logo.

Usage: make_artwork.py [OUTPUT_DIR [SCALE...]]   (default: the directory of this script, and
every scale)

Then pack the stored image data with zintrax-dib, in the same directory:
  zintrax-dib pack editor-background.png editor-background.dat --compressor none
  zintrax-dib pack editor-dot.png editor-dot.dat --compressor none
  zintrax-dib pack editor-knob.png editor-knob.dat --compressor rle
and every other picture with the compressor that stores it smallest (resources/pack_artwork.sh
does all of it).
"""
import math
import os
import random
import subprocess
import sys

import cairo

BACK_W, BACK_H = 300, 225
DOT_SIZE = 14
FACE_W, FACE_H = 71, 68
FACE_CX, FACE_CY = 35.0, 34.0  # the face centre; the pointer circles around it
POINTER_RADIUS = 24
FACE_RADIUS = 33.4

TWEED = (190, 166, 116)  # the background's recorded colour, its bottom-left pixel
PLATE = (44, 38, 34)  # flat under both knobs: the knob face is blended against it
CREAM = (238, 226, 196)
INK = (58, 38, 22)  # dark brown lettering on tweed
GRILLE = (33, 27, 23)

# Window rectangles (left, top, right, bottom), inclusive.
PLATE_BOX = (4, 58, 147, 218)
PAD_BOX = (152, 77, 293, 218)
PUCK_ORIGIN, PUCK_TRAVEL = (146, 71), 136  # the puck's top-left is origin + travel * (X, Y)
KNOBS = {"Distance": (14, 83), "Feeding": (63, 145)}  # top-left of each knob box

SWEEP_START, SWEEP_END = 220.0, 140.0 + 360.0  # pointer angles, clockwise from 12 o'clock
SCALE_MARKS = 11
MARK_INNER = 35.5

SANS = "DejaVu Sans"
LOGO = "Lobster Two"
MONO = "DejaVu Sans Mono"

SCALES = (1, 1.5, 2, 2.5, 3)
S = 1  # the scale being drawn: screen pixels per unit of the window
READOUT_FACE = (30, 26, 23)  # the read-out's face, a shade of the plate
READOUT_RIM = (150, 136, 112)
READOUT_CELL = (6, 12)  # a character cell of the read-out's font, in window units
READOUT_CHARS = "".join(chr(c) for c in range(32, 127))


def scaled(v):
    """A window coordinate on the screen, as the editor places it."""
    return math.floor(v * S + 0.5)


def snap(v):
    """A window coordinate moved to the nearest screen pixel."""
    return round(v * S) / S


def suffix():
    return "" if S == 1 else f"@{S:g}x"


def face_size():
    return scaled(FACE_W), scaled(FACE_H)


def knob_centre(name):
    """Where the editor puts the knob's centre (and the pointer's circle), in window units."""
    left, top = KNOBS[name]
    width, height = scaled(left + FACE_W) - scaled(left), scaled(top + FACE_H) - scaled(top)
    return (scaled(left) + width // 2) / S, (scaled(top) + height // 2) / S


def clamp(v):
    return 0 if v < 0 else 255 if v > 255 else int(v + 0.5)


def mix(a, b, t):
    return tuple(x + (y - x) * t for x, y in zip(a, b))


def store(surface, pixels):
    """Writes rows of (r, g, b) into an opaque surface."""
    surface.flush()
    data = surface.get_data()
    stride = surface.get_stride()
    little = sys.byteorder == "little"
    for y, row in enumerate(pixels):
        line = bytearray(len(row) * 4)
        for x, (r, g, b) in enumerate(row):
            line[x * 4:x * 4 + 4] = bytes((b, g, r, 255) if little else (255, r, g, b))
        data[y * stride:y * stride + len(line)] = line
    surface.mark_dirty()


def load(surface):
    """Reads an opaque surface into rows of (r, g, b)."""
    surface.flush()
    data = bytes(surface.get_data())
    stride = surface.get_stride()
    little = sys.byteorder == "little"
    rows = []
    for y in range(surface.get_height()):
        row = []
        for x in range(surface.get_width()):
            p = data[y * stride + x * 4:y * stride + x * 4 + 4]
            row.append((p[2], p[1], p[0]) if little else (p[1], p[2], p[3]))
        rows.append(row)
    return rows


def font_options():
    options = cairo.FontOptions()
    options.set_antialias(cairo.ANTIALIAS_GRAY)
    options.set_hint_style(cairo.HINT_STYLE_FULL)
    options.set_hint_metrics(cairo.HINT_METRICS_ON)
    return options


def set_font(ctx, size, family=SANS, bold=True, italic=False):
    ctx.select_font_face(family, cairo.FONT_SLANT_ITALIC if italic else cairo.FONT_SLANT_NORMAL,
                         cairo.FONT_WEIGHT_BOLD if bold else cairo.FONT_WEIGHT_NORMAL)
    ctx.set_font_size(size)
    ctx.set_font_options(font_options())


def text_width(ctx, text, tracking):
    return sum(snap(ctx.text_extents(c).x_advance + tracking) for c in text) - tracking


def draw_text(ctx, text, x, baseline, colour, tracking=0.0, align="left"):
    """Draws text on whole pixels, letter by letter when tracked; align: left, centre, right."""
    width = text_width(ctx, text, tracking)
    if align == "centre":
        x -= width / 2
    elif align == "right":
        x -= width
    ctx.set_source_rgb(*(c / 255 for c in colour))
    pen = snap(x)
    for c in text:
        ctx.move_to(pen, snap(baseline))
        ctx.show_text(c)
        pen = snap(pen + ctx.text_extents(c).x_advance + tracking)
    return width


# --- tweed -------------------------------------------------------------------------------


def background_size():
    return math.ceil(BACK_W * S), math.ceil(BACK_H * S)


def background_offset():
    """Where the editor puts the background's top-left pixel in the scaled window."""
    width, height = background_size()
    return scaled(BACK_W - 2) // 2 - width // 2, scaled(BACK_H - 2) // 2 - height // 2


def tweed_pixels():
    """Diagonal twill of tan and brown threads with slubs, lightly aged towards the edges.

    The threads are S pixels wide; the grain of the noise is one screen pixel."""
    rng = random.Random(1957)
    width, height = background_size()
    threads = math.ceil((width + height) / S)
    shade = [rng.gauss(0.0, 1.0) for _ in range(threads)]
    slub_phase = [rng.uniform(0.0, 2 * math.pi) for _ in range(threads)]
    slub_rate = [rng.uniform(0.05, 0.16) for _ in range(threads)]
    twill = (9.0, 5.0, -3.0, -13.0)  # tone across one repeat of four threads
    dark = (1.0, 0.92, 0.72)  # how each channel follows the tone: brown, not grey
    rows = []
    for y in range(height):
        row = []
        for x in range(width):
            d = int((x + y) / S)
            along = (x - y) / S
            tone = twill[d % 4] + 3.2 * shade[d]
            tone += 4.0 * math.sin(slub_phase[d] + slub_rate[d] * along)
            tone += 2.0 if (along // 2) % 2 == 0 else -2.0
            tone += rng.gauss(0.0, 2.2)
            edge = min(x, y, width - 1 - x, height - 1 - y) / S
            tone -= 10.0 * max(0.0, 1.0 - edge / 14.0) ** 2
            row.append(tuple(clamp(c + tone * k) for c, k in zip(TWEED, dark)))
        rows.append(row)
    rows[height - 1][0] = TWEED
    return rows


# --- background --------------------------------------------------------------------------


def rounded_rect(ctx, x0, y0, x1, y1, radius):
    ctx.new_sub_path()
    ctx.arc(x1 - radius, y0 + radius, radius, -math.pi / 2, 0)
    ctx.arc(x1 - radius, y1 - radius, radius, 0, math.pi / 2)
    ctx.arc(x0 + radius, y1 - radius, radius, math.pi / 2, math.pi)
    ctx.arc(x0 + radius, y0 + radius, radius, math.pi, 3 * math.pi / 2)
    ctx.close_path()


def rgb(colour, alpha=None):
    c = tuple(v / 255 for v in colour)
    return c if alpha is None else c + (alpha,)


def draw_plate(ctx):
    """The raised control plate: a soft shadow on the tweed, flat face, bevelled rim."""
    x0, y0, x1, y1 = PLATE_BOX[0], PLATE_BOX[1], PLATE_BOX[2] + 1, PLATE_BOX[3] + 1
    for spread, alpha in ((2.5, 0.10), (1.5, 0.16), (0.5, 0.22)):
        rounded_rect(ctx, x0 - spread + 1, y0 - spread + 1.5, x1 + spread + 1, y1 + spread + 1.5,
                     3 + spread)
        ctx.set_source_rgba(*rgb((40, 24, 10), alpha))
        ctx.fill()
    rounded_rect(ctx, x0, y0, x1, y1, 3)
    ctx.set_source_rgb(*rgb((22, 18, 16)))
    ctx.fill()
    rounded_rect(ctx, x0 + 1, y0 + 1, x1 - 1, y1 - 1, 2)
    ctx.set_source_rgb(*rgb((78, 70, 62)))
    ctx.fill()
    rounded_rect(ctx, x0 + 1, y0 + 2, x1 - 1, y1 - 1, 2)
    ctx.set_source_rgb(*rgb((30, 26, 23)))
    ctx.fill()
    rounded_rect(ctx, x0 + 2, y0 + 2, x1 - 2, y1 - 2, 1.5)
    ctx.set_source_rgb(*rgb(PLATE))
    ctx.fill()
    for sx, sy in ((x0 + 6, y0 + 6), (x1 - 6, y0 + 6), (x0 + 6, y1 - 6), (x1 - 6, y1 - 6)):
        draw_screw(ctx, sx, sy)


def draw_screw(ctx, x, y):
    """A small slotted screw head holding the plate."""
    ctx.arc(x + 0.3, y + 0.5, 2.6, 0, 2 * math.pi)
    ctx.set_source_rgb(*rgb((20, 17, 15)))
    ctx.fill()
    head = cairo.RadialGradient(x - 0.8, y - 0.8, 0.3, x, y, 2.2)
    head.add_color_stop_rgb(0, *rgb((196, 190, 178)))
    head.add_color_stop_rgb(1, *rgb((92, 86, 78)))
    ctx.arc(x, y, 2.2, 0, 2 * math.pi)
    ctx.set_source(head)
    ctx.fill()
    ctx.move_to(x - 1.6, y + 1.0)
    ctx.line_to(x + 1.6, y - 1.0)
    ctx.set_line_width(0.9)
    ctx.set_source_rgb(*rgb((40, 36, 32)))
    ctx.stroke()


def mark_angles():
    step = (SWEEP_END - SWEEP_START) / (SCALE_MARKS - 1)
    return [SWEEP_START + i * step for i in range(SCALE_MARKS)]


def polar(cx, cy, angle, radius):
    a = math.radians(angle)
    return cx + radius * math.sin(a), cy - radius * math.cos(a)


def draw_scale(ctx, name):
    cx, cy = knob_centre(name)
    ctx.set_line_cap(cairo.LINE_CAP_ROUND)
    for i, angle in enumerate(mark_angles()):
        major = i in (0, SCALE_MARKS // 2, SCALE_MARKS - 1)
        outer = MARK_INNER + (4.5 if major else 2.5)
        ctx.move_to(*polar(cx, cy, angle, MARK_INNER))
        ctx.line_to(*polar(cx, cy, angle, outer))
        ctx.set_line_width(1.6 if major else 1.2)
        ctx.set_source_rgb(*rgb(CREAM if major else mix(CREAM, PLATE, 0.25)))
        ctx.stroke()


def draw_labels(ctx):
    cx, cy = knob_centre("Distance")
    set_font(ctx, 10)
    draw_text(ctx, "DISTANCE", cx, 73, CREAM, tracking=1, align="centre")
    set_font(ctx, 9)
    draw_text(ctx, "50–750", cx - 3, cy + 42, CREAM, align="centre")

    cx, cy = knob_centre("Feeding")
    set_font(ctx, 10)
    draw_text(ctx, "FEEDING", 8, cy + 4, CREAM)
    set_font(ctx, 9)
    low = polar(cx, cy, SWEEP_START, MARK_INNER + 4.5)
    high = polar(cx, cy, SWEEP_END, MARK_INNER + 4.5)
    draw_text(ctx, "1", low[0] - 3, low[1] + 5, CREAM, align="right")
    draw_text(ctx, "5", high[0] + 3, high[1] + 5, CREAM)


def grille_pixels(box):
    """A dark basket-weave cloth with a faint warm fleck, for the pad inside its frame.

    box is in screen pixels of the window; a thread is S pixels wide."""
    rng = random.Random(1961)
    x0, y0, x1, y1 = box
    rows = []
    for py in range(y0, y1 + 1):
        row = []
        for px in range(x0, x1 + 1):
            x, y = int(px / S), int(py / S)
            cell_x, cell_y = x // 3, y // 3
            over = (cell_x + cell_y) % 2 == 0  # which thread lies on top in this cell
            u, v = x % 3, y % 3
            across = v if over else u  # position across the top thread
            tone = (5.0, 12.0, 1.0)[across] - (6.0 if (u == 2 and v == 2) else 0.0)
            tone += rng.gauss(0.0, 1.8)
            fleck = 1.0 if rng.random() < 0.05 else 0.0
            colour = tuple(c + tone for c in GRILLE)
            colour = mix(colour, (120, 92, 58), 0.22 * fleck)
            row.append(tuple(clamp(c) for c in colour))
        rows.append(row)
    return rows


def draw_pad(ctx, surface):
    x0, y0, x1, y1 = PAD_BOX
    # A light lip on the tweed below and right of the opening, a dark one above and left.
    ctx.set_line_width(1)
    ctx.set_source_rgba(*rgb((255, 240, 200), 0.35))
    ctx.move_to(x0 - 0.5, y1 + 1.5)
    ctx.line_to(x1 + 1.5, y1 + 1.5)
    ctx.line_to(x1 + 1.5, y0 - 0.5)
    ctx.stroke()
    ctx.set_source_rgba(*rgb((60, 36, 16), 0.45))
    ctx.move_to(x0 - 0.5, y1 + 1.5)
    ctx.line_to(x0 - 0.5, y0 - 0.5)
    ctx.line_to(x1 + 1.5, y0 - 0.5)
    ctx.stroke()
    surface.flush()
    # The cloth, set into a frame of three pixels: edge, shadow, bevel.
    cloth_box = (scaled(x0 + 3), scaled(y0 + 3), scaled(x1 - 2) - 1, scaled(y1 - 2) - 1)
    cloth = grille_pixels(cloth_box)
    patch = cairo.ImageSurface(cairo.FORMAT_RGB24, cloth_box[2] - cloth_box[0] + 1,
                               cloth_box[3] - cloth_box[1] + 1)
    store(patch, cloth)
    ctx.set_source_rgb(*rgb((16, 13, 11)))
    ctx.rectangle(x0, y0, x1 - x0 + 1, y1 - y0 + 1)
    ctx.fill()
    ctx.set_source_rgb(*rgb((92, 80, 66)))  # the lit lower and right bevel
    ctx.rectangle(x0 + 1, y0 + 1, x1 - x0 - 1, y1 - y0 - 1)
    ctx.fill()
    ctx.set_source_rgb(*rgb((10, 8, 7)))  # the shaded upper and left bevel
    ctx.rectangle(x0 + 1, y0 + 1, x1 - x0 - 2, y1 - y0 - 2)
    ctx.fill()
    ctx.save()
    ctx.scale(1 / S, 1 / S)  # the cloth is in screen pixels
    ctx.set_source_surface(patch, cloth_box[0], cloth_box[1])
    ctx.rectangle(cloth_box[0], cloth_box[1], patch.get_width(), patch.get_height())
    ctx.fill()
    ctx.restore()
    # A soft inner shadow falling from the upper and left edges onto the cloth.
    for i, alpha in enumerate((0.45, 0.28, 0.14)):
        ctx.set_source_rgba(0, 0, 0, alpha)
        ctx.rectangle(x0 + 3, y0 + 3 + i, x1 - x0 - 5, 1)
        ctx.fill()
        ctx.rectangle(x0 + 3 + i, y0 + 4 + i, 1, y1 - y0 - 6 - i)
        ctx.fill()
    # Faint centre lines through the puck's middle position, where all four blend evenly.
    mid_x = PUCK_ORIGIN[0] + PUCK_TRAVEL // 2 + DOT_SIZE // 2
    mid_y = PUCK_ORIGIN[1] + PUCK_TRAVEL // 2 + DOT_SIZE // 2
    ctx.set_source_rgba(*rgb(CREAM, 0.10))
    ctx.rectangle(mid_x, y0 + 6, 1, y1 - y0 - 11)
    ctx.fill()
    ctx.rectangle(x0 + 6, mid_y, x1 - x0 - 11, 1)
    ctx.fill()
    set_font(ctx, 10)
    draw_text(ctx, "1x12", x0 + 7, y0 + 15, CREAM)
    draw_text(ctx, "2x12", x1 - 6, y0 + 15, CREAM, align="right")
    draw_text(ctx, "4x10", x0 + 7, y1 - 6, CREAM)
    draw_text(ctx, "4x12", x1 - 6, y1 - 6, CREAM, align="right")
    set_font(ctx, 9)
    draw_text(ctx, "CABINET", (x0 + x1 + 1) / 2, y0 - 5, INK, tracking=2, align="centre")


def draw_logo(ctx):
    set_font(ctx, 38, family=LOGO, bold=True, italic=True)
    x, baseline = 14, 42
    ctx.move_to(x, baseline)
    ctx.text_path("Zintrax")
    path = ctx.copy_path()
    ctx.new_path()
    for dx, dy, width, alpha in ((1.5, 2.5, 5.0, 0.10), (1.5, 2.0, 3.5, 0.18)):
        ctx.save()
        ctx.translate(dx, dy)
        ctx.append_path(path)
        ctx.set_source_rgba(*rgb((50, 28, 10), alpha))
        ctx.set_line_width(width)
        ctx.set_line_join(cairo.LINE_JOIN_ROUND)
        ctx.stroke_preserve()
        ctx.fill()
        ctx.restore()
    ctx.append_path(path)
    ctx.set_source_rgb(*rgb((52, 32, 18)))
    ctx.set_line_width(3.0)
    ctx.set_line_join(cairo.LINE_JOIN_ROUND)
    ctx.stroke_preserve()
    ctx.set_source_rgb(*rgb((250, 240, 214)))
    ctx.fill()
    extents = ctx.text_extents("Zintrax")
    set_font(ctx, 9)
    draw_text(ctx, "CABINET FEEDBACK", x + extents.x_advance + 12, baseline - 1, INK,
              tracking=2)


def draw_background(path):
    width, height = background_size()
    surface = cairo.ImageSurface(cairo.FORMAT_RGB24, width, height)
    store(surface, tweed_pixels())
    ctx = cairo.Context(surface)
    left, top = background_offset()
    ctx.translate(-left, -top)  # the scaled window's pixels
    ctx.scale(S, S)  # window coordinates
    draw_logo(ctx)
    draw_plate(ctx)
    for name in KNOBS:
        draw_scale(ctx, name)
    draw_labels(ctx)
    draw_pad(ctx, surface)
    surface.flush()
    rows = load(surface)
    for name in KNOBS:
        check_flat_under_face(rows, name)
    rows[height - 1][0] = TWEED
    store(surface, rows)
    surface.write_to_png(path)


def check_flat_under_face(rows, name):
    """The face's edge is blended against PLATE, so the plate must be flat where it lies."""
    cx, cy = knob_centre(name)
    left, top = background_offset()
    for y in range(len(rows)):
        for x in range(len(rows[0])):
            # Background pixel (x, y) shows at the window's screen pixel (x + left, y + top).
            wx, wy = (x + left + 0.5) / S, (y + top + 0.5) / S
            if math.hypot(wx - cx, wy - cy) <= FACE_RADIUS + 1 and rows[y][x] != PLATE:
                raise SystemExit(f"background pixel ({x}, {y}) under the {name} knob is "
                                 f"{rows[y][x]}, not the plate colour {PLATE}")


# --- colour-keyed pictures ---------------------------------------------------------------


def supersample(width, height, shade, samples=4):
    """Averages shade(x, y) -> (r, g, b) or None over a grid in each pixel.

    Returns rows of ((r, g, b), coverage): the mean colour of the covered samples and the
    share of samples covered."""
    rows = []
    offsets = [(i + 0.5) / samples for i in range(samples)]
    for py in range(height):
        row = []
        for px in range(width):
            total = [0.0, 0.0, 0.0]
            hits = 0
            for oy in offsets:
                for ox in offsets:
                    c = shade(px + ox, py + oy)
                    if c is not None:
                        hits += 1
                        for k in range(3):
                            total[k] += c[k]
            colour = tuple(t / hits for t in total) if hits else (0.0, 0.0, 0.0)
            row.append((colour, hits / samples**2))
        rows.append(row)
    return rows


def keyed(colour):
    """A visible pixel: never the transparent key black."""
    c = tuple(clamp(v) for v in colour)
    return c if c != (0, 0, 0) else (1, 1, 1)


def dot_shade(x, y):
    size = scaled(DOT_SIZE)
    dx, dy = (x - size / 2) / S, (y - size / 2) / S
    r = math.hypot(dx, dy)
    if r > 6.9:
        return None
    rim = (40, 27, 18)
    body = 5.6
    if r > body:
        return mix(rim, (70, 52, 36), max(0.0, dy / 6.9) * 0.6)
    # An ivory sphere lit from the upper left.
    nx, ny = dx / body, dy / body
    nz = math.sqrt(max(0.0, 1.0 - nx * nx - ny * ny))
    light = (-0.45, -0.55, 0.70)
    diffuse = max(0.0, nx * light[0] + ny * light[1] + nz * light[2])
    ivory = (240, 226, 190)
    colour = tuple(c * (0.50 + 0.50 * diffuse) for c in ivory)
    spec = max(0.0, 1.0 - math.hypot(dx + 2.0, dy + 2.3) / 2.0)
    colour = mix(colour, (255, 252, 244), spec * 0.9)
    edge = max(0.0, (r - body + 1.2) / 1.2)  # darken into the rim
    return mix(colour, rim, edge * 0.6)


def draw_dot(path):
    rows = []
    size = scaled(DOT_SIZE)
    for row in supersample(size, size, dot_shade):
        rows.append([keyed(c) if cover >= 0.5 else (0, 0, 0) for c, cover in row])
    surface = cairo.ImageSurface(cairo.FORMAT_RGB24, size, size)
    store(surface, rows)
    surface.write_to_png(path)


def face_shade(x, y):
    """The face in window units around the centre the editor gives it (FACE_CX, FACE_CY at 1)."""
    width, height = face_size()
    dx, dy = (x - width // 2) / S, (y - height // 2) / S
    r = math.hypot(dx, dy)
    if r > FACE_RADIUS:
        return None
    theta = math.atan2(dx, -dy)  # clockwise from 12 o'clock
    lit = -(dx * 0.6 + dy * 0.8) / max(r, 1e-6)  # 1 where the surface faces the light
    bezel = FACE_RADIUS - 2.4
    if r > bezel:
        # Polished nickel bezel: two broad reflections and a dark outer edge.
        shine = 0.5 + 0.5 * math.cos(2 * (theta + 0.6))
        level = 105 + 85 * shine + 30 * lit
        if r > FACE_RADIUS - 0.7:
            level *= 0.55
        elif r < bezel + 0.6:
            level *= 0.6
        return (level, level * 0.98, level * 0.93)
    cap = POINTER_RADIUS - DOT_SIZE / 2 - 2.5  # the cap stays clear of the pointer
    if r > cap + 1.5:
        # Black bakelite: a broad soft gloss towards the light, fine turned rings.
        gloss = max(0.0, lit) ** 2 * (r - cap) / (bezel - cap)
        level = 24 + 22 * gloss + 2.0 * math.sin(r * 3.1)
        return (level, level * 0.94, level * 0.88)
    if r > cap:
        level = 10 if lit > 0 else 10 + 40 * -lit  # the groove round the cap
        return (level, level, level * 0.95)
    # Spun aluminium cap: concentric grain and a conical reflection.
    shine = 0.5 + 0.5 * math.cos(2 * (theta + 0.5))
    grain = 6.0 * math.sin(r * 7.3) + 3.0 * math.sin(r * 17.9)
    level = 120 + 90 * shine + grain + 12 * lit * (r / cap)
    return (level * 0.98, level * 0.97, level * 0.94)


def draw_knob(path):
    rows = []
    width, height = face_size()
    for row in supersample(width, height, face_shade):
        # Edge pixels take the plate colour for the part of them the face leaves uncovered.
        rows.append([keyed(mix(PLATE, c, cover)) if cover > 0 else (0, 0, 0) for c, cover in row])
    surface = cairo.ImageSurface(cairo.FORMAT_RGB24, width, height)
    store(surface, rows)
    surface.write_to_png(path)


def require_font(family):
    """Cairo silently substitutes a missing font; stop instead of drawing the wrong logo."""
    found = subprocess.run(["fc-list", family], capture_output=True, text=True).stdout
    if not found.strip():
        raise SystemExit(f'font "{family}" not found: install fonts-lobster')


def draw_readout(path):
    """The read-out's swatch and font, one cell per character, blended against its face."""
    cell_w, cell_h = scaled(READOUT_CELL[0]), scaled(READOUT_CELL[1])
    cells = 1 + len(READOUT_CHARS)
    surface = cairo.ImageSurface(cairo.FORMAT_RGB24, cell_w * cells, cell_h)
    ctx = cairo.Context(surface)
    ctx.set_source_rgb(*rgb(READOUT_FACE))
    ctx.rectangle(0, 0, cell_w * cells, cell_h)
    ctx.fill()
    ctx.scale(S, S)
    ctx.select_font_face(MONO, cairo.FONT_SLANT_NORMAL, cairo.FONT_WEIGHT_BOLD)
    ctx.set_font_size(9.5)
    ctx.set_font_options(font_options())
    ctx.set_source_rgb(*rgb(CREAM))
    for i, c in enumerate(READOUT_CHARS):
        left = (i + 1) * READOUT_CELL[0]
        ctx.move_to(snap(left + (READOUT_CELL[0] - ctx.text_extents(c).x_advance) / 2), 9)
        ctx.show_text(c)
    surface.flush()
    rows = load(surface)
    for y, row in enumerate(rows):
        for x, colour in enumerate(row):
            if x >= cell_w:
                row[x] = (0, 0, 0) if colour == READOUT_FACE else keyed(colour)
            elif y == 0:
                row[x] = READOUT_RIM
    store(surface, rows)
    surface.write_to_png(path)


def draw_icon(path, size=128):
    """The knob and its bead on a rounded patch of plate, composited over transparency."""
    surface = cairo.ImageSurface(cairo.FORMAT_ARGB32, size, size)
    ctx = cairo.Context(surface)
    rounded_rect(ctx, 1, 1, size - 1, size - 1, 22)
    ctx.set_source_rgb(*rgb(PLATE))
    ctx.fill_preserve()
    ctx.set_source_rgb(*rgb(TWEED))
    ctx.set_line_width(3)
    ctx.stroke()
    surface.flush()
    data = surface.get_data()
    stride = surface.get_stride()
    order = (2, 1, 0) if sys.byteorder == "little" else (1, 2, 3)
    alpha_at = 3 if sys.byteorder == "little" else 0

    def paint(rows, left, top):
        for y, row in enumerate(rows):
            for x, (colour, cover) in enumerate(row):
                at = (top + y) * stride + (left + x) * 4
                for k, o in enumerate(order):
                    data[at + o] = clamp(colour[k] * cover + data[at + o] * (1 - cover))
                data[at + alpha_at] = clamp(255 * cover + data[at + alpha_at] * (1 - cover))

    width, height = face_size()
    left, top = (size - width) // 2, (size - height) // 2
    paint(supersample(width, height, face_shade), left, top)
    bead = scaled(DOT_SIZE)
    angle = math.radians(45)
    cx, cy = left + width / 2 + 24 * S * math.sin(angle), top + height / 2 - 24 * S * math.cos(angle)
    paint(supersample(bead, bead, dot_shade), int(cx - bead / 2), int(cy - bead / 2))
    surface.mark_dirty()
    surface.write_to_png(path)


def main():
    global S
    require_font(LOGO)
    require_font(MONO)
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.dirname(os.path.abspath(__file__))
    only = [float(a) for a in sys.argv[2:]] or SCALES
    for S in only:
        S = int(S) if S == int(S) else S
        draw_background(os.path.join(out, f"editor-background{suffix()}.png"))
        draw_dot(os.path.join(out, f"editor-dot{suffix()}.png"))
        draw_knob(os.path.join(out, f"editor-knob{suffix()}.png"))
        draw_readout(os.path.join(out, f"editor-readout{suffix()}.png"))
        if S == 1.5:
            draw_icon(os.path.join(out, "zintrax.png"))


if __name__ == "__main__":
    main()
