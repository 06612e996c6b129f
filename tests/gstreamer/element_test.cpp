// The colorcorrect element in pipelines: each format against the tool on the
// same frames, and a correction file changed or broken while frames flow.

#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <colorcorrect/formats/image_io.h>

#include "support/run_process.h"

namespace {

using namespace colorcorrect;
using Planes = std::vector<std::vector<uint8_t>>; // a frame's components, rows packed

struct PipelineRun {
    std::vector<Planes> in, out;
    std::vector<std::string> warnings;
    std::function<void(GstElement*, size_t)> afterFrame; // after output frame n
    GstElement* element = nullptr;
};

Planes Components(GstPad* pad, GstBuffer* buffer)
{
    GstCaps* caps = gst_pad_get_current_caps(pad);
    GstVideoInfo info;
    gst_video_info_from_caps(&info, caps);
    gst_caps_unref(caps);
    GstVideoFrame f;
    Planes planes;
    if (!gst_video_frame_map(&f, &info, buffer, GST_MAP_READ))
        return planes;
    for (guint c = 0; c < GST_VIDEO_FRAME_N_COMPONENTS(&f); ++c) {
        auto& p = planes.emplace_back();
        for (int y = 0; y < GST_VIDEO_FRAME_COMP_HEIGHT(&f, c); ++y)
            for (int x = 0; x < GST_VIDEO_FRAME_COMP_WIDTH(&f, c); ++x)
                p.push_back(static_cast<const uint8_t*>(GST_VIDEO_FRAME_COMP_DATA(&f, c))
                                [y * GST_VIDEO_FRAME_COMP_STRIDE(&f, c) + x * GST_VIDEO_FRAME_COMP_PSTRIDE(&f, c)]);
    }
    gst_video_frame_unmap(&f);
    return planes;
}

GstPadProbeReturn Probe(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    PipelineRun& run = *static_cast<PipelineRun*>(data);
    const bool out = GST_PAD_DIRECTION(pad) == GST_PAD_SRC;
    (out ? run.out : run.in).push_back(Components(pad, GST_PAD_PROBE_INFO_BUFFER(info)));
    if (out && run.afterFrame)
        run.afterFrame(run.element, run.out.size() - 1);
    return GST_PAD_PROBE_OK;
}

// videotestsrc (its smpte pattern has noise in a corner) ! caps ! colorcorrect (named cc) ! fakesink, to the end.
void RunPipeline(const std::string& caps, const std::string& element, int frames, PipelineRun& run,
                 const char* pattern = "smpte")
{
    static const bool ready = gst_init_check(nullptr, nullptr, nullptr);
    ASSERT_TRUE(ready);
    const std::string launch = "videotestsrc pattern=" + std::string(pattern) + " num-buffers=" +
                               std::to_string(frames) + " ! " + caps + " ! " +
                               element + " name=cc ! fakesink";
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(launch.c_str(), &error);
    ASSERT_NE(pipeline, nullptr) << launch << ": " << (error ? error->message : "");
    run.element = gst_bin_get_by_name(GST_BIN(pipeline), "cc");
    for (const char* name : {"sink", "src"}) {
        GstPad* pad = gst_element_get_static_pad(run.element, name);
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, Probe, &run, nullptr);
        gst_object_unref(pad);
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    for (;;) {
        GstMessage* m = gst_bus_timed_pop_filtered(
            bus, 20 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_WARNING));
        ASSERT_NE(m, nullptr) << launch << ": no end";
        const GstMessageType type = GST_MESSAGE_TYPE(m);
        if (type != GST_MESSAGE_EOS) {
            GError* e = nullptr;
            (type == GST_MESSAGE_ERROR ? gst_message_parse_error : gst_message_parse_warning)(m, &e, nullptr);
            run.warnings.push_back(e->message);
            g_error_free(e);
        }
        gst_message_unref(m);
        ASSERT_NE(type, GST_MESSAGE_ERROR) << launch << ": " << run.warnings.back();
        if (type == GST_MESSAGE_EOS)
            break;
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(run.element);
    gst_object_unref(pipeline);
    ASSERT_EQ(run.out.size(), size_t(frames));
}

// Where two frames' components first differ.
std::string FirstDifference(const Planes& a, const Planes& b)
{
    for (size_t c = 0; c < a.size() && c < b.size(); ++c)
        for (size_t i = 0; i < a[c].size() && i < b[c].size(); ++i)
            if (a[c][i] != b[c][i])
                return "component " + std::to_string(c) + " sample " + std::to_string(i) + ": " +
                       std::to_string(a[c][i]) + " vs " + std::to_string(b[c][i]);
    return a.size() == b.size() ? "" : "component counts differ";
}

struct Case {
    int height;
    const char* caps;  // after video/x-raw,width=66,height=...,
    const char* y4m;   // the stream's header fields; nullptr: RGB, corrected as a PNG picture
    const char* options;
};

// Each format against `colorcorrect apply` on the frames that entered the
// element: as a stream with the caps' matrix, range, siting and fields, or
// as a picture.
TEST(GstreamerElement, FormatsMatchTheTool)
{
    const Case cases[] = {
        {50, "format=v308,colorimetry=1:4:0:0", "C444", "--range full"},
        {50, "format=AYUV,colorimetry=1:4:0:0", "C444", "--range full"},
        {130, "format=Y444,colorimetry=1:4:0:0", "C444", "--range full"},
        {50, "format=v308,colorimetry=bt709", "C444", "--matrix bt709 --range limited"},
        {130, "format=I420", "C420jpeg", "--range limited"}, // GStreamer's siting of SD caps without colorimetry
        {50, "format=I420,colorimetry=bt601,chroma-site=mpeg2", "C420mpeg2", "--range limited"},
        {130, "format=NV12,colorimetry=bt709", "C420mpeg2", "--matrix bt709"}, // no siting: MPEG-2
        {130, "format=I420,interlace-mode=interleaved,chroma-site=jpeg", "C420jpeg It", ""},
        {50, "format=I420,chroma-site=dv,colorimetry=1:4:0:0", "C420paldv", "--range full"},
        {50, "format=RGB", nullptr, ""},
        {50, "format=RGBA", nullptr, ""},
        {50, "format=BGRx", nullptr, ""},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caps);
        PipelineRun run;
        const std::string h = std::to_string(c.height);
        RunPipeline("video/x-raw,width=66,height=" + h + "," + c.caps, "colorcorrect threads=3 correction=" COLORCORRECT_TEST_LOOK,
                    2, run);
        std::string input;
        if (c.y4m != nullptr) {
            input = "YUV4MPEG2 W66 H" + h + " F30:1 A1:1 " + c.y4m + "\n";
            for (const Planes& f : run.in) {
                input += "FRAME\n";
                for (size_t k = 0; k < 3; ++k)
                    input.append(f[k].begin(), f[k].end());
            }
        } else {
            formats::RgbImage image;
            image.Resize(66, 50, 3);
            for (size_t i = 0; i < image.pixels.size(); ++i)
                image.pixels[i] = run.in[0][i % 3][i / 3];
            std::vector<uint8_t> png;
            std::string error;
            ASSERT_TRUE(formats::EncodeImage(image, formats::ImageFormat::Png, {}, png, error)) << error;
            input.assign(png.begin(), png.end());
        }
        const std::string out = dir.File(c.y4m ? "out.y4m" : "out.png");
        test::WriteFile(dir.File("in"), input);
        const test::ProcessResult r = test::RunShell(std::string(COLORCORRECT_TEST_CLI) + " apply -c " +
                                                     COLORCORRECT_TEST_LOOK " " + dir.File("in") + " " + out + " " + c.options);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const std::string result = test::ReadFile(out);
        Planes expected = run.in[0];
        if (c.y4m != nullptr) {
            size_t at = result.find('\n') + 1;
            for (const Planes& f : run.out) {
                at = result.find('\n', at) + 1; // FRAME
                for (size_t k = 0; k < 3; ++k) {
                    expected[k].assign(result.begin() + long(at), result.begin() + long(at + f[k].size()));
                    at += f[k].size();
                }
                EXPECT_EQ(FirstDifference(f, expected), "");
            }
        } else {
            formats::RgbImage image;
            std::string error;
            ASSERT_TRUE(formats::DecodeImage(reinterpret_cast<const uint8_t*>(result.data()), result.size(), image, error));
            for (size_t i = 0; i < size_t(66 * 50 * 3); ++i)
                expected[i % 3][i / 3] = image.pixels[i / 3 * size_t(image.channels) + i % 3];
            EXPECT_EQ(FirstDifference(run.out[0], expected), ""); // alpha, when there is one, as it came
        }
    }
}

void WriteAtomically(const std::string& path, const std::string& bytes)
{
    test::WriteFile(path + ".new", bytes);
    std::rename((path + ".new").c_str(), path.c_str());
}

// Neutral at first (buffers pass through), a look written after frame 1 is
// in use by frame 3, and a broken file written after frame 4 keeps that look
// and says why on the bus and in correction-error.
TEST(GstreamerElement, FollowsTheFileAndKeepsTheLastGoodLook)
{
    test::TempDir dir;
    const std::string file = dir.File("look.json");
    WriteAtomically(file, "{\"format\": \"colorcorrect-correction\", \"version\": 1}\n");
    PipelineRun run;
    std::string error;
    run.afterFrame = [&](GstElement* element, size_t n) {
        if (n == 1)
            WriteAtomically(file, test::ReadFile(COLORCORRECT_TEST_LOOK));
        if (n == 4)
            WriteAtomically(file, "{\"format\": \"colorcorrect-correction\", \"version\": 1, \"base\": {\"y_gamma\": 300}}");
        if (n == 6) {
            gchar* e = nullptr;
            g_object_get(element, "correction-error", &e, nullptr);
            error = e;
            g_free(e);
        }
    };
    RunPipeline("video/x-raw,format=I420,width=64,height=48", "colorcorrect correction=" + file, 8, run, "colors");
    EXPECT_EQ(FirstDifference(run.out[1], run.in[1]), "");
    EXPECT_NE(FirstDifference(run.out[3], run.in[3]), "");
    EXPECT_EQ(FirstDifference(run.out[7], run.out[3]), "");
    ASSERT_EQ(run.warnings.size(), 1u);
    EXPECT_NE(run.warnings[0].find("y_gamma 300"), std::string::npos) << run.warnings[0];
    EXPECT_NE(error.find(file), std::string::npos) << error;
}

} // namespace
