#include "host/formula/formulaengine.h"

#include <QLoggingCategory>

namespace zeltpc5::host {

Q_LOGGING_CATEGORY(lcFormula, "zeltpc5.host.formula")

namespace {

FormulaEngine &self(Dispatch &d)
{
    return static_cast<FormulaEngine &>(d);
}

// A name without regard to case; names of another length are told apart at once.
bool IsName(const QString &name, QStringView expected)
{
    return name.size() == expected.size() && name.compare(expected, Qt::CaseInsensitive) == 0;
}

const MemberTable &members()
{
    static const MemberTable table = [] {
        MemberTable t;
        t.method(QStringLiteral("Initialize"), 1, 0, 1,
                 [](Dispatch &d, VariantList &args, Variant &r) {
                     ArgReader a(args);
                     const DispatchPtr host = a.count() > 0 ? a.object(0) : DispatchPtr();
                     if (!a.ok())
                         return a.status();
                     r = MakeBool(self(d).Initialize(host));
                     return Status();
                 });
        t.method(QStringLiteral("ResetVariables"), 2, 0, [](Dispatch &d, VariantList &, Variant &) {
            self(d).ResetVariables();
            return Status();
        });
        t.method(QStringLiteral("SetVariable"), 3, 2,
                 [](Dispatch &d, VariantList &args, Variant &) {
                     ArgReader a(args);
                     const QString name = a.text(0);
                     if (!a.ok())
                         return a.status();
                     return self(d).SetVariable(name, args.at(1));
                 });
        t.method(QStringLiteral("EvaluateExpression"), 4, 1,
                 [](Dispatch &d, VariantList &args, Variant &r) {
                     // An expression that is no text cannot be met either.
                     const QString expression = ToText(args.at(0)).value_or(QString());
                     r = self(d).EvaluateExpression(expression);
                     return Status();
                 });
        t.method(QStringLiteral("PreTerminate"), 5, 0, [](Dispatch &d, VariantList &, Variant &) {
            self(d).PreTerminate();
            return Status();
        });
        // Why the last expression gave no value, for the host's log.
        t.property(QStringLiteral("LastError"), 6, [](Dispatch &d, VariantList &, Variant &r) {
            r = MakeString(self(d).lastError());
            return Status();
        });
        return t;
    }();
    return table;
}

} // namespace

FormulaEngine::FormulaEngine() : DispatchObject(QStringLiteral("zeltfe5.Engine"), &members()) {}

FormulaEngine::~FormulaEngine() = default;

DispatchPtr FormulaEngine::create()
{
    return DispatchPtr(new FormulaEngine);
}

LuaSandbox *FormulaEngine::sandbox()
{
    if (m_terminated)
        return nullptr;
    if (!m_sandbox)
        m_sandbox = std::make_unique<LuaSandbox>(&m_documents);
    return m_sandbox->start() ? m_sandbox.get() : nullptr;
}

bool FormulaEngine::Initialize(const DispatchPtr &sharedCodeLibrary)
{
    m_terminated = false;
    m_host = sharedCodeLibrary;
    return sandbox() != nullptr;
}

void FormulaEngine::ResetVariables()
{
    if (LuaSandbox *s = sandbox())
        s->resetVariables();
}

Status FormulaEngine::SetVariable(const QString &name, const Variant &value)
{
    LuaSandbox *s = sandbox();
    if (!s)
        return Status::error(Error::InvalidProcedureCall,
                             QStringLiteral("The formula engine is not running."));
    const Status status = s->setVariable(name, value);
    if (!status.ok())
        return status;
    // The helpers read the documents themselves, as set here; from the UTF-8 the variable
    // was given as, when it is a text.
    if (IsName(name, u"OptionXML"))
        m_documents.setOptionXml(ToText(value).value_or(QString()), s->textVariable(name));
    else if (IsName(name, u"PriceCostXML"))
        m_documents.setPriceCostXml(ToText(value).value_or(QString()), s->textVariable(name));
    return status;
}

Variant FormulaEngine::EvaluateExpression(const QString &expression)
{
    LuaSandbox *s = sandbox();
    if (!s) {
        m_lastError = QStringLiteral("the formula engine is not running");
        return MakeNull();
    }
    LuaSandbox::Outcome outcome = s->evaluate(expression);
    m_lastError = outcome.error;
    if (!m_lastError.isEmpty())
        qCWarning(lcFormula).noquote() << "Not met:" << expression << "-" << m_lastError;
    return outcome.value;
}

void FormulaEngine::PreTerminate()
{
    m_sandbox.reset();
    m_host = DispatchPtr();
    m_terminated = true;
}

} // namespace zeltpc5::host
