#include "foundation/var_a.h"

#include <utility>

#include <gtest/gtest.h>

namespace {

// Counts the objects destroyed, so a test can see each end exactly once.
struct TCounted {
    explicit TCounted(int *destroyed, int value = 0) : destroyed(destroyed), value(value) {}
    virtual ~TCounted() { ++*destroyed; }
    int *destroyed;
    int value;
};

struct TDerived : TCounted {
    TDerived(int *destroyed, int value) : TCounted(destroyed, value) {}
};

struct TNode {
    TNode(int *destroyed, int id) : destroyed(destroyed), id(id) {}
    // Clearing the link leaves a null object pointer behind in the released
    // node, so a handle that reads its source after the release sees null.
    ~TNode()
    {
        next.reset();
        ++*destroyed;
    }
    var_a<TNode> next;
    int *destroyed;
    int id;
};

LONG CountOf(const var_a_item *block)
{
    return block->count;
}

TEST(VarA, EmptyHandlesCopyAndResetWithoutEffect)
{
    var_a<TCounted> empty;
    var_a<TCounted> copy(empty);
    copy.reset();
    copy = empty;
    EXPECT_EQ(copy.item(), nullptr);
}

TEST(VarA, LastOfTwoHandlesEndsTheObjectOnce)
{
    int destroyed = 0;
    {
        var_a<TCounted> first = make_var_a<TCounted>(&destroyed, 7);
        EXPECT_EQ(CountOf(first.item()), 1);
        {
            var_a<TCounted> second(first);
            EXPECT_EQ(second.get(), first.get());
            EXPECT_EQ(CountOf(first.item()), 2);
        }
        EXPECT_EQ(destroyed, 0);
        EXPECT_EQ(first->value, 7);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(VarA, SelfAssignmentKeepsObjectAndCount)
{
    int destroyed = 0;
    var_a<TCounted> handle = make_var_a<TCounted>(&destroyed);
    var_a<TCounted> &alias = handle;
    handle = alias;
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(CountOf(handle.item()), 1);
    handle = std::move(alias);
    EXPECT_EQ(destroyed, 0);
    ASSERT_TRUE(handle);
    EXPECT_EQ(CountOf(handle.item()), 1);
}

TEST(VarA, AssignmentFromInsideTheReleasedObjectWalksTheList)
{
    int destroyed = 0;
    var_a<TNode> node = make_var_a<TNode>(&destroyed, 1);
    node->next = make_var_a<TNode>(&destroyed, 2);
    node->next->next = make_var_a<TNode>(&destroyed, 3);

    node = node->next; // releases node 1, whose member is the source
    EXPECT_EQ(destroyed, 1);
    ASSERT_NE(node.get(), nullptr);
    EXPECT_EQ(node->id, 2);
    EXPECT_EQ(CountOf(node.item()), 1);

    node = std::move(node->next);
    EXPECT_EQ(destroyed, 2);
    ASSERT_NE(node.get(), nullptr);
    EXPECT_EQ(node->id, 3);

    node.reset();
    EXPECT_EQ(destroyed, 3);
}

TEST(VarA, SeparateObjectIsDeletedThroughItsVirtualDestructor)
{
    int destroyed = 0;
    {
        var_a<TCounted> base = make_var_a_s<TCounted>(new TDerived(&destroyed, 4));
        var_a<TCounted> other = base;
        base.reset();
        EXPECT_EQ(destroyed, 0);
        EXPECT_EQ(other->value, 4);
    }
    EXPECT_EQ(destroyed, 1);

    var_a<TCounted> nothing = make_var_a_s<TCounted>(nullptr);
    EXPECT_NE(nothing.item(), nullptr);
    EXPECT_EQ(nothing.get(), nullptr);
    nothing.reset(); // frees the block only
}

TEST(VarA, DerivedHandleSharesItsBlockWithTheBaseHandle)
{
    int destroyed = 0;
    var_a<TCounted> base;
    {
        var_a<TDerived> derived = make_var_a<TDerived>(&destroyed, 9);
        base = derived;
        EXPECT_EQ(base.item(), derived.item());
        EXPECT_EQ(CountOf(base.item()), 2);
    }
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(base->value, 9);
    base.reset();
    EXPECT_EQ(destroyed, 1);
}

} // namespace
