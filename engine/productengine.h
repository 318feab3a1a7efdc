// Typed adapter over the maker's product engine ("optrix5.Engine"). Every call is
// error-suppressed: without an engine, or when a call fails, results read as empty text,
// zero or false, and the line that needed them is left as it was.
#pragma once

#include "common/currency.h"

#include <zeltpc5/dispatch.h>

#include <QString>

#include <optional>

namespace zeltpc5 {

class ProductEngine
{
public:
    ProductEngine() = default;
    explicit ProductEngine(DispatchPtr engine) : m_engine(std::move(engine)) {}
    bool isValid() const { return bool(m_engine); }
    const DispatchPtr &object() const { return m_engine; }

    void Initialize();
    void IdentifyUser(const Variant &sid, const Variant &oid, const Variant &organizationName);
    // True only when the product file is open.
    bool UseProductFile(const QString &productFile);
    void InitForAccess();
    void setAllOptionsInDescription(bool value);
    void InitForProcessing(const QString &style);
    void setRoundDown(qint32 value);
    void setDimensionDisplayFormat(const QString &format);
    void SetOptionValue(const QString &optionName, const QString &value);
    void ProcessOptions();
    // A field of a named option ("Type", "Value").
    Variant GetOptionData(const QString &optionName, const QString &fieldName);
    qint32 GetOptionCount();
    // A field of the option at index 0 .. count - 1.
    Variant GetOptionDataEx(qint32 index, const QString &fieldName);
    qint32 ErrorCount();
    QString Error(qint32 index);
    qint32 NoticeCount();
    QString Notice(qint32 index);
    // The engine's amounts; nothing when the engine does not deliver one (no engine, a
    // failing or missing member, a value that is not an amount), which is not the same as 0.
    std::optional<Currency> PriceBeforeDiscount();
    std::optional<Currency> PriceAfterDiscount();
    std::optional<Currency> CostBeforeDiscount();
    std::optional<Currency> CostAfterDiscount();
    // Nothing when the engine cannot say how many lines it has.
    std::optional<qint32> PriceLineAnalyticCount();
    QString PriceLineAnalyticName(qint32 index);
    QString PriceLineAnalyticPLCode(qint32 index);
    std::optional<Currency> PriceLineAnalyticValue(qint32 index);

private:
    std::optional<Currency> amount(QStringView member, VariantList args = {});
    DispatchPtr m_engine;
    // GetOptionDataEx is asked for every field of every option of a line: its identifier is
    // looked up once (an object's identifiers stay as they are while it lives). Unset until
    // looked up; an empty identifier when the engine has no such member.
    std::optional<std::optional<DispId>> m_optionDataExId;
};

} // namespace zeltpc5
