#include "progress.h"

namespace colorcorrect::cli {

ProgressLine::ProgressLine(std::FILE* out, bool enabled)
    : m_out(out), m_enabled(enabled), m_start(std::chrono::steady_clock::now()), m_lastDraw(m_start)
{
}

void ProgressLine::Update(uint64_t frames)
{
    if (!m_enabled)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (m_drawn && now - m_lastDraw < std::chrono::milliseconds(250))
        return;
    m_lastDraw = now;
    Draw(frames, false);
}

void ProgressLine::Finish(uint64_t frames)
{
    if (!m_enabled)
        return;
    Draw(frames, true);
}

void ProgressLine::Draw(uint64_t frames, bool last)
{
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    const double fps = seconds > 0.0 ? double(frames) / seconds : 0.0;
    std::fprintf(m_out, "\rframes %llu, %.1f fps%s", static_cast<unsigned long long>(frames), fps,
                 last ? "\n" : "   ");
    std::fflush(m_out);
    m_drawn = true;
}

} // namespace colorcorrect::cli
