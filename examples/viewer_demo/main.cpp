// Drives a viewer the way a host's correction dialog does: hands it a source
// and a reference picture, chooses the corner of the preview that shows the
// reference, installs a preview callback, applies two corrections, and asks
// for each scope display. Every picture it gets back is written as a BMP.
//
//   viewer_demo [IN.bmp] [OUT_DIR]     (an empty IN.bmp: the default picture)
//
// The reference is the source itself with a warm grade, so the split corner
// shows the look the corrections are matched against.

#include <colorcorrect/colorcorrect.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Previews arrive on the viewer's worker thread; the host keeps copies.
struct PreviewInbox {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<CVoraDib> pictures;

    // Waits until `count` previews have arrived (false after 10 seconds).
    bool WaitFor(size_t count)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(10),
                                [&] { return pictures.size() >= count; });
    }
};

int OnPreview(CVoraDib& picture, unsigned long value)
{
    auto* inbox = reinterpret_cast<PreviewInbox*>(value);
    std::lock_guard<std::mutex> lock(inbox->mutex);
    inbox->pictures.push_back(picture); // the picture is the worker's: copy it
    inbox->arrived.notify_all();
    return 1;
}

tagCOLORCORRINFO Neutral()
{
    tagCOLORCORRINFO cc;
    cc.Init(sizeof cc);
    return cc;
}

// A warm grade for the reference: red lifted, blue lowered.
tagCOLORCORRINFO Warm()
{
    tagCOLORCORRINFO cc = Neutral();
    cc.dwFlags = CC_PRIMARY;
    cc.Base.sRWhite = 40;
    cc.Base.sRGamma = 20;
    cc.Base.sBWhite = -50;
    cc.Base.sBGamma = -30;
    return cc;
}

// First correction: brighter mid-tones, more saturation.
tagCOLORCORRINFO Brighter()
{
    tagCOLORCORRINFO cc = Neutral();
    cc.dwFlags = CC_PRIMARY;
    cc.Base.sYGamma = 60;
    cc.Base.sSat = 60;
    return cc;
}

// Second correction: a hue turn, with the greens pushed further by the
// six-vector correction.
tagCOLORCORRINFO Turned()
{
    tagCOLORCORRINFO cc = Neutral();
    cc.dwFlags = CC_PRIMARY | CC_SIX_VECTOR;
    cc.Base.sHue = 40;
    cc.Vector6.sHue[3] = 40;
    cc.Vector6.sSat[3] = 80;
    return cc;
}

// A packed YUV picture as RGB, so that it can be written as an ordinary BMP.
CVoraDib ToRgb(const CVoraDib& yuv)
{
    CVoraDib dib = yuv;
    colorcorrect::ToRGB(dib);
    return dib;
}

bool Write(const CVoraDib& rgb, const std::string& dir, const std::string& name)
{
    const std::string path = dir + "/" + name;
    if (rgb.SaveToFile(colorcorrect::WideFromUtf8(path).c_str()) == 0) {
        std::fprintf(stderr, "viewer_demo: cannot write %s\n", path.c_str());
        return false;
    }
    std::printf("wrote %s (%d x %d)\n", path.c_str(), rgb.GetWidth(), rgb.GetHeight());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const std::wstring in = argc > 1 && argv[1][0] != 0 ? colorcorrect::WideFromUtf8(argv[1])
                                                        : colorcorrect::DefaultPicturePath();
    const std::string outDir = argc > 2 ? argv[2] : "out";
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);

    CVoraDib source;
    if (!source.LoadFromFile(in.c_str(), 0, 0, 24, 0)) {
        std::fprintf(stderr, "viewer_demo: %s: cannot read the picture\n",
                     colorcorrect::Utf8FromWide(in).c_str());
        return 1;
    }

    // The reference: the source with a warm grade.
    CVoraDib reference = source;
    reference.ToYUV();
    CBaseColorCorrectionFilter grade;
    tagDIBINFO* refHeader = reference;
    if (!grade.SetupFilter(Warm()) || !grade.Process(&refHeader->bmiHeader, reference, reference)) {
        std::fprintf(stderr, "viewer_demo: cannot grade the reference\n");
        return 1;
    }

    CColorCorrectionViewer viewer;
    // The source goes in as RGB; the viewer brings it to YUV itself.
    if (!viewer.SetSource(source) || !viewer.SetReference(reference)) {
        std::fprintf(stderr, "viewer_demo: the viewer refused the pictures\n");
        return 1;
    }
    int width = 0, height = 0;
    viewer.GetImageSize(width, height);
    // The reference fills the top-right third of the preview.
    viewer.SetSplit(-width / 3, height / 3);
    viewer.SetCorrection(Brighter());

    PreviewInbox inbox;
    viewer.SetPreview(OnPreview, reinterpret_cast<unsigned long>(&inbox));
    if (!inbox.WaitFor(1)) {
        std::fprintf(stderr, "viewer_demo: no preview arrived\n");
        return 1;
    }
    viewer.SetCorrection(Turned());
    const bool second = inbox.WaitFor(2);
    viewer.SetPreview(nullptr, 0); // the worker is stopped: the inbox is ours alone
    if (!second) {
        std::fprintf(stderr, "viewer_demo: the second preview did not arrive\n");
        return 1;
    }

    bool ok = Write(source, outDir, "source.bmp") && Write(ToRgb(reference), outDir, "reference.bmp");
    for (size_t i = 0; i < inbox.pictures.size(); ++i)
        ok = ok && Write(ToRgb(inbox.pictures[i]), outDir, "preview_" + std::to_string(i + 1) + ".bmp");

    // The displays, rendered with the last correction on the reduced source.
    struct Mode {
        unsigned int type;
        const char* name;
    };
    const Mode modes[] = {{1, "vector"},    {2, "waveform"}, {4, "histogram"},
                          {5, "lightning"}, {6, "cube"},     {7, "vectlight"}};
    CVoraDib display, reducedReference;
    if (!viewer.GetDisplay(display, reducedReference, 0)) {
        std::fprintf(stderr, "viewer_demo: no display\n");
        return 1;
    }
    ok = ok && Write(display, outDir, "display.bmp") &&
         Write(reducedReference, outDir, "display_reference.bmp");
    for (const Mode& mode : modes) {
        CVoraDib scope;
        if (!viewer.GetDisplay(display, scope, mode.type)) {
            std::fprintf(stderr, "viewer_demo: display %s failed\n", mode.name);
            return 1;
        }
        ok = ok && Write(scope, outDir, std::string("scope_") + mode.name + ".bmp");
    }
    return ok ? 0 : 1;
}
