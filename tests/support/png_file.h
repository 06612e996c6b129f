#pragma once
// PNG files of RGB pictures, so that a picture a test made can be looked at.
// The writer stores the pixels uncompressed (stored deflate blocks); the
// reader reads back exactly such files, to check them.

#include <colorcorrect/colorcorrect.h>

#include <string>
#include <vector>

namespace colorcorrect::test {

// Writes a 24- or 32-bit RGB picture as an 8-bit RGB PNG file (the fourth
// byte is dropped), top row on screen first. False for an empty or YUV
// picture or when the file cannot be written.
bool WritePng(const CVoraDib& rgb, const std::string& path);

// An RGB picture read from a PNG file: bytes R, G, B per pixel, top row
// first.
struct PngPixels {
    int width = 0;
    int height = 0;
    std::vector<unsigned char> rgb;
};

// Reads a file written by WritePng (8-bit RGB, no interlace, filter 0 on
// every row, stored deflate blocks), checking the signature, every chunk's
// CRC and the Adler-32 sum. False for anything else.
bool ReadStoredPng(const std::string& path, PngPixels& out);

} // namespace colorcorrect::test
