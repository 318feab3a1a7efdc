#include "ui/markuptext.h"

#include <QFontMetrics>
#include <QPainter>
#include <QRegularExpression>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

namespace zeltpc5 {

QString RemoveMarkupTags(const QString &text)
{
    if (text.isEmpty())
        return text;
    static const QRegularExpression tag(QStringLiteral(R"(<[\/\w\s'=]+>)"));
    QString plain = text;
    plain.remove(tag);
    return plain;
}

namespace {

// A line ends at CR LF, LF or a lone CR, as a reader of the text would expect.
bool isNewline(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r');
}

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') ||
           c == QLatin1Char('.') || c == QLatin1Char(':');
}

// Only what the component's own escaping writes; anything else after '&' stays as it is.
std::optional<std::pair<QChar, qsizetype>> entityAt(QStringView text, qsizetype at)
{
    static const struct
    {
        QLatin1StringView name;
        QChar character;
    } entities[] = {{QLatin1StringView("&amp;"), QLatin1Char('&')},
                    {QLatin1StringView("&lt;"), QLatin1Char('<')},
                    {QLatin1StringView("&gt;"), QLatin1Char('>')},
                    {QLatin1StringView("&apos;"), QLatin1Char('\'')},
                    {QLatin1StringView("&quot;"), QLatin1Char('"')}};
    const QStringView rest = text.mid(at);
    for (const auto &entity : entities) {
        if (rest.startsWith(entity.name))
            return std::make_pair(entity.character, entity.name.size());
    }
    return std::nullopt;
}

QString decodeEntities(QStringView text)
{
    QString decoded;
    decoded.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == QLatin1Char('&')) {
            if (const auto entity = entityAt(text, i)) {
                decoded.append(entity->first);
                i += entity->second;
                continue;
            }
        }
        decoded.append(text[i]);
        ++i;
    }
    return decoded;
}

struct Tag
{
    QString name;
    QList<std::pair<QString, QString>> attributes;
    bool closing = false;
    bool selfClosing = false;
    qsizetype end = 0; // one past '>'

    QString attribute(QLatin1StringView attributeName) const
    {
        for (const auto &[n, v] : attributes) {
            if (n == attributeName)
                return v;
        }
        return {};
    }
};

// A tag in the shape the component writes: <Name>, <Name a='v' b="w">, <Name/>, </Name>.
// Anything else is not a tag and is shown as the characters it is.
std::optional<Tag> tagAt(QStringView text, qsizetype at)
{
    const qsizetype n = text.size();
    qsizetype i = at + 1;
    auto skipSpace = [&] {
        while (i < n && text[i].isSpace())
            ++i;
    };
    auto readName = [&] {
        const qsizetype start = i;
        while (i < n && isNameChar(text[i]))
            ++i;
        return text.mid(start, i - start).toString();
    };

    Tag tag;
    if (i < n && text[i] == QLatin1Char('/')) {
        tag.closing = true;
        ++i;
    }
    tag.name = readName();
    if (tag.name.isEmpty() || !tag.name.front().isLetter())
        return std::nullopt;
    if (tag.closing) {
        skipSpace();
        if (i >= n || text[i] != QLatin1Char('>'))
            return std::nullopt;
        tag.end = i + 1;
        return tag;
    }
    for (;;) {
        skipSpace();
        if (i >= n)
            return std::nullopt;
        if (text[i] == QLatin1Char('>')) {
            tag.end = i + 1;
            return tag;
        }
        if (text[i] == QLatin1Char('/')) {
            if (i + 1 < n && text[i + 1] == QLatin1Char('>')) {
                tag.selfClosing = true;
                tag.end = i + 2;
                return tag;
            }
            return std::nullopt;
        }
        const QString name = readName();
        if (name.isEmpty())
            return std::nullopt;
        skipSpace();
        if (i >= n || text[i] != QLatin1Char('='))
            return std::nullopt;
        ++i;
        skipSpace();
        if (i >= n || (text[i] != QLatin1Char('\'') && text[i] != QLatin1Char('"')))
            return std::nullopt;
        const QChar quote = text[i++];
        const qsizetype start = i;
        while (i < n && text[i] != quote && text[i] != QLatin1Char('<'))
            ++i;
        if (i >= n || text[i] != quote)
            return std::nullopt;
        tag.attributes.append({name, decodeEntities(text.mid(start, i - start))});
        ++i;
    }
}

QColor parseColor(const QString &value)
{
    if (value.isEmpty())
        return {};
    return QColor::fromString(value.trimmed()); // invalid for a name QColor does not know
}

Qt::Alignment parseAlignment(const QString &value)
{
    const QString v = value.trimmed();
    if (v.compare(QLatin1StringView("Center"), Qt::CaseInsensitive) == 0)
        return Qt::AlignHCenter;
    if (v.compare(QLatin1StringView("Left"), Qt::CaseInsensitive) == 0)
        return Qt::AlignLeft;
    if (v.compare(QLatin1StringView("Right"), Qt::CaseInsensitive) == 0)
        return Qt::AlignRight;
    if (v.compare(QLatin1StringView("Justify"), Qt::CaseInsensitive) == 0)
        return Qt::AlignJustify;
    return {};
}

bool parseWrapping(const QString &value)
{
    const QString v = value.trimmed();
    return v.compare(QLatin1StringView("Wrap"), Qt::CaseInsensitive) == 0 ||
           v.compare(QLatin1StringView("WrapWithOverflow"), Qt::CaseInsensitive) == 0;
}

enum class Element { TextBlock, Bold, Underline, LineBreak };

std::optional<Element> elementNamed(const QString &name)
{
    if (name == QLatin1StringView("TextBlock"))
        return Element::TextBlock;
    if (name == QLatin1StringView("Bold"))
        return Element::Bold;
    if (name == QLatin1StringView("Underline"))
        return Element::Underline;
    if (name == QLatin1StringView("LineBreak"))
        return Element::LineBreak;
    return std::nullopt;
}

// The text of one shown line and the looks of its parts, ready for a QTextLayout.
struct LineSource
{
    QString text;
    QList<QTextLayout::FormatRange> formats;
};

} // namespace

struct MarkupText::Private
{
    QList<MarkupRun> runs;
    QColor background;
    Qt::Alignment alignment;
    bool wraps = false;
    qreal fontSize = 0; // points; 0 keeps the cell's font size
    std::vector<LineSource> lines;

    // Laid out for the last font (and width, when wrapping); painting only draws these.
    struct Layout
    {
        bool valid = false;
        QFont font; // as given, before FontSize
        int lineHeight = 0;
        qreal widest = 0;
        int wrapWidth = -1; // -1: laid out without wrapping
        int visualLines = 0;
        std::vector<std::unique_ptr<QTextLayout>> layouts;
    };
    Layout layout;

    void appendText(QStringView text, const MarkupRun &look);
    void appendBreak();
    void parseMarkup(const QString &text);
    void buildLines();

    void ensureLaidOut(const QFont &font);
    void ensureWrapWidth(int width);
};

void MarkupText::Private::appendText(QStringView text, const MarkupRun &look)
{
    if (text.isEmpty())
        return;
    if (!runs.isEmpty()) {
        MarkupRun &last = runs.last();
        if (!last.lineBreak && last.bold == look.bold && last.underline == look.underline &&
            last.color == look.color) {
            last.text.append(text);
            return;
        }
    }
    MarkupRun run = look;
    run.text = text.toString();
    run.lineBreak = false;
    runs.append(run);
}

void MarkupText::Private::appendBreak()
{
    MarkupRun run;
    run.lineBreak = true;
    runs.append(run);
}

void MarkupText::Private::parseMarkup(const QString &source)
{
    const QStringView text(source);
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    const qsizetype outerAt = i;

    struct Open
    {
        Element element;
        QColor color;
        bool outer = false;
    };
    std::vector<Open> open;

    auto look = [&] {
        MarkupRun run;
        for (const Open &o : open) {
            run.bold = run.bold || o.element == Element::Bold;
            run.underline = run.underline || o.element == Element::Underline;
            if (o.element == Element::TextBlock && o.color.isValid())
                run.color = o.color;
        }
        return run;
    };
    auto literalTail = [&](qsizetype from) {
        // After the outer block the rest is shown as it stands, unless it is only blanks.
        const QStringView tail = text.mid(from);
        if (!tail.trimmed().isEmpty())
            appendText(tail, MarkupRun());
    };

    const qsizetype n = text.size();
    while (i < n) {
        const QChar c = text[i];
        if (c == QLatin1Char('&')) {
            if (const auto entity = entityAt(text, i)) {
                appendText(QStringView(&entity->first, 1), look());
                i += entity->second;
                continue;
            }
        }
        if (c != QLatin1Char('<')) {
            qsizetype end = i + 1;
            while (end < n && text[end] != QLatin1Char('<') && text[end] != QLatin1Char('&'))
                ++end;
            appendText(text.mid(i, end - i), look());
            i = end;
            continue;
        }

        const std::optional<Tag> tag = tagAt(text, i);
        if (!tag) {
            appendText(text.mid(i, 1), look());
            ++i;
            continue;
        }
        const std::optional<Element> element = elementNamed(tag->name);
        const QStringView raw = text.mid(i, tag->end - i);
        if (!element) {
            appendText(raw, look());
            i = tag->end;
            continue;
        }

        if (tag->closing) {
            auto match = std::find_if(open.rbegin(), open.rend(),
                                      [&](const Open &o) { return o.element == *element; });
            if (match == open.rend()) {
                appendText(raw, look());
                i = tag->end;
                continue;
            }
            const bool outer = match->outer;
            open.erase(std::next(match).base());
            i = tag->end;
            if (outer) {
                literalTail(i);
                return;
            }
            continue;
        }

        const bool atStart = i == outerAt;
        i = tag->end;
        switch (*element) {
        case Element::LineBreak:
            appendBreak();
            if (!tag->selfClosing)
                open.push_back({Element::LineBreak, {}});
            break;
        case Element::Bold:
        case Element::Underline:
            if (!tag->selfClosing)
                open.push_back({*element, {}});
            break;
        case Element::TextBlock: {
            // Only the TextBlock the text opens with is the block; later ones colour spans.
            const bool outer = atStart;
            const QColor color = parseColor(tag->attribute(QLatin1StringView("Foreground")));
            if (outer) {
                background = parseColor(tag->attribute(QLatin1StringView("Background")));
                alignment = parseAlignment(tag->attribute(QLatin1StringView("TextAlignment")));
                wraps = parseWrapping(tag->attribute(QLatin1StringView("TextWrapping")));
                bool ok = false;
                const qreal size = tag->attribute(QLatin1StringView("FontSize")).toDouble(&ok);
                fontSize = ok && size > 0 && size < 1000 ? size : 0;
                if (tag->selfClosing) {
                    literalTail(i);
                    return;
                }
            }
            if (!tag->selfClosing)
                open.push_back({Element::TextBlock, color, outer});
            break;
        }
        }
    }
}

void MarkupText::Private::buildLines()
{
    if (runs.isEmpty())
        return;
    lines.emplace_back();
    for (const MarkupRun &run : runs) {
        if (run.lineBreak) {
            lines.emplace_back();
            continue;
        }
        QTextCharFormat format;
        if (run.bold)
            format.setFontWeight(QFont::Bold);
        if (run.underline)
            format.setFontUnderline(true);
        if (run.color.isValid())
            format.setForeground(run.color);
        const bool styled = run.bold || run.underline || run.color.isValid();

        const QString &t = run.text;
        qsizetype start = 0;
        for (qsizetype k = 0; k <= t.size(); ++k) {
            if (k < t.size() && !isNewline(t[k]))
                continue;
            LineSource &line = lines.back();
            if (styled && k > start)
                line.formats.append({int(line.text.size()), int(k - start), format});
            line.text.append(QStringView(t).mid(start, k - start));
            if (k < t.size()) {
                if (t[k] == QLatin1Char('\r') && k + 1 < t.size() && t[k + 1] == QLatin1Char('\n'))
                    ++k;
                lines.emplace_back();
            }
            start = k + 1;
        }
    }
}

void MarkupText::Private::ensureLaidOut(const QFont &font)
{
    if (layout.valid && layout.font == font)
        return;
    layout = Layout();
    layout.valid = true;
    layout.font = font;
    QFont shown = font;
    if (fontSize > 0)
        shown.setPointSizeF(fontSize);
    layout.lineHeight = QFontMetrics(shown).height();

    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute); // placed per line when painting
    option.setWrapMode(QTextOption::NoWrap);
    layout.layouts.reserve(lines.size());
    for (const LineSource &line : lines) {
        auto textLayout = std::make_unique<QTextLayout>(line.text, shown);
        textLayout->setCacheEnabled(true);
        textLayout->setTextOption(option);
        textLayout->setFormats(line.formats);
        textLayout->beginLayout();
        QTextLine textLine = textLayout->createLine();
        if (textLine.isValid())
            textLine.setLineWidth(1e6);
        textLayout->endLayout();
        layout.widest = std::max(layout.widest, textLayout->maximumWidth());
        layout.layouts.push_back(std::move(textLayout));
    }
    layout.visualLines = int(lines.size());
}

void MarkupText::Private::ensureWrapWidth(int width)
{
    if (layout.wrapWidth == width)
        return;
    layout.wrapWidth = width;
    layout.visualLines = 0;
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const auto &textLayout : layout.layouts) {
        textLayout->setTextOption(option);
        textLayout->beginLayout();
        for (;;) {
            QTextLine textLine = textLayout->createLine();
            if (!textLine.isValid())
                break;
            textLine.setLineWidth(std::max(width, 1));
        }
        textLayout->endLayout();
        layout.visualLines += std::max(textLayout->lineCount(), 1);
    }
}

MarkupText::MarkupText() : d(std::make_unique<Private>()) {}

MarkupText::MarkupText(const QString &text) : d(std::make_unique<Private>())
{
    if (IsMarkup(text))
        d->parseMarkup(text);
    else if (!text.isEmpty())
        d->runs.append(MarkupRun{text, false, false, QColor(), false});
    d->buildLines();
}

MarkupText::~MarkupText() = default;

bool MarkupText::IsMarkup(const QString &text)
{
    static constexpr QLatin1StringView open("<TextBlock");
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    if (!QStringView(text).mid(i).startsWith(open))
        return false;
    i += open.size();
    return i < text.size() &&
           (text[i].isSpace() || text[i] == QLatin1Char('>') || text[i] == QLatin1Char('/'));
}

const QList<MarkupRun> &MarkupText::runs() const
{
    return d->runs;
}

QColor MarkupText::background() const
{
    return d->background;
}

Qt::Alignment MarkupText::alignment() const
{
    return d->alignment;
}

bool MarkupText::wraps() const
{
    return d->wraps;
}

QString MarkupText::shownText() const
{
    QString shown;
    for (const MarkupRun &run : d->runs)
        shown += run.lineBreak ? QStringLiteral("\n") : run.text;
    return shown;
}

int MarkupText::lineCount() const
{
    return int(d->lines.size());
}

QSize MarkupText::sizeHint(const QFont &font) const
{
    if (d->lines.empty())
        return {0, 0};
    d->ensureLaidOut(font);
    return {int(std::ceil(d->layout.widest)), lineCount() * d->layout.lineHeight};
}

void MarkupText::paint(QPainter *painter, const QRect &rect, const QFont &font,
                       const QColor &textColor, Qt::Alignment alignment) const
{
    if (!painter || !rect.isValid())
        return;
    if (d->background.isValid())
        painter->fillRect(rect, d->background);
    if (d->lines.empty())
        return;

    d->ensureLaidOut(font);
    if (d->wraps)
        d->ensureWrapWidth(rect.width());
    const auto &layout = d->layout;

    const Qt::Alignment horizontal =
        (d->alignment ? d->alignment : alignment) & Qt::AlignHorizontal_Mask;
    const int blockHeight = layout.visualLines * layout.lineHeight;
    int y = rect.top();
    // A block taller than the cell starts at the top so its first line stays readable.
    if (blockHeight < rect.height()) {
        if (alignment & Qt::AlignVCenter)
            y += (rect.height() - blockHeight) / 2;
        else if (alignment & Qt::AlignBottom)
            y += rect.height() - blockHeight;
    }

    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    painter->setPen(textColor);
    for (const auto &textLayout : layout.layouts) {
        const int count = textLayout->lineCount();
        for (int k = 0; k < count && y < rect.bottom() + 1; ++k) {
            const QTextLine textLine = textLayout->lineAt(k);
            const qreal width = textLine.naturalTextWidth();
            qreal x = rect.left();
            // A line wider than the cell keeps its start visible whatever the alignment.
            if (width < rect.width()) {
                if (horizontal & Qt::AlignHCenter)
                    x += (rect.width() - width) / 2;
                else if (horizontal & Qt::AlignRight)
                    x += rect.width() - width;
            }
            textLine.draw(painter, QPointF(x - textLine.x(), y - textLine.y()));
            y += layout.lineHeight;
        }
        if (count == 0)
            y += layout.lineHeight;
    }
    painter->restore();
}

} // namespace zeltpc5
