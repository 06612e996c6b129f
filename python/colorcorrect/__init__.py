"""Bit-exact colour correction on NumPy arrays.

    import colorcorrect as cc
    look = cc.Correction.load("look.json")
    rgb = cc.read_picture("in.png")
    cc.write_picture("out.png", cc.Filter(look).apply_rgb(rgb))

Every function gives the bytes the ``colorcorrect`` command-line tool gives
for the same correction and picture; see docs/python.md.
"""

import os as _os

from . import _colorcorrect
from ._colorcorrect import (
    Base,
    Correction,
    Filter,
    Flags,
    Match,
    MatchVector,
    RangeFlags,
    Segment,
    Vector6,
    cube,
    read_picture,
    scope,
    write_picture,
    y4m_layout,
)
from . import auto

# The scope backgrounds travel with the package (the library would look for
# them beside the interpreter).
_colorcorrect._load_resources(_os.path.join(_os.path.dirname(__file__), "resource"))

__all__ = [
    "Base", "Correction", "Filter", "Flags", "Match", "MatchVector", "RangeFlags", "Segment", "Vector6",
    "auto", "cube", "read_picture", "scope", "write_picture", "y4m_layout",
]
