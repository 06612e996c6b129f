#pragma once
// The viewer as the serve command drives it: CColorCorrectionViewer plus
// read access to the pictures it holds, which the page shows for picking
// points and which the corrected-picture download starts from.
//
// Like every viewer operation, these are called from one thread at a time
// (the session's lock); the worker only reads the pictures, so reading them
// here beside it is safe.

#include <colorcorrect/colorcorrect.h>

namespace colorcorrect::cli {

class ServeViewer : public CColorCorrectionViewer {
public:
    // The full-size source and reference: 24-bit packed YUV, empty when none.
    const CVoraDib& SourcePicture() const { return m_dibSource; }
    const CVoraDib& ReferencePicture() const { return m_dibReference; }
    // What the scope displays are drawn from: the viewer's filter, set up for
    // the current correction and display settings, and the reduced source.
    const CColorCorrectionFilter& DisplayFilter() const { return m_filter; }
    const CVoraDib& ReducedSource() const { return m_dibSourceQuart; }
    // Loads the default picture as source (bReference 0) or reference when
    // that one is empty. 1 when the picture is there afterwards.
    int EnsureDefault(int bReference)
    {
        const CVoraDib& picture = bReference ? m_dibReference : m_dibSource;
        if (static_cast<const BYTE*>(picture) != nullptr)
            return 1;
        return GetDefaultBMP(bReference);
    }
};

} // namespace colorcorrect::cli
