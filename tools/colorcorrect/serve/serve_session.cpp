#include "serve_session.h"

#include <cstring>
#include <new>
#include <optional>

#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/image_io.h>

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

bool SameRecord(const tagCOLORCORRINFO& a, const tagCOLORCORRINFO& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

ServeSession::ServeSession(std::string id)
    : m_id(std::move(id)), m_sink(PreviewSink::Create()), m_lastUsed(Clock::now()),
      m_viewer(std::make_unique<ServeViewer>())
{
    m_current.Init(sizeof(tagCOLORCORRINFO));
    m_committed = m_current;
}

ServeSession::~ServeSession()
{
    m_sink->Close();
    std::lock_guard lock(m_lock);
    m_viewer->SetPreview(nullptr, 0);
    m_viewer.reset();
}

bool ServeSession::Start(std::string& error)
{
    std::lock_guard lock(m_lock);
    if (m_viewer->EnsureDefault(0) == 0) {
        error = "the default picture RESOURCE/COLORNTSC.BMP could not be loaded";
        return false;
    }
    m_viewer->EnsureDefault(1);
    m_viewer->SetIntensity(m_options.intensity);
    if (m_viewer->SetCorrection(m_current) == 0) {
        error = "the viewer refused the default correction";
        return false;
    }
    m_viewer->SetPreview(&PreviewSink::OnViewerPreview, m_sink->Key());
    return true;
}

void ServeSession::Touch()
{
    std::lock_guard lock(m_usedLock);
    m_lastUsed = Clock::now();
}

bool ServeSession::AddStream(unsigned most)
{
    unsigned open = m_streams;
    while (open < most)
        if (m_streams.compare_exchange_weak(open, open + 1))
            return true;
    return false;
}

void ServeSession::RemoveStream()
{
    m_streams -= 1;
    Touch(); // the page-gone limit counts from the stream's end
}

ServeSession::Clock::time_point ServeSession::LastUsed() const
{
    std::lock_guard lock(m_usedLock);
    return m_lastUsed;
}

SessionState ServeSession::State()
{
    std::lock_guard lock(m_lock);
    SessionState s;
    s.correction = m_current;
    s.sets = m_viewer->QueryNSet();
    s.undo = m_undo.size() + (SameRecord(m_current, m_committed) ? 0 : 1);
    s.redo = m_redo.size();
    m_viewer->GetImageSize(s.width, s.height);
    s.referenceWidth = m_viewer->ReferencePicture().GetWidth();
    s.referenceHeight = m_viewer->ReferencePicture().GetHeight();
    s.splitX = m_splitX;
    s.splitY = m_splitY;
    s.options = m_options;
    s.preview = m_sink->Latest().sequence;
    s.sourceName = m_sourceName;
    s.referenceName = m_referenceName;
    return s;
}

bool ServeSession::SetCorrection(const tagCOLORCORRINFO& cc, bool commit, std::string& error)
{
    std::lock_guard lock(m_lock);
    return SetCorrectionLocked(cc, commit, error);
}

bool ServeSession::SetCorrectionLocked(const tagCOLORCORRINFO& cc, bool commit, std::string& error)
{
    if (m_viewer->SetCorrection(cc) == 0) {
        error = "the correction was refused by the viewer";
        return false;
    }
    m_current = cc;
    if (commit)
        Commit();
    return true;
}

// Records the step from the last committed correction to the current one.
bool ServeSession::Commit()
{
    if (SameRecord(m_current, m_committed))
        return false;
    m_undo.push_back(m_committed);
    if (m_undo.size() > kServeUndoDepth)
        m_undo.pop_front();
    m_redo.clear();
    m_committed = m_current;
    return true;
}

bool ServeSession::Undo()
{
    std::lock_guard lock(m_lock);
    Commit(); // an unfinished drag counts as a step of its own
    if (m_undo.empty())
        return false;
    const tagCOLORCORRINFO previous = m_undo.back();
    if (m_viewer->SetCorrection(previous) == 0)
        return false;
    m_undo.pop_back();
    m_redo.push_back(m_current);
    m_current = m_committed = previous;
    return true;
}

bool ServeSession::Redo()
{
    std::lock_guard lock(m_lock);
    if (Commit()) // a change after the undo makes the undone steps history
        return false;
    if (m_redo.empty())
        return false;
    const tagCOLORCORRINFO next = m_redo.back();
    if (m_viewer->SetCorrection(next) == 0)
        return false;
    m_redo.pop_back();
    m_undo.push_back(m_current);
    m_current = m_committed = next;
    return true;
}

unsigned ServeSession::DefineSet()
{
    std::lock_guard lock(m_lock);
    return m_viewer->DefineSet();
}

bool ServeSession::RecallSet(unsigned nSet)
{
    std::lock_guard lock(m_lock);
    tagCOLORCORRINFO cc;
    if (m_viewer->GetSet(nSet, cc) == 0)
        return false;
    std::string error;
    Commit();
    return SetCorrectionLocked(cc, true, error);
}

bool ServeSession::DeleteSet(unsigned nSet)
{
    std::lock_guard lock(m_lock);
    return m_viewer->DeleteSet(nSet) != 0;
}

void ServeSession::ClearSets()
{
    std::lock_guard lock(m_lock);
    m_viewer->ClearListSet();
}

bool ServeSession::SetSource(const RgbImage& image, const std::string& name, std::string& error)
{
    CVoraDib picture;
    if (!RgbImageToYuvPicture(image, picture, error))
        return false;
    std::lock_guard lock(m_lock);
    if (m_viewer->SetSource(picture) == 0) {
        error = "the viewer could not take the picture";
        // The viewer may be left without a source; bring the default back.
        m_viewer->EnsureDefault(0);
        m_sourceName.clear();
        return false;
    }
    m_sourceName = name;
    // The split is kept in source pixels: keep it within the new picture.
    m_viewer->SetSplit(m_splitX, m_splitY);
    m_viewer->SetCorrection(m_current); // render the new picture
    return true;
}

bool ServeSession::SetReference(const RgbImage& image, const std::string& name, std::string& error)
{
    CVoraDib picture;
    if (!RgbImageToYuvPicture(image, picture, error))
        return false;
    std::lock_guard lock(m_lock);
    if (m_viewer->SetReference(picture) == 0) {
        error = "the viewer could not take the picture";
        m_viewer->EnsureDefault(1);
        m_referenceName.clear();
        return false;
    }
    m_referenceName = name;
    m_viewer->SetCorrection(m_current);
    return true;
}

void ServeSession::SetSplit(int x, int y)
{
    std::lock_guard lock(m_lock);
    m_splitX = x;
    m_splitY = y;
    m_viewer->SetSplit(x, y);
    m_viewer->SetCorrection(m_current); // the split shows at the next render
}

void ServeSession::SetOptions(const ViewOptions& options)
{
    std::lock_guard lock(m_lock);
    m_options = options;
    m_viewer->SetChannel(options.channel);
    m_viewer->SetIntensity(options.intensity);
    m_viewer->Set6Vector(options.sixVector);
    m_viewer->SetIsolateVector(options.isolateVector);
    m_viewer->SetIsolateType(options.isolateType);
    m_viewer->SetCorrection(m_current); // channel and isolation change the preview
}

bool ServeSession::DibToImage(const CVoraDib& dib, RgbImage& image)
{
    const tagDIBINFO* info = dib;
    if (info == nullptr)
        return false;
    std::string error;
    if (info->bmiHeader.biCompression == YUV_COMPRESSION)
        return YuvPictureToRgbImage(dib, 3, image, error);
    // RGB pictures of three or four bytes a pixel (the viewer's displays).
    unsigned step = 0, stride = 0;
    dib.GetIncrements(step, stride);
    if (dib.GetWidth() <= 0 || dib.GetHeight() <= 0 || step < 3)
        return false;
    return RgbPictureToRgbImage(dib, image, error);
}

bool ServeSession::Scope(unsigned type, RgbImage& scope)
{
    // The display is drawn from copies, outside the lock: for a 4K source it
    // takes tens of milliseconds, and the next change of the correction, which
    // the page sends while this display loads, would wait for it. Only the
    // scope is wanted, not the corrected picture beside it, so the split the
    // viewer's GetDisplay adds to that picture is left out.
    std::optional<CColorCorrectionFilter> filter;
    CVoraDib source;
    {
        std::lock_guard lock(m_lock);
        if (m_viewer->EnsureDefault(0) == 0)
            return false;
        filter.emplace(m_viewer->DisplayFilter());
        source = m_viewer->ReducedSource();
    }
    CVoraDib picture, display;
    if (filter->ProcessDisplay(source, picture, display, type) == 0)
        return false;
    return DibToImage(display, scope);
}

bool ServeSession::SourceImage(RgbImage& image)
{
    std::lock_guard lock(m_lock);
    m_viewer->EnsureDefault(0);
    return DibToImage(m_viewer->SourcePicture(), image);
}

bool ServeSession::ReferenceImage(RgbImage& image)
{
    std::lock_guard lock(m_lock);
    m_viewer->EnsureDefault(1);
    return DibToImage(m_viewer->ReferencePicture(), image);
}

bool ServeSession::CorrectedImage(RgbImage& image, std::string& error)
{
    CVoraDib picture;
    tagCOLORCORRINFO cc;
    {
        std::lock_guard lock(m_lock);
        m_viewer->EnsureDefault(0);
        picture = m_viewer->SourcePicture();
        cc = m_current;
    }
    if (static_cast<const BYTE*>(picture) == nullptr) {
        error = "there is no source picture";
        return false;
    }
    CorrectionProcessor processor;
    if (!processor.Setup(cc, error))
        return false;
    tagDIBINFO* info = picture;
    BYTE* pixels = picture;
    if (info == nullptr || !processor.Process(info->bmiHeader, pixels, pixels)) {
        error = "the correction could not be applied to the picture";
        return false;
    }
    return YuvPictureToRgbImage(picture, 3, image, error);
}

void ServeSession::WithViewer(
    const std::function<void(ServeViewer& viewer, const tagCOLORCORRINFO& current)>& step)
{
    std::lock_guard lock(m_lock);
    const tagCOLORCORRINFO current = m_current;
    step(*m_viewer, current);
}

} // namespace colorcorrect::cli
