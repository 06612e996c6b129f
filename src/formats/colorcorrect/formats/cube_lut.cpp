#include "cube_lut.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "frame_convert.h"

namespace colorcorrect::formats {

int CubeGridValue(int i, int size)
{
    // round(255 i / (size - 1)) in integers.
    return (510 * i + (size - 1)) / (2 * (size - 1));
}

bool SampleCube(int size, const PictureProcessor& process, CubeLut& lut, std::string& error)
{
    if (size < kMinCubeSize || size > kMaxCubeSize) {
        error = "the cube size must be " + std::to_string(kMinCubeSize) + ".." + std::to_string(kMaxCubeSize);
        return false;
    }
    try {
        // One picture row per (green, blue) pair, one pixel per red value.
        const int rows = size * size;
        tagYUVBMINFOHEADER header{};
        header.biSize = 40;
        header.biWidth = size;
        header.biHeight = rows;
        header.biPlanes = 1;
        header.biBitCount = 24;
        header.biCompression = YUV_COMPRESSION;
        const size_t stride = RowStride(size, 24);
        std::vector<BYTE> in(stride * size_t(rows), 0), out(in.size(), 0);
        for (int b = 0; b < size; ++b)
            for (int g = 0; g < size; ++g) {
                BYTE* p = in.data() + stride * size_t(b * size + g);
                for (int r = 0; r < size; ++r, p += 3)
                    RgbBytesToYuvBytes(static_cast<BYTE>(CubeGridValue(r, size)),
                                       static_cast<BYTE>(CubeGridValue(g, size)),
                                       static_cast<BYTE>(CubeGridValue(b, size)), p[0], p[1], p[2]);
            }
        if (!process(header, in.data(), out.data())) {
            error = "the correction could not be applied";
            return false;
        }
        CubeLut result;
        result.size = size;
        result.title = lut.title;
        result.rgb.resize(size_t(size) * size_t(size) * size_t(size) * 3);
        uint8_t* q = result.rgb.data();
        for (int row = 0; row < rows; ++row) {
            const BYTE* p = out.data() + stride * size_t(row);
            for (int r = 0; r < size; ++r, p += 3, q += 3)
                YuvBytesToRgbBytes(p[0], p[1], p[2], q[0], q[1], q[2]);
        }
        lut = std::move(result);
        return true;
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the cube";
        return false;
    }
}

std::string FormatCubeHead(const CubeLut& lut)
{
    std::string text = "# Written by colorcorrect: the correction sampled on an RGB grid\n";
    if (!lut.title.empty()) {
        // The title is one quoted line: quotes are left out and control
        // characters written as \xHH, so that no byte of it can end the line
        // or reach a terminal that shows the file.
        std::string title;
        for (char c : lut.title) {
            const auto b = static_cast<unsigned char>(c);
            if (b < 0x20 || b == 0x7F) {
                static constexpr char kHex[] = "0123456789abcdef";
                title += {'\\', 'x', kHex[b >> 4], kHex[b & 15]};
            } else if (c != '"') {
                title += c;
            }
        }
        text += "TITLE \"" + title + "\"\n";
    }
    text += "LUT_3D_SIZE " + std::to_string(lut.size) + "\n";
    text += "DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1 1 1\n";
    return text;
}

void AppendCubeEntries(const CubeLut& lut, size_t first, size_t count, std::string& text)
{
    const size_t entries = lut.rgb.size() / 3;
    const size_t end = first >= entries ? first : first + std::min(count, entries - first);
    text.reserve(text.size() + (end - first) * 27);
    char line[64];
    for (size_t e = first; e < end; ++e) {
        const uint8_t* rgb = lut.rgb.data() + 3 * e;
        const int n = std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", rgb[0] / 255.0, rgb[1] / 255.0,
                                    rgb[2] / 255.0);
        text.append(line, static_cast<size_t>(n));
    }
}

std::string FormatCube(const CubeLut& lut)
{
    std::string text = FormatCubeHead(lut);
    AppendCubeEntries(lut, 0, lut.rgb.size() / 3, text);
    return text;
}

namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

// Three numbers separated by blanks.
bool ParseTriple(std::string_view s, double (&v)[3])
{
    for (int k = 0; k < 3; ++k) {
        s = Trim(s);
        size_t end = 0;
        while (end < s.size() && s[end] != ' ' && s[end] != '\t')
            ++end;
        const std::string part(s.substr(0, end));
        if (part.empty())
            return false;
        char* stop = nullptr;
        v[k] = std::strtod(part.c_str(), &stop);
        if (stop != part.c_str() + part.size() || !std::isfinite(v[k]))
            return false;
        s.remove_prefix(end);
    }
    return Trim(s).empty();
}

} // namespace

bool ParseCube(std::string_view text, CubeLut& lut, std::string& error) noexcept
{
    try {
        CubeLut result;
        size_t expected = 0;
        size_t lineNo = 0;
        while (!text.empty()) {
            const size_t nl = text.find('\n');
            const std::string_view raw = text.substr(0, nl);
            text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
            ++lineNo;
            const std::string_view line = Trim(raw);
            const std::string where = "line " + std::to_string(lineNo) + ": ";
            if (line.empty() || line.front() == '#')
                continue;
            if (line.substr(0, 6) == "TITLE ") {
                result.title = std::string(Trim(line.substr(6)));
                if (result.title.size() >= 2 && result.title.front() == '"' && result.title.back() == '"')
                    result.title = result.title.substr(1, result.title.size() - 2);
                continue;
            }
            if (line.substr(0, 12) == "LUT_3D_SIZE ") {
                const std::string_view n = Trim(line.substr(12));
                int size = 0;
                const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), size);
                if (ec != std::errc() || end != n.data() + n.size() || size < kMinCubeSize ||
                    size > kMaxCubeSize || result.size != 0) {
                    error = where + "LUT_3D_SIZE must be given once, as a number in 2..256";
                    return false;
                }
                result.size = size;
                expected = size_t(size) * size_t(size) * size_t(size);
                result.rgb.reserve(expected * 3);
                continue;
            }
            if (line.substr(0, 11) == "DOMAIN_MIN " || line.substr(0, 11) == "DOMAIN_MAX ") {
                double v[3];
                const double want = line[8] == 'I' ? 0.0 : 1.0;
                if (!ParseTriple(line.substr(11), v) || v[0] != want || v[1] != want || v[2] != want) {
                    error = where + "only the domain 0..1 is read";
                    return false;
                }
                continue;
            }
            if (line.substr(0, 12) == "LUT_1D_SIZE ") {
                error = where + "1D tables are not read";
                return false;
            }
            double v[3];
            if (!ParseTriple(line, v)) {
                error = where + "expected three numbers";
                return false;
            }
            if (result.size == 0) {
                error = where + "values before LUT_3D_SIZE";
                return false;
            }
            if (result.rgb.size() / 3 >= expected) {
                error = where + "more than " + std::to_string(expected) + " entries";
                return false;
            }
            for (double c : v) {
                if (c < 0.0 || c > 1.0) {
                    error = where + "value outside 0..1";
                    return false;
                }
                result.rgb.push_back(static_cast<uint8_t>(std::lround(c * 255.0)));
            }
        }
        if (result.size == 0) {
            error = "no LUT_3D_SIZE";
            return false;
        }
        if (result.rgb.size() / 3 != expected) {
            error = std::to_string(result.rgb.size() / 3) + " entries where LUT_3D_SIZE " +
                    std::to_string(result.size) + " needs " + std::to_string(expected);
            return false;
        }
        lut = std::move(result);
        return true;
    } catch (const std::bad_alloc&) {
        error = "not enough memory";
    } catch (...) {
        error = "unexpected failure while reading the table";
    }
    return false;
}

std::string CubeTitleForPath(const std::string& path)
{
    if (path == "-")
        return "correction";
    std::string name = path.substr(path.rfind('/') == std::string::npos ? 0 : path.rfind('/') + 1);
    const size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot != 0)
        name.erase(dot);
    return name;
}

} // namespace colorcorrect::formats
