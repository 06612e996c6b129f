#pragma once
// The host's exception filter: decides what happens to an exception caught
// inside a host operation.

#include <exception>

// Verdict: the exception is handled where it was caught.
inline constexpr int EXCEPTION_EXECUTE_HANDLER = 1;

// Returns EXCEPTION_EXECUTE_HANDLER for every exception (no exception
// leaves the library). When IsDebugOn() is nonzero it first prints one debug
// line naming the exception: its type and, for a std::exception, what().
// info: the caught exception (std::current_exception() inside a catch); null
//   is accepted and reported as missing information.
// flags: kept for the host's signature (callers pass 1); not used.
int AnalyseException(std::exception_ptr info, int flags);
