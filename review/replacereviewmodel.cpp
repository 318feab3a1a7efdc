#include "review/replacereviewmodel.h"

#include "common/conversions.h"
#include "common/stringlist.h"
#include "pricing/pricecostfields.h"
#include "ui/markuptext.h"
#include "xml/texttemplate.h"
#include "xml/xmlaccess.h"

#include <QHash>

namespace zeltpc5 {

QString ReviewPriceText(float price)
{
    return FormatCurrency(Currency::fromDouble(price).value_or(Currency()));
}

void ReplaceReviewModel::Fill(const ReplaceReviewSource &source)
{
    m_rows.clear();
    m_hasErrors = false;
    if (!source.lines)
        return;
    const LineStore &lines = *source.lines;
    const int count = lines.CountLines();
    m_rows.reserve(size_t(count));
    const QString detailsTemplate = QStringLiteral("{0} / {1}");
    // A bulk change touches few products: ask the host once per product.
    QHash<qint32, QString> productNames;
    for (int i = 0; i < count; ++i) {
        const LineRecord &line = *lines.record(i);
        ReplaceReviewRow row;
        const int changeCount = StringListCount(line.Changes);
        const bool selected = source.lineWasSelected && source.lineWasSelected(line.UniqueID);
        if (selected) {
            row.icon = changeCount > 0 ? ReplaceReviewRow::Changed : ReplaceReviewRow::Unchanged;
        }
        row.line = line.Line;
        row.quantity = line.Quantity;
        auto name = productNames.constFind(line.NewProductID);
        if (name == productNames.cend())
            name = productNames.insert(line.NewProductID,
                                       source.host.GetProductNameFromID(line.NewProductID));
        row.details = FormatTemplate(detailsTemplate, {*name, line.NewStyle});
        row.oldPrice = ReadUnitPrice(line.OriginalPriceCostXML);
        row.oldPriceText = ReviewPriceText(row.oldPrice);
        row.newPrice = ReadUnitPrice(line.NewPriceCostXML);
        row.newPriceText = ReviewPriceText(row.newPrice);
        row.newPriceDiffers = row.newPrice != row.oldPrice;
        for (int j = 0; j < changeCount; ++j) {
            const QString &change = line.Changes[j];
            row.changes << change;
            // Removing tags only takes text away, so without a colon there is no "Error:".
            if (!m_hasErrors && change.contains(QLatin1Char(':')) &&
                RemoveMarkupTags(change).contains(QLatin1String("Error:")))
                m_hasErrors = true;
        }
        m_rows.push_back(std::move(row));
    }
}

void ReplaceReviewModel::ShowMessages(const HostServices &host) const
{
    host.ShowMessageStyle1WithMemory(
        QStringLiteral("Notice"),
        QStringLiteral(
            "Clicking OK will apply all of the indicated changes to the quote,sale or order."));
    if (m_hasErrors) {
        host.ShowMessageStyle1(
            QStringLiteral("One or more of these items have errors."),
            QStringLiteral("Review the details for each of the items you selected to find the "
                           "cause of the problem."));
    }
}

} // namespace zeltpc5
