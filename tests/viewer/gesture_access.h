#pragma once
// Opens the viewer's gesture state and helpers to the gesture tests.

#include "viewer/viewer_access.h"

namespace colorcorrect::test {

class GestureAccess : public ViewerAccess {
public:
    using CColorCorrectionViewer::GetSatAdjust;
    using CColorCorrectionViewer::m_dwAdjustTarget;
};

} // namespace colorcorrect::test
