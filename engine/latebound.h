// Error-suppressed late-bound calls for the typed adapters: a missing member, a failing
// call or a value that does not convert reads as empty text, zero, false or nothing.
#pragma once

#include <zeltpc5/dispatch.h>

#include <initializer_list>
#include <optional>

namespace zeltpc5::latebound {

// Follows a chain of property reads ("Common", "Security", ...); nothing if a link fails.
DispatchPtr Walk(const DispatchPtr &root, std::initializer_list<QStringView> path);
// Calls a member (method or property read) and gives its result; nothing when there is no
// object or the call fails, so a caller can tell a failure from an empty answer.
std::optional<Variant> TryCall(const DispatchPtr &object, QStringView member,
                               VariantList args = {});
// Calls a member (method or property read) and gives its result, or empty on failure.
Variant CallQuietly(const DispatchPtr &object, QStringView member, VariantList &args);
Variant CallQuietly(const DispatchPtr &object, QStringView member, VariantList &&args = {});
// Puts a property; failures are ignored.
void PutQuietly(const DispatchPtr &object, QStringView member, const Variant &value);

QString Text(const Variant &v);
qint32 Int32(const Variant &v);
double Real(const Variant &v);
bool Boolean(const Variant &v);
DispatchPtr Object(const Variant &v);
// A document coming back from a host call: either its XML text, or an object whose
// "xml" property gives the text.
QString XmlText(const Variant &v);

} // namespace zeltpc5::latebound
