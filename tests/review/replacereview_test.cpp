#include "review/replacereviewmodel.h"
#include "review/replacereviewwindow.h"

#include "engine/engines.h"
#include "support/fakes.h"
#include "ui/reportgrid.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <QTreeView>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

QString price(const QString &unitPrice)
{
    return QStringLiteral("<?xml version=\"1.0\"?><PriceCostData><UnitPrice>%1</UnitPrice>"
                          "</PriceCostData>")
        .arg(unitPrice);
}

const QString PriceChange =
    QStringLiteral("<TextBlock>The <Underline>price</Underline> changed from <Bold>$100.00</Bold> "
                   "to <Bold>$100.50</Bold></TextBlock>");
const QString FailedChange = QStringLiteral(
    "<TextBlock Foreground='Red'>Error: The product file could not be opened.</TextBlock>");

// A host that names products and records the messages it is asked to show.
struct RecordingHost
{
    FakeHost fake;
    QStringList messages;

    RecordingHost()
    {
        fake.common->on(QStringLiteral("GetProductNameFromID"), [](VariantList &args) {
            return Variant(ToInt32(args.value(0)).value_or(0) == 1 ? QStringLiteral("Roller Shade")
                                                                   : QStringLiteral("Wood Blind"));
        });
        for (const QString &member :
             {QStringLiteral("ShowMessageStyle1"), QStringLiteral("ShowMessageStyle1WithMemory")}) {
            fake.scl->on(member, [this, member](VariantList &args) {
                messages << member + QLatin1String(": ") +
                                ToText(args.value(0)).value_or(QString());
                return Variant();
            });
        }
    }
    HostServices services() const { return HostServices(fake.scl); }
};

// Four lines: 1 changed (price 100 -> 100.5), 2 selected without change, 3 not selected,
// 4 changed with a failure.
struct Lines
{
    LineStore store;
    QSet<QString> selected{QStringLiteral("L1"), QStringLiteral("L2"), QStringLiteral("L4")};

    Lines()
    {
        store.AddLine(1, 2, 1, QStringLiteral("Standard"), QString(), price(QStringLiteral("100")),
                      QStringLiteral("L1"));
        store.AddLine(2, 1, 1, QStringLiteral("Cordless"), QString(), price(QStringLiteral("100")),
                      QStringLiteral("L2"));
        store.AddLine(3, 3, 2, QStringLiteral("2 Inch Slat"), QString(), QString(),
                      QStringLiteral("L3"));
        store.AddLine(4, 1, 2, QStringLiteral("2 Inch Slat"), QString(), price(QStringLiteral("5")),
                      QStringLiteral("L4"));
        for (int i = 0; i < 4; ++i) {
            LineRecord *r = store.record(i);
            r->NewProductID = r->OriginalProductID;
            r->NewStyle = r->OriginalStyle;
            r->NewPriceCostXML = r->OriginalPriceCostXML;
        }
        store.record(0)->NewPriceCostXML = price(QStringLiteral("100.5"));
        store.record(0)->NewStyle = QStringLiteral("Cordless");
        store.AppendChange(0, PriceChange);
        store.AppendChange(0, QStringLiteral("<TextBlock>error: only small letters</TextBlock>"));
        store.AppendChange(3, FailedChange);
    }
    ReplaceReviewSource source(const RecordingHost &host) const
    {
        return {&store, [this](const QString &id) { return selected.contains(id); },
                host.services()};
    }
};

QStringList rowTexts(const ReplaceReviewModel &model)
{
    QStringList rows;
    for (const ReplaceReviewRow &r : model.rows()) {
        rows << QStringLiteral("%1|%2|%3|%4|%5|%6%7|%8")
                    .arg(r.icon)
                    .arg(r.line)
                    .arg(r.quantity)
                    .arg(r.details, r.oldPriceText, r.newPriceText,
                         r.newPriceDiffers ? QStringLiteral(" green") : QString())
                    .arg(r.changes.size());
    }
    return rows;
}

} // namespace

TEST(ReplaceReviewModel, rowsCarryStatusPricesAndChanges)
{
    RecordingHost host;
    Lines lines;
    ReplaceReviewModel model;
    model.Fill(lines.source(host));

    EXPECT_EQ(
        rowTexts(model),
        QStringList({QStringLiteral("100|1|2|Roller Shade / Cordless|$100.00|$100.50 green|2"),
                     QStringLiteral("101|2|1|Roller Shade / Cordless|$100.00|$100.00|0"),
                     // No price document: 0, and no colour since nothing differs.
                     QStringLiteral("0|3|3|Wood Blind / 2 Inch Slat|$0.00|$0.00|0"),
                     QStringLiteral("100|4|1|Wood Blind / 2 Inch Slat|$5.00|$5.00|1")}));
    EXPECT_EQ(model.rows()[0].changes.first(), PriceChange);
    EXPECT_TRUE(model.HasErrors());
    EXPECT_FALSE(ReplaceReviewModel::IsShown(model.rows()[2], false));
    EXPECT_TRUE(ReplaceReviewModel::IsShown(model.rows()[2], true));
    EXPECT_TRUE(ReplaceReviewModel::IsShown(model.rows()[1], false));
}

TEST(ReplaceReviewModel, errorsAreFoundInThePlainTextInExactCase)
{
    RecordingHost host;
    Lines lines;
    lines.store.record(3)->Changes = QStringList{QString()};
    ReplaceReviewModel model;
    model.Fill(lines.source(host));
    EXPECT_FALSE(model.HasErrors()) << "\"error:\" in small letters is no error";
    model.ShowMessages(host.services());
    EXPECT_EQ(host.messages, QStringList{QStringLiteral("ShowMessageStyle1WithMemory: Notice")});

    // "Error:" split by markup still reads "Error:" once the tags are gone.
    host.messages.clear();
    lines.store.AppendChange(1,
                             QStringLiteral("<TextBlock><Bold>Error</Bold>: no grid</TextBlock>"));
    model.Fill(lines.source(host));
    EXPECT_TRUE(model.HasErrors());
    model.ShowMessages(host.services());
    EXPECT_EQ(host.messages,
              QStringList({QStringLiteral("ShowMessageStyle1WithMemory: Notice"),
                           QStringLiteral("ShowMessageStyle1: One or more of these items have "
                                          "errors.")}));
}

TEST(ReplaceReviewModel, noLinesGiveNoRowsAndOnlyTheNotice)
{
    RecordingHost host;
    LineStore empty;
    ReplaceReviewModel model;
    model.Fill({&empty, [](const QString &) { return true; }, host.services()});
    EXPECT_TRUE(model.rows().empty());
    model.ShowMessages(host.services());
    EXPECT_EQ(host.messages, QStringList{QStringLiteral("ShowMessageStyle1WithMemory: Notice")});
}

namespace {

// The window as the engine opens it, shown without blocking so the test can act on it.
struct OpenWindow
{
    RecordingHost host;
    Lines lines;
    ReplaceReviewWindow window;

    OpenWindow()
    {
        window.Initialize(lines.source(host));
        window.show();
        // The list is filled on the first activation, once the window is up.
        EXPECT_TRUE(QTest::qWaitFor([this] { return !host.messages.isEmpty(); }));
    }
    ReportGrid *grid() { return window.findChild<ReportGrid *>(QStringLiteral("rptItems")); }
    QStringList shownLines()
    {
        QStringList lines;
        const ReportModel *m = grid()->model();
        for (int r = 0; r < m->rowCount(); ++r)
            lines << m->index(r, 1).data().toString();
        return lines;
    }
};

} // namespace

TEST(ReplaceReviewWindow, laysOutTheControlsAndHidesUnaffectedLines)
{
    OpenWindow w;
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Replace Review"));
    EXPECT_EQ(w.window.font().family(), QStringLiteral("Verdana"));
    for (const char *name :
         {"rptItems", "GroupBox1", "imgRed", "lblRed", "imgGreen", "lblGreen", "Label1", "Image1",
          "chkShowUnaffected", "cmdMore", "cmdOK", "cmdCancel", "mnuMore"})
        EXPECT_NE(w.window.findChild<QObject *>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(w.host.messages.size(), 2); // the notice, then the errors

    const ReportModel *m = w.grid()->model();
    QStringList captions;
    for (int c = 0; c < m->columnCount(); ++c)
        captions << m->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
    EXPECT_EQ(captions, QStringList({QString(), QStringLiteral("Line"), QStringLiteral("Qty"),
                                     QStringLiteral("Details"), QStringLiteral("Old Price"),
                                     QStringLiteral("New Price")}));

    // Line 3 was not selected: hidden until asked for, hidden again when unchecked.
    auto *show = w.window.findChild<QCheckBox *>(QStringLiteral("chkShowUnaffected"));
    EXPECT_FALSE(show->isChecked());
    EXPECT_EQ(w.shownLines(),
              QStringList({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4")}));
    QTest::mouseClick(show, Qt::LeftButton, {}, QPoint(4, show->height() / 2));
    EXPECT_EQ(w.shownLines(), QStringList({QStringLiteral("1"), QStringLiteral("2"),
                                           QStringLiteral("3"), QStringLiteral("4")}));
    show->setChecked(false);
    EXPECT_EQ(w.shownLines().size(), 3);

    // Only the first line starts expanded; the new price that differs is green.
    EXPECT_TRUE(w.grid()->view()->isExpanded(m->index(0, 0)));
    EXPECT_FALSE(w.grid()->view()->isExpanded(m->index(2, 0)));
    EXPECT_EQ(m->rowCount(m->index(0, 0)), 2);
    EXPECT_EQ(m->index(0, 5).data(Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 128, 0));
    EXPECT_TRUE(m->index(1, 5).data(Qt::ForegroundRole).isNull());
    EXPECT_EQ(m->index(0, 0).data(ReportModel::IconNumberRole).toInt(), 100);
    EXPECT_EQ(m->index(1, 0).data(ReportModel::IconNumberRole).toInt(), 101);
    w.window.reject();
}

TEST(ReplaceReviewWindow, okAcceptsCancelAndTheCloseBoxReject)
{
    {
        OpenWindow w;
        QTest::mouseClick(w.window.findChild<QPushButton *>(QStringLiteral("cmdOK")),
                          Qt::LeftButton);
        EXPECT_FALSE(w.window.Cancelled());
        EXPECT_FALSE(w.window.isVisible());
    }
    {
        OpenWindow w;
        QTest::mouseClick(w.window.findChild<QPushButton *>(QStringLiteral("cmdCancel")),
                          Qt::LeftButton);
        EXPECT_TRUE(w.window.Cancelled());
    }
    {
        OpenWindow w;
        w.window.close();
        EXPECT_TRUE(w.window.Cancelled());
        EXPECT_FALSE(w.window.isVisible());
    }
}

TEST(ReplaceReviewWindow, theMoreMenuOpensBelowItsButton)
{
    OpenWindow w;
    auto *more = w.window.findChild<QPushButton *>(QStringLiteral("cmdMore"));
    auto *menu = w.window.findChild<QMenu *>(QStringLiteral("mnuMore"));
    QStringList items;
    for (const QAction *a : menu->actions())
        items << a->objectName() + QLatin1Char('=') + a->text();
    EXPECT_EQ(items, QStringList({QStringLiteral("mnuPrint=Print List..."),
                                  QStringLiteral("mnuSave=Save List...")}));
    QTest::mouseClick(more, Qt::LeftButton);
    ASSERT_TRUE(menu->isVisible());
    EXPECT_EQ(menu->pos(), more->mapToGlobal(QPoint(0, more->height())));
    menu->close();
    w.window.reject();
}

// The engine's operation: OK is the only way to true, and the engine's lines stay as they were.
TEST(ReplaceReviewWindow, showReplaceReviewIsTrueOnlyAfterOk)
{
    RecordingHost host;
    Lines lines;
    const auto answer = [](const char *button) {
        QTimer::singleShot(0, [button] {
            const bool open =
                QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; });
            if (QWidget *w = open ? QApplication::activeModalWidget() : nullptr)
                w->findChild<QPushButton *>(QString::fromLatin1(button))->click();
        });
    };
    const QStringList before = lines.store.record(0)->Changes;
    answer("cmdOK");
    EXPECT_TRUE(ShowReplaceReviewWindow(lines.source(host), {}));
    answer("cmdCancel");
    EXPECT_FALSE(ShowReplaceReviewWindow(lines.source(host), {}));
    EXPECT_EQ(lines.store.record(0)->Changes, before);
}

TEST(ReplaceReviewWindow, remembersItsPlacementWhenItCloses)
{
    QSettings store(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("zeltpc5"),
                    QStringLiteral("zeltpc5"));
    const QString key =
        QStringLiteral("Software/Kelvane/Lumenfold/5.0/Window Positions/frmReplaceReview");
    store.remove(key);
    {
        OpenWindow w;
        w.window.resize(700, 500);
        w.window.reject();
    }
    store.sync();
    const QStringList parts = store.value(key).toString().split(QLatin1Char(','));
    ASSERT_EQ(parts.size(), 4) << store.value(key).toString().toStdString();
    EXPECT_EQ(parts[2].toInt(), 700 * 15);
    EXPECT_EQ(parts[3].toInt(), 500 * 15);

    // The next window opens at that size.
    ReplaceReviewWindow next;
    EXPECT_EQ(next.size(), QSize(700, 500));
}
