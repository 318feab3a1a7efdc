// What every report grid shares: its common look, printing through a print preview, and
// saving its rows as a tab-separated text file that any editor or spreadsheet opens.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QFileDialog;
class QPainter;
class QRect;
class QWidget;

namespace zeltpc5 {

class ReportGrid;

// The message shown when a list could not be saved.
inline constexpr char WriteFailedMessage[] = "Unable to write the file. (1472)";

// Fonts of 10 points, grid lines, no hot-tracking of headers. With the option flag, column
// reordering, cell focus and sorting by header are switched on; without it, cell focus
// (the second of them) is switched off and the grid selects whole rows.
void ApplyStandardGridStyle(ReportGrid &grid, bool option);

// Sets the grid's page header to the title and opens the print preview.
void PrintGrid(const QString &title, ReportGrid &grid);
// Opens the print preview of the grid with its current page header.
void ShowPrintPreview(ReportGrid &grid);
// Paints the grid as printed pages onto the painter's device: the page header on every
// page, the shown columns' captions, then every shown record with its child rows, markup
// rendered. newPage is called between pages. Returns the number of pages.
int PaintGridPages(QPainter &painter, const QRect &page, const ReportGrid &grid,
                   const std::function<void()> &newPage);

// Asks the file dialog for a file to save to ("Save As", text files or all files, asking
// before an existing file is replaced); the empty text when the user cancels.
QString AskSaveFileName(QFileDialog &dialog);
// Asks for a file name and, unless the user cancels, writes the grid's text into it.
void SaveGridAsText(QFileDialog &dialog, const ReportGrid &grid, const QString &title,
                    bool includeHeader, bool selectedOnly);
// Writes the grid's text (lines ending in CR LF, the system's 8-bit encoding, no byte-order
// mark). The file is replaced only when everything was written; otherwise the critical
// message "Unable to write the file. (1472)" is shown, an existing file stays as it was, and
// the result is false.
bool WriteGridText(const QString &fileName, const ReportGrid &grid, const QString &title,
                   bool includeHeader, bool selectedOnly);
// The lines of that text: the title (when not empty), the shown columns' captions (when
// asked), then one line per record: every top-level record, hidden ones too, or with
// selectedOnly the selected rows' records in selection order (group rows skipped). Texts
// are joined by tabs, a tab going before a text only when the line is not empty so far;
// lines that come out empty are left out.
QStringList GridTextLines(const ReportGrid &grid, const QString &title, bool includeHeader,
                          bool selectedOnly);

} // namespace zeltpc5
