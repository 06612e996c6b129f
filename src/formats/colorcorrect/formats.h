#pragma once
// colorcorrect formats: the files and streams around the library, for every
// program built on it (the command-line tool, the browser workstation,
// language bindings, media-framework elements).
//
// Correction files (JSON and the 564-byte binary record), the .cube export
// and the real-time package file; PNG, JPEG and BMP pictures and their
// conversion to and from the library's packed YUV pictures; YUV4MPEG2
// streams, their conversion to the library's frames and the frame-parallel
// pipeline that corrects them; scope displays and automatic corrections
// driven as a host drives them; and the byte and file plumbing underneath.
//
// Everything lives in namespace colorcorrect::formats. Functions that can
// fail return false with a message that names the value at fault.

#include <colorcorrect/colorcorrect.h>

#include "formats/byte_stream.h"
#include "formats/file_io.h"
#include "formats/rgb_image.h"
#include "formats/png_codec.h"
#include "formats/jpeg_codec.h"
#include "formats/image_io.h"
#include "formats/correction_file.h"
#include "formats/correction_summary.h"
#include "formats/correction_processor.h"
#include "formats/cube_lut.h"
#include "formats/rt_package.h"
#include "formats/y4m.h"
#include "formats/frame_convert.h"
#include "formats/stream_pipeline.h"
#include "formats/scope_render.h"
#include "formats/auto_correction.h"
