#pragma once
// The words a picture's pixels enter the vector stages with, kept between
// corrections of that picture. A change of the six or match vectors alone
// leaves them as they were, so correcting the picture again can start from
// them and skip the stages in front (the viewer's preview while a vector is
// dragged).
//
// The filter fills and checks them (CBaseColorCorrectionFilter::PrepareFront
// and what follows it): the words are reused only for a picture of the same
// geometry and format under the same tables in front of the vector stages.
// The pixels themselves are the caller's to vouch for: Clear() when the
// picture's content changes.
#include <cstddef>
#include <cstdint>
#include <memory>

class CBaseColorCorrectionFilter;

namespace colorcorrect {

class FrontWords {
public:
    // Forgets the words: the caller's picture changed.
    void Clear() { m_valid = false; }
    // Bytes held for the words (4 a pixel once a picture was corrected).
    size_t Bytes() const { return m_capacity * sizeof(uint32_t); }

    // What the words depend on besides the pixels: the picture's geometry
    // and format, and the tables of the stages in front of the vector ones.
    struct Picture {
        size_t width = 0, height = 0, stride = 0;
        bool threeBytes = false, premultiplied = false;
        bool operator==(const Picture&) const = default;
    };
    struct Key {
        Picture picture;
        int primaryPath = -1; // the loop's primary stage (Off when the stage is)
        uint8_t yCurve[256] = {};
        int8_t cosine[256] = {};
        int8_t sine[256] = {};
        uint16_t saturation[256] = {};
        int16_t red[1024] = {};
        int16_t green[1024] = {};
        int16_t blue[1024] = {};
        bool operator==(const Key&) const = default;
    };

private:
    friend class ::CBaseColorCorrectionFilter;

    // What the correction being made does with the words. They are worked
    // out and kept only when a picture is corrected a third time in a row
    // under the same key: while the stages in front change (a primary
    // control dragged, whose neighbouring values may give the same tables
    // now and then) keeping them would only cost the stores.
    enum class Use { None, Fill, Reuse };
    static constexpr unsigned kFillAfter = 2; // corrections under one key before the words are kept

    std::unique_ptr<uint32_t[]> m_words;
    size_t m_capacity = 0;     // words held
    Key m_key;                 // of the last correction prepared
    unsigned m_sameKey = 0;    // corrections prepared in a row under m_key
    bool m_valid = false;      // m_words hold the words of m_key's picture
    Use m_use = Use::None;
};

} // namespace colorcorrect
