#include "ui/reporthelpers.h"

#include "ui/imagemanager.h"
#include "ui/markuptext.h"
#include "ui/reportgrid.h"

#include <QApplication>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStringEncoder>
#include <QTreeView>

namespace zeltpc5 {

void ApplyStandardGridStyle(ReportGrid &grid, bool option)
{
    QFont font = grid.font();
    font.setPointSize(10);
    grid.view()->setFont(font);
    grid.view()->header()->setFont(font);
    grid.view()->header()->setHighlightSections(false);
    if (option) {
        grid.view()->header()->setSectionsMovable(true);
        grid.view()->setSelectionBehavior(QAbstractItemView::SelectItems);
        grid.view()->setSortingEnabled(true);
    } else {
        grid.view()->setSelectionBehavior(QAbstractItemView::SelectRows);
    }
    grid.view()->setAlternatingRowColors(false);
}

namespace {

// The shown columns as the grid has them now: caption, item index, width, alignment.
struct PrintColumn
{
    const ReportColumn *column;
    int x = 0;
    int width = 0;
};

std::vector<PrintColumn> printColumns(const ReportGrid &grid, int pageWidth)
{
    std::vector<PrintColumn> columns;
    const ReportModel *model = grid.model();
    int total = 0;
    for (int c = 0; c < model->columnCount(); ++c) {
        const int width = qMax(grid.view()->header()->sectionSize(c), model->shownColumn(c)->width);
        columns.push_back({model->shownColumn(c), 0, width});
        total += width;
    }
    // Wider than the page: every column shrinks in proportion.
    const double scale = total > pageWidth ? double(pageWidth) / total : 1.0;
    int x = 0;
    for (PrintColumn &c : columns) {
        c.x = x;
        c.width = int(c.width * scale);
        x += c.width;
    }
    return columns;
}

// A record's row, then its child rows, in print order.
void collectRows(const ReportModel *model, const QModelIndex &parent,
                 std::vector<const ReportRecord *> &rows)
{
    for (int r = 0; r < model->rowCount(parent); ++r) {
        const QModelIndex index = model->index(r, 0, parent);
        rows.push_back(model->recordAt(index));
        collectRows(model, index, rows);
    }
}

int rowDepth(const ReportRecord *record)
{
    int depth = 0;
    for (const ReportRecord *r = record->parent(); r; r = r->parent())
        ++depth;
    return depth;
}

} // namespace

int PaintGridPages(QPainter &painter, const QRect &page, const ReportGrid &grid,
                   const std::function<void()> &newPage)
{
    const ReportModel *model = grid.model();
    QFont font = grid.view()->font();
    // Pixel sizes, so that the page's own scale decides how large the print is.
    font.setPixelSize(qMax(8, int(font.pointSizeF() * 96.0 / 72.0 + 0.5)));
    QFont bold = font;
    bold.setBold(true);
    QFont titleFont = bold;
    titleFont.setPixelSize(font.pixelSize() * 3 / 2);
    const QFontMetrics metrics(font);
    const int padding = 3;
    const int lineHeight = metrics.height() + 2 * padding;
    const auto columns = printColumns(grid, page.width());
    std::vector<const ReportRecord *> rows;
    collectRows(model, QModelIndex(), rows);

    int pages = 1;
    int y = page.top();
    const auto pageHeader = [&] {
        y = page.top();
        if (!grid.printHeader().isEmpty()) {
            painter.setFont(titleFont);
            painter.setPen(Qt::black);
            const int h = QFontMetrics(titleFont).height();
            painter.drawText(QRect(page.left(), y, page.width(), h),
                             Qt::AlignLeft | Qt::AlignVCenter, grid.printHeader());
            y += h + lineHeight / 2;
        }
        painter.setFont(bold);
        for (const PrintColumn &c : columns) {
            const QRect cell(page.left() + c.x, y, c.width, lineHeight);
            painter.fillRect(cell, QColor(235, 235, 235));
            painter.setPen(QColor(160, 160, 160));
            painter.drawRect(cell.adjusted(0, 0, -1, -1));
            painter.setPen(Qt::black);
            painter.drawText(cell.adjusted(padding, 0, -padding, 0),
                             int(c.column->headerAlignment & Qt::AlignHorizontal_Mask) |
                                 Qt::AlignVCenter,
                             c.column->caption);
        }
        y += lineHeight;
    };
    pageHeader();

    for (const ReportRecord *record : rows) {
        int height = lineHeight;
        for (const PrintColumn &c : columns) {
            const ReportItem *item =
                record->isGroupRow() ? record->item(0) : record->item(c.column->itemIndex);
            if (item && item->isMarkup())
                height = qMax(height, item->markup().sizeHint(font).height() + 2 * padding);
        }
        if (y + height > page.bottom() && y > page.top() + lineHeight) {
            newPage();
            ++pages;
            pageHeader();
        }
        if (record->isGroupRow()) {
            const QRect cell(page.left(), y, page.width(), height);
            painter.fillRect(cell, QColor(245, 245, 245));
            painter.setFont(bold);
            painter.setPen(Qt::black);
            painter.drawText(cell.adjusted(padding, 0, -padding, 0),
                             Qt::AlignLeft | Qt::AlignVCenter, record->item(0)->plainText());
        } else {
            const int indent = rowDepth(record) * 2 * padding;
            for (const PrintColumn &c : columns) {
                const ReportItem *item = record->item(c.column->itemIndex);
                if (!item)
                    continue;
                QRect cell(page.left() + c.x, y, c.width, height);
                if (item->background().isValid())
                    painter.fillRect(cell, item->background());
                cell.adjust(padding + (c.x == 0 ? indent : 0), 0, -padding, 0);
                const QIcon icon = item->icon() > 0 && model->icons()
                                       ? model->icons()->icon(item->icon())
                                       : QIcon();
                if (!icon.isNull()) {
                    const int side = qMin(metrics.height(), cell.width());
                    icon.paint(&painter,
                               QRect(cell.left(), cell.center().y() - side / 2, side, side));
                    continue;
                }
                painter.setFont(font);
                const QColor colour = item->foreground().isValid() ? item->foreground() : Qt::black;
                if (item->isMarkup()) {
                    item->markup().paint(&painter, cell, font, colour, c.column->alignment);
                } else {
                    painter.setPen(colour);
                    painter.drawText(
                        cell, int(c.column->alignment),
                        metrics.elidedText(item->caption(), Qt::ElideRight, cell.width()));
                }
            }
        }
        painter.setPen(QColor(210, 210, 210));
        painter.drawLine(page.left(), y + height - 1, page.left() + page.width(), y + height - 1);
        y += height;
    }
    return pages;
}

void ShowPrintPreview(ReportGrid &grid)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(grid.printHeader());
    QPrintPreviewDialog preview(&printer, grid.window());
    preview.setObjectName(QStringLiteral("PrintPreview"));
    QObject::connect(
        &preview, &QPrintPreviewDialog::paintRequested, &preview, [&grid](QPrinter *device) {
            QPainter painter(device);
            // Lay out in screen pixels; the printer's resolution scales them.
            const double scale = device->logicalDpiX() / 96.0;
            painter.scale(scale, scale);
            const QRect page(QPoint(0, 0),
                             (QSizeF(device->width(), device->height()) / scale).toSize());
            PaintGridPages(painter, page, grid, [device] { device->newPage(); });
        });
    preview.resize(900, 700);
    preview.exec();
}

void PrintGrid(const QString &title, ReportGrid &grid)
{
    grid.setPrintHeader(title);
    ShowPrintPreview(grid);
}

QString AskSaveFileName(QFileDialog &dialog)
{
    dialog.setWindowTitle(QStringLiteral("Save As"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(
        {QStringLiteral("Text Files (*.txt)"), QStringLiteral("All Files (*.*)")});
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    // An existing file is replaced only after the user said so.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setOption(QFileDialog::ReadOnly, false);
    dialog.selectFile(QString());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

void SaveGridAsText(QFileDialog &dialog, const ReportGrid &grid, const QString &title,
                    bool includeHeader, bool selectedOnly)
{
    const QString fileName = AskSaveFileName(dialog);
    if (!fileName.isEmpty())
        WriteGridText(fileName, grid, title, includeHeader, selectedOnly);
}

namespace {

// Tab-joins texts: a tab goes before a text only when the line holds something already.
QString joinLine(const QStringList &texts)
{
    QString line;
    for (const QString &text : texts) {
        if (!line.isEmpty())
            line += QLatin1Char('\t');
        line += text;
    }
    return line;
}

QString recordLine(const ReportRecord *record, const std::vector<const ReportColumn *> &columns)
{
    QStringList texts;
    for (const ReportColumn *c : columns) {
        const ReportItem *item = record->item(c->itemIndex);
        texts << (item ? item->plainText() : QString());
    }
    return joinLine(texts);
}

} // namespace

QStringList GridTextLines(const ReportGrid &grid, const QString &title, bool includeHeader,
                          bool selectedOnly)
{
    const ReportModel *model = grid.model();
    std::vector<const ReportColumn *> columns;
    for (const ReportColumn &c : model->columns()) {
        if (c.visible)
            columns.push_back(&c);
    }
    QStringList lines;
    const auto add = [&lines](const QString &line) {
        if (!line.isEmpty())
            lines << line;
    };
    add(title);
    if (includeHeader) {
        QStringList captions;
        for (const ReportColumn *c : columns)
            captions << c->caption;
        add(joinLine(captions));
    }
    if (selectedOnly) {
        for (const ReportRow &row : grid.SelectedRows()) {
            if (row.record && !row.groupRow)
                add(recordLine(row.record, columns));
        }
    } else {
        for (int i = 0; i < model->recordCount(); ++i)
            add(recordLine(model->record(i), columns));
    }
    return lines;
}

bool WriteGridText(const QString &fileName, const ReportGrid &grid, const QString &title,
                   bool includeHeader, bool selectedOnly)
{
    QString text;
    for (const QString &line : GridTextLines(grid, title, includeHeader, selectedOnly))
        text += line + QLatin1String("\r\n");
    QStringEncoder encoder(QStringEncoder::System);
    const QByteArray bytes = encoder.encode(text);

    // Written beside the target and renamed over it at the end, so that a failure never
    // leaves half a list in place of a good file.
    QSaveFile file(fileName);
    // A short write (a full disk, a size limit) can pass Qt's own checks, so the size on disk
    // is compared before the file takes the old one's place.
    const bool written = !encoder.hasError() && file.open(QIODevice::WriteOnly) &&
                         file.write(bytes) == bytes.size() && file.flush() &&
                         file.size() == bytes.size() && file.commit();
    if (!written) {
        file.cancelWriting();
        QMessageBox::critical(grid.window(), QGuiApplication::applicationDisplayName(),
                              QString::fromLatin1(WriteFailedMessage));
    }
    return written;
}

} // namespace zeltpc5
