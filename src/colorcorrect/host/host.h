#pragma once
// The host services the library relies on, and the platform stand-ins.
#include "win_types.h"
#include "dib_info.h"
#include "checksum.h"
#include "debug_output.h"
#include "tick_count.h"
#include "virtual_memory.h"
#include "p_memory.h"
#include "vora_dib.h"
#include "bmp_codec.h"
#include "file_lookup.h"
#include "dib_draw.h"
