// Event closures compare by method and object, so that a subscriber can be
// found and removed again; component owners free what they own.
#include <gtest/gtest.h>

#include "classlib/Classes.h"

using namespace ClassLib;

namespace {

struct Listener {
    int calls = 0;
    void OnA(TObject *) { ++calls; }
    void OnB(TObject *) { calls += 10; }
};

struct Counted : TComponent {
    Counted(TComponent *owner, int *alive) : TComponent(owner), alive_(alive) { ++*alive_; }
    ~Counted() override { --*alive_; }
    int *alive_;
};

} // namespace

TEST(Classes, MethodEventsCompareByMethodAndObject)
{
    Listener one, two;
    TNotifyEvent a1 = Method<&Listener::OnA>(&one);
    EXPECT_TRUE(a1 == Method<&Listener::OnA>(&one));
    EXPECT_FALSE(a1 == Method<&Listener::OnB>(&one));
    EXPECT_FALSE(a1 == Method<&Listener::OnA>(&two));
    a1(nullptr);
    EXPECT_EQ(1, one.calls);

    TNotifyEvent lambda = [](TObject *) {};
    TNotifyEvent copy = lambda;
    EXPECT_FALSE(lambda == copy);
    EXPECT_TRUE(lambda == lambda);
    TNotifyEvent empty;
    EXPECT_FALSE(static_cast<bool>(empty));
    empty(nullptr); // an empty event does nothing
}

TEST(Classes, OwnerFreesItsComponentsAndAFreedComponentLeavesItsOwner)
{
    int alive = 0;
    auto *owner = new Counted(nullptr, &alive);
    auto *a = new Counted(owner, &alive);
    new Counted(a, &alive);
    new Counted(owner, &alive);
    EXPECT_EQ(4, alive);
    delete a; // with its own child
    EXPECT_EQ(2, alive);
    EXPECT_EQ(1, owner->ComponentCount());
    delete owner;
    EXPECT_EQ(0, alive);
}

TEST(Classes, StringsSplitTextAtEveryLineBreakKind)
{
    TStringList list;
    list.SetText("a\r\nb\nc\rd");
    ASSERT_EQ(4, list.Count());
    EXPECT_EQ("d", list[3]);
    EXPECT_EQ("a\r\nb\r\nc\r\nd\r\n", list.Text());
}
