// What the item review results window shows: every product line with its review results,
// and a summary of the reviewed lines (counts, unique products and vendors, patterns and
// colours, the range of widths and heights). Plain C++: the window only shows it.
#pragma once

#include "engine/hostservices.h"
#include "engine/linestore.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <vector>

namespace zeltpc5 {

struct ReviewResultsSource
{
    const LineStore *lines = nullptr;
    HostServices host;
};

struct ReviewItemRow
{
    static constexpr int Unaffected = 0; // no review result
    static constexpr int HasResults = 100;

    int icon = Unaffected;
    qint32 line = 0;
    qint32 quantity = 0;
    QString details; // "product / style", or "Service item"
    float price = 0;
    QString priceText;
    QStringList results; // markup texts, one child row each
};

struct ReviewSummaryRow
{
    int groupNumber = 0; // the group's sort priority
    QString group;
    QString heading;
    QString value;

    friend bool operator==(const ReviewSummaryRow &, const ReviewSummaryRow &) = default;
};

// The summary's groups, in their sort order.
inline constexpr const char *SummaryGroups[] = {"Summary", "Products", "Product Items",
                                                "Dimensions"};

class ItemReviewResultsModel
{
public:
    // Reads every line: product lines (product ID 1 or more) become item rows; every line
    // counts in the summary.
    void Fill(const ReviewResultsSource &source, const QLocale &locale = QLocale());

    const std::vector<ReviewItemRow> &rows() const { return m_rows; }
    const std::vector<ReviewSummaryRow> &summary() const { return m_summary; }
    // True when some product line has a review result: the window then hides the others.
    bool anyResults() const { return m_anyResults; }

    static bool IsProductLine(const LineRecord &line) { return line.OriginalProductID >= 1; }
    static bool IsShown(const ReviewItemRow &row, bool showUnaffected)
    {
        return row.icon != ReviewItemRow::Unaffected || showUnaffected;
    }

private:
    std::vector<ReviewItemRow> m_rows;
    std::vector<ReviewSummaryRow> m_summary;
    bool m_anyResults = false;
};

} // namespace zeltpc5
