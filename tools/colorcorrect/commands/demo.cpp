// colorcorrect demo: shows the library at work on its built-in colour-bar
// picture, as a host's correction view uses it: a corrected frame, a preview
// rendered by a viewer's worker with the reference split in, and every scope
// display.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include <colorcorrect/formats/file_io.h>
#include <colorcorrect/formats/image_io.h>
#include <colorcorrect/formats/scope_render.h>

#include "command_support.h"
#include "commands.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

constexpr const char* kCommand = "demo";
// Rendering one preview takes well under a second; the wait only guards
// against a worker that never calls back.
constexpr auto kPreviewTimeout = std::chrono::seconds(60);

// The sample look, with something in every stage: warmer, brighter
// mid-tones and more colour; the greens pushed toward cyan by the six-vector
// correction; and a match vector that takes most of the colour out of the
// red bar.
tagCOLORCORRINFO SampleCorrection()
{
    tagCOLORCORRINFO cc = DefaultCorrection();
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

// The reference the preview splits in: the picture with a warm grade.
tagCOLORCORRINFO WarmGrade()
{
    tagCOLORCORRINFO cc = DefaultCorrection();
    cc.dwFlags = CC_PRIMARY;
    cc.Base.sRWhite = 40;
    cc.Base.sRGamma = 20;
    cc.Base.sBWhite = -50;
    cc.Base.sBGamma = -30;
    return cc;
}

// Previews arrive on the viewer's worker thread; the demo keeps the first.
struct PreviewInbox {
    std::mutex mutex;
    std::condition_variable arrived;
    CVoraDib picture;
    bool got = false;
};

int OnPreview(CVoraDib& picture, unsigned long value)
{
    auto* inbox = reinterpret_cast<PreviewInbox*>(value);
    std::lock_guard<std::mutex> lock(inbox->mutex);
    if (!inbox->got) {
        inbox->picture = picture; // the picture is the worker's: copy it
        inbox->got = static_cast<const tagDIBINFO*>(inbox->picture) != nullptr;
        inbox->arrived.notify_all();
    }
    return 1;
}

struct OutputFileBytes {
    std::string name;
    std::string what;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> bytes;
};

class Demo {
public:
    explicit Demo(const DemoOptions& options) : m_options(options) {}

    int Run();

private:
    // Encodes an RGB or packed YUV picture as PNG into the list of outputs.
    bool AddPicture(const std::string& name, const std::string& what, const CVoraDib& picture);
    bool LoadSource();
    bool Correct(const tagCOLORCORRINFO& cc, const CVoraDib& rgb, CVoraDib& yuv, const char* what);
    bool Preview();
    bool Scopes();

    const DemoOptions& m_options;
    tagCOLORCORRINFO m_sample = SampleCorrection();
    std::string m_sourcePath;
    CVoraDib m_source;    // RGB, as loaded
    CVoraDib m_reference; // packed YUV
    std::unique_ptr<CColorCorrectionViewer> m_viewer = std::make_unique<CColorCorrectionViewer>();
    std::vector<OutputFileBytes> m_outputs;
};

bool Demo::AddPicture(const std::string& name, const std::string& what, const CVoraDib& picture)
{
    const tagDIBINFO* info = picture;
    RgbImage image;
    std::string error;
    const bool ok = info != nullptr && info->bmiHeader.biCompression == YUV_COMPRESSION
                        ? YuvPictureToRgbImage(picture, 3, image, error)
                        : RgbPictureToRgbImage(picture, image, error);
    OutputFileBytes out{name, what, image.width, image.height, {}};
    if (!ok || !EncodeImage(image, ImageFormat::Png, EncodeOptions{}, out.bytes, error)) {
        Fail(kCommand, name, error);
        return false;
    }
    m_outputs.push_back(std::move(out));
    return true;
}

bool Demo::LoadSource()
{
    const std::wstring path = DefaultPicturePath();
    m_sourcePath = Utf8FromWide(path);
    if (m_source.LoadFromFile(path.c_str(), 0, 0, 24, 0) == 0) {
        Fail(kCommand, m_sourcePath,
             "cannot read the default picture (the build draws it into the resource folder beside the library)");
        return false;
    }
    return AddPicture("source.png", "the default picture", m_source);
}

bool Demo::Correct(const tagCOLORCORRINFO& cc, const CVoraDib& rgb, CVoraDib& yuv, const char* what)
{
    yuv = rgb;
    auto filter = std::make_unique<CColorCorrectionFilter>();
    if (yuv.ToYUV() == 0 || filter->SetupFilter(cc) == 0 || filter->Process(yuv, yuv) == 0) {
        Fail(kCommand, std::string("cannot make ") + what);
        return false;
    }
    return true;
}

bool Demo::Preview()
{
    CColorCorrectionViewer& viewer = *m_viewer;
    // The viewer prepares the RGB source itself.
    if (viewer.SetSource(m_source) == 0 || viewer.SetReference(m_reference) == 0) {
        Fail(kCommand, "the viewer refused the pictures");
        return false;
    }
    int width = 0, height = 0;
    viewer.GetImageSize(width, height);
    // The reference fills the top-right third of the preview.
    viewer.SetSplit(-width / 3, height / 3);
    // Vector 1 is the selected one: its samples show in blue in the scopes and
    // its region is drawn in the cube.
    viewer.SetIsolateVector(1);
    if (viewer.SetCorrection(m_sample) == 0) {
        Fail(kCommand, "the viewer refused the sample correction");
        return false;
    }

    PreviewInbox inbox;
    viewer.SetPreview(OnPreview, reinterpret_cast<unsigned long>(&inbox));
    bool got = false;
    {
        std::unique_lock<std::mutex> lock(inbox.mutex);
        got = inbox.arrived.wait_for(lock, kPreviewTimeout, [&] { return inbox.got; });
    }
    // With the worker stopped the inbox is the demo's alone.
    viewer.SetPreview(nullptr, 0);
    if (!got) {
        Fail(kCommand, "no preview arrived from the viewer within 60 seconds");
        return false;
    }
    return AddPicture("preview.png", "the viewer's preview, with the reference split into the top right",
                      inbox.picture);
}

bool Demo::Scopes()
{
    CVoraDib display, reduced;
    if (m_viewer->GetDisplay(display, reduced, 0) == 0) {
        Fail(kCommand, "the viewer made no display");
        return false;
    }
    if (!AddPicture("display.png", "the corrected picture of the correction view, with the reference inlay",
                    display))
        return false;
    for (const ScopeModeEntry& m : kScopeModes) {
        CVoraDib scope;
        if (m_viewer->GetDisplay(display, scope, static_cast<unsigned>(m.mode)) == 0) {
            Fail(kCommand, std::string("the viewer made no ") + m.name + " display");
            return false;
        }
        if (!AddPicture(std::string("scope-") + m.name + ".png", std::string("the ") + m.name + " scope", scope))
            return false;
    }
    return true;
}

int Demo::Run()
{
    if (!LoadSource())
        return 1;
    CVoraDib corrected;
    if (!Correct(WarmGrade(), m_source, m_reference, "the reference picture") ||
        !AddPicture("reference.png", "the reference: the picture with a warm grade", m_reference) ||
        !Correct(m_sample, m_source, corrected, "the corrected picture") ||
        !AddPicture("corrected.png", "the picture with the sample correction", corrected) || !Preview() ||
        !Scopes())
        return 1;
    const std::string json = CorrectionToJson(m_sample);
    m_outputs.push_back({"correction.json", "the sample correction", 0, 0, {json.begin(), json.end()}});

    // Everything is made: now write it.
    const std::string& dir = m_options.outputDir;
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (ec || !std::filesystem::is_directory(dir, ec))
        return Fail(kCommand, dir, "cannot create the folder" + (ec ? ": " + ec.message() : std::string()));
    std::printf("Corrected %s with a sample correction (primary, six-vector and match-vector stages).\n",
                m_sourcePath.c_str());
    for (const OutputFileBytes& out : m_outputs) {
        const std::string path = (std::filesystem::path(dir) / out.name).string();
        std::string error;
        if (!WriteWholeFile(path, out.bytes.data(), out.bytes.size(), error))
            return Fail(kCommand, path, error);
        if (out.width > 0)
            std::printf("wrote %s (%d x %d): %s\n", path.c_str(), out.width, out.height, out.what.c_str());
        else
            std::printf("wrote %s: %s\n", path.c_str(), out.what.c_str());
    }
    return 0;
}

} // namespace

int RunDemo(const DemoOptions& options)
{
    try {
        Demo demo(options);
        return demo.Run();
    } catch (const std::bad_alloc&) {
        return Fail(kCommand, "not enough memory");
    }
}

} // namespace colorcorrect::cli
