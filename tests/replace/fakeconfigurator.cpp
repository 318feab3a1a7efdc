#include "fakeconfigurator.h"

namespace zeltpc5::testing {

FakeConfigurator::FakeConfigurator()
{
    object = MakeFakeProductEngine();
    object->on(QStringLiteral("UseProductFile"), [this](VariantList &args) {
        const QString file = ToText(args[0]).value_or(QString());
        const bool known = products.contains(file);
        if (known) {
            current = products.value(file);
            values.clear();
        }
        return MakeBool(known);
    });
    object->on(QStringLiteral("SetOptionValue"), [this](VariantList &args) {
        const QString name = ToText(args[0]).value_or(QString());
        const QString value = ToText(args[1]).value_or(QString());
        setCalls << name + QLatin1Char('=') + value;
        for (const FakeOption &o : current) {
            if (o.name == name)
                values[name] = value;
        }
        return Variant();
    });
    object->on(QStringLiteral("ProcessOptions"), [this](VariantList &) {
        process();
        if (onProcess)
            onProcess();
        return Variant();
    });
    object->on(QStringLiteral("GetOptionData"), [this](VariantList &args) -> Variant {
        const QString name = ToText(args[0]).value_or(QString());
        const QString field = ToText(args[1]).value_or(QString());
        for (const FakeOption &o : current) {
            if (o.name == name)
                return field == QLatin1String("Type") ? MakeInt16(qint16(o.type))
                                                      : Variant(values.value(name));
        }
        return Variant();
    });
    object->on(QStringLiteral("GetOptionCount"),
               [this](VariantList &) { return MakeInt32(qint32(current.size())); });
    object->on(QStringLiteral("GetOptionDataEx"), [this](VariantList &args) -> Variant {
        const int i = ToInt32(args[0]).value_or(-1);
        if (i < 0 || i >= current.size())
            return Variant();
        const FakeOption &o = current[i];
        const QString field = ToText(args[1]).value_or(QString());
        if (field == QLatin1String("Name"))
            return o.name;
        if (field == QLatin1String("FormattedValue") || field == QLatin1String("Value"))
            return values.value(o.name);
        if (field == QLatin1String("Type"))
            return MakeInt16(qint16(o.type));
        if (field == QLatin1String("Visible"))
            return MakeBool(true);
        if (field == QLatin1String("Sequence"))
            return MakeInt32(i + 1);
        return Variant();
    });
    object->set(QStringLiteral("ErrorCount"), MakeInt32(0))
        .set(QStringLiteral("NoticeCount"), MakeInt32(0));
    auto price = [this](VariantList &) {
        int total = 100;
        for (const QString &v : values)
            total += surcharges.value(v);
        return MakeCurrency({qint64(total) * 10000});
    };
    object->on(QStringLiteral("PriceBeforeDiscount"), price)
        .on(QStringLiteral("PriceAfterDiscount"), price);
    object->on(QStringLiteral("CostBeforeDiscount"), price)
        .on(QStringLiteral("CostAfterDiscount"), price);
}

void FakeConfigurator::process()
{
    for (const FakeOption &o : current) {
        const QString v = values.value(o.name);
        if (v.isEmpty() || (!o.choices.isEmpty() && !o.choices.contains(v)))
            values[o.name] = o.defaultValue;
    }
}

void ScriptCommonHost(FakeHost &host)
{
    host.common
        ->on(QStringLiteral("GetProductFileFromID2"),
             [](VariantList &args) {
                 return Variant(QStringLiteral("product%1.xml").arg(ToInt32(args[0]).value_or(0)));
             })
        .on(QStringLiteral("GetProductNameFromID"),
            [](VariantList &args) {
                return Variant(QStringLiteral("Product %1").arg(ToInt32(args[0]).value_or(0)));
            })
        .on(QStringLiteral("BuildString"), [](VariantList &args) {
            QString t = ToText(args[0]).value_or(QString());
            for (int i = 1; i < args.size(); ++i)
                t.replace(QStringLiteral("{%1}").arg(i - 1), ToText(args[i]).value_or(QString()));
            return Variant(t);
        });
    host.sql->set(QStringLiteral("PreTerminate"), Variant());
}

} // namespace zeltpc5::testing
