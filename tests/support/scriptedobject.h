// A dispatch object for tests whose members are scripted per test: a property value, or a
// handler for a method. Every call is recorded as "Member(arg, arg)" for assertions.
#pragma once

#include <zeltpc5/dispatch.h>

#include <QStringList>

#include <functional>
#include <map>

namespace zeltpc5::testing {

class ScriptedObject : public DispatchObject
{
public:
    using Handler = std::function<Variant(VariantList &args)>;

    static Ref<ScriptedObject> create(const QString &typeName);

    // A member answering every call with the value (property read or method).
    ScriptedObject &set(const QString &member, const Variant &value);
    // A member answering through a handler, which may write into its arguments.
    ScriptedObject &on(const QString &member, Handler handler);
    // A property that also takes puts; the put value becomes the new answer.
    ScriptedObject &settable(const QString &member, const Variant &initial = Variant());
    // A child object reached as a property.
    Ref<ScriptedObject> child(const QString &member, const QString &typeName);

    const QStringList &calls() const { return m_calls; }
    void clearCalls() { m_calls.clear(); }
    Variant value(const QString &member) const;

private:
    explicit ScriptedObject(const QString &typeName);
    void record(const QString &member, const VariantList &args, bool put);
    MemberTable::Handler wrap(const QString &member, Handler h);

    MemberTable m_table;
    std::map<QString, Variant> m_values;
    QStringList m_calls;
    DispId m_nextId = 1;
};

// Argument text for call records: strings as they are, objects as their type name.
QString ArgText(const Variant &v);

} // namespace zeltpc5::testing
