// The item review of the demo quote Q-1001 against the reference host: the lines the demo
// company seeded with problems get exactly their entries, the others none.
#include "referencehost.h"

#include "engine/engines.h"

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

QStringList Results(const DispatchPtr &engine, int index)
{
    QStringList texts;
    const qint16 count =
        ToInt16(Call(engine, u"CountChanges", {MakeInt16(qint16(index))}).value).value_or(0);
    for (qint16 j = 0; j < count; ++j)
        texts << ToText(Call(engine, u"GetChange", {MakeInt16(qint16(index)), MakeInt16(j)}).value)
                     .value_or(QString());
    if (!texts.isEmpty() && texts.last().isEmpty())
        texts.removeLast();
    return texts;
}

} // namespace

class ReferenceReview : public OnEachDatabase
{};
INSTANTIATE_TEST_SUITE_P(Databases, ReferenceReview, AllBackends(), BackendName);

TEST_P(ReferenceReview, flagsTheDemoQuotesProblemLinesAndNothingElse)
{
    ReferenceHost reference{GetParam()};
    const auto lines = reference.quoteLines(QStringLiteral("Q-1001"));
    ASSERT_EQ(lines.size(), 12u);
    const Ref<Library> library = Library::create();
    library->Initialize(reference.sharedCodeLibrary());
    const DispatchPtr engine(library->CreateItemReviewEngine());
    AddLines(engine, lines);

    QStringList ids;
    for (const auto &l : lines)
        ids << l.uniqueID;
    const CallResult r = Call(engine, u"ReviewItems", {ids.join('|')});
    ASSERT_TRUE(r.ok()) << r.status.toString().toStdString();
    EXPECT_EQ(ToBool(r.value), true);

    const QString cassette =
        QStringLiteral("<TextBlock Foreground='Blue'>Notice: An inside mounted cassette valance "
                       "needs a window depth of at least 3 1/2 inches.</TextBlock>");
    // Line by line: the product messages the item keeps, the one outside mount among eleven
    // inside ones, the missing room location, the colour still to choose, the zero width.
    // Colours differ on nearly every line, so no colour is odd.
    const std::vector<QStringList> expected{
        {cassette},
        {},
        {cassette},
        {},
        {QStringLiteral("<TextBlock>The mount value of <Bold>Outside</Bold> is different from "
                        "all other line items.</TextBlock>"),
         QStringLiteral("<TextBlock Foreground='Blue'>Notice: Blinds wider than 60 inches ship "
                        "with a center support bracket.</TextBlock>")},
        {QStringLiteral("<TextBlock>The <Bold>Room Location</Bold> is missing.</TextBlock>")},
        {QStringLiteral("<TextBlock>A value for option <Bold>Color</Bold> should be "
                        "selected.</TextBlock>")},
        {},
        {},
        {},
        {QStringLiteral("<TextBlock>A value for option <Bold>Width</Bold> is zero.</TextBlock>"),
         QStringLiteral("<TextBlock Foreground='Red'>Error: A 4 Panel track is made 48 to 144 "
                        "inches wide.</TextBlock>")},
        {},
    };
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(Results(engine, i), expected[size_t(i)]) << "line " << i + 1;

    // Only the lines named are reviewed; the summaries still cover every line, so line 5's
    // mount is odd even when it is reviewed alone.
    Call(engine, u"Clear");
    AddLines(engine, lines);
    EXPECT_EQ(ToBool(Call(engine, u"ReviewItems", {lines[4].uniqueID}).value), true);
    EXPECT_EQ(Results(engine, 4), expected[4]);
    EXPECT_EQ(Results(engine, 5), QStringList());
    Call(engine, u"PreTerminate");
}
