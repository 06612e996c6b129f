#pragma once
// Row loops compiled twice: for the processor the library was built for and
// for AVX2, chosen when the program runs. The loops are plain C++ that the
// compiler vectorises; with AVX2 it can interleave and de-interleave 3-byte
// pixels with byte shuffles and multiply 32-bit lanes, which SSE2 cannot,
// so the same loop runs three to five times as fast. Both builds compute the
// same integers: only the instructions differ.
//
// A body is an always-inline function; RunRow<Body>(args...) calls it.
//
// With COLORCORRECT_REFERENCE_LOOP=1 in the environment (the golden tests'
// second run, where every correction takes its straightforward loop) the
// baseline build runs, so both builds are checked against the same bytes
// on a processor that has AVX2.

#include <cstdlib>
#include <cstring>

namespace colorcorrect::formats {

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define COLORCORRECT_ROW_BODY [[gnu::always_inline]] inline

inline bool HasAvx2()
{
    static const bool has = [] {
        const char* reference = std::getenv("COLORCORRECT_REFERENCE_LOOP");
        if (reference != nullptr && std::strcmp(reference, "1") == 0)
            return false;
        __builtin_cpu_init(); // in case the first call comes before the library's constructors ran
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

template <auto Body, class... Args>
__attribute__((target("avx2"))) void RunRowAvx2(Args... args)
{
    Body(args...);
}

template <auto Body, class... Args>
void RunRow(Args... args)
{
    if (HasAvx2())
        RunRowAvx2<Body>(args...);
    else
        Body(args...);
}
#else
#define COLORCORRECT_ROW_BODY inline

template <auto Body, class... Args>
void RunRow(Args... args)
{
    Body(args...);
}
#endif

} // namespace colorcorrect::formats
