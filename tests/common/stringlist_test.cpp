#include "common/stringlist.h"

#include <gtest/gtest.h>

using namespace zeltpc5;

TEST(StringListTest, AppendFillsTheEmptyLastElement)
{
    QStringList list = EmptyStringList();
    EXPECT_EQ(StringListCount(list), 0);
    StringListAppend("a", list);
    StringListAppend("b", list);
    EXPECT_EQ(list, (QStringList{"a", "b"}));
    // An empty text ends the list; the next text takes its place.
    StringListAppend("", list);
    EXPECT_EQ(StringListCount(list), 2);
    StringListAppend("c", list);
    EXPECT_EQ(list, (QStringList{"a", "b", "c"}));

    EXPECT_EQ(StringListCount({}), 0);
    EXPECT_EQ(StringListCount({"", ""}), 1);
}

TEST(StringListTest, IndexOfSearchesOnlyTheCountedElements)
{
    const QStringList list{"Alpha", "", "beta", ""};
    EXPECT_EQ(StringListIndexOf("beta", list), 2);
    EXPECT_EQ(StringListIndexOf("alpha", list), -1);
    EXPECT_EQ(StringListIndexOf("ALPHA", list, CaseSensitivity::Insensitive), 0);
    EXPECT_EQ(StringListIndexOf("", list), 1);
    EXPECT_EQ(StringListIndexOf("", QStringList{"a", ""}), -1);
}
