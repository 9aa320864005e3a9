#include "foundation/VxMagicFeatures.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

// Records the names it is asked for and answers with a fixed mask.
class TRecordingHandler : public TVxMagicFeaturesHandlers {
public:
    std::uint32_t GetFeatures(const char *component) override
    {
        asked.push_back(component ? component : "<null>");
        return 0x5;
    }
    void Reset() override {}
    std::vector<std::string> asked;
};

// Installs a handler for one test and puts the program's back afterwards.
class VxMagicFeatures : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = VxMagicFeaturesHandler;
        VxMagicFeaturesHandler = &recorder_;
    }
    void TearDown() override { VxMagicFeaturesHandler = saved_; }

    TRecordingHandler recorder_;

private:
    TVxMagicFeaturesHandlers *saved_ = nullptr;
};

TEST(VxMagicFeaturesDefault, NullHandlerAnswersZeroForEveryName)
{
    for (const char *name : {static_cast<const char *>(nullptr), "", "Global", "VxMessageBox", "VxGRes"})
        EXPECT_EQ(QueryMagicFeatures(name), 0u) << (name ? name : "<null>");
}

TEST_F(VxMagicFeatures, NullAndEmptyNamesAskForGlobal)
{
    EXPECT_EQ(QueryMagicFeatures(nullptr), 0x5u);
    EXPECT_EQ(QueryMagicFeatures(""), 0x5u);
    EXPECT_EQ(QueryMagicFeatures("VxMessageBox"), 0x5u);
    EXPECT_EQ(recorder_.asked, (std::vector<std::string>{"Global", "Global", "VxMessageBox"}));
}

} // namespace
