// The colorcorrect element in pipelines: each format against the tool on the same
// frames, and a correction file changed (by `serve --publish`) or broken while frames flow.

#include <gst/gst.h>
#include <gst/video/video.h>
#include <gtest/gtest.h>
#include <httplib.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <colorcorrect/formats/file_io.h>
#include <colorcorrect/formats/image_io.h>

#include "serve_server.h"
#include "support/run_process.h"

namespace {

using namespace colorcorrect;
using Planes = std::vector<std::vector<uint8_t>>; // a frame's components, rows packed

struct PipelineRun {
    std::vector<Planes> in, out;
    std::vector<std::string> warnings;
    std::function<void(size_t)> afterFrame; // after output frame n
    std::string error;                      // correction-error at the end
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
        run.afterFrame(run.out.size() - 1);
    return GST_PAD_PROBE_OK;
}

// videotestsrc (its smpte pattern has noise in a corner) ! caps ! colorcorrect (named cc) ! fakesink, to the end.
void RunPipeline(const std::string& caps, const std::string& element, int frames, PipelineRun& run,
                 const char* pattern = "smpte")
{
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
    const std::string launch = "videotestsrc pattern=" + std::string(pattern) + " num-buffers=" +
                               std::to_string(frames) + " ! " + caps + " ! " + element + " name=cc ! fakesink";
    GstElement* pipeline = gst_parse_launch(launch.c_str(), nullptr);
    ASSERT_NE(pipeline, nullptr) << launch;
    GstElement* cc = gst_bin_get_by_name(GST_BIN(pipeline), "cc");
    for (const char* name : {"sink", "src"}) {
        GstPad* pad = gst_element_get_static_pad(cc, name);
        gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BUFFER, Probe, &run, nullptr);
        gst_object_unref(pad);
    }
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    const auto kinds = GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR | GST_MESSAGE_WARNING);
    for (GstMessage* m; (m = gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND, kinds)) != nullptr;) {
        const GstMessageType type = GST_MESSAGE_TYPE(m);
        GError* e = nullptr;
        if (type != GST_MESSAGE_EOS)
            (type == GST_MESSAGE_ERROR ? gst_message_parse_error : gst_message_parse_warning)(m, &e, nullptr);
        gst_message_unref(m);
        if (e == nullptr)
            break;
        run.warnings.push_back(e->message);
        g_error_free(e);
        ASSERT_NE(type, GST_MESSAGE_ERROR) << launch << ": " << run.warnings.back();
    }
    gchar* error = nullptr;
    g_object_get(cc, "correction-error", &error, nullptr);
    run.error = error;
    g_free(error);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(cc);
    gst_object_unref(pipeline);
    ASSERT_EQ(run.out.size(), size_t(frames));
}

// All of a frame's components, one after the other.
std::string Bytes(const Planes& frame, size_t components = 4)
{
    std::string s;
    for (size_t k = 0; k < frame.size() && k < components; ++k)
        s.append(frame[k].begin(), frame[k].end());
    return s;
}

// Where two byte strings first differ; empty when they are equal.
std::string Difference(const std::string& a, const std::string& b)
{
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i])
            return "byte " + std::to_string(i) + ": " + std::to_string(uint8_t(a[i])) + " vs " +
                   std::to_string(uint8_t(b[i]));
    return a.size() == b.size() ? "" : "sizes differ";
}

// Frames as a YUV4MPEG2 stream (its header fields given), or the first
// frame's R, G, B as a PNG file (encoded as the tool encodes).
std::string Stream(const std::vector<Planes>& frames, const std::string& fields)
{
    std::string s = "YUV4MPEG2 " + fields + "\n";
    for (const Planes& f : frames)
        s += "FRAME\n" + Bytes(f, 3);
    return s;
}
std::string Png(const Planes& frame, int width, int height)
{
    formats::RgbImage image;
    image.Resize(width, height, 3);
    for (size_t i = 0; i < image.pixels.size(); ++i)
        image.pixels[i] = frame[i % 3][i / 3];
    std::vector<uint8_t> png;
    std::string error;
    return formats::EncodeImage(image, formats::ImageFormat::Png, {}, png, error) ? std::string(png.begin(), png.end()) : error;
}

struct Case {
    int height;
    const char* caps;    // after video/x-raw,width=66,height=...,
    const char* fields;  // the stream's colour space and fields; nullptr: RGB, corrected as a PNG picture
    const char* options; // the tool's
};

// Each format against `colorcorrect apply` on the frames that entered the
// element: as a stream with the caps' matrix, range, siting and fields, or
// as a picture. Frames of 130 rows are cut into stripes for three threads.
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
        {50, "format=RGB", nullptr, "--format png"},
        {50, "format=RGBA", nullptr, "--format png"},
        {50, "format=BGRx", nullptr, "--format png"},
    };
    test::TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.caps);
        PipelineRun run;
        const std::string h = std::to_string(c.height), fields = "W66 H" + h + " F30:1 A1:1 " + (c.fields ? c.fields : "");
        RunPipeline("video/x-raw,width=66,height=" + h + "," + c.caps,
                    "colorcorrect threads=3 correction=" COLORCORRECT_TEST_LOOK, 2, run);
        test::WriteFile(dir.File("in"), c.fields ? Stream(run.in, fields) : Png(run.in[0], 66, c.height));
        const test::ProcessResult r = test::RunShell(std::string(COLORCORRECT_TEST_CLI) + " apply -c " COLORCORRECT_TEST_LOOK " " +
                                                     dir.File("in") + " " + dir.File("out") + " " + c.options);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(Difference(c.fields ? Stream(run.out, fields) : Png(run.out[0], 66, c.height), test::ReadFile(dir.File("out"))), "");
        EXPECT_EQ(run.in[1].size() < 4 ? "" : Difference(Bytes({run.out[1][3]}), Bytes({run.in[1][3]})), ""); // alpha kept
    }
}

// Neutral at first (buffers pass through); a look set through the workstation's API
// after frame 1 is published to the file and in use by frame 3; a broken file written
// after frame 4 keeps that look and says why on the bus and in correction-error.
TEST(GstreamerElement, FollowsTheWorkstationAndKeepsTheLastGoodLook)
{
    test::TempDir dir;
    const std::string file = dir.File("look.json");
    std::string error, look = "{\"format\": \"colorcorrect-correction\", \"version\": 1}";
    ASSERT_TRUE(formats::WriteWholeFile(file, look.data(), look.size(), error)); // replaced whole, as a rename does
    cli::ServeOptions options;
    options.port = 0;
    options.publish = file;
    cli::ServeServer server(options);
    ASSERT_TRUE(server.Bind(error)) << error;
    std::thread serving([&] { server.Run(); });
    httplib::Client client("127.0.0.1", server.Port());
    const std::string cookie = client.Post("/api/session")->get_header_value("Set-Cookie");
    const httplib::Headers session{{"Cookie", cookie.substr(0, cookie.find(';'))}};
    const std::string broken = look.substr(0, look.size() - 1) + ", \"base\": {\"y_gamma\": 300}}";
    PipelineRun run;
    run.afterFrame = [&](size_t n) {
        if (n == 1 && client.Put("/api/correction", session, test::ReadFile(COLORCORRECT_TEST_LOOK), "application/json")->status != 200)
            ADD_FAILURE() << "the workstation refused the look";
        if (n == 4 && !formats::WriteWholeFile(file, broken.data(), broken.size(), error))
            ADD_FAILURE() << error;
    };
    RunPipeline("video/x-raw,format=I420,width=64,height=48", "colorcorrect correction=" + file, 8, run, "colors");
    server.Stop();
    serving.join();
    EXPECT_EQ(Difference(Bytes(run.out[1]), Bytes(run.in[1])), "");
    EXPECT_NE(Difference(Bytes(run.out[3]), Bytes(run.in[3])), "");
    EXPECT_EQ(Difference(Bytes(run.out[7]), Bytes(run.out[3])), "");
    ASSERT_EQ(run.warnings.size(), 1u);
    EXPECT_NE(run.warnings[0].find("y_gamma 300"), std::string::npos) << run.warnings[0];
    EXPECT_NE(run.error.find(file), std::string::npos) << run.error;
}

} // namespace
