// Charge criteria: an arbitrary expression through the formula engine's sandbox, with an
// arbitrary item and price/cost document for its Option and PriceCost helpers to read.
// The input is "expression \0 item document \0 price/cost document".
//
// Checked: every evaluation ends (libFuzzer's -timeout catches one that does not) with a
// Boolean, a number or Null, and a failure always with Null; a failed evaluation leaves the state
// usable for the next one, which, after the reset, sees none of the first one's changes to the
// libraries and nothing of it in its environment; the same again with the expression's compiled
// chunk. Both readers of documents read the two documents alike.
#include "fuzzsupport.h"

#include "host/formula/criteriadocuments.h"
#include "host/formula/luasandbox.h"

using namespace zeltpc5;
using namespace zeltpc5::host;
using zeltpc5::fuzzing::Check;

namespace {

bool IsResult(const Variant &value)
{
    const VariantType type = TypeOf(value);
    return type == VariantType::Null || type == VariantType::Bool || type == VariantType::Double;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzzing::InitializeOnce();
    const QList<QByteArray> parts = fuzzing::SplitInput(data, size, 3);
    const QString optionXml = QString::fromUtf8(parts.at(1));
    const QString priceCostXml = QString::fromUtf8(parts.at(2));
    for (const QString &xml : {optionXml, priceCostXml}) {
        Check(ReadCriteriaOptions(xml, CriteriaReader::Fast) ==
                  ReadCriteriaOptions(xml, CriteriaReader::StreamReader),
              "both readers read the same options");
        Check(ReadCriteriaPriceCost(xml, CriteriaReader::Fast) ==
                  ReadCriteriaPriceCost(xml, CriteriaReader::StreamReader),
              "both readers read the same fields");
    }
    CriteriaDocuments documents;
    // Smaller than the engine's own limits, so that an input that runs out of them is found
    // within the fuzzer's pace; the bounds work the same way at any size.
    SandboxLimits limits;
    limits.memoryBytes = 4u * 1024u * 1024u;
    limits.instructions = 200'000;
    limits.processorTime = std::chrono::milliseconds(50);
    LuaSandbox sandbox(&documents, limits);
    Check(sandbox.isReady(), "the sandbox starts");

    const QString expression = QString::fromUtf8(parts.at(0));
    // After a reset (globals an expression sets, even one named string, last until then).
    const QString untouched =
        QStringLiteral("string.find('abc', 'b', 1, true) == 2 and math.max(1, 2) == 2");
    const QString empty = QStringLiteral("next(_ENV) == nil");
    // Compiled, then once more from its compiled chunk.
    for (int round = 0; round < 2; ++round) {
        documents.setOptionXml(optionXml);
        documents.setPriceCostXml(priceCostXml);
        Check(sandbox.setVariable(QStringLiteral("Quantity"), MakeDouble(3)).ok(),
              "a variable can be set");
        const LuaSandbox::Outcome first = sandbox.evaluate(expression);
        Check(IsResult(first.value), "an evaluation gives a Boolean, a number or Null");
        // nil (an option the line does not have) is a Null without a failure; a failure is Null.
        Check(first.error.isEmpty() || TypeOf(first.value) == VariantType::Null,
              "a failed evaluation gives Null");

        // Whatever the expression did, the next one finds the libraries as they were, and
        // nothing of the expression in its environment.
        Check(sandbox.resetVariables(), "the variables can be reset after any evaluation");
        Check(ToBool(sandbox.evaluate(untouched).value) == std::optional<bool>(true),
              "a later evaluation sees the libraries unchanged");
        Check(ToBool(sandbox.evaluate(empty).value) == std::optional<bool>(true),
              "nothing is left in the environment after a reset");
    }
    return 0;
}
