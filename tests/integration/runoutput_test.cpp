// The whole output of bulk change runs over the demo quote, byte for byte: every line's new
// documents, product, style and change texts after each kind of run. The expected text was
// recorded from the engine before its inner path was reworked for speed, so any change to
// what a run produces shows here, not only in the fields other tests look at.
// To record it again on purpose: ZELTPC5_RECORD_RUN_OUTPUT=1 integration_tests
//   --gtest_filter='*RunOutput*'
#include "referencehost.h"

#include "engine/engines.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace zeltpc5;
using namespace zeltpc5::testing;

namespace {

const QString ExpectedFile = QStringLiteral(ZELTPC5_TEST_DATA_DIR "/runs/demo-runs.txt");

struct RunCase
{
    const char *title;
    QStringView operation;
    VariantList arguments; // the line identifiers are appended
};

class RunOutput : public OnEachDatabase
{
protected:
    void SetUp() override
    {
        OnEachDatabase::SetUp();
        if (IsSkipped())
            return;
        // Keeps the demo's fuel surcharge in force on any day the tests run.
        reference.database().execute(
            QStringLiteral("UPDATE AdditionalCharges SET EndsOn = ? WHERE ID = 2"),
            {ReferenceHost::DateFromToday(400)});
        lines = reference.quoteLines(QStringLiteral("Q-1001"));
    }

    QString runAndDescribe(const RunCase &run)
    {
        const Ref<Library> library = Library::create();
        library->Initialize(reference.sharedCodeLibrary());
        const DispatchPtr engine(library->CreateReplaceEngine());
        AddLines(engine, lines);
        QStringList ids;
        for (const host::QuoteLine &l : lines)
            ids << l.uniqueID;
        VariantList args = run.arguments;
        args.append(ids.join(QLatin1Char('|')));
        const CallResult r = Call(engine, run.operation, args);
        EXPECT_TRUE(r.ok()) << run.title;

        QString out;
        out += QStringLiteral("#### %1\n").arg(QString::fromLatin1(run.title));
        const int count = ToInt16(Call(engine, u"CountLines").value).value_or(0);
        for (int i = 0; i < count; ++i) {
            const auto field = [&](const char *name) {
                return ToText(Call(engine, u"GetLineData",
                                   {MakeInt16(qint16(i)), QString::fromLatin1(name)})
                                  .value)
                    .value_or(QStringLiteral("<not text>"));
            };
            out += QStringLiteral("## line %1: product %2, style %3\n")
                       .arg(field("line"), field("newproductid"), field("newstyle"));
            const qint16 changes =
                ToInt16(Call(engine, u"CountChanges", {MakeInt16(qint16(i))}).value).value_or(0);
            for (qint16 j = 0; j < changes; ++j)
                out +=
                    QStringLiteral("change: ") +
                    ToText(Call(engine, u"GetChange", {MakeInt16(qint16(i)), MakeInt16(j)}).value)
                        .value_or(QString()) +
                    QLatin1Char('\n');
            out += QStringLiteral("item: ") + field("newitemxml") + QLatin1Char('\n');
            out += QStringLiteral("pricecost: ") + field("newpricecostxml") + QLatin1Char('\n');
        }
        return out;
    }

    ReferenceHost reference{GetParam()};
    std::vector<host::QuoteLine> lines;
};

} // namespace

TEST_P(RunOutput, everyRunOverTheDemoQuoteGivesTheRecordedDocumentsAndTexts)
{
    const QList<RunCase> runs{
        {"demo: Mount|Color to Outside|Charcoal",
         u"ChangeOptionValue",
         {QStringLiteral("Mount|Color"), QStringLiteral("Outside|Charcoal")}},
        {"option a rule resets: Fabric|Color to Blackout Vinyl|Ivory",
         u"ChangeOptionValue",
         {QStringLiteral("Fabric|Color"), QStringLiteral("Blackout Vinyl|Ivory")}},
        {"product and style: roller shade, Standard",
         u"ChangeProductStyle",
         {MakeInt32(1), MakeInt32(1), QStringLiteral("Standard")}},
        {"product, style and options: roller shade, Standard, Fabric to Blackout Vinyl",
         u"ChangeProductStyleAndOptions",
         {MakeInt32(1), MakeInt32(1), QStringLiteral("Standard"), QStringLiteral("Fabric"),
          QStringLiteral("Blackout Vinyl")}},
        {"customer discount 0.1", u"ChangeDiscount", {MakeInt16(2), QStringLiteral("0.1")}},
        {"customer discount back to the stored one", u"ChangeDiscount", {MakeInt16(2), QString()}},
        {"item discount 10%", u"ChangeDiscount", {MakeInt16(3), QStringLiteral("10%")}},
    };
    QString output;
    for (const RunCase &run : runs)
        output += runAndDescribe(run);

    if (qEnvironmentVariableIsSet("ZELTPC5_RECORD_RUN_OUTPUT")) {
        QFile file(ExpectedFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(output.toUtf8());
        GTEST_SKIP() << "recorded " << ExpectedFile.toStdString();
    }
    QFile file(ExpectedFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << ExpectedFile.toStdString();
    const QStringList expected = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    const QStringList actual = output.split(QLatin1Char('\n'));
    // Line by line, so that a difference names its place rather than printing megabytes.
    ASSERT_EQ(actual.size(), expected.size());
    for (qsizetype i = 0; i < actual.size(); ++i)
        ASSERT_EQ(actual[i].toStdString(), expected[i].toStdString()) << "output line " << i + 1;
}

INSTANTIATE_TEST_SUITE_P(Databases, RunOutput, AllBackends(), BackendName);
