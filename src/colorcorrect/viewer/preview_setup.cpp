#include "preview_setup.h"

#include <new>

namespace colorcorrect {

std::shared_ptr<const PreviewSetup> PreviewSetup::Make(const CBaseColorCorrectionFilter& filter,
                                                       const tagCOLORCORRINFO& cc,
                                                       unsigned int isolateVector,
                                                       unsigned int isolateType)
{
    std::shared_ptr<PreviewSetup> setup;
    try {
        setup = std::make_shared<PreviewSetup>();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    setup->cc = cc;
    setup->isolateVector = isolateVector;
    setup->isolateType = isolateType;
    setup->engine = filter;
    // A copy that went without an index buffer would skip a stage: the
    // worker builds its own tables rather than show that.
    if (setup->engine.MemoryBytes() != filter.MemoryBytes())
        return nullptr;
    return setup;
}

} // namespace colorcorrect
