// Record sets as the host hands them to the component: one element per row under a root
// ("Records/Record" for ExecuteRead, "Results/Record" for ExecuteSelect), one child element
// per column named after it. A NULL column is an empty element with null="true"; dates are
// written 2024-01-31T00:00:00; numbers in the user's regional form; line breaks inside
// values as the literal texts "&#13;" and "&#10;", the documents' own convention.
#pragma once

#include "host/database/database.h"

#include <zeltpc5/variant.h>

#include <QString>

#include <optional>

namespace zeltpc5::host {

class StrictXmlDocument;

QString RecordSetXml(const ResultSet &rs, const QString &rootName);

// A column value as the boundary carries it (numbers as numbers, dates and text as text).
Variant FromSqlValue(const QVariant &value);

// The text of a record's field; nothing when the record has no such field, the field is
// NULL or the text does not parse. The exact name is preferred; otherwise the first field
// whose name matches ignoring case.
std::optional<QString> RecordField(const QString &recordXml, const QString &field);
// The same for a record already read whole (with its blank text kept), which then needs no
// second read.
std::optional<QString> RecordField(const StrictXmlDocument &record, const QString &field);
// The same for a record passed as a DOM node object: read from its "xml" when it offers one;
// else the field is found with the node's selectSingleNode, by its exact name only.
std::optional<QString> RecordField(const DispatchPtr &record, const QString &field);
// The same for the first record of a record set (a record itself is accepted too).
std::optional<QString> FirstRecordField(const QString &recordSetXml, const QString &field);

} // namespace zeltpc5::host
