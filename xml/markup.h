// The TextBlock markup that every change text, review result and grid cell is written in.
// Attribute values are written between apostrophes.
#pragma once

#include <QLatin1StringView>
#include <QList>
#include <QString>

namespace zeltpc5::Markup {

inline constexpr QLatin1StringView LineBreak{"<LineBreak/>"};

// Attribute names of TextBlock.
inline constexpr QLatin1StringView Foreground{"Foreground"};
inline constexpr QLatin1StringView Background{"Background"};
inline constexpr QLatin1StringView TextAlignment{"TextAlignment"};
inline constexpr QLatin1StringView TextWrapping{"TextWrapping"};
inline constexpr QLatin1StringView FontSize{"FontSize"};

// Attribute values in use.
inline constexpr QLatin1StringView Red{"Red"};   // errors and failed changes
inline constexpr QLatin1StringView Blue{"Blue"}; // notices
inline constexpr QLatin1StringView Black{"Black"};
inline constexpr QLatin1StringView Yellow{"Yellow"};
inline constexpr QLatin1StringView Green{"#008000"};
inline constexpr QLatin1StringView Center{"Center"};
inline constexpr QLatin1StringView Wrap{"Wrap"};

struct Attribute
{
    QString name;
    QString value;
};

// "<TextBlock>" or "<TextBlock Name='value' ...>" with the attributes in the order given.
QString TextBlockOpen(const QList<Attribute> &attributes = {});
inline constexpr QLatin1StringView TextBlockClose{"</TextBlock>"};
// Content is inserted as it is: escape user text with EscapeMarkup first.
QString TextBlock(const QString &content, const QList<Attribute> &attributes = {});
QString Bold(const QString &content);
QString Underline(const QString &content);

} // namespace zeltpc5::Markup
