// The item review: checks the selected quote lines for problems a salesperson should fix
// before the quote goes out, and appends one markup text per problem to the line's changes.
#pragma once

#include "common/progress.h"
#include "engine/linestore.h"

#include <QString>
#include <QStringList>

#include <functional>

namespace zeltpc5 {

// The values one option (Mount, Pattern, Color) has across all lines of the engine.
struct OptionValueSummary
{
    QString optionName;
    QStringList AllValues;      // every line's value in line order (empty-last-element rule)
    QStringList DistinctValues; // each value once, in order of first appearance
    QString OddValue;           // the value only one line has, when exactly two values exist
};

// What the review reads of one line's item, taken from the document in one pass.
struct ReviewedItem
{
    struct Option
    {
        QString name;
        QString value;
        qint16 visible = 0;
    };
    struct Message
    {
        QString text;
        qint16 type = 0;
    };
    bool loaded = false; // false when the item text does not parse
    QList<Option> options;
    QList<Message> messages;
};

ReviewedItem ReadReviewedItem(const QString &itemXml);

// How many entries of the list equal the value, ignoring case.
int CountValueMatches(const QString &value, const QStringList &list);

// The summaries of the named options over the items of every line added, selected or not.
QList<OptionValueSummary> SummarizeOptionValues(const QList<ReviewedItem> &items,
                                                const QStringList &optionNames);

// Appends the review results of one line, in the order the checks run.
void ReviewLine(LineStore &lines, int index, const ReviewedItem &item,
                const OptionValueSummary &mount, const OptionValueSummary &pattern,
                const OptionValueSummary &color);

// Reviews the lines named by the "|"-separated identifiers, in that order. The progress, when
// given, counts identifiers (empty ones included) and lets window events through between
// them; cancelRequested is read after each identifier.
void ReviewSelectedItems(LineStore &lines, const QString &uniqueIDs, Progress *progress,
                         const std::function<bool()> &cancelRequested);

} // namespace zeltpc5
