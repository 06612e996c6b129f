// Corrects a picture the way a host does: load it, bring it to the library's
// packed YUV, set a filter up from a correction record, process the frame,
// and write the result.
//
//   correct_picture [IN.bmp] [OUT_DIR]     (an empty IN.bmp: the default picture)
//
// Without IN.bmp it corrects the default picture that lies beside the
// library (resource/COLORNTSC.BMP, a colour-bar pattern).

#include <colorcorrect/colorcorrect.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

std::wstring Widen(const std::string& s)
{
    return colorcorrect::WideFromUtf8(s);
}

// The default picture's path: the library's own folder + RESOURCE/COLORNTSC.BMP.
std::wstring DefaultPicturePath()
{
    wchar_t path[4096] = {};
    if (GetModuleFileNameW(g_hModule, path, 4096) == 0)
        return L"RESOURCE/COLORNTSC.BMP";
    const wchar_t* name = FU_FindFilename(path);
    std::wstring folder = name != nullptr ? std::wstring(path, static_cast<size_t>(name - path)) : std::wstring();
    return folder + L"RESOURCE/COLORNTSC.BMP";
}

// A look with something in every stage: a warmer, brighter primary, greens
// pushed toward cyan by the six-vector correction, and one match vector that
// desaturates the red bar.
tagCOLORCORRINFO SampleCorrection()
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof cc);
    cc.dwFlags = CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR;
    cc.Base.sYGamma = 30;
    cc.Base.sSat = 40;
    cc.Base.sRBlack = 12;
    cc.Base.sBWhite = -20;
    cc.Vector6.sHue[3] = 24;
    cc.Match.dwCount = 2;
    tagMATCHVECTOR& red = cc.Match.Vector[1];
    red.byY = 63;
    red.cU = -37;
    red.cV = 110;
    red.bySatWidth = 40;
    red.byHueWidth = 20;
    red.sSat = -200;
    return cc;
}

// Packed YUV back to RGB with the library's fixed-point formulas, so the result
// can be written as an ordinary BMP.
void YuvToRgbInPlace(CVoraDib& dib)
{
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    BYTE* row = dib;
    for (int y = 0; y < dib.GetHeight(); ++y, row += stride) {
        BYTE* p = row;
        for (int x = 0; x < dib.GetWidth(); ++x, p += step) {
            const int Y = p[0], U = p[1] - 128, V = p[2] - 128;
            auto clamp = [](int c) { return c < 0 ? 0 : (c > 255 ? 255 : c); };
            const int r = clamp((512 * Y + 2 * U + 719 * V + 256) >> 9);
            const int g = clamp((512 * Y - 176 * U - 365 * V + 256) >> 9);
            const int b = clamp((512 * Y + 908 * U - V + 256) >> 9);
            p[0] = static_cast<BYTE>(b);
            p[1] = static_cast<BYTE>(g);
            p[2] = static_cast<BYTE>(r);
        }
    }
    static_cast<tagDIBINFO*>(dib)->bmiHeader.biCompression = 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::wstring in = argc > 1 && argv[1][0] != 0 ? Widen(argv[1]) : DefaultPicturePath();
    const std::string outDir = argc > 2 ? argv[2] : "out";

    CVoraDib picture;
    if (!picture.LoadFromFile(in.c_str(), 0, 0, 24, 0)) {
        std::fprintf(stderr, "correct_picture: %s: cannot read the picture\n",
                     colorcorrect::Utf8FromWide(in).c_str());
        return 1;
    }
    CVoraDib source = picture;
    picture.ToYUV();

    CBaseColorCorrectionFilter filter;
    if (!filter.SetupFilter(SampleCorrection())) {
        std::fprintf(stderr, "correct_picture: the correction was refused\n");
        return 1;
    }
    tagDIBINFO* header = picture;
    if (!filter.Process(&header->bmiHeader, picture, picture)) {
        std::fprintf(stderr, "correct_picture: processing failed\n");
        return 1;
    }
    YuvToRgbInPlace(picture);

    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    const std::string src = outDir + "/source.bmp", dst = outDir + "/corrected.bmp";
    if (!source.SaveToFile(Widen(src).c_str()) || !picture.SaveToFile(Widen(dst).c_str())) {
        std::fprintf(stderr, "correct_picture: cannot write into %s\n", outDir.c_str());
        return 1;
    }
    std::printf("wrote %s\nwrote %s\n", src.c_str(), dst.c_str());
    return 0;
}
