#include "foundation/VxMagicFeatures.h"

namespace {

class TVxMFHNull final : public TVxMagicFeaturesHandlers {
public:
    constexpr TVxMFHNull() = default;
    std::uint32_t GetFeatures(const char *) override { return 0; }
    void Reset() override {}
};

TVxMFHNull NullFeaturesHandler;

} // namespace

TVxMagicFeaturesHandlers *VxMagicFeaturesHandler = &NullFeaturesHandler;

std::uint32_t QueryMagicFeatures(const char *component)
{
    if (!component || !*component)
        component = "Global";
    return VxMagicFeaturesHandler->GetFeatures(component);
}
