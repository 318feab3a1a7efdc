// Templates with numbered placeholders {0} to {16}, shared by messages, explanations and SQL
// texts. Filling never escapes: callers pass user data through EscapeMarkup where the result
// is markup.
#pragma once

#include <QLocale>
#include <QString>
#include <QVariant>

#include <optional>

namespace zeltpc5 {

// The highest placeholder index that is ever filled.
inline constexpr int MaxTemplatePlaceholder = 16;

// Fills {0}, {1}, ... {16} in ascending rounds on the already-filled text, so a value holding
// a higher placeholder is filled by a later round. Placeholders without a value, and values
// that have no text form, stay as written.
QString FormatTemplate(const QString &templateText, const QVariantList &values,
                       const QLocale &locale = QLocale());

// The text form of a template value: texts as they are, numbers and amounts in the standard
// form under the locale, booleans as "True"/"False", an empty value as the empty text.
// Nothing for the null value and for values without a text form.
std::optional<QString> TemplateValueText(const QVariant &value, const QLocale &locale = QLocale());

} // namespace zeltpc5
