#include <gtest/gtest.h>

#include <memory>

#include "foundation/VxProcess.h"
#include "installer/CheckConditions.h"
#include "installer/InstParams.h"
#include "tests/installer/StepsTestUtil.h"

namespace {

// Injected system facts; every box is recorded as "kind:text".
class TFakeEnv : public TInstConditionEnv {
public:
    void GetVersion(OSVERSIONINFOA &info) override
    {
        EXPECT_EQ(info.dwOSVersionInfoSize, sizeof(OSVERSIONINFOA));
        info.dwPlatformId = platformId;
        info.dwMajorVersion = major;
        info.dwMinorVersion = minor;
    }
    void GetScreen(int32_t &width, int32_t &height, int32_t &bitsPerPixel) override
    {
        ++screenQueries;
        width = screenWidth;
        height = screenHeight;
        bitsPerPixel = depth;
    }
    bool AskYesNo(const std::string &text) override
    {
        boxes.push_back("ask:" + text);
        return answerYes;
    }
    void ShowWarning(const std::string &text) override { boxes.push_back("warn:" + text); }
    void ShowError(const std::string &text) override { boxes.push_back("error:" + text); }

    DWORD platformId = VER_PLATFORM_WIN32_NT;
    DWORD major = 6;
    DWORD minor = 1;
    int32_t screenWidth = 1920;
    int32_t screenHeight = 1080;
    int32_t depth = 32;
    bool answerYes = true;
    int screenQueries = 0;
    Mirelta::string_vector boxes;
};

class CheckConditionsTest : public testing::Test {
protected:
    void SetUp() override
    {
        params = std::make_unique<TInstParams>();
        params->os_message = "os";
        params->screen_message = "screen";
        params->is_64bit_os = true;
    }
    std::unique_ptr<TInstParams> params;
    TFakeEnv env;
};

TEST_F(CheckConditionsTest, Product64BitAsksOnlyOnA32BitSystem)
{
    const std::string question = "ask:" + LoadResStdString(30036);
    const struct {
        bool app64, os64, yes, result;
        size_t asked;
    } cases[] = {
        {true, false, true, true, 1}, {true, false, false, false, 1}, {true, true, false, true, 0},
        {false, false, false, true, 0},
    };
    for (const auto &c : cases) {
        params->is_64bit_app = c.app64;
        params->is_64bit_os = c.os64;
        env.answerYes = c.yes;
        env.boxes.clear();
        EXPECT_EQ(params->CheckConditions(env), c.result);
        ASSERT_EQ(env.boxes.size(), c.asked);
        if (c.asked) {
            EXPECT_EQ(env.boxes[0], question);
        }
    }
    EXPECT_NE(question.find("64"), std::string::npos);
}

TEST_F(CheckConditionsTest, VersionComparesMajorThenMinorByLevel)
{
    params->os_major = 5;
    params->os_minor = 1;
    const struct {
        int32_t level;
        DWORD major, minor;
        bool result;
        const char *box;
    } cases[] = {
        {2, 5, 1, true, nullptr},     {2, 5, 0, false, "error:os"},  {2, 6, 0, true, nullptr},
        {2, 4, 90, false, "error:os"}, {1, 5, 0, true, "warn:os"},   {0, 5, 0, true, nullptr},
        {3, 5, 0, true, nullptr},     {-1, 4, 0, true, nullptr},
    };
    for (const auto &c : cases) {
        params->os_version_check = c.level;
        env.major = c.major;
        env.minor = c.minor;
        env.boxes.clear();
        EXPECT_EQ(params->CheckConditions(env), c.result) << c.level << " " << c.major << "." << c.minor;
        EXPECT_EQ(env.boxes, c.box ? Mirelta::string_vector{c.box} : Mirelta::string_vector{});
    }
}

TEST_F(CheckConditionsTest, PlatformOtherThanNtFailsByLevel)
{
    env.platformId = VER_PLATFORM_WIN32_WINDOWS;
    const struct {
        int32_t level;
        bool result;
        const char *box;
    } cases[] = {{0, true, nullptr}, {1, true, "warn:os"}, {2, false, "error:os"}, {5, true, nullptr}};
    for (const auto &c : cases) {
        params->platform_check = c.level;
        env.boxes.clear();
        EXPECT_EQ(params->CheckConditions(env), c.result) << c.level;
        EXPECT_EQ(env.boxes, c.box ? Mirelta::string_vector{c.box} : Mirelta::string_vector{});
    }
    env.platformId = VER_PLATFORM_WIN32_NT;
    params->platform_check = 2;
    env.boxes.clear();
    EXPECT_TRUE(params->CheckConditions(env));
    EXPECT_TRUE(env.boxes.empty());
}

TEST_F(CheckConditionsTest, ScreenFailsOnAnyDimensionBelowTheRequired)
{
    params->width = 1024;
    params->height = 768;
    params->bitspp = 16;
    params->screen_check = 2;
    const struct {
        int32_t width, height, depth;
        bool result;
    } cases[] = {{1280, 720, 32, false}, {1000, 800, 32, false}, {1024, 768, 8, false}, {1024, 768, 16, true}};
    for (const auto &c : cases) {
        env.screenWidth = c.width;
        env.screenHeight = c.height;
        env.depth = c.depth;
        env.boxes.clear();
        EXPECT_EQ(params->CheckConditions(env), c.result) << c.width << "x" << c.height << "x" << c.depth;
        EXPECT_EQ(env.boxes.size(), c.result ? 0u : 1u);
    }
    params->screen_check = 0;
    env.screenQueries = 0;
    EXPECT_TRUE(params->CheckConditions(env));
    EXPECT_EQ(env.screenQueries, 0);
}

TEST_F(CheckConditionsTest, WarningsAccumulateAndARefusalStopsTheLaterChecks)
{
    env.platformId = VER_PLATFORM_WIN32_WINDOWS;
    env.major = 4;
    env.screenWidth = 640;
    params->os_major = 5;
    params->width = 800;
    params->platform_check = params->os_version_check = params->screen_check = 1;
    EXPECT_TRUE(params->CheckConditions(env));
    EXPECT_EQ(env.boxes, (Mirelta::string_vector{"warn:os", "warn:os", "warn:screen"}));

    env.boxes.clear();
    params->platform_check = 2;
    env.screenQueries = 0;
    EXPECT_FALSE(params->CheckConditions(env));
    EXPECT_EQ(env.boxes, Mirelta::string_vector{"error:os"});
    EXPECT_EQ(env.screenQueries, 0);
}

TEST(CheckConditionsSystem, RealSystemReportsAnNtVersionAndAScreen)
{
    TInstSystemConditionEnv env;
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    env.GetVersion(info);
    EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    EXPECT_GE(info.dwMajorVersion, 5u);
    int32_t width = 0, height = 0, depth = 0;
    env.GetScreen(width, height, depth);
    EXPECT_GT(width, 0);
    EXPECT_GT(height, 0);
    EXPECT_GT(depth, 0);
}

// The system that the prefix reports to one program, by Wine's per-program
// setting; removed again when the object ends.
class TWineVersionFor {
public:
    TWineVersionFor(const std::wstring &program, const wchar_t *version)
        : key_(L"Software\\Wine\\AppDefaults\\" + program)
    {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
            ERROR_SUCCESS)
            return;
        set_ = RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE *>(version),
                              static_cast<DWORD>((wcslen(version) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~TWineVersionFor() { RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str()); }
    bool IsSet() const { return set_; }

private:
    std::wstring key_;
    bool set_ = false;
};

TEST(CheckConditionsSystem, ProgramWithOurManifestSeesWindows10AsItIs)
{
    // Without the manifest's list of supported systems Windows 8.1, 10 and
    // 11 all report 6.2, and a required 10.0 would refuse them.
    TWineVersionFor win10(L"vxchild_version.exe", L"win10");
    ASSERT_TRUE(win10.IsSet());
    var_a<TVxProcInfo> child = make_var_a<TVxProcInfo>();
    TVxProcStartOptions options;
    options.wait = true;
    RunProcess("\"" + StepsTest::HelperProgram("vxchild_version") + "\"", "", &options, child);
    DWORD version = 0;
    ASSERT_TRUE(GetExitCodeProcess(child->info.hProcess, &version));
    EXPECT_EQ(version, 1000u); // 10.0
}

} // namespace
