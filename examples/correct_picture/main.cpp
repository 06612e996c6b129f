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

} // namespace

int main(int argc, char** argv)
{
    const std::wstring in = argc > 1 && argv[1][0] != 0 ? colorcorrect::WideFromUtf8(argv[1])
                                                        : colorcorrect::DefaultPicturePath();
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
    colorcorrect::ToRGB(picture);

    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    const std::string src = outDir + "/source.bmp", dst = outDir + "/corrected.bmp";
    if (!source.SaveToFile(colorcorrect::WideFromUtf8(src).c_str()) || !picture.SaveToFile(colorcorrect::WideFromUtf8(dst).c_str())) {
        std::fprintf(stderr, "correct_picture: cannot write into %s\n", outDir.c_str());
        return 1;
    }
    std::printf("wrote %s\nwrote %s\n", src.c_str(), dst.c_str());
    return 0;
}
