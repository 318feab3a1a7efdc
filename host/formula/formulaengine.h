// "zeltfe5.Engine": the reference host's formula engine, called late-bound by member name.
// Expressions are Lua 5.4 expressions over the variables set with SetVariable and the
// helpers Option, OptionNumber, PriceCost and PriceCostNumber; see docs/charge-criteria.md.
#pragma once

#include "host/formula/criteriadocuments.h"
#include "host/formula/luasandbox.h"

#include <zeltpc5/dispatch.h>

#include <memory>

namespace zeltpc5::host {

class FormulaEngine : public DispatchObject
{
public:
    static DispatchPtr create();
    ~FormulaEngine() override;

    bool Initialize(const DispatchPtr &sharedCodeLibrary);
    void ResetVariables();
    Status SetVariable(const QString &name, const Variant &value);
    // A Boolean or a number; Null when the expression fails or gives anything else, which
    // a caller reads as "not met".
    Variant EvaluateExpression(const QString &expression);
    void PreTerminate();

    const QString &lastError() const { return m_lastError; }

private:
    FormulaEngine();
    LuaSandbox *sandbox();

    CriteriaDocuments m_documents;
    std::unique_ptr<LuaSandbox> m_sandbox;
    DispatchPtr m_host;
    bool m_terminated = false;
    QString m_lastError;
};

} // namespace zeltpc5::host
