#include <gtest/gtest.h>

#include "classlib/strings/CStringList.h"
#include "classlib/strings/CTypedPtrList.h"

namespace {

struct Counted {
    explicit Counted(int* live) : live(live) { ++*live; }
    ~Counted() { --*live; }
    int* live;
};

} // namespace

TEST(CTypedPtrListTest, OwnedListDeletesWhatItStillHolds)
{
    int live = 0;
    Counted* taken = nullptr;
    {
        CTypedPtrList<Counted> list;
        list.AddTail(new Counted(&live));
        list.AddTail(new Counted(&live));
        list.AddHead(new Counted(&live));
        EXPECT_EQ(3, live);
        taken = list.RemoveHead();
        EXPECT_EQ(2, list.GetCount());
    }
    EXPECT_EQ(1, live) << "the list deletes its elements, not the one handed out";
    delete taken;
    EXPECT_EQ(0, live);
}

TEST(CTypedPtrListTest, BorrowedListLeavesElementsAlone)
{
    int live = 0;
    Counted element(&live);
    {
        CTypedPtrList<Counted> list(Ownership::Borrowed);
        list.AddTail(&element);
    }
    EXPECT_EQ(1, live);
}

TEST(CTypedPtrListTest, PositionsWalkBothWaysAndSurviveRemoval)
{
    int a = 1, b = 2, c = 3;
    CTypedPtrList<int> list(Ownership::Borrowed);
    list.AddTail(&a);
    POSITION middle = list.AddTail(&b);
    list.AddTail(&c);

    std::vector<int> seen;
    for (POSITION pos = list.GetHeadPosition(); pos;)
        seen.push_back(*list.GetNext(pos));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), seen);

    EXPECT_EQ(&b, list.RemoveAt(middle));
    seen.clear();
    for (POSITION pos = list.GetTailPosition(); pos;)
        seen.push_back(*list.GetPrev(pos));
    EXPECT_EQ((std::vector<int>{3, 1}), seen);
    EXPECT_EQ(&c, list.GetAt(list.FindIndex(1)));
    EXPECT_EQ(nullptr, list.FindIndex(2));
}

TEST(CStringListTest, FindIsExactCaseAndStartsAfterTheGivenPosition)
{
    CStringList list;
    list.AddTail("one");
    POSITION second = list.AddTail("Two");
    list.AddTail("two");
    EXPECT_EQ(second, list.Find("Two"));
    POSITION third = list.Find("two");
    ASSERT_NE(nullptr, third);
    EXPECT_NE(second, third);
    EXPECT_EQ(nullptr, list.Find("Two", second));
    EXPECT_STREQ("one", list.RemoveHead());
    EXPECT_EQ(2, list.GetCount());
}
