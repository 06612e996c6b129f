"""Corrections computed from pictures, as ``colorcorrect auto`` computes them.

Pictures are H x W x 3 or 4 uint8 RGB(A) arrays; points are (x, y) pixels
from the top left; regions are (left, top, right, bottom) with right and
bottom exclusive. Each function returns a new Correction: the starting
``correction`` (neutral when None) with the analysis's result written in.
"""

from . import _colorcorrect

_MODES = {"white": 0, "black": 1, "gamma": 2, "both": 3}


def _mode(mode):
    if mode not in _MODES:
        raise ValueError(f"mode {mode!r}: expected white, black, gamma or both")
    return _MODES[mode]


def gray_balance(rgb, points, mode="white", correction=None):
    """Gray balance through one to three points that should be neutral."""
    return _colorcorrect._auto("gray", rgb, points=points, mode=_mode(mode), correction=correction)


def tone_balance(source, reference, pair, mode="white", correction=None):
    """Tone balance of a source point to a reference point: pair = ((sx, sy), (rx, ry))."""
    return _colorcorrect._auto("tone", source, reference, pairs=[pair], mode=_mode(mode), correction=correction)


def colour_balance(source, reference, pairs, correction=None):
    """Channel curves carrying one or three source points to reference points."""
    return _colorcorrect._auto("colour", source, reference, pairs=pairs, correction=correction)


color_balance = colour_balance


def contrast(rgb, points, correction=None):
    """Contrast from a dark and a bright point."""
    return _colorcorrect._auto("contrast", rgb, points=points, correction=correction)


def histogram_match(source, reference, source_rect=None, reference_rect=None, correction=None):
    """Luma and colour distributions of the source matched to the reference's."""
    return _colorcorrect._auto("histmatch", source, reference, source_rect=source_rect,
                               reference_rect=reference_rect, correction=correction)


def hue_match(source, reference, source_rect=None, reference_rect=None, correction=None):
    """Hues of the source matched to the reference's."""
    return _colorcorrect._auto("huematch", source, reference, source_rect=source_rect,
                               reference_rect=reference_rect, correction=correction)


def match_vector(source, rect, widen=(), to=None, reference=None, index=None, correction=None):
    """A match vector selecting the colours of `rect` (widened to cover the
    `widen` regions), carried to the colour of region `to` of the reference
    when given; number `index` (default: the next free one)."""
    return _colorcorrect._auto("vector", source, reference, rect=rect, widen=list(widen), to=to, index=index,
                               correction=correction)
