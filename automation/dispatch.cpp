#include <zeltpc5/dispatch.h>

namespace zeltpc5 {

Dispatch::~Dispatch() = default;

MemberTable::Member &MemberTable::add(const QString &name, DispId id)
{
    for (auto &m : m_members) {
        if (m.id == id || m.name.compare(name, Qt::CaseInsensitive) == 0) {
            m.name = name;
            m.id = id;
            return m;
        }
    }
    m_members.push_back(Member{name, id, 0, 0, {}, {}, {}});
    return m_members.back();
}

MemberTable &MemberTable::method(const QString &name, DispId id, int minArgs, int maxArgs,
                                 Handler h)
{
    auto &m = add(name, id);
    m.minArgs = minArgs;
    m.maxArgs = maxArgs;
    m.method = std::move(h);
    return *this;
}

MemberTable &MemberTable::property(const QString &name, DispId id, Handler get, Handler put,
                                   int argCount)
{
    auto &m = add(name, id);
    m.minArgs = argCount;
    m.maxArgs = argCount;
    m.get = std::move(get);
    m.put = std::move(put);
    return *this;
}

std::optional<DispId> MemberTable::idOf(QStringView name) const
{
    for (const auto &m : m_members) {
        if (name.compare(m.name, Qt::CaseInsensitive) == 0)
            return m.id;
    }
    return std::nullopt;
}

const MemberTable::Member *MemberTable::find(DispId id) const
{
    for (const auto &m : m_members) {
        if (m.id == id)
            return &m;
    }
    return nullptr;
}

Status MemberTable::invoke(Dispatch &self, DispId id, InvokeKind kind, VariantList &args,
                           Variant &result) const
{
    const Member *m = find(id);
    if (!m)
        return Status::error(Error::MemberNotFound);

    const int argc = int(args.size());
    if (kind == InvokeKind::PropertyPut) {
        if (!m->put || argc != m->minArgs + 1)
            return Status::error(Error::WrongArgumentCount);
        return m->put(self, args, result);
    }
    // A late-bound reader may call a property like a method and read a method like a
    // property; both are honoured, as automation clients expect.
    const Handler &h = m->method ? m->method : m->get;
    if (!h)
        return Status::error(Error::MemberNotFound);
    if (argc < m->minArgs || argc > m->maxArgs)
        return Status::error(Error::WrongArgumentCount);
    return h(self, args, result);
}

DispatchObject::DispatchObject(QString typeName, const MemberTable *table)
    : m_typeName(std::move(typeName)), m_table(table)
{}

std::optional<DispId> DispatchObject::GetIDOfName(QStringView name) const
{
    return m_table ? m_table->idOf(name) : std::nullopt;
}

Status DispatchObject::Invoke(DispId id, InvokeKind kind, VariantList &args, Variant &result)
{
    if (!m_table)
        return Status::error(Error::MemberNotFound);
    // The handler may release the last outside reference (a PreTerminate that lets go of
    // the caller's owner, say); hold the object until the call is over.
    Ref<DispatchObject> keep(this);
    return m_table->invoke(*this, id, kind, args, result);
}

namespace {

InvokeKind kindOf(CallType type)
{
    switch (type) {
    case CallType::Method:
        return InvokeKind::MethodOrGet;
    case CallType::Get:
        return InvokeKind::PropertyGet;
    case CallType::Let:
        return InvokeKind::PropertyPut;
    }
    return InvokeKind::MethodOrGet;
}

} // namespace

Status CallById(const DispatchPtr &object, DispId id, CallType type, VariantList &args,
                Variant *result)
{
    if (!object)
        return Status::error(Error::ObjectNotSet);
    Variant scratch;
    Variant &out = result ? *result : scratch;
    out = Variant();
    return object->Invoke(id, kindOf(type), args, out);
}

Status CallByName(const DispatchPtr &object, QStringView member, CallType type, VariantList &args,
                  Variant *result)
{
    if (!object)
        return Status::error(Error::ObjectNotSet);
    const auto id = object->GetIDOfName(member);
    if (!id) {
        return Status::error(Error::MemberNotFound,
                             QStringLiteral("Object doesn't support this property or method: %1.%2")
                                 .arg(object->TypeName(), member.toString()));
    }
    return CallById(object, *id, type, args, result);
}

CallResult Call(const DispatchPtr &object, QStringView member, VariantList args)
{
    CallResult r;
    r.status = CallByName(object, member, CallType::Method, args, &r.value);
    return r;
}

CallResult Get(const DispatchPtr &object, QStringView member, VariantList args)
{
    CallResult r;
    r.status = CallByName(object, member, CallType::Get, args, &r.value);
    return r;
}

Status Put(const DispatchPtr &object, QStringView member, const Variant &value, VariantList args)
{
    args.append(value);
    return CallByName(object, member, CallType::Let, args);
}

template <class T, class F>
T ArgReader::read(int i, F convert)
{
    if (!m_status.ok() || i < 0 || i >= m_args.size())
        return T{};
    Status error;
    auto v = convert(m_args.at(i), &error);
    if (!v) {
        m_status = error;
        return T{};
    }
    return *v;
}

qint16 ArgReader::int16(int i)
{
    return read<qint16>(i, [](const Variant &v, Status *e) { return ToInt16(v, e); });
}

qint32 ArgReader::int32(int i)
{
    return read<qint32>(i, [](const Variant &v, Status *e) { return ToInt32(v, e); });
}

float ArgReader::single(int i)
{
    return read<float>(i, [](const Variant &v, Status *e) { return ToSingle(v, e); });
}

double ArgReader::real(int i)
{
    return read<double>(i, [](const Variant &v, Status *e) { return ToDouble(v, e); });
}

bool ArgReader::boolean(int i)
{
    return read<bool>(i, [](const Variant &v, Status *e) { return ToBool(v, e); });
}

QString ArgReader::text(int i)
{
    return read<QString>(i, [](const Variant &v, Status *e) { return ToText(v, e); });
}

DispatchPtr ArgReader::object(int i)
{
    return read<DispatchPtr>(i, [](const Variant &v, Status *e) { return ToObject(v, e); });
}

Variant ArgReader::value(int i) const
{
    return (i >= 0 && i < m_args.size()) ? m_args.at(i) : Variant();
}

} // namespace zeltpc5
