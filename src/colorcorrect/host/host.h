#pragma once
// The host services the library relies on, and the platform stand-ins.
#include "win_types.h"
#include "dib_info.h"
#include "checksum.h"
#include "debug_output.h"
#include "tick_count.h"
#include "virtual_memory.h"
