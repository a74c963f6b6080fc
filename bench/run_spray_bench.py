#!/usr/bin/python3
"""The spray maker side by side with pngquant and with Qt's own 256-colour reduction.

    /usr/bin/python3 bench/run_spray_bench.py BUILD_DIR [--dither D ...]

For each public-domain or CC0 image of scikit-image's data set, tagswap-spray makes
a spray; the spray is compared with an ideal resize of the source to the same size
(exact area average in linear light, premultiplied alpha), composited over grey, by SSIM,
and its transparency with the ideal's as a mask (share of pixels that agree).
pngquant (speed 1), Qt's Format_Indexed8 and tagswap-spray itself (its palette
alone, at the resize's own size) get that same ideal resize as input, with the same
dithering, and are scored the same way. Then the time of
tagswap-spray make on a 12-megapixel JPEG against vipsthumbnail resizing it to the
same size, and the time of one preview update in the window.

Needs python3-skimage, pngquant and libvips-tools. Prints Markdown tables.
"""

import os
import statistics
import struct
import subprocess
import sys
import tempfile
import time

import numpy as np
from PIL import Image
from skimage import data, io, transform
from skimage.metrics import structural_similarity

IMAGES = {  # name: (loader, licence as scikit-image states it)
    "astronaut": (data.astronaut, "public domain (NASA)"),
    "camera": (data.camera, "CC0"),
    "chelsea": (data.chelsea, "CC0"),
    "coffee": (data.coffee, "CC0"),
    "hubble": (data.hubble_deep_field, "public domain (NASA)"),
    "retina": (data.retina, "CC0"),
    "rocket": (data.rocket, "public domain (SpaceX)"),
}
GREY = 128.0
RUNS = 5


def rgba(image):
    if image.ndim == 2:
        image = np.stack([image] * 3, axis=-1)
    if image.shape[2] == 3:
        image = np.concatenate([image, np.full(image.shape[:2] + (1,), 255, np.uint8)], axis=2)
    return image.astype(np.uint8)


def round_cut_out(image):
    """The image inside an ellipse, transparent outside: edges to get right."""
    h, w = image.shape[:2]
    y, x = np.ogrid[:h, :w]
    inside = ((x - w / 2) / (w / 2)) ** 2 + ((y - h / 2) / (h / 2)) ** 2 <= 1
    out = image.copy()
    out[..., 3] = np.where(inside, 255, 0)
    return out


def to_linear(c):
    c = c / 255.0
    return np.where(c <= 0.04045, c / 12.92, ((c + 0.055) / 1.055) ** 2.4)


def to_srgb(c):
    c = np.clip(c, 0, 1)
    return np.where(c <= 0.0031308, c * 12.92, 1.055 * c ** (1 / 2.4) - 0.055) * 255


def area_weights(n_in, n_out):
    """Each output pixel the exact average of the input area it covers."""
    scale = n_in / n_out
    weights = np.zeros((n_out, n_in))
    for i in range(n_out):
        lo, hi = i * scale, (i + 1) * scale
        for j in range(int(np.floor(lo)), min(n_in, int(np.ceil(hi)))):
            weights[i, j] = min(hi, j + 1) - max(lo, j)
    return weights / weights.sum(axis=1, keepdims=True)


def pillow_lanczos(channel, size):
    return np.asarray(Image.fromarray(channel.astype(np.float32), mode="F").resize(size, Image.LANCZOS))


def ideal_resize(source, canvas, content, kind):
    """In linear light with premultiplied alpha: Pillow's Lanczos-3 (scaled to the
    reduction, on 32-bit float channels), or the exact area average."""
    alpha = source[..., 3:4] / 255.0
    premultiplied = np.concatenate([to_linear(source[..., :3].astype(float)) * alpha, alpha], axis=2)
    cw, ch = content
    if kind == "lanczos":
        small = np.stack([pillow_lanczos(premultiplied[..., c], (cw, ch)) for c in range(4)], axis=2)
    else:
        rows, columns = area_weights(source.shape[0], ch), area_weights(source.shape[1], cw)
        small = np.einsum("xj,yjc->yxc", columns, np.einsum("yi,ijc->yjc", rows, premultiplied))
    a = np.clip(small[..., 3:4], 0, 1)
    colour = np.where(a > 0, small[..., :3] / np.maximum(a, 1e-9), 0)
    out = np.zeros((canvas[1], canvas[0], 4), np.uint8)
    x0, y0 = (canvas[0] - cw) // 2, (canvas[1] - ch) // 2
    out[y0:y0 + ch, x0:x0 + cw, :3] = np.round(to_srgb(colour)).astype(np.uint8)
    out[y0:y0 + ch, x0:x0 + cw, 3] = np.round(a[..., 0] * 255).astype(np.uint8)
    return out


def read_spray(path):
    """RGBA of a colour spray file: index 255 is transparent."""
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
    return out, len(b)


def fit_content(source_size, canvas):
    w, h = source_size
    s = min(canvas[0] / w, canvas[1] / h, 1.0)
    return max(1, round(w * s)), max(1, round(h * s))


def score(candidate, ideal):
    """SSIM over grey of what the game shows (opaque or not), and mask agreement."""
    def over_grey(img, opaque):
        a = opaque[..., None].astype(float)
        return img[..., :3] * a + GREY * (1 - a)

    ideal_mask = ideal[..., 3] >= 128
    mask = candidate[..., 3] >= 128
    ssim = structural_similarity(over_grey(candidate, mask), over_grey(ideal, ideal[..., 3] / 255.0),
                                 channel_axis=2, data_range=255)
    return ssim, float(np.mean(mask == ideal_mask))


def timed(command):
    times = []
    for _ in range(RUNS):
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return statistics.median(times) * 1000


def run_pngquant(ideal_png, out_png, dither):
    dithering = ["--nofs"] if dither == 0 else [f"--floyd={dither}"]
    subprocess.run(["pngquant", "--speed", "1", *dithering, "--force", "--output", out_png, "256",
                    ideal_png], check=True)


def main():
    build = os.path.abspath(sys.argv[1])
    dithers = [float(d) for d in sys.argv[2:]] or [0.0, 0.25, 0.5, 0.75, 1.0]
    spray_cli = os.path.join(build, "tagswap-spray")
    tool = os.path.join(build, "bench", "spray_bench_tool")
    work = tempfile.mkdtemp(prefix="spray-bench-")
    sources = {name: rgba(load()) for name, (load, _) in IMAGES.items()}
    sources["coffee, round cut-out"] = round_cut_out(sources["coffee"])
    sources["chelsea, round cut-out"] = round_cut_out(sources["chelsea"])

    rows = []
    means = {d: [] for d in dithers}
    for name, source in sources.items():
        stem = os.path.join(work, name.replace(" ", "_").replace(",", ""))
        io.imsave(stem + ".png", source, check_contrast=False)
        for dither in dithers:
            wad = f"{stem}-{dither}.wad"
            ms = timed([spray_cli, "make", stem + ".png", "-o", wad, "--force", "--dither", str(dither)])
            ours, size = read_spray(wad)
            canvas = (ours.shape[1], ours.shape[0])
            content = fit_content((source.shape[1], source.shape[0]), canvas)
            ideal = ideal_resize(source, canvas, content, "lanczos")
            s_area, _ = score(ours, ideal_resize(source, canvas, content, "area"))
            io.imsave(stem + "-ideal.png", ideal, check_contrast=False)
            run_pngquant(stem + "-ideal.png", stem + "-pq.png", dither)
            pq = rgba(io.imread(stem + "-pq.png"))
            subprocess.run([tool, "qt-indexed8", stem + "-ideal.png", stem + "-qt.png", str(dither)], check=True)
            qt = rgba(io.imread(stem + "-qt.png"))
            subprocess.run([spray_cli, "make", stem + "-ideal.png", "-o", stem + "-same.wad", "--force",
                            "--dither", str(dither), "--size", f"{canvas[0]}x{canvas[1]}"], check=True,
                           stdout=subprocess.DEVNULL)
            same, _ = read_spray(stem + "-same.wad")
            s_same, _ = score(same, ideal)
            s_ours, m_ours = score(ours, ideal)
            s_pq, m_pq = score(pq, ideal)
            s_qt, m_qt = score(qt, ideal)
            means[dither].append((s_ours, s_same, s_pq, s_qt, s_area))
            rows.append((name, dither, canvas, size, ms, s_ours, m_ours, s_same, s_pq, m_pq, s_qt, m_qt))

    print("| Image | Dither | Spray | Bytes | Tagswap ms | SSIM Tagswap (from source) | mask "
          "| SSIM Tagswap (same input) | SSIM pngquant | mask | SSIM Qt | mask |")
    print("|---|---|---|---|---|---|---|---|---|---|---|---|")
    for name, d, canvas, size, ms, so, mo, ss, sp, mp, sq, mq in rows:
        print(f"| {name} | {d:g} | {canvas[0]}x{canvas[1]} | {size} | {ms:.0f} | {so:.4f} | {mo:.4f} "
              f"| {ss:.4f} | {sp:.4f} | {mp:.4f} | {sq:.4f} | {mq:.4f} |")
    print()
    print("| Dither | mean SSIM Tagswap (from source) | (same input) | pngquant | Qt "
          "| worst Tagswap (from source) - pngquant | worst (same input) - pngquant "
          "| mean SSIM Tagswap (from source) against an area average |")
    print("|---|---|---|---|---|---|---|---|")
    for d in dithers:
        o, s, p, q, a = zip(*means[d])
        worst_source = min(x - y for x, y in zip(o, p))
        worst_same = min(x - y for x, y in zip(s, p))
        print(f"| {d:g} | {statistics.mean(o):.4f} | {statistics.mean(s):.4f} | {statistics.mean(p):.4f} "
              f"| {statistics.mean(q):.4f} | {worst_source:+.4f} | {worst_same:+.4f} | {statistics.mean(a):.4f} |")

    # A 12-megapixel photo: the astronaut, enlarged with detail added so it does not
    # compress like a smooth enlargement.
    big = transform.resize(sources["astronaut"][..., :3], (3000, 4000), order=3)
    rng = np.random.default_rng(1)
    big = np.clip(big * 255 + rng.normal(0, 6, big.shape), 0, 255).astype(np.uint8)
    photo = os.path.join(work, "photo-12mp.jpg")
    io.imsave(photo, big, quality=90)
    t_ours = timed([spray_cli, "make", photo, "-o", os.path.join(work, "photo.wad"), "--force"])
    ours, _ = read_spray(os.path.join(work, "photo.wad"))
    content = fit_content((4000, 3000), (ours.shape[1], ours.shape[0]))
    t_vips = timed(["vipsthumbnail", photo, "--size", f"{content[0]}x{content[1]}!", "-o",
                    os.path.join(work, "photo-vips.png")])
    t_quick, t_careful = subprocess.run([tool, "preview-time", photo, "20", str(dithers[0])], check=True,
                                        capture_output=True, text=True).stdout.split()
    print()
    print("| 12-megapixel JPEG (4000x3000) | median of 5, ms |")
    print("|---|---|")
    print(f"| tagswap-spray make (to {ours.shape[1]}x{ours.shape[0]}, whole process) | {t_ours:.0f} |")
    print(f"| vipsthumbnail, only resizing to {content[0]}x{content[1]} | {t_vips:.0f} |")
    print(f"| a preview update in the window, quick palette shown first (median of 20) | {t_quick} |")
    print(f"| the careful palette that replaces it and that Save writes (median of 20) | {t_careful} |")


if __name__ == "__main__":
    main()
