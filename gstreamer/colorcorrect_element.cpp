// The `colorcorrect` element: a video filter that corrects each frame with a
// correction file's look, as `colorcorrect apply` corrects streams and
// pictures, and follows the file while the pipeline runs.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include <gst/gst.h>
#include <gst/video/gstvideofilter.h>
#include <gst/video/video.h>

#include <colorcorrect/formats/byte_stream.h>
#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/file_io.h>

#include "video_corrector.h"

namespace {

using colorcorrect::formats::CorrectionProcessor;
using colorcorrect::gst::VideoCorrector;
using colorcorrect::gst::VideoFormat;
using colorcorrect::gst::VideoLayout;
using colorcorrect::gst::VideoPlanes;
namespace ccf = colorcorrect::formats;

// What identifies the version of the file last read: a file replaced by a
// rename has another inode, one rewritten in place another size or time.
struct FileStamp {
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = 0;
    timespec mtime{};

    static FileStamp Of(const struct stat& st)
    {
        return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
    }
    bool operator==(const FileStamp& o) const
    {
        return exists == o.exists && dev == o.dev && ino == o.ino && size == o.size &&
               mtime.tv_sec == o.mtime.tv_sec && mtime.tv_nsec == o.mtime.tv_nsec;
    }
};

// Everything C++ the element holds; GObject only sees the pointer.
struct State {
    std::mutex lock; // guards the properties and `look` against the streaming thread
    std::string path;
    unsigned threads = 0;
    std::string error;
    FileStamp stamp;
    bool reread = false; // `path` was set: read it at the next frame even if unchanged
    // The look in use; empty for a neutral one, which passes buffers through.
    std::shared_ptr<const CorrectionProcessor> look;

    // Streaming thread only.
    VideoFormat format;
    bool mixed = false; // interlace-mode=mixed: each frame's flags say which it is
    bool formatKnown = false;
    unsigned builtThreads = 0;
    std::unique_ptr<VideoCorrector> progressive, interlaced;
};

} // namespace

G_BEGIN_DECLS

#define COLORCORRECT_TYPE_ELEMENT (gst_colorcorrect_get_type())
G_DECLARE_FINAL_TYPE(GstColorcorrect, gst_colorcorrect, COLORCORRECT, ELEMENT, GstVideoFilter)

struct _GstColorcorrect {
    GstVideoFilter parent;
    State* state;
};

G_END_DECLS

GST_DEBUG_CATEGORY_STATIC(colorcorrect_debug);
#define GST_CAT_DEFAULT colorcorrect_debug

G_DEFINE_TYPE(GstColorcorrect, gst_colorcorrect, GST_TYPE_VIDEO_FILTER)

namespace {

enum { PROP_0, PROP_CORRECTION, PROP_THREADS, PROP_CORRECTION_ERROR, N_PROPS };
GParamSpec* g_props[N_PROPS];

constexpr const char* kCaps = "video/x-raw, "
                              "format = (string) { v308, AYUV, I420, NV12, Y444, RGB, RGBA, BGRx }, "
                              "width = (int) [ 1, 32767 ], height = (int) [ 1, 32767 ], "
                              "framerate = (fraction) [ 0, max ]";

// Reads `path` when it differs from `stamp` (or always with `force`). Returns
// false when nothing changed; otherwise sets either `look`/`neutral` or
// `error`, and `stamp` to the version seen.
bool ReadLook(const std::string& path, bool force, FileStamp& stamp, std::shared_ptr<const CorrectionProcessor>& look,
              bool& neutral, std::string& error)
{
    struct stat st{};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (!force && !stamp.exists)
            return false; // still missing: said once already
        stamp = FileStamp{};
        error = path + ": " + std::strerror(err);
        return true;
    }
    if (!force && FileStamp::Of(st) == stamp)
        return false;

    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        error = path + ": " + std::strerror(errno);
        if (fd >= 0)
            ::close(fd);
        stamp = FileStamp{};
        return true;
    }
    // The stamp of what is read, taken before reading: a write that lands
    // while it is read changes the stamp again and is read at the next frame.
    stamp = FileStamp::Of(st);
    std::vector<uint8_t> bytes;
    std::string why;
    bool ok;
    {
        ccf::FdSource source(fd);
        ok = ccf::ReadAll(source, ccf::kMaxCorrectionFileBytes, bytes, why);
    }
    ::close(fd);
    tagCOLORCORRINFO record;
    ccf::CorrectionFormat form;
    if (ok)
        ok = ccf::ParseCorrection(bytes.data(), bytes.size(), record, form, why);
    if (!ok) {
        error = path + ": " + why;
        return true;
    }
    neutral = record.IsDefault(CC_PRIMARY | CC_SIX_VECTOR | CC_MATCH_VECTOR | CC_CLIPPING) != 0;
    if (neutral) {
        look.reset();
        return true;
    }
    auto processor = std::make_shared<CorrectionProcessor>();
    if (!processor->Setup(record, why)) {
        error = path + ": " + why;
        return true;
    }
    look = std::move(processor);
    return true;
}

// Brings the element's look up to date with its file: at most one stat a
// frame, a read only when the file changed.
void Refresh(GstColorcorrect* self)
{
    State& s = *self->state;
    std::string path;
    bool force;
    FileStamp stamp;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        path = s.path;
        force = s.reread;
        stamp = s.stamp;
        s.reread = false;
    }
    if (path.empty()) {
        if (force) {
            std::lock_guard<std::mutex> guard(s.lock);
            s.look.reset();
            s.error.clear();
            s.stamp = FileStamp{};
        }
        if (force)
            gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), TRUE);
        return;
    }
    std::shared_ptr<const CorrectionProcessor> look;
    bool neutral = false;
    std::string error;
    if (!ReadLook(path, force, stamp, look, neutral, error))
        return;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        if (s.path != path)
            return; // changed meanwhile: the new path is read at the next frame
        s.stamp = stamp;
        s.error = error;
        if (error.empty())
            s.look = look;
    }
    g_object_notify_by_pspec(G_OBJECT(self), g_props[PROP_CORRECTION_ERROR]);
    if (!error.empty()) {
        // Keep grading: the last good look stays until the file is fixed.
        GST_ELEMENT_WARNING(self, RESOURCE, READ, ("%s", error.c_str()),
                            ("the previous correction stays in use until the file can be read"));
        return;
    }
    GST_INFO_OBJECT(self, "correction %s read: %s", path.c_str(), neutral ? "neutral" : "active");
    gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), neutral ? TRUE : FALSE);
}

void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* pspec)
{
    auto* self = COLORCORRECT_ELEMENT(object);
    State& s = *self->state;
    switch (id) {
    case PROP_CORRECTION: {
        const char* path = g_value_get_string(value);
        {
            std::lock_guard<std::mutex> guard(s.lock);
            s.path = path != nullptr ? path : "";
            s.reread = true;
        }
        // Read now, so that a wrong name shows in correction-error at once.
        Refresh(self);
        break;
    }
    case PROP_THREADS: {
        std::lock_guard<std::mutex> guard(s.lock);
        s.threads = g_value_get_uint(value);
        break;
    }
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* pspec)
{
    State& s = *COLORCORRECT_ELEMENT(object)->state;
    std::lock_guard<std::mutex> guard(s.lock);
    switch (id) {
    case PROP_CORRECTION:
        g_value_set_string(value, s.path.empty() ? nullptr : s.path.c_str());
        break;
    case PROP_THREADS:
        g_value_set_uint(value, s.threads);
        break;
    case PROP_CORRECTION_ERROR:
        g_value_set_string(value, s.error.c_str());
        break;
    default:
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    }
}

void Finalize(GObject* object)
{
    delete COLORCORRECT_ELEMENT(object)->state;
    G_OBJECT_CLASS(gst_colorcorrect_parent_class)->finalize(object);
}

gboolean SetInfo(GstVideoFilter* filter, GstCaps*, GstVideoInfo* in, GstCaps*, GstVideoInfo*)
{
    auto* self = COLORCORRECT_ELEMENT(filter);
    State& s = *self->state;
    VideoFormat f;
    switch (GST_VIDEO_INFO_FORMAT(in)) {
    case GST_VIDEO_FORMAT_v308: f.layout = VideoLayout::V308; break;
    case GST_VIDEO_FORMAT_AYUV: f.layout = VideoLayout::Ayuv; break;
    case GST_VIDEO_FORMAT_I420: f.layout = VideoLayout::I420; break;
    case GST_VIDEO_FORMAT_NV12: f.layout = VideoLayout::Nv12; break;
    case GST_VIDEO_FORMAT_Y444: f.layout = VideoLayout::Y444; break;
    case GST_VIDEO_FORMAT_RGB: f.layout = VideoLayout::Rgb; break;
    case GST_VIDEO_FORMAT_RGBA: f.layout = VideoLayout::Rgba; break;
    case GST_VIDEO_FORMAT_BGRx: f.layout = VideoLayout::Bgrx; break;
    default: return FALSE;
    }
    f.width = GST_VIDEO_INFO_WIDTH(in);
    f.height = GST_VIDEO_INFO_HEIGHT(in);
    if (VideoCorrector::IsYuv(f.layout)) {
        const GstVideoColorimetry& c = in->colorimetry;
        switch (c.matrix) {
        case GST_VIDEO_COLOR_MATRIX_BT709: f.matrix = ccf::YuvMatrix::Bt709; break;
        case GST_VIDEO_COLOR_MATRIX_BT601:
        case GST_VIDEO_COLOR_MATRIX_UNKNOWN: f.matrix = ccf::YuvMatrix::Bt601; break;
        default: {
            gchar* name = gst_video_colorimetry_to_string(&c);
            GST_ELEMENT_ERROR(self, STREAM, FORMAT, ("colorimetry %s: only the BT.601 and BT.709 matrices are supported",
                                                     name != nullptr ? name : "?"), (nullptr));
            g_free(name);
            return FALSE;
        }
        }
        // Untagged YUV is limited range, as the tool takes untagged streams.
        f.range = c.range == GST_VIDEO_COLOR_RANGE_0_255 ? ccf::YuvRange::Full : ccf::YuvRange::Limited;
        const unsigned site = GST_VIDEO_INFO_CHROMA_SITE(in);
        const bool h = (site & GST_VIDEO_CHROMA_SITE_H_COSITED) != 0, v = (site & GST_VIDEO_CHROMA_SITE_V_COSITED) != 0;
        // GStreamer's own default for 4:2:0 is MPEG-2 siting.
        if (site == GST_VIDEO_CHROMA_SITE_UNKNOWN || (h && !v))
            f.siting = ccf::Y4mChroma::C420Mpeg2;
        else
            f.siting = h ? ccf::Y4mChroma::C420Paldv : ccf::Y4mChroma::C420Jpeg;
    }
    const GstVideoInterlaceMode mode = GST_VIDEO_INFO_INTERLACE_MODE(in);
    s.format = f;
    s.formatKnown = true;
    s.mixed = mode == GST_VIDEO_INTERLACE_MODE_MIXED;
    s.format.interlaced = mode == GST_VIDEO_INTERLACE_MODE_INTERLEAVED;
    s.progressive.reset();
    s.interlaced.reset();
    GST_INFO_OBJECT(self, "layout %d %dx%d, matrix %d, range %d, siting %d, interlace mode %d", int(f.layout), f.width,
                    f.height, int(f.matrix), int(f.range), int(f.siting), int(mode));
    return TRUE;
}

void BeforeTransform(GstBaseTransform* trans, GstBuffer*)
{
    Refresh(COLORCORRECT_ELEMENT(trans));
}

GstFlowReturn TransformFrameIp(GstVideoFilter* filter, GstVideoFrame* frame)
{
    auto* self = COLORCORRECT_ELEMENT(filter);
    State& s = *self->state;
    std::shared_ptr<const CorrectionProcessor> look;
    unsigned threads;
    {
        std::lock_guard<std::mutex> guard(s.lock);
        look = s.look;
        threads = s.threads;
    }
    if (!look || !s.formatKnown)
        return GST_FLOW_OK;
    const bool fields = s.format.interlaced ||
                        (s.mixed && GST_VIDEO_FRAME_IS_INTERLACED(frame));
    if (threads != s.builtThreads) {
        s.progressive.reset();
        s.interlaced.reset();
        s.builtThreads = threads;
    }
    std::unique_ptr<VideoCorrector>& corrector = fields ? s.interlaced : s.progressive;
    try {
        if (!corrector) {
            VideoFormat f = s.format;
            f.interlaced = fields;
            corrector = std::make_unique<VideoCorrector>(f, threads);
        }
    } catch (const std::bad_alloc&) {
        GST_ELEMENT_ERROR(self, RESOURCE, NO_SPACE_LEFT, ("not enough memory to correct frames of this size"), (nullptr));
        return GST_FLOW_ERROR;
    }
    VideoPlanes planes;
    for (guint p = 0; p < GST_VIDEO_FRAME_N_PLANES(frame) && p < 3; ++p) {
        planes.data[p] = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(frame, p));
        planes.stride[p] = size_t(GST_VIDEO_FRAME_PLANE_STRIDE(frame, p));
    }
    if (!corrector->Correct(*look, planes)) {
        GST_ELEMENT_ERROR(self, STREAM, FAILED, ("the correction engine failed on a frame"), (nullptr));
        return GST_FLOW_ERROR;
    }
    return GST_FLOW_OK;
}

} // namespace

static void gst_colorcorrect_class_init(GstColorcorrectClass* klass)
{
    GObjectClass* object = G_OBJECT_CLASS(klass);
    object->set_property = SetProperty;
    object->get_property = GetProperty;
    object->finalize = Finalize;

    const auto rw = GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
    g_props[PROP_CORRECTION] = g_param_spec_string(
        "correction", "Correction file",
        "Path of a correction file (JSON, or the 564-byte binary record). Read when set, and read again "
        "before a frame when the file has changed on disk (size, time or a replacement); replace it with "
        "a rename so that a half-written file is never seen. Unset or a neutral look: buffers pass through "
        "untouched. A file that cannot be read or is refused leaves the last good look in use, posts a "
        "warning on the bus and sets correction-error",
        nullptr, rw);
    g_props[PROP_THREADS] = g_param_spec_uint(
        "threads", "Threads",
        "Threads that share each frame, the streaming thread included (0: one per processor core)", 0, 256, 0,
        rw);
    g_props[PROP_CORRECTION_ERROR] = g_param_spec_string(
        "correction-error", "Correction error",
        "Why the correction file was last refused (the file named, then the reason); empty after a "
        "successful read",
        "", GParamFlags(G_PARAM_READABLE | G_PARAM_STATIC_STRINGS));
    g_object_class_install_properties(object, N_PROPS, g_props);

    GstElementClass* element = GST_ELEMENT_CLASS(klass);
    gst_element_class_set_static_metadata(
        element, "Colour correction", "Filter/Effect/Video",
        "Corrects video with a colorcorrect correction file, converting YUV as the colorcorrect tool does "
        "(matrix, range and chroma siting from the caps, interlaced frames field by field)",
        "colorcorrect developers");
    GstCaps* caps = gst_caps_from_string(kCaps);
    gst_element_class_add_pad_template(element, gst_pad_template_new("sink", GST_PAD_SINK, GST_PAD_ALWAYS, caps));
    gst_element_class_add_pad_template(element, gst_pad_template_new("src", GST_PAD_SRC, GST_PAD_ALWAYS, caps));
    gst_caps_unref(caps);

    GstBaseTransformClass* trans = GST_BASE_TRANSFORM_CLASS(klass);
    trans->before_transform = BeforeTransform;
    // Passthrough means a neutral look: nothing to do on those buffers.
    trans->transform_ip_on_passthrough = FALSE;

    GstVideoFilterClass* video = GST_VIDEO_FILTER_CLASS(klass);
    video->set_info = SetInfo;
    video->transform_frame_ip = TransformFrameIp;
}

static void gst_colorcorrect_init(GstColorcorrect* self)
{
    self->state = new State;
    gst_base_transform_set_in_place(GST_BASE_TRANSFORM(self), TRUE);
    gst_base_transform_set_passthrough(GST_BASE_TRANSFORM(self), TRUE);
}

static gboolean plugin_init(GstPlugin* plugin)
{
    GST_DEBUG_CATEGORY_INIT(colorcorrect_debug, "colorcorrect", 0, "colorcorrect element");
    return gst_element_register(plugin, "colorcorrect", GST_RANK_NONE, COLORCORRECT_TYPE_ELEMENT);
}

#ifndef PACKAGE
#define PACKAGE "colorcorrect"
#endif

GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, colorcorrect,
                  "Colour correction with colorcorrect looks", plugin_init, COLORCORRECT_VERSION, "Proprietary",
                  "colorcorrect", "colorcorrect")
