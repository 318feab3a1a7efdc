#include "ui/markuptext.h"

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <functional>

using namespace zeltpc5;

namespace {

MarkupRun text(const QString &t, bool bold = false, bool underline = false,
               const QColor &color = {})
{
    return MarkupRun{t, bold, underline, color, false};
}

MarkupRun lineBreak()
{
    return MarkupRun{{}, false, false, {}, true};
}

// Runs as one readable line: [text|flags] per run, "/" for a line break.
QString describe(const QList<MarkupRun> &runs)
{
    QStringList parts;
    for (const MarkupRun &run : runs) {
        if (run.lineBreak) {
            parts << QStringLiteral("/");
            continue;
        }
        QString flags;
        if (run.bold)
            flags += QLatin1Char('B');
        if (run.underline)
            flags += QLatin1Char('U');
        if (run.color.isValid())
            flags += run.color.name();
        parts << QStringLiteral("[%1|%2]").arg(run.text, flags);
    }
    return parts.join(QLatin1Char(' '));
}

QString describe(const QString &source)
{
    return describe(MarkupText(source).runs());
}

QString shown(const QString &source)
{
    return MarkupText(source).shownText();
}

QFont testFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    return font;
}

int countPixels(const QImage &image, const QRect &area, const std::function<bool(QColor)> &test)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += test(image.pixelColor(x, y)) ? 1 : 0;
    return count;
}

bool isRed(QColor c)
{
    return c.alpha() > 200 && c.red() > 200 && c.green() < 60 && c.blue() < 60;
}

QImage transparentImage(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

TEST(MarkupText, recognisesATextBlockAtTheStartOnly)
{
    EXPECT_TRUE(MarkupText::IsMarkup(QStringLiteral("<TextBlock>a</TextBlock>")));
    EXPECT_TRUE(MarkupText::IsMarkup(QStringLiteral("  \t<TextBlock Foreground='Red'>a")));
    EXPECT_TRUE(MarkupText::IsMarkup(QStringLiteral("<TextBlock/>")));
    EXPECT_FALSE(MarkupText::IsMarkup(QStringLiteral("<TextBlock")));
    EXPECT_FALSE(MarkupText::IsMarkup(QStringLiteral("<TextBlocks>a</TextBlocks>")));
    EXPECT_FALSE(MarkupText::IsMarkup(QStringLiteral("<textblock>a</textblock>")));
    EXPECT_FALSE(MarkupText::IsMarkup(QStringLiteral("x<TextBlock>a</TextBlock>")));
    EXPECT_FALSE(MarkupText::IsMarkup(QString()));
}

TEST(MarkupText, splitsTheComponentsTextsIntoRuns)
{
    const MarkupText removed(
        QStringLiteral("<TextBlock>The option <Underline>Mount</Underline> no longer "
                       "exists.</TextBlock>"));
    EXPECT_EQ(removed.runs(), (QList<MarkupRun>{text(QStringLiteral("The option ")),
                                                text(QStringLiteral("Mount"), false, true),
                                                text(QStringLiteral(" no longer exists."))}));
    EXPECT_EQ(removed.shownText(), QStringLiteral("The option Mount no longer exists."));
    EXPECT_EQ(removed.lineCount(), 1);

    const MarkupText error(QStringLiteral("<TextBlock Foreground='Red'>Error: x</TextBlock>"));
    EXPECT_EQ(error.runs(),
              (QList<MarkupRun>{text(QStringLiteral("Error: x"), false, false, Qt::red)}));

    const MarkupText lines(
        QStringLiteral("<TextBlock><Bold>a<LineBreak/>b<LineBreak />c</Bold></TextBlock>"));
    EXPECT_EQ(lines.runs(), (QList<MarkupRun>{text(QStringLiteral("a"), true), lineBreak(),
                                              text(QStringLiteral("b"), true), lineBreak(),
                                              text(QStringLiteral("c"), true)}));
    EXPECT_EQ(lines.shownText(), QStringLiteral("a\nb\nc"));
    EXPECT_EQ(lines.lineCount(), 3);

    EXPECT_EQ(
        describe(QStringLiteral("<TextBlock>The value for option <Underline>Color</Underline> "
                                "changed from <Bold>Red</Bold> to <Bold>Blue</Bold>"
                                "</TextBlock>")),
        QStringLiteral("[The value for option |] [Color|U] [ changed from |] [Red|B] "
                       "[ to |] [Blue|B]"));
    EXPECT_EQ(describe(QStringLiteral("<TextBlock><Bold>a<Underline>b</Underline></Bold>"
                                      "</TextBlock>")),
              QStringLiteral("[a|B] [b|BU]"));
}

TEST(MarkupText, readsTheTextBlockAttributes)
{
    const MarkupText block(
        QStringLiteral("<TextBlock Background='#008000' TextAlignment='Center' TextWrapping='wrap' "
                       "FontSize='12' Foreground=\"#0000FF\">x</TextBlock>"));
    EXPECT_EQ(block.background(), QColor(0, 0x80, 0));
    EXPECT_EQ(block.alignment(), Qt::Alignment(Qt::AlignHCenter));
    EXPECT_TRUE(block.wraps());
    EXPECT_EQ(describe(block.runs()), QStringLiteral("[x|#0000ff]"));

    const MarkupText plainBlock(QStringLiteral("<TextBlock>x</TextBlock>"));
    EXPECT_FALSE(plainBlock.background().isValid());
    EXPECT_EQ(plainBlock.alignment(), Qt::Alignment());
    EXPECT_FALSE(plainBlock.wraps());

    EXPECT_EQ(
        MarkupText(QStringLiteral("<TextBlock TextAlignment='Right'>x</TextBlock>")).alignment(),
        Qt::Alignment(Qt::AlignRight));
    EXPECT_TRUE(MarkupText(QStringLiteral("<TextBlock TextWrapping='Wrap'>x</TextBlock>")).wraps());

    // A colour nobody knows is the cell's colour, not black.
    EXPECT_EQ(describe(QStringLiteral("<TextBlock Foreground='Chartreusish'>x</TextBlock>")),
              QStringLiteral("[x|]"));
    EXPECT_EQ(describe(QStringLiteral("<TextBlock Foreground='#12'>x</TextBlock>")),
              QStringLiteral("[x|]"));

    // An inner TextBlock colours its span and gives the outer colour back afterwards.
    EXPECT_EQ(describe(QStringLiteral("<TextBlock Foreground='Red'>a <TextBlock "
                                      "Foreground='Blue'>b</TextBlock> c</TextBlock>")),
              QStringLiteral("[a |#ff0000] [b|#0000ff] [ c|#ff0000]"));
    EXPECT_EQ(describe(QStringLiteral("<TextBlock>a <TextBlock Foreground='Blue' "
                                      "Background='Red'>b</TextBlock></TextBlock>")),
              QStringLiteral("[a |] [b|#0000ff]"));
    EXPECT_FALSE(MarkupText(QStringLiteral("<TextBlock>a <TextBlock Background='Red'>b"
                                           "</TextBlock></TextBlock>"))
                     .background()
                     .isValid());
}

TEST(MarkupText, showsEverythingOutsideTheVocabularyAsItStands)
{
    EXPECT_EQ(shown(QStringLiteral("<TextBlock>see <img src='x'> here</TextBlock>")),
              QStringLiteral("see <img src='x'> here"));
    EXPECT_EQ(shown(QStringLiteral("<TextBlock><a href='x'>y</a></TextBlock>")),
              QStringLiteral("<a href='x'>y</a>"));
    EXPECT_EQ(shown(QStringLiteral("<TextBlock><b>z</b> <Italic>i</Italic></TextBlock>")),
              QStringLiteral("<b>z</b> <Italic>i</Italic>"));
    // Names are case-sensitive: <bold> is not Bold.
    EXPECT_EQ(describe(QStringLiteral("<TextBlock><bold>z</bold></TextBlock>")),
              QStringLiteral("[<bold>z</bold>|]"));

    // Malformed tags: unquoted values, a missing '>', a stray '<'.
    EXPECT_EQ(shown(QStringLiteral("<TextBlock>a <Bold x=1>b</TextBlock>")),
              QStringLiteral("a <Bold x=1>b"));
    EXPECT_EQ(shown(QStringLiteral("<TextBlock>1 < 2 and <Bold>3</Bold></TextBlock>")),
              QStringLiteral("1 < 2 and 3"));
    EXPECT_EQ(shown(QStringLiteral("<TextBlock>a <Bold")), QStringLiteral("a <Bold"));
    EXPECT_EQ(shown(QStringLiteral("<TextBlock Foreground=Red>x</TextBlock>")),
              QStringLiteral("<TextBlock Foreground=Red>x</TextBlock>"));

    // Closing tags with nothing open are text; the text after the block is kept as written.
    EXPECT_EQ(describe(QStringLiteral("<TextBlock>a</Bold>b</Underline></TextBlock>")),
              QStringLiteral("[a</Bold>b</Underline>|]"));
    EXPECT_EQ(describe(QStringLiteral("<TextBlock Foreground='Red'>a</TextBlock>b &lt;<Bold>c"
                                      "</Bold>")),
              QStringLiteral("[a|#ff0000] [b &lt;<Bold>c</Bold>|]"));
    EXPECT_EQ(shown(QStringLiteral("<TextBlock>a</TextBlock>\r\n")), QStringLiteral("a"));
    EXPECT_EQ(shown(QStringLiteral("<TextBlock Foreground='Red'/>tail")), QStringLiteral("tail"));
}

TEST(MarkupText, decodesOnlyTheFiveEscapesTheComponentWrites)
{
    EXPECT_EQ(shown(QStringLiteral("<TextBlock>A &lt;B&gt; &amp; &apos;C&apos; &quot;D&quot;"
                                   "</TextBlock>")),
              QStringLiteral("A <B> & 'C' \"D\""));
    // An escaped tag stays text even though it reads like one once decoded.
    EXPECT_EQ(describe(QStringLiteral("<TextBlock>&lt;Bold&gt;x&lt;/Bold&gt;</TextBlock>")),
              QStringLiteral("[<Bold>x</Bold>|]"));
    EXPECT_EQ(shown(QStringLiteral("<TextBlock>&amp;lt;</TextBlock>")), QStringLiteral("&lt;"));
    EXPECT_EQ(shown(QStringLiteral("<TextBlock>a&nbsp;b &#60; &#x3C; &LT; & &amp</TextBlock>")),
              QStringLiteral("a&nbsp;b &#60; &#x3C; &LT; & &amp"));
    EXPECT_EQ(describe(QStringLiteral("<TextBlock><Bold>&lt;</Bold></TextBlock>")),
              QStringLiteral("[<|B]"));
}

TEST(MarkupText, showsPlainTextExactly)
{
    const QString hostile = QStringLiteral("<b>z</b> <img src='x'> &lt; <LineBreak/>&amp;");
    const MarkupText plain(hostile);
    EXPECT_EQ(plain.runs(), QList<MarkupRun>{text(hostile)});
    EXPECT_EQ(plain.shownText(), hostile);
    EXPECT_EQ(plain.lineCount(), 1);
    EXPECT_FALSE(plain.background().isValid());

    const MarkupText lines(QStringLiteral("a\r\nb\nc"));
    EXPECT_EQ(lines.runs(), QList<MarkupRun>{text(QStringLiteral("a\r\nb\nc"))});
    EXPECT_EQ(lines.lineCount(), 3);
}

TEST(MarkupText, runsUnclosedLooksToTheEnd)
{
    EXPECT_EQ(describe(QStringLiteral("<TextBlock>a <Bold>b <Underline>c")),
              QStringLiteral("[a |] [b |B] [c|BU]"));
    // A close that skips an inner open ends only its own element.
    EXPECT_EQ(describe(QStringLiteral("<TextBlock><Bold><Underline>a</Bold>b</Underline>c"
                                      "</TextBlock>")),
              QStringLiteral("[a|BU] [b|U] [c|]"));
}

TEST(MarkupText, countsLines)
{
    EXPECT_EQ(MarkupText().lineCount(), 0);
    EXPECT_EQ(MarkupText(QString()).lineCount(), 0);
    EXPECT_EQ(MarkupText(QStringLiteral("<TextBlock></TextBlock>")).lineCount(), 0);
    EXPECT_EQ(MarkupText(QStringLiteral("x")).lineCount(), 1);
    EXPECT_EQ(MarkupText(QStringLiteral("<TextBlock>a<LineBreak/></TextBlock>")).lineCount(), 2);
    EXPECT_EQ(
        MarkupText(QStringLiteral("<TextBlock><LineBreak></LineBreak>b</TextBlock>")).shownText(),
        QStringLiteral("\nb"));
}

TEST(RemoveMarkupTags, removesWhatTheTagPatternMatches)
{
    EXPECT_EQ(RemoveMarkupTags(QStringLiteral("<TextBlock Foreground='Red'>Error: x</TextBlock>")),
              QStringLiteral("Error: x"));
    EXPECT_EQ(RemoveMarkupTags(QStringLiteral("<LineBreak/>")), QString());
    EXPECT_EQ(RemoveMarkupTags(QStringLiteral("a<LineBreak />b")), QStringLiteral("ab"));
    EXPECT_EQ(RemoveMarkupTags(QStringLiteral("<TextBlock>The <Bold>x</Bold></TextBlock>")),
              QStringLiteral("The x"));
    // '#' and '"' are outside the pattern, so those opening tags stay.
    EXPECT_EQ(RemoveMarkupTags(QStringLiteral("<TextBlock Background='#008000'>x</TextBlock>")),
              QStringLiteral("<TextBlock Background='#008000'>x"));
    EXPECT_EQ(RemoveMarkupTags(QStringLiteral("<TextBlock Foreground=\"Red\">x</TextBlock>")),
              QStringLiteral("<TextBlock Foreground=\"Red\">x"));
    // Any tag-like text matches, whatever its name, and entities are left alone.
    EXPECT_EQ(RemoveMarkupTags(QStringLiteral("<b>z</b> <img src='x'> &lt;")),
              QStringLiteral("z  &lt;"));
    EXPECT_EQ(RemoveMarkupTags(QStringLiteral("a < b > c")), QStringLiteral("a  c"));
    EXPECT_EQ(RemoveMarkupTags(QString()), QString());
}

TEST(MarkupTextLayout, sizeHintFollowsLinesAndLooks)
{
    const QFont font = testFont();
    const int lineHeight = QFontMetrics(font).height();

    EXPECT_EQ(MarkupText().sizeHint(font), QSize(0, 0));
    const QSize one = MarkupText(QStringLiteral("<TextBlock>abc</TextBlock>")).sizeHint(font);
    const QSize three =
        MarkupText(QStringLiteral("<TextBlock>abc<LineBreak/>abc<LineBreak/>abc</TextBlock>"))
            .sizeHint(font);
    EXPECT_EQ(one.height(), lineHeight);
    EXPECT_EQ(three.height(), 3 * lineHeight);
    EXPECT_EQ(three.width(), one.width());
    EXPECT_EQ(MarkupText(QStringLiteral("abc\nabc")).sizeHint(font).height(), 2 * lineHeight);

    // The widest line sets the width; bold is wider than regular.
    const QSize widest =
        MarkupText(QStringLiteral("<TextBlock>abc<LineBreak/>abcabc</TextBlock>")).sizeHint(font);
    EXPECT_GT(widest.width(), one.width());
    const QSize bold =
        MarkupText(QStringLiteral("<TextBlock><Bold>mmmmmmmm</Bold></TextBlock>")).sizeHint(font);
    const QSize regular = MarkupText(QStringLiteral("mmmmmmmm")).sizeHint(font);
    EXPECT_GT(bold.width(), regular.width());

    const QSize larger =
        MarkupText(QStringLiteral("<TextBlock FontSize='30'>abc</TextBlock>")).sizeHint(font);
    EXPECT_GT(larger.height(), one.height());

    // A second font is laid out afresh, not served from the first.
    MarkupText reused(QStringLiteral("<TextBlock>abc</TextBlock>"));
    const QSize small = reused.sizeHint(font);
    QFont big = font;
    big.setPixelSize(28);
    EXPECT_GT(reused.sizeHint(big).width(), small.width());
    EXPECT_EQ(reused.sizeHint(font), small);
}

TEST(MarkupTextPaint, paintsInTheRunColourAndStaysInsideTheRect)
{
    QImage image = transparentImage(200, 60);
    const QRect cell(20, 10, 40, 30);
    {
        QPainter painter(&image);
        MarkupText(QStringLiteral("<TextBlock Foreground='Red'>Error: WWWWWWWWWWWWWWWWWWWWWW"
                                  "<LineBreak/>second<LineBreak/>third<LineBreak/>fourth"
                                  "</TextBlock>"))
            .paint(&painter, cell, testFont(), Qt::black, Qt::AlignLeft | Qt::AlignVCenter);
    }
    EXPECT_GT(countPixels(image, cell, isRed), 10);
    int outside = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            outside += !cell.contains(x, y) && image.pixelColor(x, y).alpha() != 0 ? 1 : 0;
    EXPECT_EQ(outside, 0);
}

TEST(MarkupTextPaint, usesTheCellColourAndFillsTheBackground)
{
    QImage image = transparentImage(120, 40);
    const QRect cell(10, 5, 100, 30);
    {
        QPainter painter(&image);
        MarkupText(QStringLiteral("WWW"))
            .paint(&painter, cell, testFont(), Qt::red, Qt::AlignLeft | Qt::AlignVCenter);
    }
    EXPECT_GT(countPixels(image, cell, isRed), 10);

    QImage filled = transparentImage(120, 40);
    {
        QPainter painter(&filled);
        MarkupText(QStringLiteral("<TextBlock Background='#008000'>x</TextBlock>"))
            .paint(&painter, cell, testFont(), Qt::black, Qt::AlignLeft);
    }
    EXPECT_EQ(filled.pixelColor(cell.topLeft()), QColor(0, 0x80, 0));
    EXPECT_EQ(filled.pixelColor(cell.bottomRight()), QColor(0, 0x80, 0));
    EXPECT_EQ(filled.pixelColor(0, 0).alpha(), 0);
}

TEST(MarkupTextPaint, alignsByTheTextBlockBeforeTheCell)
{
    const QRect cell(0, 0, 300, 30);
    auto firstInkColumn = [&](const QString &source, Qt::Alignment alignment) {
        QImage image = transparentImage(cell.width(), cell.height());
        {
            QPainter painter(&image);
            MarkupText(source).paint(&painter, cell, testFont(), Qt::red, alignment);
        }
        for (int x = 0; x < image.width(); ++x)
            for (int y = 0; y < image.height(); ++y)
                if (image.pixelColor(x, y).alpha() != 0)
                    return x;
        return -1;
    };
    const int left = firstInkColumn(QStringLiteral("WW"), Qt::AlignLeft | Qt::AlignVCenter);
    const int right = firstInkColumn(QStringLiteral("WW"), Qt::AlignRight | Qt::AlignVCenter);
    const int centred = firstInkColumn(QStringLiteral("<TextBlock TextAlignment='Center'>WW"
                                                      "</TextBlock>"),
                                       Qt::AlignLeft | Qt::AlignVCenter);
    ASSERT_GE(left, 0);
    EXPECT_LT(left, 5);
    EXPECT_GT(right, 250);
    EXPECT_GT(centred, 120);
    EXPECT_LT(centred, 160);
}

TEST(MarkupTextPaint, wrapsWithinTheRectWhenAskedTo)
{
    const QString words = QStringLiteral("alpha beta gamma delta epsilon zeta eta theta");
    const QRect cell(0, 0, 80, 200);
    auto inkRows = [&](const QString &source) {
        QImage image = transparentImage(cell.width() + 40, cell.height());
        {
            QPainter painter(&image);
            MarkupText(source).paint(&painter, cell, testFont(), Qt::red, Qt::AlignLeft);
        }
        int lowest = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y).alpha() != 0) {
                    EXPECT_TRUE(cell.contains(x, y)) << x << "," << y;
                    lowest = y;
                }
        return lowest;
    };
    const int lineHeight = QFontMetrics(testFont()).height();
    EXPECT_LT(inkRows(QStringLiteral("<TextBlock>") + words + QStringLiteral("</TextBlock>")),
              lineHeight);
    EXPECT_GT(inkRows(QStringLiteral("<TextBlock TextWrapping='Wrap'>") + words +
                      QStringLiteral("</TextBlock>")),
              2 * lineHeight);
}
