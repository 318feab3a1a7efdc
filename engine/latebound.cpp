#include "engine/latebound.h"

namespace zeltpc5::latebound {

DispatchPtr Walk(const DispatchPtr &root, std::initializer_list<QStringView> path)
{
    DispatchPtr current = root;
    for (QStringView member : path) {
        if (!current)
            return {};
        current = Object(zeltpc5::Get(current, member).value);
    }
    return current;
}

std::optional<Variant> TryCall(const DispatchPtr &object, QStringView member, VariantList args)
{
    Variant result;
    if (!object || !CallByName(object, member, CallType::Method, args, &result))
        return std::nullopt;
    return result;
}

Variant CallQuietly(const DispatchPtr &object, QStringView member, VariantList &args)
{
    Variant result;
    if (!CallByName(object, member, CallType::Method, args, &result))
        return Variant();
    return result;
}

Variant CallQuietly(const DispatchPtr &object, QStringView member, VariantList &&args)
{
    VariantList a = std::move(args);
    return CallQuietly(object, member, a);
}

void PutQuietly(const DispatchPtr &object, QStringView member, const Variant &value)
{
    zeltpc5::Put(object, member, value);
}

QString Text(const Variant &v)
{
    return ToText(v).value_or(QString());
}

qint32 Int32(const Variant &v)
{
    return ToInt32(v).value_or(0);
}

double Real(const Variant &v)
{
    return ToDouble(v).value_or(0.0);
}

bool Boolean(const Variant &v)
{
    return ToBool(v).value_or(false);
}

DispatchPtr Object(const Variant &v)
{
    return ToObject(v).value_or(DispatchPtr());
}

QString XmlText(const Variant &v)
{
    if (TypeOf(v) == VariantType::Object)
        return Text(zeltpc5::Get(Object(v), u"xml").value);
    return Text(v);
}

} // namespace zeltpc5::latebound
