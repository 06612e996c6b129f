#include "rt_package.h"

#include <cstring>
#include <memory>
#include <new>

namespace colorcorrect::formats {

bool MakeRtPackage(const tagCOLORCORRINFO& record, std::array<uint8_t, kRtPackageBytes>& bytes,
                   std::string& error)
{
    try {
        auto filter = std::make_unique<CColorCorrectionFilter>();
        tagBCC_RTLUTPACK pack;
        std::memset(&pack, 0, sizeof pack);
        if (!filter->GetRTLUT(pack, record.Base)) {
            error = "the display filter could not make the real-time package";
            return false;
        }
        // The package is packed and little-endian, as this machine stores it.
        std::memcpy(bytes.data(), &pack, sizeof pack);
        return true;
    } catch (const std::bad_alloc&) {
        error = "not enough memory for the display filter";
        return false;
    }
}

} // namespace colorcorrect::formats
