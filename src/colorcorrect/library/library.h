#pragma once
// Library-wide values set up when the library is loaded.
#include "library_globals.h"
