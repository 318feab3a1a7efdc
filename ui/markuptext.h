// TextBlock markup as the grids show it: the vocabulary the component writes (TextBlock with
// its Foreground/Background/TextAlignment/TextWrapping/FontSize attributes, Bold, Underline,
// LineBreak) is rendered; anything else in a text is shown as the characters it is.
#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QSize>
#include <QString>

#include <memory>

class QPainter;
class QRect;

namespace zeltpc5 {

// The text with every match of "<[\/\w\s'=]+>" removed; an empty text is returned as it is.
// The plain text used for sorting, saving and for finding "Error:" in change texts.
QString RemoveMarkupTags(const QString &text);

// One run of text with one look. A run with lineBreak set holds no text and ends a line.
struct MarkupRun
{
    QString text;
    bool bold = false;
    bool underline = false;
    QColor color; // invalid: the text colour of the cell
    bool lineBreak = false;

    friend bool operator==(const MarkupRun &, const MarkupRun &) = default;
};

// One text parsed once; painting reuses the parse and the laid-out lines.
class MarkupText
{
public:
    MarkupText();
    explicit MarkupText(const QString &text);
    ~MarkupText();
    MarkupText(const MarkupText &) = delete;
    MarkupText &operator=(const MarkupText &) = delete;

    // True when the text is a TextBlock (after leading blanks); other texts are plain and
    // shown exactly as they stand.
    static bool IsMarkup(const QString &text);

    const QList<MarkupRun> &runs() const;
    QColor background() const;       // TextBlock Background; invalid when none
    Qt::Alignment alignment() const; // TextBlock TextAlignment; 0 when none
    bool wraps() const;
    // The text as a reader sees it: the runs' texts with "\n" for each line break.
    QString shownText() const;
    // Lines as shown: line breaks and line ends in the text start new ones; 0 for an empty text.
    int lineCount() const;

    // Size of the text laid out in the font (no wrapping).
    QSize sizeHint(const QFont &font) const;
    // Paints into the rectangle: runs in their looks, lines top to bottom, each line aligned
    // horizontally by the alignment (the TextBlock's own wins when it has one), the block
    // placed vertically by it. Text that does not fit is elided or clipped, never spills.
    void paint(QPainter *painter, const QRect &rect, const QFont &font, const QColor &textColor,
               Qt::Alignment alignment) const;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace zeltpc5
