// The per-pair RGB offsets (see rgb_offset_pairs.h).

#include "rgb_offset_pairs.h"

#include <array>
#include <memory>
#include <optional>

#include "../engine/pixel_stages.h"

namespace colorcorrect {

const uint32_t* RgbOffsetPairs()
{
    static const std::unique_ptr<uint32_t[]> table = [] {
        std::unique_ptr<uint32_t[]> t(new uint32_t[65536]);
        for (int vb = 0; vb < 256; ++vb)
            for (int ub = 0; ub < 256; ++ub) {
                const RgbValue c = YuvToRgb(0, ub - 128, vb - 128);
                t[static_cast<size_t>(ub | vb << 8)] = static_cast<uint32_t>(c.r + 512) |
                                                       static_cast<uint32_t>(c.g + 512) << 10 |
                                                       static_cast<uint32_t>(c.b + 512) << 20;
            }
        return t;
    }();
    return table.get();
}

const uint32_t* ScopeSamplePairs()
{
    static const std::unique_ptr<uint32_t[]> table = [] {
        std::unique_ptr<uint32_t[]> t(new uint32_t[65536]);
        const uint32_t* const offsets = RgbOffsetPairs();
        for (size_t pair = 0; pair < 65536; ++pair) {
            // The offsets themselves: the word of this pair with Y = 0.
            const RgbValue o = RgbOfWord(offsets, static_cast<uint32_t>(pair) << 8);
            const YuvValue s = RgbToYuv(o.r, o.g, o.b);
            t[pair] = static_cast<uint32_t>(stages::ClampChroma(s.u) + 128) |
                      static_cast<uint32_t>(stages::ClampChroma(s.v) + 128) << 8 |
                      static_cast<uint32_t>(s.y + 512) << 16;
        }
        return t;
    }();
    return table.get();
}

const uint32_t* ScopeMovedLumaPairs()
{
    using Table = std::array<uint32_t, 256>;
    static const std::optional<Table> table = []() -> std::optional<Table> {
        Table t;
        t.fill(~0u);
        const uint32_t* const samples = ScopeSamplePairs();
        for (uint32_t pair = 0; pair < 65536; ++pair) {
            if (samples[pair] >> 16 == 512)
                continue;
            uint32_t& moved = t[pair & 0xFFu];
            if (moved != ~0u)
                return std::nullopt;
            moved = pair << 8;
        }
        return t;
    }();
    return table ? table->data() : nullptr;
}

} // namespace colorcorrect
