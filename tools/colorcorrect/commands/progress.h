#pragma once
// The progress line of long runs: frames done and frames per second, written
// over itself on standard error.

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace colorcorrect::cli {

class ProgressLine {
public:
    // Writes to `out` (standard error) when `enabled`; otherwise stays quiet.
    ProgressLine(std::FILE* out, bool enabled);
    // Called after each frame; redraws the line at most a few times a second.
    void Update(uint64_t frames);
    // Redraws the line a last time with the totals and ends it.
    void Finish(uint64_t frames);

private:
    void Draw(uint64_t frames, bool last);

    std::FILE* m_out;
    bool m_enabled;
    std::chrono::steady_clock::time_point m_start;
    std::chrono::steady_clock::time_point m_lastDraw;
    bool m_drawn = false;
};

} // namespace colorcorrect::cli
