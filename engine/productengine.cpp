#include "engine/productengine.h"

#include "engine/latebound.h"

namespace zeltpc5 {

using latebound::CallQuietly;

void ProductEngine::Initialize()
{
    CallQuietly(m_engine, u"Initialize");
}

void ProductEngine::IdentifyUser(const Variant &sid, const Variant &oid,
                                 const Variant &organizationName)
{
    CallQuietly(m_engine, u"IdentifyUser", {sid, oid, organizationName});
}

bool ProductEngine::UseProductFile(const QString &productFile)
{
    return latebound::Boolean(
        CallQuietly(m_engine, u"UseProductFile", {productFile, MakeBool(true)}));
}

void ProductEngine::InitForAccess()
{
    CallQuietly(m_engine, u"InitForAccess");
}

void ProductEngine::setAllOptionsInDescription(bool value)
{
    latebound::PutQuietly(m_engine, u"AllOptionsInDescription", MakeBool(value));
}

void ProductEngine::InitForProcessing(const QString &style)
{
    CallQuietly(m_engine, u"InitForProcessing", {style});
}

void ProductEngine::setRoundDown(qint32 value)
{
    latebound::PutQuietly(m_engine, u"RoundDown", MakeInt32(value));
}

void ProductEngine::setDimensionDisplayFormat(const QString &format)
{
    latebound::PutQuietly(m_engine, u"DimensionDisplayFormat", format);
}

void ProductEngine::SetOptionValue(const QString &optionName, const QString &value)
{
    CallQuietly(m_engine, u"SetOptionValue", {optionName, value});
}

void ProductEngine::ProcessOptions()
{
    CallQuietly(m_engine, u"ProcessOptions");
}

Variant ProductEngine::GetOptionData(const QString &optionName, const QString &fieldName)
{
    return CallQuietly(m_engine, u"GetOptionData", {optionName, fieldName});
}

qint32 ProductEngine::GetOptionCount()
{
    return latebound::Int32(CallQuietly(m_engine, u"GetOptionCount"));
}

Variant ProductEngine::GetOptionDataEx(qint32 index, const QString &fieldName)
{
    if (!m_engine)
        return Variant();
    if (!m_optionDataExId)
        m_optionDataExId = m_engine->GetIDOfName(u"GetOptionDataEx");
    if (!*m_optionDataExId)
        return Variant();
    VariantList args{MakeInt32(index), fieldName};
    Variant result;
    if (!CallById(m_engine, **m_optionDataExId, CallType::Method, args, &result))
        return Variant();
    return result;
}

qint32 ProductEngine::ErrorCount()
{
    return latebound::Int32(CallQuietly(m_engine, u"ErrorCount"));
}

QString ProductEngine::Error(qint32 index)
{
    return latebound::Text(CallQuietly(m_engine, u"Error", {MakeInt32(index)}));
}

qint32 ProductEngine::NoticeCount()
{
    return latebound::Int32(CallQuietly(m_engine, u"NoticeCount"));
}

QString ProductEngine::Notice(qint32 index)
{
    return latebound::Text(CallQuietly(m_engine, u"Notice", {MakeInt32(index)}));
}

std::optional<Currency> ProductEngine::amount(QStringView member, VariantList args)
{
    const std::optional<Variant> result = latebound::TryCall(m_engine, member, std::move(args));
    const auto v = result ? ToCurrency(*result) : std::nullopt;
    return v ? std::optional(Currency(*v)) : std::nullopt;
}

std::optional<Currency> ProductEngine::PriceBeforeDiscount()
{
    return amount(u"PriceBeforeDiscount");
}

std::optional<Currency> ProductEngine::PriceAfterDiscount()
{
    return amount(u"PriceAfterDiscount");
}

std::optional<Currency> ProductEngine::CostBeforeDiscount()
{
    return amount(u"CostBeforeDiscount");
}

std::optional<Currency> ProductEngine::CostAfterDiscount()
{
    return amount(u"CostAfterDiscount");
}

std::optional<qint32> ProductEngine::PriceLineAnalyticCount()
{
    const std::optional<Variant> result = latebound::TryCall(m_engine, u"PriceLineAnalyticCount");
    return result ? ToInt32(*result) : std::nullopt;
}

QString ProductEngine::PriceLineAnalyticName(qint32 index)
{
    return latebound::Text(CallQuietly(m_engine, u"PriceLineAnalyticName", {MakeInt32(index)}));
}

QString ProductEngine::PriceLineAnalyticPLCode(qint32 index)
{
    return latebound::Text(CallQuietly(m_engine, u"PriceLineAnalyticPLCode", {MakeInt32(index)}));
}

std::optional<Currency> ProductEngine::PriceLineAnalyticValue(qint32 index)
{
    return amount(u"PriceLineAnalyticValue", {MakeInt32(index)});
}

} // namespace zeltpc5
