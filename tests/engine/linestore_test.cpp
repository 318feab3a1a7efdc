#include "engine/linestore.h"

#include <gtest/gtest.h>

using namespace zeltpc5;

namespace {

QString field(const LineStore &store, qint16 index, const QString &name)
{
    QString value;
    EXPECT_TRUE(store.GetLineData(index, name, &value).ok());
    return value;
}

void addLine(LineStore &store, qint16 line, const QString &id = QString())
{
    ASSERT_TRUE(store
                    .AddLine(line, 2, 1000 + line, QStringLiteral("Style %1").arg(line),
                             QStringLiteral("<ItemData>%1</ItemData>").arg(line),
                             QStringLiteral("<PriceCostData/>"), id)
                    .ok());
}

} // namespace

TEST(LineStore, aFreshStoreHoldsOneEmptySlot)
{
    LineStore store;
    EXPECT_EQ(store.CountLines(), 0);
    EXPECT_EQ(field(store, 0, QStringLiteral("line")), QStringLiteral("0"));
    EXPECT_EQ(field(store, 0, QStringLiteral("uniqueid")), QString());
    qint16 count = -1;
    ASSERT_TRUE(store.CountChanges(0, &count).ok());
    EXPECT_EQ(count, 0);
}

TEST(LineStore, linesKeepTheirOriginalsAndStartNewAsCopies)
{
    LineStore store;
    addLine(store, 3, QStringLiteral("A3"));
    addLine(store, 7, QStringLiteral("A7"));
    EXPECT_EQ(store.CountLines(), 2);
    EXPECT_EQ(field(store, 0, QStringLiteral("line")), QStringLiteral("3"));
    EXPECT_EQ(field(store, 1, QStringLiteral("line")), QStringLiteral("7"));
    for (qint16 i : {0, 1}) {
        EXPECT_EQ(field(store, i, QStringLiteral("newitemxml")),
                  field(store, i, QStringLiteral("originalitemxml")));
        EXPECT_EQ(field(store, i, QStringLiteral("newproductid")),
                  field(store, i, QStringLiteral("originalproductid")));
    }
    EXPECT_EQ(field(store, 1, QStringLiteral("NewStyle")), QStringLiteral("Style 7"));
    EXPECT_EQ(field(store, 1, QStringLiteral("newstyle")), QStringLiteral("Style 7"));
    EXPECT_EQ(field(store, 1, QStringLiteral("quantity")), QStringLiteral("2"));
    EXPECT_EQ(field(store, 1, QStringLiteral("no such field")), QString());
    EXPECT_EQ(field(store, 99, QStringLiteral("line")), QString());

    store.Clear();
    EXPECT_EQ(store.CountLines(), 0);
    EXPECT_EQ(store.upperBound(), 0);
}

TEST(LineStore, aLineZeroLeavesAnEmptySlotThatTheNextLineFills)
{
    LineStore store;
    addLine(store, 1);
    addLine(store, 0);
    EXPECT_EQ(store.CountLines(), 0);
    addLine(store, 5);
    EXPECT_EQ(store.CountLines(), 2);
    EXPECT_EQ(field(store, 1, QStringLiteral("line")), QStringLiteral("5"));
    addLine(store, -4);
    EXPECT_EQ(field(store, 2, QStringLiteral("line")), QStringLiteral("-4"));
    EXPECT_EQ(store.CountLines(), 0);
}

TEST(LineStore, subscriptsOutsideTheTableFailWithoutChangingAnything)
{
    LineStore store;
    addLine(store, 1);
    ASSERT_TRUE(store.AppendChange(0, QStringLiteral("first")).ok());

    QString text = QStringLiteral("untouched");
    qint16 count = 0;
    EXPECT_EQ(store.GetLineData(-1, QStringLiteral("line"), &text).number(),
              Error::SubscriptOutOfRange);
    EXPECT_EQ(store.CountChanges(-1, &count).number(), Error::SubscriptOutOfRange);
    EXPECT_EQ(store.CountChanges(1, &count).number(), Error::SubscriptOutOfRange);
    EXPECT_EQ(store.GetChange(1, 0, &text).number(), Error::SubscriptOutOfRange);
    EXPECT_EQ(store.GetChange(0, 1, &text).number(), Error::SubscriptOutOfRange);
    EXPECT_EQ(store.GetChange(0, -1, &text).number(), Error::SubscriptOutOfRange);
    ASSERT_TRUE(store.GetChange(0, 0, &text).ok());
    EXPECT_EQ(text, QStringLiteral("first"));
    EXPECT_EQ(store.CountLines(), 1);
}

TEST(LineStore, changesFollowTheEmptyLastElementRule)
{
    LineStore store;
    addLine(store, 1);
    qint16 count = 0;
    ASSERT_TRUE(store.AppendChange(0, QStringLiteral("a")).ok());
    ASSERT_TRUE(store.AppendChange(0, QStringLiteral("b")).ok());
    ASSERT_TRUE(store.CountChanges(0, &count).ok());
    EXPECT_EQ(count, 2);
    EXPECT_EQ(store.record(0)->Changes, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));

    // Adding the line again starts its changes afresh.
    store.records().back().Line = 0;
    addLine(store, 1);
    ASSERT_TRUE(store.CountChanges(0, &count).ok());
    EXPECT_EQ(count, 0);
}

TEST(LineStore, countersAndTableSizeOverflowInsteadOfWrapping)
{
    LineStore store;
    addLine(store, 1);
    store.record(0)->OptionChangeCount = 32766;
    EXPECT_TRUE(store.IncrementOptionChangeCount(0).ok());
    EXPECT_EQ(store.IncrementOptionChangeCount(0).number(), Error::Overflow);
    EXPECT_EQ(store.record(0)->OptionChangeCount, 32767);
    EXPECT_EQ(store.IncrementOptionRemoveCount(5).number(), Error::SubscriptOutOfRange);

    for (int i = 2; i <= LineStore::MaxRecords; ++i)
        ASSERT_TRUE(store.AddLine(qint16(i), 1, 1, {}, {}, {}, {}).ok());
    EXPECT_EQ(store.CountLines(), 32767);
    EXPECT_EQ(store.AddLine(1, 1, 1, {}, {}, {}, QStringLiteral("one too many")).number(),
              Error::Overflow);
    EXPECT_EQ(store.CountLines(), 32767);
    EXPECT_EQ(field(store, 32766, QStringLiteral("line")), QStringLiteral("32767"));
}

// Documents the tools write are kept as UTF-8 and read back as the same text; text the host
// hands in is kept exactly as it came, even text UTF-8 cannot carry.
TEST(LineText, keepsEveryTextAsItWasGiven)
{
    const QString text =
        QStringLiteral("<?xml version=\"1.0\"?>\n<ItemData>K\u00e4the \U0001F600</ItemData>\n");
    const LineText utf8 = LineText::fromUtf8(text.toUtf8());
    const LineText given(text);
    EXPECT_TRUE(utf8.isUtf8());
    EXPECT_FALSE(given.isUtf8());
    EXPECT_EQ(utf8.toString(), text);
    EXPECT_TRUE(utf8 == given);
    EXPECT_TRUE(utf8 == text);
    EXPECT_FALSE(utf8 == LineText::fromUtf8("<ItemData/>"));
    EXPECT_FALSE(LineText(QStringLiteral("a")) == QStringLiteral("b"));

    QString lone = QStringLiteral("<a>x</a>");
    lone[4] = QChar(0xD800); // a lone surrogate: no UTF-8 form
    const LineText kept(lone);
    EXPECT_EQ(kept.toString(), lone);

    LineStore store;
    ASSERT_TRUE(store.AddLine(1, 1, 1, QString(), lone, text, QStringLiteral("id")).ok());
    store.record(0)->NewPriceCostXML = LineText::fromUtf8(QByteArray("<PriceCostData/>"));
    EXPECT_EQ(field(store, 0, QStringLiteral("newitemxml")), lone);
    EXPECT_EQ(field(store, 0, QStringLiteral("NewPriceCostXML")),
              QStringLiteral("<PriceCostData/>"));
    EXPECT_TRUE(LineText().toString().isNull());
}

// Texts kept in the store's blocks read as the texts given, end in a NUL as a QByteArray's
// own text does, and stay readable in a copy that outlives the store.
TEST(KeptTexts, keepTheirBytesAsLongAsATextHoldsThem)
{
    LineText survivor;
    {
        LineStore store;
        addLine(store, 1);
        const QByteArray small(
            "<?xml version=\"1.0\"?>\n<PriceCostData>K\xc3\xa4the</PriceCostData>\n");
        const QByteArray large(KeptTexts::BlockSize, 'x'); // a block of its own
        const LineText a = store.keepUtf8(small);
        const LineText b = store.keepUtf8(large);
        const LineText empty = store.keepUtf8(QByteArrayView("", 0));
        EXPECT_TRUE(a.isUtf8());
        EXPECT_EQ(a.utf8(), small);
        EXPECT_EQ(a.utf8().constData()[small.size()], '\0');
        EXPECT_EQ(b.utf8(), large);
        EXPECT_EQ(b.utf8().constData()[large.size()], '\0');
        EXPECT_TRUE(empty.isUtf8() && empty.isEmpty());
        EXPECT_TRUE(a == LineText::fromUtf8(small));
        EXPECT_EQ(a.toString(), QString::fromUtf8(small));
        EXPECT_EQ(store.keptBlockBytes(), KeptTexts::BlockSize + large.size() + 1);

        store.record(0)->NewPriceCostXML = a;
        EXPECT_EQ(field(store, 0, QStringLiteral("newpricecostxml")), QString::fromUtf8(small));
        survivor = b;
    }
    EXPECT_EQ(survivor.utf8(), QByteArray(KeptTexts::BlockSize, 'x'));
}

// Run after run over some of the lines leaves the replaced texts' room behind; releasing it
// moves what the records hold to fresh blocks, text for text, and frees the rest.
TEST(KeptTexts, replacedTextsAreReleasedOnceTheyOutweighTheKeptOnes)
{
    LineStore store;
    const int lines = 200;
    for (int i = 1; i <= lines; ++i)
        addLine(store, qint16(i));
    auto text = [](int line, int run) {
        return QByteArray("<ItemData><Run>") + QByteArray::number(run) + "</Run><Line>" +
               QByteArray::number(line) + "</Line>" + QByteArray(3000, ' ') + "</ItemData>";
    };
    for (int i = 0; i < lines; ++i)
        store.record(i)->NewItemXML = store.keepUtf8(text(i, 0));
    const char *before = store.record(7)->NewItemXML.utf8().constData();
    store.releaseReplacedTexts();
    // Nothing replaced yet: nothing moves.
    EXPECT_EQ(store.record(7)->NewItemXML.utf8().constData(), before);

    // Runs that change every line but one in ten: each block keeps a text alive.
    for (int run = 1; run <= 6; ++run) {
        for (int i = 0; i < lines; ++i) {
            if (i % 10 != 0)
                store.record(i)->NewItemXML = store.keepUtf8(text(i, run));
        }
    }
    const qsizetype held = lines * (text(0, 0).size() + 1);
    ASSERT_GT(store.keptBlockBytes(), 2 * held + KeptTexts::BlockSize);
    store.releaseReplacedTexts();
    EXPECT_LE(store.keptBlockBytes(), held + 2 * KeptTexts::BlockSize);
    for (int i = 0; i < lines; ++i) {
        ASSERT_EQ(store.record(i)->NewItemXML.utf8(), text(i, i % 10 == 0 ? 0 : 6)) << i;
        ASSERT_EQ(field(store, qint16(i), QStringLiteral("newitemxml")),
                  QString::fromLatin1(text(i, i % 10 == 0 ? 0 : 6)));
    }

    store.Clear();
    EXPECT_EQ(store.keptBlockBytes(), 0);
}
