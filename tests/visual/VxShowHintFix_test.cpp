// The hint fix switches ShowHint on for the forms of the screen's list.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "classlib/Forms.h"
#include "visual/VxShowHintFix.h"

using namespace ClassLib;

TEST(VxShowHintFix, FormsOldAndNewGetHintsWhileInstalledOnly)
{
    TVxShowHintFix fix;
    TList *own = Screen->FormList();
    std::unique_ptr<TForm> before(new TForm(nullptr));
    EXPECT_FALSE(before->ShowHint());

    struct TCounter : TObject {
        int added = 0;
        void Added(TObject *sender)
        {
            EXPECT_EQ(nullptr, sender);
            ++added;
        }
    } counter;
    const TNotifyEvent handler = Method<&TCounter::Added>(&counter);
    int &added = counter.added;
    fix.AddFormAddedHandler(handler); // not installed: nothing
    fix.Init();
    EXPECT_TRUE(before->ShowHint());
    EXPECT_NE(own, Screen->FormList());
    EXPECT_NE(-1, Screen->FormList()->IndexOf(before.get()));
    fix.AddFormAddedHandler(handler);

    std::unique_ptr<TForm> during(new TForm(nullptr));
    EXPECT_TRUE(during->ShowHint());
    EXPECT_EQ(1, added);
    fix.RemoveFormAddedHandler(handler);
    std::unique_ptr<TForm> during2(new TForm(nullptr));
    EXPECT_EQ(1, added);

    during2.reset(); // a freed form leaves the installed list
    fix.Done();
    EXPECT_EQ(own, Screen->FormList());
    EXPECT_NE(-1, own->IndexOf(before.get()));
    EXPECT_NE(-1, own->IndexOf(during.get()));
    std::unique_ptr<TForm> after(new TForm(nullptr));
    EXPECT_FALSE(after->ShowHint());
}

TEST(VxShowHintFix, CallsInTheWrongStateThrow)
{
    TVxShowHintFix fix;
    try {
        fix.Done();
        FAIL() << "no exception";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ("TVxShowHintFix::OldForm must be not zero at finalization time!", e.what());
    }
    fix.Init();
    try {
        fix.Init();
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error &e) {
        EXPECT_STREQ("TVxShowHintFix::OldForm must be zero at initialization time!", e.what());
    }
    fix.Done();
}
