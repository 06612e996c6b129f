#!/usr/bin/env python3
"""Writes the committed seed corpora: fuzz/corpus/<target>/<seed>.

    python3 fuzz/make_corpus.py            every target
    python3 fuzz/make_corpus.py bmp_load   one target

The seeds are made here, not kept from fuzzing runs, so that they stay small,
readable and reproducible. A target's folder is emptied and written anew.

Targets that read their input with FuzzedDataProvider (every one but
bmp_load) take their numbers from the END of the input: Script records the
values in the order the target asks for them, with the same ranges, and lays
out the bytes the way the provider reads them back. A seed written for an older
version of a target is still a valid input; it just means something else.
"""

import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


class Script:
    """Bytes that make FuzzedDataProvider return the recorded values."""

    def __init__(self):
        self.consumed = []  # bytes in the order the provider consumes them
        self.front = b""    # bytes taken with ConsumeBytes, from the start

    def raw(self, data):
        """Bytes a ConsumeBytes call returns (it reads from the start)."""
        self.front += bytes(data)
        return self

    def in_range(self, value, lo, hi):
        assert lo <= value <= hi, (value, lo, hi)
        span = hi - lo
        offset = value - lo
        width = 0
        while width < 64 and (span >> width) > 0:
            width += 8
        # The provider builds the value from the first consumed byte down.
        for shift in range(width - 8, -8, -8):
            self.consumed.append((offset >> shift) & 0xFF)
        return self

    def boolean(self, value):
        return self.in_range(1 if value else 0, 0, 255)

    def u8(self, value):
        return self.in_range(value, 0, 0xFF)

    def u16(self, value):
        return self.in_range(value, 0, 0xFFFF)

    def i32(self, value):
        return self.in_range(value, -(1 << 31), (1 << 31) - 1)

    def u32(self, value):
        return self.in_range(value, 0, (1 << 32) - 1)

    def u64(self, value):
        return self.in_range(value, 0, (1 << 64) - 1)

    def data(self):
        return self.front + bytes(reversed(self.consumed))


# ---- bmp_load: BMP file images ---------------------------------------------------


def bmp(width, height, bits, rows, palette=None, info_size=40, compression=0,
        masks=None, colours_used=0, offset=None, file_size=None):
    """A BMP file image; `rows` are the stored rows (bottom-up unless height < 0)."""
    stride = (width * bits + 31) // 32 * 4
    pixels = b"".join(row.ljust(stride, b"\0") for row in rows)
    info = struct.pack("<IiiHHIIiiII", info_size, width, height, 1, bits, compression,
                       len(pixels), 2835, 2835, colours_used, 0)
    if info_size > 40:
        extra = b"".join(struct.pack("<I", m) for m in (masks or []))
        info += extra.ljust(info_size - 40, b"\0")
    elif masks:
        info += b"".join(struct.pack("<I", m) for m in masks)
    table = b"".join(bytes(entry) + b"\0" for entry in (palette or []))
    header_bytes = 14 + len(info) + len(table)
    pixel_offset = header_bytes if offset is None else offset
    body = info + table
    gap = b"\0" * max(0, pixel_offset - header_bytes)
    total = 14 + len(body) + len(gap) + len(pixels)
    head = struct.pack("<2sIHHI", b"BM", total if file_size is None else file_size, 0, 0,
                       pixel_offset)
    return head + body + gap + pixels


def patched(data, offset, fmt, *values):
    """`data` with struct-packed `values` written at `offset`."""
    field = struct.pack(fmt, *values)
    return data[:offset] + field + data[offset + len(field):]


def gradient_rows(width, height, pixel):
    return [b"".join(pixel(x, y) for x in range(width)) for y in range(height)]


def bmp_load_seeds():
    rgb = lambda x, y: bytes([(x * 40) & 255, (y * 60) & 255, (x * y * 9 + 17) & 255])
    rgba = lambda x, y: rgb(x, y) + bytes([(x * 50 + y * 30) & 255])
    zero_alpha = lambda x, y: rgb(x, y) + b"\0"
    seeds = {
        "rgb24_3x2": bmp(3, 2, 24, gradient_rows(3, 2, rgb)),
        "rgb24_5x3_top_down": bmp(5, -3, 24, gradient_rows(5, 3, rgb)),
        "rgb24_1x1": bmp(1, 1, 24, [b"\x10\x20\x30"]),
        "rgb24_17x4": bmp(17, 4, 24, gradient_rows(17, 4, rgb)),
        "rgb32_alpha_4x3": bmp(4, 3, 32, gradient_rows(4, 3, rgba)),
        "rgb32_zero_alpha_3x3": bmp(3, 3, 32, gradient_rows(3, 3, zero_alpha)),
        "bitfields40_4x2": bmp(4, 2, 32, gradient_rows(4, 2, rgba), compression=3,
                               masks=[0xFF0000, 0xFF00, 0xFF]),
        "bitfields56_alpha_3x2": bmp(3, 2, 32, gradient_rows(3, 2, rgba), info_size=56,
                                     compression=3,
                                     masks=[0xFF0000, 0xFF00, 0xFF, 0xFF000000]),
        "v4_108_3x2": bmp(3, 2, 32, gradient_rows(3, 2, rgba), info_size=108, compression=3,
                          masks=[0xFF0000, 0xFF00, 0xFF, 0xFF000000]),
        "v5_124_24bit_2x2": bmp(2, 2, 24, gradient_rows(2, 2, rgb), info_size=124),
        "v3_52_24bit_2x3": bmp(2, 3, 24, gradient_rows(2, 3, rgb), info_size=52),
        "pal8_2colours_6x2": bmp(6, 2, 8, [bytes([0, 1, 1, 0, 1, 0]), bytes([1] * 6)],
                                 palette=[(255, 0, 0), (0, 200, 100)], colours_used=2),
        "pal8_256_4x4": bmp(4, 4, 8, [bytes([(x * 64 + y) & 255 for x in range(4)])
                                      for y in range(4)],
                            palette=[(i, 255 - i, i // 2) for i in range(256)]),
        "gap_before_pixels_2x2": bmp(2, 2, 24, gradient_rows(2, 2, rgb), offset=80),
        # Faulty images the loader must refuse.
        "bad_truncated": bmp(4, 4, 24, gradient_rows(4, 4, rgb))[:-5],
        "bad_offset_past_end": bmp(2, 2, 24, gradient_rows(2, 2, rgb), offset=4000),
        "bad_palette_index": bmp(2, 1, 8, [bytes([0, 7])], palette=[(1, 2, 3)],
                                 colours_used=1),
        "bad_huge_size": patched(bmp(1, 1, 24, [b"\1\2\3"]), 18, "<ii", 0x7FFFFFFF, 0x7FFFFFFF),
        "bad_rle8": bmp(2, 2, 8, [b"\0\0", b"\0\0"], palette=[(0, 0, 0)], compression=1),
    }
    return seeds


# ---- picture_ops: sequences of picture and drawing operations --------------------

PICTURE_OPS = {name: i for i, name in enumerate([
    "alloc", "alloc_yuv", "realloc", "setdib_picture", "setdib_header", "getdib", "to_yuv",
    "copy", "move", "free", "poke_header", "resize_block", "fill", "select", "line", "clear",
    "draw_text", "limit_blocks"])}


class PictureOps(Script):
    """Mirrors picture_ops_fuzzer.cpp's reading order."""

    def op(self, name, a=0, b=0):
        self.in_range(a, 0, 2).in_range(b, 0, 2)
        return self.in_range(PICTURE_OPS[name], 0, len(PICTURE_OPS) - 1)

    def dim(self, value):
        return self.in_range(2, 0, 7).in_range(value, 0, 40)

    def bits(self, value):
        return self.in_range(2, 0, 7).boolean(value == 24)

    def coord(self, value):
        if -8 <= value <= 56:
            return self.in_range(2, 0, 7).in_range(value, -8, 56)
        return self.in_range(1, 0, 7).i32(value)

    def flags(self, premultiplied=False):
        return self.in_range(1 if premultiplied else 2, 0, 3)

    def alloc(self, pic, w, h, bits, yuv=False):
        self.op("alloc_yuv" if yuv else "alloc", pic)
        return self.dim(w).dim(h).bits(bits).flags()

    def setdib(self, pic, source, size, bits, realloc=False):
        self.op("realloc" if realloc else "setdib_picture", pic, source)
        self.boolean(size is not None)
        if size is not None:
            self.dim(size[0]).dim(size[1])
        return self.bits(bits).flags()

    def fill(self, pic, a, b):
        return self.op("fill", pic).u8(a).u8(b)

    def getdib(self, pic, to, x, y, w, h):
        return self.op("getdib", pic, to).coord(x).coord(y).coord(w).coord(h)

    def select(self, pic, colour):
        return self.op("select", pic).i32(0).boolean(True).u32(colour).i32(0)

    def line_to(self, x, y):
        return self.op("line").in_range(2, 0, 3).coord(x).coord(y)

    def draw(self, x1, y1, x2, y2):
        return self.op("line").in_range(3, 0, 3).coord(x1).coord(y1).coord(x2).coord(y2)

    def text(self, rect, chars, measure=False, opaque=False, utf16=False):
        self.op("draw_text")
        for v in rect:
            self.coord(v)
        self.boolean(measure)
        if not measure:
            self.u32(0)
        self.boolean(True).in_range(2 if opaque else 1, 0, 3)
        self.in_range(len(chars), 0, 24)
        for ch in chars:
            if ch == "\n":
                self.in_range(0, 0, 5)
            elif 32 <= ord(ch) <= 126:
                self.in_range(3, 0, 5).in_range(ord(ch), 32, 126)
            else:
                self.in_range(1, 0, 5).u16(ord(ch))
        return self.boolean(utf16)


def picture_ops_seeds():
    seeds = {}

    s = PictureOps()
    s.alloc(0, 7, 5, 24).fill(0, 3, 11).setdib(1, 0, None, 32).setdib(2, 0, (3, 2), 24)
    s.setdib(1, 1, (11, 9), 32, realloc=True).op("to_yuv", 1)
    seeds["scale_and_convert"] = s.data()

    s = PictureOps()
    s.alloc(0, 9, 6, 32).fill(0, 5, 7).getdib(0, 1, 2, 1, 4, 3).getdib(0, 2, -3, -2, 40, 40)
    s.op("copy", 1, 0).op("move", 2, 1).op("free", 0)
    seeds["rectangles_and_copies"] = s.data()

    s = PictureOps()
    s.alloc(0, 30, 20, 24).select(0, 0x00FF8040).line_to(29, 19).draw(-5, 10, 40, 3)
    s.draw(15, -20, 15, 50).line_to(0, 0).op("clear")
    seeds["lines"] = s.data()

    s = PictureOps()
    s.alloc(1, 40, 24, 32).select(1, 0x0000FF00)
    s.text((2, 2, 38, 22), "Hi\nthere!", opaque=True)
    s.text((5, 5, 5, 5), "cut\u00e9\u263a", utf16=True)
    s.text((0, 0, 0, 0), "size me\nplease", measure=True)
    seeds["text"] = s.data()

    s = PictureOps()
    s.alloc(0, 6, 4, 24, yuv=True).fill(0, 9, 1).setdib(1, 0, (2, 2), 32)
    s.op("to_yuv", 0).getdib(1, 2, 0, 0, 2, 1)
    seeds["yuv_pictures"] = s.data()

    s = PictureOps()
    s.alloc(0, 8, 8, 24)
    s.op("poke_header", 0).in_range(7, 0, 11).boolean(True).in_range(1, -8, 8)  # field order
    s.setdib(0, 0, None, 32, realloc=True)
    s.op("poke_header", 0).in_range(0, 0, 11).boolean(True).in_range(-4, -8, 8)  # bfSize
    s.setdib(0, 0, None, 24, realloc=True)
    s.op("resize_block", 0).in_range(1, 0, 3).in_range(-16, -64, 64).boolean(True).u64(0)
    s.op("to_yuv", 0)
    seeds["changed_behind_its_back"] = s.data()

    s = PictureOps()
    s.op("setdib_header", 2).in_range(300, 74, 64 * 1024)
    s.boolean(True).in_range(5, 1, 64).boolean(True).in_range(4, 1, 64).bits(24)
    s.boolean(True).u32(7).boolean(True).in_range(74, 74, 200).boolean(True).u8(33)
    s.boolean(True).dim(3).dim(3).bits(32).flags()
    seeds["made_up_source"] = s.data()

    s = PictureOps()
    s.alloc(0, 5, 4, 24).op("limit_blocks").in_range(1, 0, 3)
    s.setdib(1, 0, (3, 3), 32).setdib(2, 0, (2, 2), 32).getdib(0, 1, 1, 1, 2, 2)
    s.op("copy", 2, 0).alloc(0, 6, 6, 32)
    seeds["memory_refused"] = s.data()
    return seeds


# ---- filter_process: the engine's set-up and processing ---------------------------

FILTER_OPS = {name: i for i, name in enumerate(
    ["setup_full", "setup_base", "process", "isolate", "limit_pages", "statics"])}

# Byte offsets in tagCOLORCORRINFO.
CC_FLAGS, BASE, VECTOR6, MATCH = 4, 8, 44, 108
RANGE_FLAGS, SOFT_Y, SOFT_C = BASE + 4, BASE + 6, BASE + 7
Y_WHITE, Y_GAMMA, Y_BLACK, HUE, SAT = (BASE + 8 + 2 * i for i in range(5))
R_BLACK, G_GAMMA = BASE + 22, BASE + 26
SIX_HUE, SIX_SAT, SIX_GAMMA = VECTOR6 + 40, VECTOR6 + 52, VECTOR6 + 16


def match_vector(y, u, v, y_range, hue_width, sat_width, y_soft, hue_soft, sat_soft,
                 white=0, gamma=0, black=0, hue=0, sat=0, u_offset=0, v_offset=0):
    return struct.pack("<IBBbbBBBBBBhhhhhhh", 28, 0, y, u, v, y_range, hue_width, sat_width,
                       y_soft, hue_soft, sat_soft, white, gamma, black, hue, sat, u_offset,
                       v_offset)


class FilterOps(Script):
    """Mirrors filter_process_fuzzer.cpp's reading order."""

    def op(self, name):
        return self.in_range(FILTER_OPS[name], 0, len(FILTER_OPS) - 1)

    def edit(self, *changes):
        """Full set-up after up to four 16-bit edits (offset, value)."""
        assert 1 <= len(changes) <= 4
        self.op("setup_full").in_range(5, 0, 5).in_range(len(changes), 1, 4)
        for offset, value in changes:
            self.in_range(offset, 0, 562).u16(value & 0xFFFF).boolean(True)
        return self

    def setup_with(self, mode, *values):
        """Full set-up after edit mode 1 (default), 2 (fix sizes) or 3 (flags)."""
        self.op("setup_full").in_range(mode, 0, 5)
        if mode == 3:
            self.boolean(True).in_range(values[0], 0, 15)
        return self

    def set_vector(self, k, vector):
        self.op("setup_full").in_range(4, 0, 5).in_range(k, 0, 15)
        return self.raw(vector)

    def setup_raw(self, record):
        return self.op("setup_full").in_range(0, 0, 5).raw(record)

    def setup_base(self, record, fix_size=True):
        return self.op("setup_base").boolean(True).raw(record).boolean(fix_size)

    def process(self, width, height, bits, premultiplied=False, compression=None, copies=False,
                height_edge=None):
        """Process; height_edge: index into fuzz_pick.cpp's edge sizes instead."""
        self.op("process").boolean(True).in_range(width, 0, 40)
        if height_edge is None:
            self.boolean(True).in_range(height, -8, 24)
        else:
            self.boolean(False).boolean(False).in_range(0, 0, 7).in_range(height_edge, 0, 18)
            if height_edge == 3:  # INT_MIN, kept as it is
                self.boolean(True)
        self.in_range(2, 0, 7).boolean(bits == 24)
        if compression is None:
            self.in_range(1, 0, 7)
        else:
            self.in_range(0, 0, 7).u32(compression)
        if premultiplied:
            self.boolean(True)
        else:
            self.boolean(False).u32(0)
        self.u32(0)                      # field order
        self.u8(17).u8(101).u8(3).u8(7)  # input and output bytes
        if compression is None and width >= 0:
            self.boolean(copies)
        return self

    def isolate(self, vector, kind):
        return self.op("isolate").in_range(1, 0, 7).in_range(vector, 0, 15).in_range(kind, 0, 7)

    def limit_pages(self, count):
        return self.op("limit_pages").in_range(count, 0, 2)


def filter_process_seeds():
    seeds = {}

    s = FilterOps()
    s.edit((CC_FLAGS, 1), (Y_GAMMA, 50), (HUE, 40), (SAT, 90))
    s.process(7, 5, 24).process(4, -3, 32, premultiplied=True, copies=True)
    seeds["primary"] = s.data()

    s = FilterOps()
    s.edit((CC_FLAGS, 3), (SIX_HUE + 2, 40), (SIX_SAT + 6, 100), (SIX_GAMMA + 8, -60))
    s.process(6, 4, 32).process(5, 2, 24, copies=True)
    seeds["six_vector"] = s.data()

    s = FilterOps()
    s.set_vector(1, match_vector(128, 40, -30, 100, 30, 25, 10, 50, 50, gamma=20, hue=30,
                                 sat=60, u_offset=5, v_offset=-5))
    s.set_vector(2, match_vector(90, -50, 20, 60, 20, 15, 40, 0, 0, white=-30, sat=-100))
    s.setup_with(3, 0xF).process(8, 6, 32, copies=True)
    s.isolate(1, 6).setup_with(2).process(3, 3, 24)
    seeds["match_vectors"] = s.data()

    s = FilterOps()
    s.edit((CC_FLAGS, 9), (RANGE_FLAGS, 3), (SOFT_Y, 255 | (100 << 8)), (R_BLACK, 20))
    s.process(9, 3, 24).edit((RANGE_FLAGS, 5), (CC_FLAGS, 0xD)).process(4, 4, 32)
    seeds["clipping"] = s.data()

    s = FilterOps()
    base = struct.pack("<IHBBhhhhhhhhhhhhhh", 36, 4, 30, 60, 10, -20, 5, 100, -80, 0, 0, 0,
                       0, 40, 0, 0, 0, -10)
    s.setup_base(base).process(5, 5, 32).setup_base(struct.pack("<I", 35) + base[4:], False)
    seeds["base_record"] = s.data()

    s = FilterOps()
    junk = bytes((i * 37 + 11) & 255 for i in range(564))
    s.setup_raw(junk).setup_with(2).process(6, 2, 32)
    seeds["junk_record"] = s.data()

    s = FilterOps()
    s.limit_pages(0).setup_with(3, 0x7).process(4, 2, 32)
    s.limit_pages(1).edit((MATCH + 4, 2)).process(4, 2, 24)
    seeds["pages_refused"] = s.data()

    s = FilterOps()
    s.edit((CC_FLAGS, 1)).process(3, 2, 32, compression=0).process(0, 5, 24)
    s.process(5, 0, 32).process(1, -1, 24)
    seeds["odd_headers"] = s.data()

    s = FilterOps()
    s.edit((CC_FLAGS, 1)).process(0, 0, 32, height_edge=4).process(0, 0, 24, height_edge=3)
    seeds["zero_width_tall"] = s.data()

    s = FilterOps()
    s.op("statics").i32(300).i32(-300).i32(1000).i32(1)
    s.raw(struct.pack("<I", 36) + b"\0" * 31 + b"\1")
    seeds["statics"] = s.data()
    return seeds


# ---- correction_file: correction files, JSON and binary ------------------------


def default_match_vector():
    return match_vector(128, 0, 0, 128, 14, 20, 10, 50, 50)


def correction_binary(flags=0, base=None, vector6=None, vectors=None, count=None):
    """The 564-byte record; `base` 32 bytes after its size, `vector6` 60 after its size."""
    base = base if base is not None else b"\0" * 32
    vector6 = vector6 if vector6 is not None else b"\0" * 60
    vectors = list(vectors or [])
    used = len(vectors) if count is None else count
    vectors += [default_match_vector()] * (16 - len(vectors))
    record = struct.pack("<II", 564, flags) + struct.pack("<I", 36) + base
    record += struct.pack("<I", 64) + vector6
    record += struct.pack("<II", 456, used) + b"".join(vectors)
    assert len(record) == 564, len(record)
    return record


def correction_file_seeds():
    base = struct.pack("<HBBhhhhhhhhhhhhhh", 2, 30, 10, 5, 20, -5, 12, 40, 1, 2, 3, 4, 5, 6,
                       7, 8, 9)
    vector6 = struct.pack("<30h", *[(i * 17) % 200 - 100 for i in range(30)])
    binary = correction_binary(0xF, base, vector6,
                               [default_match_vector(),
                                match_vector(90, 40, -30, 60, 30, 25, 10, 50, 50, gamma=20,
                                             hue=-40, u_offset=3)])
    seeds = {
        "binary_default": correction_binary(),
        "binary_full": binary,
        "binary_bad_size": struct.pack("<I", 563) + binary[4:],
        "binary_bad_count": binary[:112] + struct.pack("<I", 17) + binary[116:],
        "binary_bad_flags": binary[:4] + struct.pack("<I", 0x10) + binary[8:],
        "binary_short": binary[:-1],
        "binary_y_gamma_out_of_range": binary[:16] + struct.pack("<h", 300) + binary[18:],
        "json_example": b"""{
  "format": "colorcorrect-correction",
  "version": 1,
  "flags": {"primary": true, "six_vector": true, "match_vector": false, "clipping": true},
  "base": {
    "range_flags": {"video_luma": false, "legal": true, "chroma_reduced": false},
    "soft_y": 30,
    "y_gamma": 20,
    "sat": 40,
    "r_black": 6
  },
  "vector6": {
    "red": {"sat": -25},
    "blue": {"hue": 12}
  }
}
""",
        "json_minimal": b'{"format": "colorcorrect-correction", "version": 1}',
        "json_bom_space": b'\xef\xbb\xbf \r\n\t{"format":"colorcorrect-correction","version":1.0}',
        "json_match": b"""{"format": "colorcorrect-correction", "version": 1,
 "flags": {"match_vector": true},
 "match": {"count": 2, "vectors": [{}, {"flags": 1, "y": 100, "u": -128, "v": 127,
  "y_range": 40, "hue_width": 255, "sat_width": 0, "y_soft": 255, "hue_soft": 0,
  "sat_soft": 255, "white": -255, "gamma": 255, "black": 1, "hue": -256, "sat": 255,
  "u_offset": -255, "v_offset": 255}, {}, {"y": 7}]}}
""",
        "json_bad_range": b'{"format": "colorcorrect-correction", "version": 1, '
                          b'"base": {"y_gamma": 300}}',
        "json_bad_fraction": b'{"format": "colorcorrect-correction", "version": 1, '
                             b'"base": {"hue": 30.5}}',
        "json_duplicate_key": b'{"format": "colorcorrect-correction", "version": 1, '
                              b'"version": 1}',
        "json_unknown_key": b'{"format": "colorcorrect-correction", "version": 1, "x": []}',
        "json_too_many_vectors": b'{"format": "colorcorrect-correction", "version": 1, '
                                 b'"match": {"vectors": [' + b",".join([b"{}"] * 17) + b"]}}",
        "json_count_past_vectors": b'{"format": "colorcorrect-correction", "version": 1, '
                                   b'"match": {"count": 16, "vectors": [{}]}}',
        "json_huge_number": b'{"format": "colorcorrect-correction", "version": 1e400, '
                            b'"base": {"sat": -9223372036854775809}}',
        "json_truncated": b'{"format": "colorcorrect-correction", "vers',
        "json_deep": b'{"format": "colorcorrect-correction", "version": 1, "base": '
                     + b"[" * 200 + b"]" * 200 + b"}",
        "json_bad_utf8": b'{"format": "colorcorrect-corr\xff\xfeection", "version": 1}',
        "json_nul": b'{"format": "colorcorrect-correction\\u0000", "version": 1}',
    }
    return seeds


# ---- y4m_reader: YUV4MPEG2 streams ------------------------------------------------


def y4m(header, frames):
    return b"YUV4MPEG2 " + header + b"\n" + b"".join(b"FRAME" + f for f in frames)


def planes(size, seed):
    return bytes((seed + i * 7) & 255 for i in range(size))


def y4m_reader_seeds():
    return {
        "c420jpeg_4x2_two_frames": y4m(b"W4 H2 F25:1 Ip A1:1 C420jpeg",
                                       [b"\n" + planes(12, 1), b"\n" + planes(12, 9)]),
        "c420_odd_3x3": y4m(b"W3 H3 F30000:1001 It A0:0 C420",
                            [b"\n" + planes(9 + 2 * 4, 3)]),
        "no_colour_space_2x2": y4m(b"W2 H2", [b"\n" + planes(6, 5)]),
        "c444_2x2_params": y4m(b"W2 H2 Ib C444 XYSCSS=444 XCOLORRANGE=FULL",
                               [b" Ixyz XA=1\n" + planes(12, 7)]),
        "c444alpha_1x3": y4m(b"W1 H3 Im C444alpha", [b"\n" + planes(12, 2)] * 2),
        "c420mpeg2_5x1": y4m(b"W5 H1 I? C420mpeg2", [b"\n" + planes(5 + 2 * 3, 4)]),
        "c420paldv_2x4": y4m(b"W2 H4 C420paldv", [b"\n" + planes(8 + 2 * 2, 6)]),
        "header_only": y4m(b"W8 H8 C444", []),
        "truncated_frame": y4m(b"W4 H4 C444", [b"\n" + planes(40, 8)]),
        "bad_frame_line": y4m(b"W2 H2 C444", [b"S\n" + planes(12, 0)]),
        "bad_colour_space": y4m(b"W2 H2 C411", [b"\n" + planes(8, 0)]),
        "huge_frames": y4m(b"W30000 H30000 C444alpha", [b"\n" + planes(64, 0)]),
        "too_large": y4m(b"W2147483647 H2147483647", [b"\n"]),
        "negative_size": y4m(b"W-4 H2", [b"\n" + planes(12, 0)]),
        "twice_width": y4m(b"W4 W4 H2", [b"\n" + planes(12, 0)]),
        "control_character": y4m(b"W2 H2 X\x01", [b"\n" + planes(6, 0)]),
        "no_newline": b"YUV4MPEG2 W2 H2",
        "not_y4m": b"YUV4MPEG W2 H2\nFRAME\n" + planes(6, 0),
    }


# ---- rt_display: ProcessRTDisplay ---------------------------------------------------


class RecordEdits(Script):
    """Mirrors support/fuzz_record.cpp's EditCorrection."""

    def default_record(self):
        return self.in_range(1, 0, 5)

    def groups(self, flags):
        return self.in_range(2, 0, 5).boolean(True).in_range(flags, 0, 15)

    def vector(self, k, vector):
        return self.in_range(3, 0, 5).in_range(k, 0, 15).raw(vector)

    def pokes(self, *changes, fix_sizes=True):
        self.in_range(5, 0, 5).in_range(len(changes), 1, 4)
        for offset, value in changes:
            self.in_range(offset, 0, 562).u16(value & 0xFFFF)
        return self.boolean(fix_sizes)

    def raw_record(self, record):
        return self.in_range(0, 0, 5).raw(record)


class RtOps(RecordEdits):
    """Mirrors rt_display_fuzzer.cpp's reading order."""

    def setup(self):
        return self.in_range(0, 0, 2)

    def field(self, value):
        return self.in_range(2, 0, 2).boolean(True).in_range(value, 0, 3)

    def process(self, width, height, bits, flags, field_order=0, overlay=False, nulls=7,
                compression=None):
        self.in_range(1, 0, 2).boolean(True).in_range(width, 0, 24)
        self.boolean(True).in_range(height, -12, 24)
        self.in_range(2, 0, 7).boolean(bits == 24)
        if compression is None:
            self.in_range(1, 0, 7)
        else:
            self.in_range(0, 0, 7).u32(compression)
        self.boolean(True).in_range(field_order, 0, 1)
        self.boolean(True).in_range(flags, 0, 3)
        self.in_range(nulls, 0, 15).boolean(overlay)
        for a, b, c in ((16, 37, 3), (200, 11, 5), (1, 2, 3)):
            self.u8(a).u8(b).u8(c)
        return self


def rt_display_seeds():
    seeds = {}
    primary = ((CC_FLAGS, 9), (Y_GAMMA, 60), (HUE, 30), (R_BLACK, -40))
    s = RtOps()
    s.setup().pokes(*primary)
    s.process(6, 4, 32, 0).process(6, 4, 32, 1).process(6, 4, 32, 3)
    seeds["geometries_32"] = s.data()

    s = RtOps()
    s.setup().pokes(*primary).field(2)
    s.process(5, 5, 24, 0).process(5, -5, 24, 1, field_order=1).process(7, 3, 24, 3)
    seeds["geometries_24"] = s.data()

    s = RtOps()
    s.setup().pokes((CC_FLAGS, 1), (SAT, -120), (G_GAMMA, 90))
    s.process(8, 6, 32, 0, overlay=True).process(8, 6, 32, 1, overlay=True)
    s.process(9, 4, 24, 0, overlay=True).process(4, 2, 32, 3, overlay=True)
    seeds["overlay"] = s.data()

    s = RtOps()
    s.setup().groups(0xF).field(3)
    s.process(3, 2, 32, 2).process(1, 1, 32, 0).process(0, 9, 24, 1).process(7, 0, 32, 3)
    s.process(3, 3, 32, 1, field_order=1)
    seeds["edges_and_fields"] = s.data()

    s = RtOps()
    s.process(4, 4, 32, 3, nulls=0).process(4, 4, 32, 3, nulls=2).process(4, 4, 32, 3, nulls=4)
    s.process(4, 4, 32, 3, compression=0).process(4, 4, 24, 0, compression=0x56555940)
    seeds["refused"] = s.data()

    s = RtOps()
    s.setup().raw_record(bytes((i * 13 + 5) & 255 for i in range(564))).setup().pokes(
        (CC_FLAGS, 1), fix_sizes=True)
    s.process(5, 3, 32, 1, overlay=True)
    seeds["junk_record"] = s.data()
    return seeds


# ---- scope_display: ProcessDisplay and the display settings ---------------------


class Pictures(RecordEdits):
    """Mirrors support/fuzz_picture.cpp's MakePicture."""

    def picture(self, w, h, bits, yuv=True, premultiplied=False, pattern=(20, 7, 13),
                poke=None):
        if w is None:
            return self.in_range(0, 0, 15)
        self.in_range(1, 0, 15)
        self.in_range(1, 0, 3).in_range(w, 1, 24).in_range(1, 0, 3).in_range(h, 1, 24)
        self.in_range(2, 0, 7).boolean(bits == 24)
        self.in_range(1 if yuv else 0, 0, 3)
        self.in_range(1 if premultiplied else 2, 0, 3)
        for v in pattern:
            self.u8(v)
        if poke is None:
            return self.in_range(5, 0, 15)
        kind, value = poke  # 0 compression, 1 field order, 2 flags, 3 bit count
        self.in_range(kind, 0, 15)
        return self.u16(value) if kind == 3 else self.u32(value)


SCOPE_OPS = {name: i for i, name in enumerate([
    "picture", "setup", "display", "intensity", "channel", "isolate_vector", "isolate_type",
    "isolate_param", "angles", "reference", "isolate_colors"])}


class ScopeOps(Pictures):
    """Mirrors scope_display_fuzzer.cpp's reading order."""

    def op(self, name):
        return self.in_range(SCOPE_OPS[name], 0, len(SCOPE_OPS) - 1)

    def pic(self, i, *args, **kwargs):
        return self.op("picture").in_range(i, 0, 2).picture(*args, **kwargs)

    def display(self, src, out, disp, mode, copy=True):
        self.op("display").in_range(src, 0, 2).in_range(out, 0, 2).in_range(disp, 0, 2)
        if mode <= 7:
            self.in_range(1, 0, 15).in_range(mode, 0, 7)
        else:
            self.in_range(0, 0, 15).u32(mode)
        return self.boolean(copy)

    def small(self, name, value, hi):
        return self.op(name).boolean(True).in_range(value, 0, hi)

    def angles(self, a, b, g, dx, dy):
        self.op("angles")
        for v in (a, b, g):
            self.boolean(True).in_range(v, -400, 400)
        self.boolean(True).boolean(True).in_range(dx, -50, 50).boolean(True).in_range(dy, -50, 50)
        return self


def scope_display_seeds():
    seeds = {}
    primary = ((CC_FLAGS, 9), (Y_GAMMA, 60), (HUE, 30), (R_BLACK, -40))
    for mode, name in ((1, "vector"), (2, "waveform"), (4, "histogram"), (5, "lightning"),
                       (6, "cube"), (7, "vector_lightning")):
        s = ScopeOps()
        s.op("setup").pokes(*primary)
        s.pic(0, 9, 7, 32).pic(1, 3, 3, 24, yuv=False).display(0, 1, 2, mode)
        s.pic(0, 5, 4, 24, premultiplied=True).display(0, 0, 2, mode)
        if mode == 6:
            s.angles(30, 60, -20, 15, -7).display(0, 1, 2, mode)
        if mode == 4:
            s.pic(1, 6, 6, 32).op("reference").in_range(1, 0, 2).display(0, 1, 2, mode)
        seeds["mode_" + name] = s.data()

    s = ScopeOps()
    s.op("setup").vector(1, match_vector(128, 40, -30, 100, 30, 25, 10, 50, 50, gamma=20, hue=30))
    s.small("isolate_vector", 1, 16).small("isolate_type", 3, 8).op("setup").groups(0xF)
    s.small("channel", 2, 5).pic(0, 8, 8, 32).display(0, 1, 2, 1).display(0, 1, 2, 6)
    s.op("isolate_colors").boolean(False)
    seeds["isolate_and_channel"] = s.data()

    s = ScopeOps()
    s.pic(0, 4, 4, 32).display(0, 0, 0, 1).display(0, 1, 1, 2).display(0, 1, 2, 3)
    s.display(0, 1, 2, 8).pic(0, 4, 4, 32, yuv=False).display(0, 1, 2, 1)
    s.pic(0, None, 0, 0).display(0, 1, 2, 0)
    seeds["refused"] = s.data()

    s = ScopeOps()
    s.pic(0, 7, 5, 32, poke=(1, 1)).pic(1, 7, 5, 24, poke=(3, 16)).display(0, 1, 2, 0)
    s.display(1, 0, 2, 1).small("intensity", 0, 1).display(0, 1, 2, 5)
    seeds["odd_headers"] = s.data()
    return seeds


# ---- viewer: a viewer driven by a sequence of operations --------------------------

VIEWER_OPS = {name: i for i, name in enumerate([
    "source", "reference", "correction", "display", "split", "inlay", "field", "intensity",
    "channel", "six_vector", "isolate_vector", "isolate_type", "isolate_colors", "define_set",
    "delete_set", "get_set", "clear_sets", "rtlut", "image_size", "preview", "rotate", "angles",
    "coupled", "hue_sat", "hist", "match_drag", "gray_balance", "tone_balance", "color_balance",
    "contrast", "match", "match_vector", "sample"])}


class ViewerOps(Pictures):
    """Mirrors viewer_fuzzer.cpp's reading order."""

    def op(self, name):
        return self.in_range(VIEWER_OPS[name], 0, len(VIEWER_OPS) - 1)

    def source(self, *args, **kwargs):
        return self.op("source").picture(*args, **kwargs)

    def reference(self, *args, **kwargs):
        return self.op("reference").picture(*args, **kwargs)

    def display(self, kind, same=False):
        self.op("display").in_range(1, 0, 7).in_range(kind, 0, 7)
        return self.in_range(0 if same else 1, 0, 7).boolean(False)

    def small(self, name, value, hi):
        return self.op(name).boolean(True).in_range(value, 0, hi)

    def split(self, x, y):
        return self.op("split").boolean(True).in_range(x, -30, 30).boolean(True).in_range(y, -30, 30)

    def inlay(self, w, h):
        self.op("inlay")
        for v in (w, h):
            self.in_range(1, 0, 3).in_range(v, 1, 48)
        return self

    def preview(self, on, value):
        return self.op("preview").boolean(on).u8(value)

    def xy(self, *values):
        for v in values:
            self.in_range(1, 0, 3).in_range(v, -10, 400)
        return self

    def rotate(self, kind, x, y):
        return self.op("rotate").in_range(kind, 0, 3).xy(x, y)

    def drag(self, name, phase, x, y, target=1, values=0, mode=0, apply=True):
        self.op(name).in_range(phase, 0, 2).xy(x, y)
        if phase == 0 and name in ("coupled", "hue_sat"):
            self.boolean(True).in_range(target, 0, 2).boolean(True).in_range(values, 0, 0x3FFFFF)
        if phase == 0 and name == "match_drag":
            self.boolean(True).in_range(mode, 0, 9)
        return self.boolean(apply).in_range(1, 0, 3)

    def balance(self, name, kind, points, mode=0, nulls=7, apply=True):
        """points: three (x, y, xr, yr)."""
        self.op(name).in_range(kind, 0, 2)
        for p in points:
            self.xy(*p)
        return self.boolean(True).in_range(mode, 0, 4).in_range(nulls, 0, 7).boolean(apply).in_range(1, 0, 3)

    def match(self, hue, ref_rect, src_rect, apply=True):
        self.op("match").boolean(hue).xy(*ref_rect).xy(*src_rect)
        return self.boolean(False).boolean(False).boolean(apply).in_range(1, 0, 3)

    def match_vector(self, kind, rect):
        return self.op("match_vector").in_range(kind, 0, 2).xy(*rect).in_range(1, 0, 7).boolean(False)

    def sample(self, x, y, reference, yuv=True):
        return self.op("sample").xy(x, y).boolean(reference).boolean(yuv)


def viewer_seeds():
    seeds = {}
    primary = ((CC_FLAGS, 9), (Y_GAMMA, 60), (HUE, 30), (R_BLACK, -40))

    s = ViewerOps()
    s.source(12, 10, 32).reference(8, 6, 24, yuv=False).op("correction").pokes(*primary)
    s.split(4, -3).display(0).display(1).display(6).inlay(5, 3).display(2).display(4)
    s.op("rtlut").op("image_size")
    seeds["pictures_and_displays"] = s.data()

    s = ViewerOps()
    s.op("correction").pokes(*primary)
    for _ in range(3):
        s.op("define_set")
    s.op("correction").groups(0xF).op("define_set").small("delete_set", 1, 33)
    s.small("get_set", 0, 33).small("get_set", 2, 33).small("get_set", 5, 33)
    s.op("clear_sets").small("get_set", 0, 33)
    seeds["sets"] = s.data()

    s = ViewerOps()
    for _ in range(28):
        s.op("define_set")
    seeds["sets_ring"] = s.data()

    s = ViewerOps()
    s.preview(True, 0).source(9, 7, 24).op("correction").pokes(*primary)
    s.preview(True, 1).op("correction").groups(3).split(-5, 5)
    s.preview(True, 2).op("correction").groups(1).preview(True, 3).op("correction").groups(9)
    s.preview(False, 0)
    seeds["preview_worker"] = s.data()

    s = ViewerOps()
    s.source(10, 8, 32, premultiplied=True).op("correction").vector(
        1, match_vector(128, 40, -30, 100, 30, 25, 10, 50, 50, gamma=20, hue=30))
    s.small("isolate_vector", 1, 16).small("isolate_type", 3, 8).small("channel", 4, 5)
    s.op("isolate_colors").display(1).small("six_vector", 7, 7).small("field", 2, 3)
    s.op("intensity").boolean(True).in_range(0, -20, 300).display(7, same=True)
    seeds["settings"] = s.data()

    s = ViewerOps()
    s.source(None, 0, 0).reference(None, 0, 0).display(0).op("image_size")
    s.source(5, 5, 32, poke=(0, 7)).display(1).op("correction").raw_record(b"\1" * 564)
    s.small("channel", 5, 5).small("isolate_vector", 16, 16).small("isolate_type", 8, 8)
    s.display(3).small("delete_set", 0, 33)
    seeds["refusals"] = s.data()

    s = ViewerOps()
    s.source(12, 10, 32).op("correction").pokes(*primary)
    s.rotate(0, 100, 100).rotate(1, 140, 90).rotate(2, 60, 90).rotate(3, 0, 0)
    s.op("angles").boolean(True).i32(400).i32(-30).i32(7)
    s.drag("coupled", 0, 100, 100, target=0, values=0x3777).drag("coupled", 1, 130, 70)
    s.drag("coupled", 2, 160, 40)
    s.drag("hue_sat", 0, 250, 100, target=0, values=0x300000).drag("hue_sat", 1, 150, 60)
    s.drag("hue_sat", 2, 192, 144)
    s.drag("hist", 0, 200, 150).drag("hist", 1, 260, 150).drag("hist", 2, 390, 150)
    s.op("correction").vector(2, match_vector(128, 40, -30, 100, 30, 25, 10, 50, 50))
    s.small("isolate_vector", 2, 16)
    for mode in (0, 2, 6, 8):
        s.drag("match_drag", 0, 220, 120, mode=mode).drag("match_drag", 1, 240, 80)
        s.drag("match_drag", 2, 250, 60)
    seeds["gestures"] = s.data()

    s = ViewerOps()
    s.source(14, 12, 24).reference(10, 9, 32, yuv=False, pattern=(90, 3, 5))
    pts = [(1, 1, 2, 2), (6, 5, 4, 4), (12, 10, 8, 7)]
    s.balance("gray_balance", 0, pts, mode=3).balance("gray_balance", 1, pts)
    s.balance("gray_balance", 2, pts).balance("tone_balance", 0, pts, mode=2)
    s.balance("color_balance", 0, pts).balance("color_balance", 2, pts)
    s.balance("color_balance", 2, pts, nulls=1).balance("contrast", 0, pts)
    s.sample(3, 3, False).sample(-5, 400, True).sample(2, 2, True, yuv=False)
    seeds["balances"] = s.data()

    s = ViewerOps()
    s.source(24, 20, 32).reference(20, 16, 24, pattern=(40, 9, 11)).op("correction").groups(1)
    s.match(False, (0, 0, 15, 15), (2, 2, 20, 18)).match(True, (0, 0, 20, 16), (0, 0, 24, 20))
    s.match(False, (0, 0, 5, 5), (0, 0, 24, 20))
    s.match_vector(0, (3, 3, 9, 8)).match_vector(1, (10, 10, 11, 11)).match_vector(2, (0, 0, 4, 4))
    seeds["matches"] = s.data()
    return seeds


TARGETS = {
    "bmp_load": bmp_load_seeds,
    "picture_ops": picture_ops_seeds,
    "filter_process": filter_process_seeds,
    "correction_file": correction_file_seeds,
    "y4m_reader": y4m_reader_seeds,
    "rt_display": rt_display_seeds,
    "scope_display": scope_display_seeds,
    "viewer": viewer_seeds,
}


def main(names):
    for name in names or sorted(TARGETS):
        if name not in TARGETS:
            sys.exit(f"unknown target {name}; known: {', '.join(sorted(TARGETS))}")
        folder = os.path.join(HERE, "corpus", name)
        os.makedirs(folder, exist_ok=True)
        for old in os.listdir(folder):
            os.remove(os.path.join(folder, old))
        for seed, data in sorted(TARGETS[name]().items()):
            with open(os.path.join(folder, seed), "wb") as f:
                f.write(data)
        print(f"{name}: {len(os.listdir(folder))} seeds")


if __name__ == "__main__":
    main(sys.argv[1:])
