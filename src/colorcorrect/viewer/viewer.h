#pragma once
// Public declarations of the viewer folder.
#include "color_correction_viewer.h"
#include "default_picture.h"
#include "picture_colours.h"
