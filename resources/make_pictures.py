#!/usr/bin/python3
"""Draws the window's pictures: background.jpg, button.gif and app.ico.

Run with Debian's python3 and python3-pil (and fonts-dejavu-core) from this folder:
    /usr/bin/python3 make_pictures.py
The outputs are committed; the build only embeds them (app.rc).

background.jpg  250 x 300, baseline JPEG, 8 bits per sample, 3 components. Calm and dark where the
                white summary label stands (pixels 14..236 x 26..176), so the label stays readable.
button.gif      150 x 100 GIF89a, one frame, a 256-entry global colour table, palette index 255
                transparent. It stands at pixel (52, 140) of the background; its anti-aliased edge
                and shadow are blended with the background pixels beneath, so it sits cleanly on it.
app.ico         16, 32 and 48 pixel images, 24 bits per pixel, with an AND mask for the corners.
"""
import math
import struct

from PIL import Image, ImageDraw, ImageFilter, ImageFont

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"
BOLD = FONT_DIR + "DejaVuSans-Bold.ttf"
REGULAR = FONT_DIR + "DejaVuSans.ttf"

SKIN_W, SKIN_H = 250, 300
BUTTON_X, BUTTON_Y, BUTTON_W, BUTTON_H = 52, 140, 150, 100
TRANSPARENT_INDEX = 255
TRANSPARENT_RGB = (255, 0, 255)  # palette entry 255; never shown, so any colour serves

NAVY = (14, 38, 66)
TEAL = (22, 86, 104)
AMBER = (245, 166, 35)
AMBER_DARK = (214, 128, 16)
INK = (24, 32, 44)


def lerp(a, b, t):
    return tuple(round(x + (y - x) * t) for x, y in zip(a, b))


def background():
    img = Image.new("RGB", (SKIN_W, SKIN_H))
    px = img.load()
    for y in range(SKIN_H):
        for x in range(SKIN_W):
            # A diagonal navy-to-teal gradient, darkest behind the label.
            t = min(1.0, max(0.0, (y * 0.8 + x * 0.35) / (SKIN_H * 0.8 + SKIN_W * 0.35)))
            px[x, y] = lerp(NAVY, TEAL, t * t)
    overlay = Image.new("RGBA", (SKIN_W, SKIN_H), (0, 0, 0, 0))
    d = ImageDraw.Draw(overlay)
    # Two soft arcs in the lower right: the brand's wave, quiet enough to stay in the background.
    for r, a in ((230, 26), (200, 18)):
        d.ellipse((SKIN_W - 40 - r, SKIN_H - 10 - r, SKIN_W - 40 + r, SKIN_H - 10 + r), outline=(255, 255, 255, a), width=2)
    # A thin amber accent line above the wordmark.
    d.rectangle((24, 258, SKIN_W - 25, 258), fill=AMBER + (200,))
    img = Image.alpha_composite(img.convert("RGBA"), overlay)
    d = ImageDraw.Draw(img)
    word = ImageFont.truetype(BOLD, 15)
    small = ImageFont.truetype(REGULAR, 10)
    d.text((SKIN_W // 2, 270), "ORLAVENT", font=word, fill=(255, 255, 255), anchor="mm")
    d.text((SKIN_W // 2, 287), "Support Tool for Pebblework", font=small, fill=(190, 214, 226), anchor="mm")
    img = img.convert("RGB")
    img.save("background.jpg", "JPEG", quality=92, progressive=False, optimize=False, subsampling=0)
    return img


def envelope_icon(d, cx, cy, scale, colour):
    w, h = 22 * scale, 15 * scale
    box = (cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2)
    d.rounded_rectangle(box, radius=2 * scale, outline=colour, width=max(1, round(2 * scale)))
    d.line((box[0] + 1, box[1] + 1, cx, cy + 1.5 * scale, box[2] - 1, box[1] + 1), fill=colour, width=max(1, round(2 * scale)))


def button(skin):
    # Draw at 4x and reduce, for smooth edges; then flatten onto the background beneath.
    s = 4
    big = Image.new("RGBA", (BUTTON_W * s, BUTTON_H * s), (0, 0, 0, 0))
    shadow = Image.new("RGBA", big.size, (0, 0, 0, 0))
    ds = ImageDraw.Draw(shadow)
    ds.rounded_rectangle((8 * s, 10 * s, (BUTTON_W - 6) * s, (BUTTON_H - 4) * s), radius=16 * s, fill=(0, 0, 0, 120))
    shadow = shadow.filter(ImageFilter.GaussianBlur(3 * s))
    big = Image.alpha_composite(big, shadow)
    face = Image.new("RGBA", big.size, (0, 0, 0, 0))
    df = ImageDraw.Draw(face)
    body = (6 * s, 6 * s, (BUTTON_W - 8) * s, (BUTTON_H - 8) * s)
    df.rounded_rectangle(body, radius=16 * s, fill=AMBER_DARK)
    inner = (body[0] + s, body[1] + s, body[2] - s, body[3] - 2 * s)
    # A gentle top-to-bottom gradient on the face.
    grad = Image.new("RGBA", big.size, (0, 0, 0, 0))
    gp = grad.load()
    for y in range(int(inner[1]), int(inner[3])):
        t = (y - inner[1]) / (inner[3] - inner[1])
        c = lerp((255, 196, 92), AMBER, t)
        for x in range(int(inner[0]), int(inner[2])):
            gp[x, y] = c + (255,)
    mask = Image.new("L", big.size, 0)
    ImageDraw.Draw(mask).rounded_rectangle(inner, radius=15 * s, fill=255)
    face.paste(grad, (0, 0), mask)
    big = Image.alpha_composite(big, face)
    d = ImageDraw.Draw(big)
    envelope_icon(d, (BUTTON_W // 2 - 1) * s, 28 * s, s * 1.1, INK)
    f1 = ImageFont.truetype(BOLD, 15 * s)
    d.text(((BUTTON_W // 2 - 1) * s, 52 * s), "Create", font=f1, fill=INK, anchor="mm")
    d.text(((BUTTON_W // 2 - 1) * s, 70 * s), "Support File", font=f1, fill=INK, anchor="mm")
    rgba = big.resize((BUTTON_W, BUTTON_H), Image.LANCZOS)

    under = skin.crop((BUTTON_X, BUTTON_Y, BUTTON_X + BUTTON_W, BUTTON_Y + BUTTON_H)).convert("RGBA")
    flat = Image.alpha_composite(under, rgba).convert("RGB")
    alpha = rgba.getchannel("A")
    opaque = alpha.point(lambda a: 255 if a >= 10 else 0)

    quant = flat.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    palette = quant.getpalette()[: 255 * 3]
    palette += [0, 0, 0] * (255 - len(palette) // 3)
    palette += list(TRANSPARENT_RGB)
    out = Image.new("P", (BUTTON_W, BUTTON_H))
    out.putpalette(palette)
    qp, op, mp = quant.load(), out.load(), opaque.load()
    for y in range(BUTTON_H):
        for x in range(BUTTON_W):
            op[x, y] = qp[x, y] if mp[x, y] else TRANSPARENT_INDEX
    out.info["transparency"] = TRANSPARENT_INDEX
    out.save("button.gif", "GIF", transparency=TRANSPARENT_INDEX, optimize=False, version="GIF89a")


def icon_image(size):
    s = 8
    n = size * s
    img = Image.new("RGBA", (n, n), (0, 0, 0, 0))
    d = ImageDraw.Draw(img)
    d.rounded_rectangle((0, 0, n - 1, n - 1), radius=n // 5, fill=TEAL)
    d.rounded_rectangle((0, n // 2, n - 1, n - 1), radius=n // 5, fill=NAVY)
    d.rectangle((0, n // 2, n - 1, n // 2 + n // 5), fill=NAVY)
    ring = n * 0.30
    c = n / 2
    d.ellipse((c - ring, c - ring, c + ring, c + ring), outline=(255, 255, 255), width=max(1, n // 9))
    d.ellipse((c + ring * 0.35, c - ring * 1.05, c + ring * 1.05, c - ring * 0.35), fill=AMBER)
    return img.resize((size, size), Image.LANCZOS)


def write_ico(path, sizes):
    images = []
    for size in sizes:
        im = icon_image(size)
        rgb = Image.alpha_composite(Image.new("RGBA", im.size, (255, 255, 255, 255)), im).convert("RGB")
        a = im.getchannel("A").load()
        p = rgb.load()
        row_xor = (size * 3 + 3) // 4 * 4
        row_and = ((size + 31) // 32) * 4
        xor = bytearray()
        and_mask = bytearray()
        for y in range(size - 1, -1, -1):  # bottom-up rows
            row = bytearray()
            for x in range(size):
                r, g, b = p[x, y]
                row += bytes((b, g, r))
            xor += row + bytes(row_xor - len(row))
            bits = bytearray(row_and)
            for x in range(size):
                if a[x, y] < 128:
                    bits[x // 8] |= 0x80 >> (x % 8)
            and_mask += bits
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 24, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
        images.append(header + bytes(xor) + bytes(and_mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 24, len(data), offset)
        offset += len(data)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


if __name__ == "__main__":
    skin = background()
    button(skin)
    write_ico("app.ico", [16, 32, 48])
