#include <gtest/gtest.h>

#include <memory>

#include "installer/InstParams.h"

namespace {

struct TOptionCase {
    Mirelta::string_vector arguments;
    std::map<std::string, std::string> options;
};

TEST(InstParamsCommandLine, ArgumentsBecomeLowerCaseOptionsAndMisfitsAreSkipped)
{
    const TOptionCase cases[] = {
        {{"/EXPRESS=3"}, {{"express", "3"}}},
        {{"-Tolerant=No", "-X"}, {{"tolerant", "No"}, {"x", ""}}},
        {{"--tolerant"}, {{"-tolerant", ""}}},
        {{"-", "/", "express=1", "x"}, {}},
        {{"-name=a=b"}, {{"name", "a=b"}}},
        {{"-=x"}, {{"", "x"}}},
        {{"-empty="}, {{"empty", ""}}},
        {{"-express=1", "/EXPRESS=3"}, {{"express", "3"}}},
        {{"/Path=C:\\Program Files\\X"}, {{"path", "C:\\Program Files\\X"}}},
    };
    for (const TOptionCase &c : cases) {
        auto params = std::make_unique<TInstParams>();
        ParseCommandLine(*params, c.arguments);
        EXPECT_EQ(params->option_map, c.options) << c.arguments.front();
    }
}

TEST(InstParamsCommandLine, ExpressValueConvertsLikeAtoiClampedToTheRunModes)
{
    const struct {
        const char *value;
        int32_t mode;
    } cases[] = {
        {"3", 3}, {"9", 4}, {"-2", 0}, {"abc", 0}, {"", 0}, {" 2", 2}, {"+1", 1},
        {"2x", 2}, {"99999999999999999999", 4}, {"-99999999999999999999", 0}, {"4", 4}, {"0", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RunModeFromOption(c.value), c.mode) << "'" << c.value << "'";
}

TEST(InstParamsCommandLine, SplitsOnBlanksAndControlCharactersAndUnquotes)
{
    const Mirelta::string_vector expected = {"C:\\Setup Folder\\setup.exe", "-a", "/path=C:\\Program Files\\x",
                                             "-b=one two", "-c=a bc", "-d", ""};
    EXPECT_EQ(SplitCommandLine("  \"C:\\Setup Folder\\setup.exe\" -a \"/path=C:\\Program Files\\x\"\t"
                               "\"-b=one two\"\r\n-c=\"a b\"c -d \"\"  "),
              expected);
    EXPECT_TRUE(SplitCommandLine("   ").empty());
}

class TRecordingSink : public TInstProgress {
public:
    bool OnState(const std::string &text) override
    {
        states.push_back(text);
        return answer;
    }
    bool OnProgress(int32_t percent) override
    {
        percents.push_back(percent);
        return answer;
    }
    bool answer = true;
    Mirelta::string_vector states;
    std::vector<int32_t> percents;
};

TEST(InstParamsReporting, SinkGetsArgumentsUnchangedAndFalseBecomesUserBreak)
{
    auto params = std::make_unique<TInstParams>();
    EXPECT_NO_THROW(params->State("no sink"));
    EXPECT_NO_THROW(params->Progress(50));
    TRecordingSink sink;
    params->SetProgress(&sink);
    params->State("state");
    params->Progress(InstProgressIndefinite);
    EXPECT_EQ(sink.states, Mirelta::string_vector{"state"});
    EXPECT_EQ(sink.percents, std::vector<int32_t>{-1});

    sink.answer = false;
    for (int call = 0; call < 2; ++call) {
        try {
            if (call == 0)
                params->State("again");
            else
                params->Progress(7);
            ADD_FAILURE() << "no user break";
        } catch (const char *text) {
            EXPECT_STREQ(text, "@User break");
        }
    }
}

TEST(InstParamsReporting, ProgressPulseStepsTheGlobalSinkAndBreaksWhenItSaysStop)
{
    TRecordingSink sink;
    InstParams.SetProgress(&sink);
    EXPECT_TRUE(ProgressPulse(0));
    EXPECT_EQ(sink.percents, std::vector<int32_t>{-1});
    sink.answer = false;
    EXPECT_THROW(ProgressPulse(0), const char *);
    InstParams.SetProgress(nullptr);
}

TEST(InstParamsStrings, CopiesBetweenStringTypesKeepEmbeddedZeros)
{
    const std::string text("a\0b", 3);
    EXPECT_EQ(ToAnsiString(text).size(), 3u);
    EXPECT_EQ(ToStdString(ToAnsiString(text)), text);
}

} // namespace
