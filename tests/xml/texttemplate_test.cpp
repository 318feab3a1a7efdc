// Template filling and the markup builders.
#include "xml/markup.h"
#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"

#include "common/currency.h"

#include <gtest/gtest.h>

#include <random>

using namespace zeltpc5;

TEST(xml_format_template_test, fillsEveryOccurrenceOfEachPlaceholderWithAValue)
{
    EXPECT_EQ(QStringLiteral("aba"), FormatTemplate(QStringLiteral("{0}{1}{0}"),
                                                    {QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(
        QStringLiteral("a b {2}"),
        FormatTemplate(QStringLiteral("{0} {1} {2}"), {QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(QStringLiteral("{0}"), FormatTemplate(QStringLiteral("{0}"), {}));
    EXPECT_EQ(QStringLiteral("{ 0}{00}{0:x}x"),
              FormatTemplate(QStringLiteral("{ 0}{00}{0:x}{0}"), {QStringLiteral("x")}));
}

TEST(xml_format_template_test, fillsSeventeenPlaceholdersAndNoMore)
{
    QVariantList values;
    QString templateText;
    for (int i = 0; i <= 17; ++i) {
        values.append(QStringLiteral("v%1").arg(i));
        templateText += QStringLiteral("{%1};").arg(i);
    }
    EXPECT_EQ(QStringLiteral("v0;v1;v2;v3;v4;v5;v6;v7;v8;v9;v10;v11;v12;v13;v14;v15;v16;{17};"),
              FormatTemplate(templateText, values));
}

TEST(xml_format_template_test, valuesHoldingPlaceholdersAreFilledOnlyByLaterRounds)
{
    EXPECT_EQ(QStringLiteral("b-b"), FormatTemplate(QStringLiteral("{0}-{1}"),
                                                    {QStringLiteral("{1}"), QStringLiteral("b")}));
    EXPECT_EQ(
        QStringLiteral("{0}-a"),
        FormatTemplate(QStringLiteral("{1}-{0}"), {QStringLiteral("a"), QStringLiteral("{0}")}));
}

TEST(xml_format_template_test, givesWhatAscendingRoundsGiveOnAnyTemplate)
{
    // The rule as documented: one round per placeholder, in ascending order, over the text
    // filled so far.
    const auto rounds = [](QString text, const QVariantList &values) {
        for (int i = 0; i < values.size() && i <= MaxTemplatePlaceholder; ++i) {
            if (const auto value = TemplateValueText(values.at(i)))
                text.replace(QStringLiteral("{%1}").arg(i), *value);
        }
        return text;
    };
    // Pieces that make placeholders, near-placeholders and stray braces, and values that
    // hold braces, digits and placeholders.
    const QStringList pieces{
        QStringLiteral("{"),     QStringLiteral("}"),    QStringLiteral("0"),
        QStringLiteral("1"),     QStringLiteral("2"),    QStringLiteral("{0}"),
        QStringLiteral("{1}"),   QStringLiteral("{2}"),  QStringLiteral("{16}"),
        QStringLiteral("{17}"),  QStringLiteral("{01}"), QStringLiteral("x"),
        QStringLiteral("\u00e9")};
    const QVariantList choices{QStringLiteral("a"),
                               QStringLiteral("1"),
                               QStringLiteral("{"),
                               QStringLiteral("}"),
                               QStringLiteral("{2}"),
                               QString(),
                               QVariant(),
                               QVariant::fromValue(NullValue{}),
                               12};
    std::mt19937 random(20261209);
    for (int round = 0; round < 3000; ++round) {
        QString templateText;
        for (int i = int(random() % 8); i > 0; --i)
            templateText += pieces.at(qsizetype(random() % pieces.size()));
        QVariantList values;
        for (int i = int(random() % 4); i > 0; --i)
            values.append(choices.at(qsizetype(random() % choices.size())));
        ASSERT_EQ(rounds(templateText, values), FormatTemplate(templateText, values))
            << templateText.toStdString();
    }
}

TEST(xml_format_template_test, convertsValuesByTheStandardConversion)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    const QVariantList values = {1234.5,
                                 7,
                                 true,
                                 QVariant(),
                                 QVariant::fromValue(Currency::fromScaled(1255000)),
                                 QVariant::fromValue(NullValue{}),
                                 0.1f,
                                 qint64(-9000000000)};
    const QString templateText = QStringLiteral("{0}|{1}|{2}|{3}|{4}|{5}|{6}|{7}");
    EXPECT_EQ(QStringLiteral("1234.5|7|True||125.5|{5}|0.1|-9000000000"),
              FormatTemplate(templateText, values));
    EXPECT_EQ(QStringLiteral("1234,5|7|True||125,5|{5}|0,1|-9000000000"),
              FormatTemplate(templateText, values, german));
}

TEST(xml_markup_test, buildsTextBlocksWithAttributesInTheGivenOrder)
{
    using namespace Markup;
    EXPECT_EQ(QStringLiteral("<TextBlock>The option <Underline>x</Underline> no longer "
                             "exists.</TextBlock>"),
              TextBlock(QStringLiteral("The option ") + Underline(QStringLiteral("x")) +
                        QStringLiteral(" no longer exists.")));
    EXPECT_EQ(QStringLiteral("<TextBlock TextWrapping='wrap' Foreground='Black'>"),
              TextBlockOpen({{TextWrapping, QStringLiteral("wrap")}, {Foreground, Black}}));
    EXPECT_EQ(QStringLiteral(
                  "<TextBlock Foreground='Red'>Error: <Bold>a</Bold><LineBreak/>b</TextBlock>"),
              TextBlock(QStringLiteral("Error: ") + Bold(QStringLiteral("a")) + LineBreak +
                            QStringLiteral("b"),
                        {{Foreground, Red}}));
}

TEST(xml_markup_test, escapedUserTextStaysPlainText)
{
    const QString name = QStringLiteral("<Bold>x</Bold> & 'y'");
    const QString cell =
        FormatTemplate(QStringLiteral("<TextBlock>{0}</TextBlock>"), {EscapeMarkup(name)});
    EXPECT_EQ(
        QStringLiteral("<TextBlock>&lt;Bold&gt;x&lt;/Bold&gt; &amp; &apos;y&apos;</TextBlock>"),
        cell);
    // The escaped cell is one element holding the name as text.
    const auto parsed = LoadXMLDocument(cell);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(name, parsed->documentElement().text());
    EXPECT_TRUE(parsed->documentElement().firstChildElement().isNull());
}
