"""The package against the tool's golden outputs (tests/golden/*/expected,
themselves checked byte for byte against the tool), and its refusals."""

import pathlib
import subprocess
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

import colorcorrect as cc

GOLDEN = pathlib.Path(__file__).resolve().parents[1] / "golden"
APPLY, SCOPE, AUTO = GOLDEN / "apply", GOLDEN / "scope", GOLDEN / "auto"
LOOK = cc.Correction.load(str(GOLDEN / "look.json"))


def same(actual, expected_path):
    expected = cc.read_picture(str(expected_path))
    assert actual.shape == expected.shape
    bad = np.argwhere(actual != expected)
    assert bad.size == 0, f"{expected_path.name}: first difference at {tuple(bad[0])}"


@pytest.mark.parametrize("name", ["still", "alpha", "odd"])
def test_pictures_as_the_tool_corrects_them(name, tmp_path):
    rgb = cc.read_picture(str(APPLY / "in" / f"{name}.png"))
    f = cc.Filter(LOOK)
    out = f.apply_rgb(rgb)
    same(out, APPLY / "expected" / f"{name}-look.png")
    cc.write_picture(str(tmp_path / "w.png"), out)
    f.apply_file(str(APPLY / "in" / f"{name}.png"), str(tmp_path / "f.png"))
    for written in ("w.png", "f.png"):
        assert (tmp_path / written).read_bytes() == (APPLY / "expected" / f"{name}-look.png").read_bytes()
    threaded = rgb.copy()
    cc.Filter(LOOK, threads=3).apply_rgb(threaded, out=threaded)
    assert np.array_equal(threaded, out)


def y4m_frames(path):
    data = path.read_bytes()
    header, _, body = data.partition(b"\n")
    w = int(header.split(b" W")[1].split()[0])
    h = int(header.split(b" H")[1].split()[0])
    planes = 4 if b"444alpha" in header else 3
    step = 6 + w * h * planes
    frames = [body[i + 6:i + step] for i in range(0, len(body), step)]
    return [np.frombuffer(f, np.uint8).reshape(planes, h, w).transpose(1, 2, 0).copy() for f in frames]


@pytest.mark.parametrize("name", ["s444", "s444alpha"])
def test_yuv_frames_as_the_tool_corrects_streams(name):
    f = cc.Filter(LOOK)
    # Packed arrays are the library's own YUV: the stream read as full range.
    expected = y4m_frames(APPLY / "expected" / f"{name}-look-full.y4m")
    for frame, want in zip(y4m_frames(APPLY / "in" / f"{name}.y4m"), expected):
        assert np.array_equal(f.apply(frame), want)
        f.apply(frame, out=frame)
        assert np.array_equal(frame, want)


SCOPES = [  # expected file, arguments of cc.scope
    ("vector-isolate-3.png", dict(mode="vector", isolate=1, isolate_type=3)),
    ("waveform.png", dict(mode="waveform", intensity=200)),
    ("histogram-reference.png", dict(mode="histogram", reference="ref.png")),
    ("lightning.png", dict(mode="lightning", intensity=40)),
    ("cube-turned.png", dict(mode="cube", angles=(30, 60, 0), isolate=1)),
    ("combined.png", dict(mode="combined")),
]


@pytest.mark.parametrize("expected,kwargs", SCOPES)
def test_every_scope_mode(expected, kwargs):
    still = cc.read_picture(str(SCOPE / "in" / "still.png"))
    if "reference" in kwargs:
        kwargs["reference"] = cc.read_picture(str(SCOPE / "in" / kwargs["reference"]))
    same(cc.scope(rgb=still, correction=LOOK, **kwargs), SCOPE / "expected" / expected)


def test_scope_picture_and_channel():
    still = cc.read_picture(str(SCOPE / "in" / "still.png"))
    _, picture = cc.scope("waveform", still, correction=LOOK, channel="blue", picture=True)
    same(picture, SCOPE / "expected" / "channel-blue.png")


def test_luts_and_real_time_package(tmp_path):
    expected = GOLDEN / "lut" / "expected"
    LOOK.write_cube(str(tmp_path / "look-2.cube"), 2)
    assert (tmp_path / "look-2.cube").read_bytes() == (expected / "look-2.cube").read_bytes()
    rows = [l.split() for l in (expected / "look-6.cube").read_text().splitlines()]
    table = np.array([[float(v) for v in r] for r in rows if len(r) == 3 and r[0][0].isdigit()])
    assert np.abs(cc.cube(LOOK, 6).reshape(-1, 3) - table).max() < 1e-6
    assert LOOK.rt_package() == (expected / "look.rtlut").read_bytes()


AUTOS = [  # expected file, analysis, uses the reference, arguments
    ("gray-1-gamma.json", "gray_balance", False, dict(points=[(23, 47)], mode="gamma")),
    ("gray-3.json", "gray_balance", False, dict(points=[(23, 47), (40, 25), (70, 20)], correction=LOOK)),
    ("tone-both.json", "tone_balance", True, dict(pair=((23, 47), (25, 50)), mode="both")),
    ("colour-3.ccr", "colour_balance", True, dict(pairs=[((23, 47), (23, 47)), ((8, 50), (8, 50)),
                                                         ((40, 25), (40, 25))])),
    ("contrast.json", "contrast", False, dict(points=[(40, 25), (23, 47)])),
    ("histmatch-rect.json", "histogram_match", True, dict(source_rect=(0, 38, 48, 64),
                                                          reference_rect=(48, 38, 96, 64))),
    ("huematch.json", "hue_match", True, {}),
    ("vector-widen.json", "match_vector", False, dict(rect=(0, 40, 15, 64), widen=[(64, 40, 79, 64),
                                                      (48, 40, 60, 50)], index=3, correction=LOOK)),
    ("vector-to.json", "match_vector", None, dict(rect=(0, 40, 15, 64), to=(80, 40, 95, 64))),
]


@pytest.mark.parametrize("expected,name,with_ref,kwargs", AUTOS)
def test_every_analysis(expected, name, with_ref, kwargs, tmp_path):
    # gray's golden runs analyse ref.png; the others still.png.
    source = cc.read_picture(str(AUTO / "in" / ("ref.png" if name == "gray_balance" else "still.png")))
    ref = cc.read_picture(str(AUTO / "in" / "ref.png"))
    args = (source, ref) if with_ref else (source,)
    if with_ref is None:
        kwargs = dict(kwargs, reference=ref)
    getattr(cc.auto, name)(*args, **kwargs).save(str(tmp_path / expected))
    assert (tmp_path / expected).read_bytes() == (AUTO / "expected" / expected).read_bytes()


def test_correction_fields_and_files(tmp_path):
    look = cc.Correction()
    look.flags.primary = True
    look.base.y_gamma = 30
    look.base.range_flags.legal = True
    look.vector6.blue.hue = -256
    look.match.count = 2
    look.match.vectors[1].u = -128
    for name in ("l.json", "l.ccr"):
        look.save(str(tmp_path / name))
        assert cc.Correction.load(str(tmp_path / name)) == look
    cli = subprocess.run([cc_cli(), "convert", str(tmp_path / "l.ccr"), "-"], capture_output=True, check=True)
    assert cli.stdout.decode() == look.to_json()
    assert len(look.to_bytes()) == 564 and cc.Correction.from_bytes(look.to_bytes()) == look
    orphan = cc.Correction().match.vectors[15]  # outlives its correction
    orphan.sat_soft = 255
    assert orphan.sat_soft == 255 and look != cc.Correction() and look != 5


def cc_cli():
    import os
    return os.environ.get("COLORCORRECT_CLI", str(GOLDEN.parents[1] / "build" / "bin" / "colorcorrect"))


RGB = np.zeros((4, 5, 3), np.uint8)
REFUSED = [  # call, text the message must hold
    (lambda f: f.apply(RGB.astype(np.uint16)), "uint8"),
    (lambda f: f.apply(RGB[:, ::2]), "C-contiguous"),
    (lambda f: f.apply(np.asfortranarray(RGB)), "C-contiguous"),
    (lambda f: f.apply(RGB[..., 0]), "x 3 or 4"),
    (lambda f: f.apply(np.zeros((4, 5, 5), np.uint8)), "x 3 or 4"),
    (lambda f: f.apply(np.zeros((0, 5, 3), np.uint8)), "no pixels"),
    (lambda f: f.apply([[[1, 2, 3]]]), "numpy array"),
    (lambda f: f.apply(RGB, out=np.zeros((4, 5, 4), np.uint8)), "shape"),
    (lambda f: f.apply(RGB, out=np.broadcast_to(RGB, RGB.shape)), "read-only"),
    (lambda f: f.apply_rgb(np.empty((1, (1 << 28) + 1, 3), np.uint8)), "too large"),
    (lambda f: f.apply(RGB, threads=100000), "threads"),
    (lambda f: cc.scope("sideways", RGB), "unknown display"),
    (lambda f: cc.scope("vector", RGB, isolate=5), "isolate"),
    (lambda f: cc.cube(LOOK, 1), "2..256"),
    (lambda f: setattr(cc.Correction().base, "hue", 257), "base.hue 257 is outside -256..256"),
    (lambda f: setattr(cc.Correction().match, "count", 17), "0..16"),
    (lambda f: cc.Correction.from_bytes(b"\0" * 564), "size"),
    (lambda f: cc.Correction.from_bytes(b"{" * 100000), ""),
    (lambda f: cc.auto.gray_balance(RGB, points=[(9, 9)]), ""),
    (lambda f: cc.auto.histogram_match(RGB, None), "reference"),
    (lambda f: cc.write_picture("/tmp/x.tiff", RGB), "format"),
]


@pytest.mark.parametrize("call,text", REFUSED)
def test_refusals(call, text):
    with pytest.raises(ValueError, match=text):
        call(cc.Filter(LOOK))


def test_threads_share_one_filter():
    rng = np.random.default_rng(7)
    frames = [rng.integers(0, 256, (61, 83, 3), dtype=np.uint8) for _ in range(8)]
    f = cc.Filter(LOOK)
    with ThreadPoolExecutor(4) as pool:
        results = list(pool.map(f.apply, frames))
    assert all(np.array_equal(r, f.apply(x)) for r, x in zip(results, frames))
