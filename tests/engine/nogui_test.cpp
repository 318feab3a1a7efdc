// A host without windows (no GUI application object): the Show forms run directly.
#include "engine/engines.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

using namespace zeltpc5;

TEST(WithoutWindows, showFormsRunDirectly)
{
    ASSERT_EQ(qobject_cast<QObject *>(QCoreApplication::instance())->inherits("QApplication"),
              false);
    const DispatchPtr review(Library::create()->CreateItemReviewEngine());
    ASSERT_TRUE(Call(review, u"AddLine",
                     {MakeInt16(1), MakeInt16(1), MakeInt32(1), QStringLiteral("Standard"),
                      QStringLiteral("<ItemData/>"), QStringLiteral("<PriceCostData/>"),
                      QStringLiteral("A")})
                    .ok());
    EXPECT_EQ(ToBool(Call(review, u"ShowReviewItems", {QStringLiteral("a")}).value), true);
    // No width, no height, no price.
    EXPECT_EQ(ToInt16(Call(review, u"CountChanges", {MakeInt16(0)}).value), 3);

    const DispatchPtr replace(Library::create()->CreateReplaceEngine());
    EXPECT_EQ(
        ToBool(Call(replace, u"ShowChangeDiscount", {MakeInt16(0), QString(), QString()}).value),
        true);
    ASSERT_TRUE(Put(replace, u"CancelRequested", MakeBool(true)).ok());
    EXPECT_EQ(ToBool(Call(replace, u"ShowChangeOptionValue",
                          {QStringLiteral("Mount"), QStringLiteral("Inside"), QStringLiteral("x")})
                         .value),
              false);
}

// The review windows cannot be shown: nothing unreviewed is accepted, and the call answers
// at once with false instead of blocking or crashing.
TEST(WithoutWindows, reviewWindowsAnswerFalse)
{
    const DispatchPtr replace(Library::create()->CreateReplaceEngine());
    const CallResult review = Call(replace, u"ShowReplaceReview");
    ASSERT_TRUE(review.ok()) << review.status.toString().toStdString();
    EXPECT_EQ(ToBool(review.value), false);

    const DispatchPtr items(Library::create()->CreateItemReviewEngine());
    const CallResult results = Call(items, u"ShowReviewResults");
    ASSERT_TRUE(results.ok()) << results.status.toString().toStdString();
    EXPECT_EQ(ToBool(results.value), false);

    const DispatchPtr compare(Library::create()->CreateCompareEngine());
    const CallResult compared = Call(compare, u"ShowProductCompare");
    ASSERT_TRUE(compared.ok()) << compared.status.toString().toStdString();
    EXPECT_EQ(ToBool(compared.value), false);
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
