#!/usr/bin/python3
"""The spray maker against the tool chains a player could run instead, whole chain to whole chain.

    /usr/bin/python3 bench/run_spray_bench.py BUILD_DIR [--dither D] [--reps N] [--only NAME ...]

Each picture is made into a picture of the same canvas by four chains:
  Tagswap      tagswap-spray make, its spray's pixels read back from the file
  vips         vipsthumbnail --size WxH!, then pngquant 256
  ImageMagick  convert -resize WxH!, then pngquant 256
  Pillow       Image.resize(LANCZOS), then Image.quantize(256)
each with its own defaults otherwise. The canvas is the one Tagswap picks by default; the picture
fills it as `--fit fit` places it, centred. Every result is scored against one reference: the
exact area average of the source in linear light, with premultiplied alpha, at that size.

Score: SSIM (Wang et al. 2004: 11x11 Gaussian window, sigma 1.5, K1 0.01, K2 0.03, over the
window positions wholly inside the canvas) of the Rec. 601 luma of the sRGB values, each picture
composited over the same grey. A pixel counts as shown when it is at least half opaque (half
covered, in the reference), as the game shows a spray's pixel or not. For pictures with alpha a
second table scores against the reference's exact coverage instead, which no spray can show.

For lettering, the darkest pixel of each result is set beside the reference's: thin dark strokes
on a light ground that fade in resampling or in the palette show up there.

Then the time of `make` on a 12-megapixel JPEG against plain vipsthumbnail, interleaved, and of
one preview update in the window (spray_bench_tool preview-time).

Needs numpy, Pillow, scikit-image (its sample photographs), DejaVu fonts, libvips-tools,
imagemagick and pngquant. Prints Markdown tables.
"""

import argparse
import os
import shutil
import statistics
import struct
import subprocess
import tempfile
import time

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont
from skimage import data

CONVERT = "/usr/bin/convert"  # ImageMagick's own, whatever else is first on PATH
BACKGROUND = 128.0
FONT_DIR = "/usr/share/fonts/truetype/dejavu"

PHOTOS = {  # scikit-image's public-domain and CC0 photographs
    "astronaut": data.astronaut,
    "camera": data.camera,
    "chelsea": data.chelsea,
    "coffee": data.coffee,
    "hubble": data.hubble_deep_field,
    "retina": data.retina,
    "rocket": data.rocket,
}


# --- pictures made here ------------------------------------------------------------------------

def font(size, bold=False, serif=False):
    name = "DejaVu" + ("Serif" if serif else "Sans") + ("-Bold" if bold else "") + ".ttf"
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def supersampled(size, draw, factor=4, mode="RGBA", ground=(0, 0, 0, 0)):
    """Shapes drawn at factor times the size and box-reduced, for smooth edges."""
    big = Image.new(mode, (size[0] * factor, size[1] * factor), ground)
    draw(ImageDraw.Draw(big), factor)
    return big.resize(size, Image.BOX)


def thin_logo():
    """Navy rings, rays and a name on white: strokes about a third of a spray pixel wide."""
    def draw(d, k):
        cx, cy = 256 * k, 256 * k
        for r, w in ((200, 5), (170, 3), (140, 8)):
            d.ellipse([cx - r * k, cy - r * k, cx + r * k, cy + r * k], outline=(20, 30, 90), width=w * k)
        for i in range(12):
            a = i * np.pi / 6
            d.line([cx + 40 * k * np.cos(a), cy + 40 * k * np.sin(a),
                    cx + 120 * k * np.cos(a), cy + 120 * k * np.sin(a)], fill=(200, 30, 40), width=4 * k)
        d.text((520 * k, 150 * k), "NORTHWIND", font=font(100 * k, bold=True), fill=(20, 30, 90))
        d.text((524 * k, 280 * k), "precision instruments since 1998", font=font(34 * k), fill=(40, 40, 40))
        d.line([520 * k, 262 * k, 1180 * k, 262 * k], fill=(20, 30, 90), width=3 * k)
    return supersampled((1200, 512), draw, mode="RGB", ground=(255, 255, 255))


def lettering():
    """Dark text in several sizes on a light ground; the smallest strokes end up one pixel wide."""
    def draw(d, k):
        y = 20
        for size, bold, serif, text in ((96, True, False, "HEADSHOT"), (64, False, True, "Half-Life spray"),
                                        (48, False, False, "thin lettering fades"),
                                        (40, True, False, "CAPTURE THE FLAG 2:1"),
                                        (34, False, True, "the quick brown fox jumps")):
            d.text((24 * k, y * k), text, font=font(size * k, bold, serif), fill=(15, 15, 25))
            y += int(size * 1.25)
    return supersampled((900, 460), draw, mode="RGB", ground=(245, 240, 225))


def badge_logo():
    """White letters in a red badge with a thin dark rim, on a transparent ground."""
    def draw(d, k):
        d.rounded_rectangle([16 * k, 96 * k, 784 * k, 304 * k], radius=60 * k, fill=(190, 20, 30, 255),
                            outline=(30, 10, 10, 255), width=6 * k)
        d.text((70 * k, 130 * k), "TAGSWAP", font=font(130 * k, bold=True), fill=(255, 255, 255, 255))
    return supersampled((800, 400), draw)


def app_icon():
    """A rounded square with a gradient, a soft shadow and a white mark; transparent around."""
    size = 512
    shadow = supersampled((size, size), lambda d, k: d.rounded_rectangle(
        [70 * k, 86 * k, 462 * k, 478 * k], radius=90 * k, fill=(0, 0, 0, 140)))
    shadow = shadow.filter(ImageFilter.GaussianBlur(14))
    y = np.linspace(0, 1, size)[:, None, None]
    gradient = (np.array([40, 170, 255]) * (1 - y) + np.array([20, 60, 160]) * y) * np.ones((1, size, 1))
    mask = supersampled((size, size), lambda d, k: d.rounded_rectangle(
        [56 * k, 56 * k, 456 * k, 456 * k], radius=90 * k, fill=(255, 255, 255, 255)))
    body = Image.fromarray(np.dstack([gradient, np.asarray(mask)[..., 3]]).astype(np.uint8), "RGBA")
    mark = supersampled((size, size), lambda d, k: d.line(
        [150 * k, 270 * k, 230 * k, 350 * k, 370 * k, 170 * k], fill=(255, 255, 255, 255), width=40 * k,
        joint="curve"))
    out = Image.alpha_composite(Image.alpha_composite(shadow, body), mark)
    return out


def round_icon():
    """A target: thin coloured rings on a transparent ground, with a half-transparent fill."""
    def draw(d, k):
        c = 256 * k
        d.ellipse([c - 240 * k, c - 240 * k, c + 240 * k, c + 240 * k], fill=(255, 210, 0, 110))
        for r, colour in ((240, (30, 30, 30, 255)), (180, (220, 40, 40, 255)), (120, (30, 30, 30, 255)),
                          (60, (220, 40, 40, 255))):
            d.ellipse([c - r * k, c - r * k, c + r * k, c + r * k], outline=colour, width=7 * k)
        d.ellipse([c - 20 * k, c - 20 * k, c + 20 * k, c + 20 * k], fill=(220, 40, 40, 255))
    return supersampled((512, 512), draw)


def sprite(cells, seed, colours):
    """A symmetric creature of few colours, as pixel art is drawn."""
    rng = np.random.default_rng(seed)
    half = rng.integers(0, len(colours), size=(cells, (cells + 1) // 2))
    half[rng.random(half.shape) < 0.35] = 0
    grid = np.concatenate([half, half[:, ::-1][:, cells % 2:]], axis=1)
    return np.array(colours, np.uint8)[grid]


def pixel_art(cells, block, seed, transparent):
    ground = (0, 0, 0, 0) if transparent else (90, 150, 210, 255)
    colours = [ground, (20, 20, 30, 255), (240, 200, 40, 255), (230, 60, 50, 255), (250, 250, 250, 255),
               (60, 180, 80, 255)]
    art = sprite(cells, seed, colours)
    return Image.fromarray(art, "RGBA").resize((cells * block, cells * block), Image.NEAREST)


def pictures():
    out = {}
    for name, load in PHOTOS.items():
        out[name] = Image.fromarray(load()).convert("RGBA")
    out["coffee, round cut-out"] = round_cut_out(out["coffee"])
    out["logo, thin strokes"] = thin_logo().convert("RGBA")
    out["lettering"] = lettering().convert("RGBA")
    out["logo on alpha"] = badge_logo()
    out["icon, soft shadow"] = app_icon()
    out["icon, rings"] = round_icon()
    out["pixel art 16x16 (x14)"] = pixel_art(16, 14, 7, False)
    out["pixel art 28x28 on alpha (x8)"] = pixel_art(28, 8, 11, True)
    out["pixel art 16x16, enlarged"] = pixel_art(16, 1, 7, False)
    out["icon 48x48 on alpha, enlarged"] = round_icon().resize((48, 48), Image.LANCZOS)
    return out


def round_cut_out(image):
    a = np.asarray(image).copy()
    h, w = a.shape[:2]
    y, x = np.ogrid[:h, :w]
    a[..., 3] = np.where(((x - w / 2) / (w / 2)) ** 2 + ((y - h / 2) / (h / 2)) ** 2 <= 1, 255, 0)
    return Image.fromarray(a, "RGBA")


# --- the reference and the score ---------------------------------------------------------------

def to_linear(c):
    c = c / 255.0
    return np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)


def to_srgb(c):
    c = np.clip(c, 0, 1)
    return np.where(c <= 0.0031308, c * 12.92, 1.055 * c ** (1 / 2.4) - 0.055) * 255


def area_weights(n_in, n_out):
    """Each output pixel the exact average of the input area it covers (also when enlarging)."""
    scale = n_in / n_out
    weights = np.zeros((n_out, n_in))
    for i in range(n_out):
        lo, hi = i * scale, (i + 1) * scale
        for j in range(int(np.floor(lo)), min(n_in, int(np.ceil(hi)))):
            weights[i, j] = min(hi, j + 1) - max(lo, j)
    return weights / weights.sum(axis=1, keepdims=True)


def reference(source, canvas, content):
    """Float RGBA (sRGB values, straight alpha 0..1) on the canvas, transparent around the content."""
    s = np.asarray(source, float)
    alpha = s[..., 3:4] / 255.0
    premultiplied = np.concatenate([to_linear(s[..., :3]) * alpha, alpha], axis=2)
    rows, columns = area_weights(s.shape[0], content[1]), area_weights(s.shape[1], content[0])
    small = np.einsum("xj,yjc->yxc", columns, np.einsum("yi,ijc->yjc", rows, premultiplied))
    a = np.clip(small[..., 3:4], 0, 1)
    colour = np.where(a > 0, small[..., :3] / np.maximum(a, 1e-12), 0)
    out = np.zeros((canvas[1], canvas[0], 4))
    x0, y0 = offset(canvas, content)
    out[y0:y0 + content[1], x0:x0 + content[0], :3] = to_srgb(colour)
    out[y0:y0 + content[1], x0:x0 + content[0], 3] = a[..., 0]
    return out


def shown(rgba):
    """What the game would show of a chain's 8-bit result: pixels at least half opaque."""
    out = rgba.astype(float)
    out[..., 3] = rgba[..., 3] >= 128
    return out


def shown_reference(ideal):
    """The reference as a spray can show it: each pixel at least half covered, in its exact colour."""
    out = ideal.copy()
    out[..., 3] = ideal[..., 3] >= 0.5
    return out


def luma(rgba):
    """Rec. 601 luma of the picture composited over the fixed grey."""
    a = rgba[..., 3:4]
    rgb = rgba[..., :3] * a + BACKGROUND * (1 - a)
    return rgb @ np.array([0.299, 0.587, 0.114])


def gaussian_filter_valid(image, size=11, sigma=1.5):
    x = np.arange(size) - (size - 1) / 2
    g = np.exp(-x ** 2 / (2 * sigma ** 2))
    g /= g.sum()
    rows = sum(g[k] * image[k:image.shape[0] - size + 1 + k, :] for k in range(size))
    return sum(g[k] * rows[:, k:image.shape[1] - size + 1 + k] for k in range(size))


def ssim(x, y, dynamic_range=255.0):
    c1, c2 = (0.01 * dynamic_range) ** 2, (0.03 * dynamic_range) ** 2
    mx, my = gaussian_filter_valid(x), gaussian_filter_valid(y)
    vx = gaussian_filter_valid(x * x) - mx * mx
    vy = gaussian_filter_valid(y * y) - my * my
    cxy = gaussian_filter_valid(x * y) - mx * my
    s = ((2 * mx * my + c1) * (2 * cxy + c2)) / ((mx * mx + my * my + c1) * (vx + vy + c2))
    return float(s.mean())


# --- the chains --------------------------------------------------------------------------------

def offset(canvas, content):
    return (canvas[0] - content[0]) // 2, (canvas[1] - content[1]) // 2


def fit_content(source_size, canvas):
    """Where `--fit fit` puts the picture: as large as the canvas allows, enlarged or reduced."""
    w, h = source_size
    s = min(canvas[0] / w, canvas[1] / h)
    return max(1, round(w * s)), max(1, round(h * s))


def on_canvas(image, canvas, content):
    rgba = np.asarray(Image.open(image).convert("RGBA")) if isinstance(image, str) \
        else np.asarray(image.convert("RGBA"))
    assert rgba.shape[:2] == (content[1], content[0]), (image, rgba.shape, content)
    out = np.zeros((canvas[1], canvas[0], 4), np.uint8)
    x0, y0 = offset(canvas, content)
    out[y0:y0 + content[1], x0:x0 + content[0]] = rgba
    return out


def read_spray(path):
    """RGBA of a colour spray file's full-size level: index 255 is transparent."""
    with open(path, "rb") as f:
        b = f.read()
    width, height = struct.unpack_from("<II", b, 12 + 16)
    count = width * height
    pixels = np.frombuffer(b, np.uint8, count, 12 + 40).reshape(height, width)
    palette_at = 12 + 40 + count * 85 // 64 + 2
    palette = np.frombuffer(b, np.uint8, 768, palette_at).reshape(256, 3)
    out = np.zeros((height, width, 4), np.uint8)
    out[..., :3] = palette[pixels]
    out[..., 3] = np.where(pixels == 255, 0, 255)
    return out


def run(command):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def pngquant(png, out):
    run(["pngquant", "256", "--force", "--output", out, png])


def tagswap(spray_cli, src, stem, dither):
    wad = stem + ".wad"
    run([spray_cli, "make", src, "-o", wad, "--force", "--dither", str(dither)])
    return read_spray(wad)


def vips_chain(src, stem, canvas, content):
    run(["vipsthumbnail", src, "--size", f"{content[0]}x{content[1]}!", "-o", stem + "-vips.png"])
    pngquant(stem + "-vips.png", stem + "-vips-q.png")
    return on_canvas(stem + "-vips-q.png", canvas, content)


def magick_chain(src, stem, canvas, content):
    run([CONVERT, src, "-resize", f"{content[0]}x{content[1]}!", stem + "-im.png"])
    pngquant(stem + "-im.png", stem + "-im-q.png")
    return on_canvas(stem + "-im-q.png", canvas, content)


def pillow_chain(src, canvas, content):
    image = Image.open(src)
    image = image.convert("RGBA" if "A" in image.getbands() else "RGB")
    small = image.resize(content, Image.LANCZOS)
    quantized = small.quantize(256) if small.mode == "RGB" else small.quantize(256, Image.FASTOCTREE)
    return on_canvas(quantized, canvas, content)


CHAINS = ("Tagswap", "vips+pngquant", "ImageMagick+pngquant", "Pillow")


def score_picture(name, source, work, spray_cli, dither):
    stem = os.path.join(work, "".join(c if c.isalnum() else "_" for c in name))
    src = stem + ".png"
    source.save(src)
    ours = tagswap(spray_cli, src, stem, dither)
    canvas = (ours.shape[1], ours.shape[0])
    content = fit_content(source.size, canvas)
    results = {
        "Tagswap": ours,
        "vips+pngquant": vips_chain(src, stem, canvas, content),
        "ImageMagick+pngquant": magick_chain(src, stem, canvas, content),
        "Pillow": pillow_chain(src, canvas, content),
    }
    exact = reference(source, canvas, content)
    ideal = luma(shown_reference(exact))
    lumas = {chain: luma(shown(rgba)) for chain, rgba in results.items()}
    scores = {chain: ssim(l, ideal) for chain, l in lumas.items()}
    soft = None
    if np.asarray(source)[..., 3].min() < 255:
        soft_ideal = luma(exact)
        soft = {chain: ssim(l, soft_ideal) for chain, l in lumas.items()}
    darkest = {chain: float(l.min()) for chain, l in lumas.items()}
    darkest["reference"] = float(ideal.min())
    return canvas, scores, soft, darkest


# --- speed -------------------------------------------------------------------------------------

def twelve_megapixels(work):
    """The astronaut enlarged to 4000x3000 with fine noise added, so it compresses like a photo."""
    big = Image.fromarray(data.astronaut()).resize((4000, 3000), Image.BICUBIC)
    rng = np.random.default_rng(1)
    noisy = np.clip(np.asarray(big, float) + rng.normal(0, 6, (3000, 4000, 3)), 0, 255).astype(np.uint8)
    path = os.path.join(work, "photo-12mp.jpg")
    Image.fromarray(noisy).save(path, quality=90)
    return path


def speed(spray_cli, work, reps):
    photo = twelve_megapixels(work)
    wad = os.path.join(work, "photo.wad")
    run([spray_cli, "make", photo, "-o", wad, "--force"])
    spray = read_spray(wad)
    content = fit_content((4000, 3000), (spray.shape[1], spray.shape[0]))
    commands = {
        "tagswap": [spray_cli, "make", photo, "-o", wad, "--force"],
        "vips": ["vipsthumbnail", photo, "--size", f"{content[0]}x{content[1]}!", "-o",
                 os.path.join(work, "photo-vips.png")],
    }
    times = {k: [] for k in commands}
    for rep in range(reps):  # interleaved, order flipped every time, so load hits both alike
        for key in (commands if rep % 2 == 0 else reversed(list(commands))):
            start = time.perf_counter()
            run(commands[key])
            times[key].append((time.perf_counter() - start) * 1000)
    ratio = statistics.median(a / b for a, b in zip(times["tagswap"], times["vips"]))
    preview = subprocess.run([os.path.join(os.path.dirname(spray_cli), "bench", "spray_bench_tool"),
                              "preview-time", photo, "20"], check=True, capture_output=True, text=True)
    return (spray.shape[1], spray.shape[0]), content, {k: statistics.median(v) for k, v in times.items()}, \
        ratio, preview.stdout.split()


# --- report ------------------------------------------------------------------------------------

def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build")
    parser.add_argument("--dither", type=float, default=0.0)
    parser.add_argument("--reps", type=int, default=11)
    parser.add_argument("--only", nargs="*", help="picture names to score (default: all)")
    parser.add_argument("--no-speed", action="store_true")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    spray_cli = os.path.join(build, "tagswap-spray")
    work = tempfile.mkdtemp(prefix="spray-bench-")

    margins, darkness, softs, rows = {}, {}, {}, []
    for name, source in pictures().items():
        if args.only and name not in args.only:
            continue
        canvas, scores, soft, darkest = score_picture(name, source, work, spray_cli, args.dither)
        if soft:
            softs[name] = soft
        best_other = max(v for k, v in scores.items() if k != "Tagswap")
        margins[name] = scores["Tagswap"] - best_other
        if name in ("lettering", "logo, thin strokes"):
            darkness[name] = darkest
        rows.append(f"| {name} | {canvas[0]}x{canvas[1]} | " + " | ".join(f"{scores[c]:.4f}" for c in CHAINS)
                    + f" | {margins[name]:+.4f} |")
    # Enlarged, the area average is a blocky picture: those rows say how blocky a chain
    # is as much as how good, so they are shown apart and left out of the worst margin.
    for enlarged in (False, True):
        chosen = [r for r in rows if ("enlarged" in r) == enlarged]
        if not chosen:
            continue
        print(("\nEnlarged to the canvas:\n\n" if enlarged else "")
              + "| Picture | Spray | " + " | ".join(f"SSIM {c}" for c in CHAINS) + " | Tagswap - best other |")
        print("|---|---|" + "---:|" * (len(CHAINS) + 1))
        print("\n".join(chosen))
    reduced = {k: v for k, v in margins.items() if "enlarged" not in k}
    if reduced:
        worst = min(reduced, key=reduced.get)
        print(f"\nWorst margin of the reduced pictures: {reduced[worst]:+.4f} ({worst}); mean "
              f"{statistics.mean(reduced.values()):+.4f}.")

    if softs:
        print("\n| Picture with alpha, against the reference's exact coverage | "
              + " | ".join(f"SSIM {c}" for c in CHAINS) + " | Tagswap - best other |")
        print("|---|" + "---:|" * (len(CHAINS) + 1))
        for name, s in softs.items():
            other = max(v for k, v in s.items() if k != "Tagswap")
            print(f"| {name} | " + " | ".join(f"{s[c]:.4f}" for c in CHAINS) + f" | {s['Tagswap'] - other:+.4f} |")

    if darkness:
        print("\n| Picture | darkest luma: reference | " + " | ".join(CHAINS) + " |")
        print("|---|---:|" + "---:|" * len(CHAINS))
        for name, d in darkness.items():
            print(f"| {name} | {d['reference']:.1f} | " + " | ".join(f"{d[c]:.1f}" for c in CHAINS) + " |")

    if not args.no_speed:
        canvas, content, medians, ratio, (quick, careful) = speed(spray_cli, work, args.reps)
        print(f"\n| 12-megapixel JPEG (4000x3000), median of {args.reps}, interleaved | ms |")
        print("|---|---:|")
        print(f"| tagswap-spray make (to a {canvas[0]}x{canvas[1]} spray, whole process) | {medians['tagswap']:.0f} |")
        print(f"| vipsthumbnail, only resizing to {content[0]}x{content[1]} | {medians['vips']:.0f} |")
        print(f"| ratio (median of the paired ratios) | {ratio:.2f}x |")
        print(f"| a preview update in the window, quick palette shown first (median of 20) | {quick} |")
        print(f"| the careful palette that replaces it and that Save writes (median of 20) | {careful} |")
    shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
