#include "support/scriptedobject.h"

namespace zeltpc5::testing {

QString ArgText(const Variant &v)
{
    if (TypeOf(v) == VariantType::Object) {
        const auto p = v.value<DispatchPtr>();
        return p ? p->TypeName() : QStringLiteral("Nothing");
    }
    return ToText(v).value_or(QStringLiteral("?"));
}

Ref<ScriptedObject> ScriptedObject::create(const QString &typeName)
{
    return Ref<ScriptedObject>(new ScriptedObject(typeName));
}

ScriptedObject::ScriptedObject(const QString &typeName) : DispatchObject(typeName, nullptr)
{
    setTable(&m_table);
}

void ScriptedObject::record(const QString &member, const VariantList &args, bool put)
{
    QStringList parts;
    for (const auto &a : args)
        parts << ArgText(a);
    m_calls << (put ? member + QStringLiteral("=") + parts.join(QStringLiteral(", "))
                    : member + QStringLiteral("(") + parts.join(QStringLiteral(", ")) +
                          QStringLiteral(")"));
}

MemberTable::Handler ScriptedObject::wrap(const QString &member, Handler h)
{
    return [this, member, h](Dispatch &, VariantList &args, Variant &result) {
        record(member, args, false);
        result = h(args);
        return Status();
    };
}

ScriptedObject &ScriptedObject::set(const QString &member, const Variant &value)
{
    m_values[member] = value;
    return on(member, [this, member](VariantList &) { return m_values[member]; });
}

ScriptedObject &ScriptedObject::on(const QString &member, Handler handler)
{
    const DispId id = m_table.idOf(member).value_or(m_nextId++);
    m_table.method(member, id, 0, 16, wrap(member, std::move(handler)));
    return *this;
}

ScriptedObject &ScriptedObject::settable(const QString &member, const Variant &initial)
{
    m_values[member] = initial;
    const DispId id = m_table.idOf(member).value_or(m_nextId++);
    m_table.property(member, id,
                     wrap(member, [this, member](VariantList &) { return m_values[member]; }),
                     [this, member](Dispatch &, VariantList &args, Variant &) {
                         record(member, args, true);
                         m_values[member] = args.constLast();
                         return Status();
                     });
    return *this;
}

Ref<ScriptedObject> ScriptedObject::child(const QString &member, const QString &typeName)
{
    auto c = create(typeName);
    set(member, MakeObject(c));
    return c;
}

Variant ScriptedObject::value(const QString &member) const
{
    const auto it = m_values.find(member);
    return it == m_values.end() ? Variant() : it->second;
}

} // namespace zeltpc5::testing
