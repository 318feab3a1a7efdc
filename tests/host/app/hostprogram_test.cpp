// The zeltpc5-host program run as a user runs it.
#include "support/testdatabase.h"
#include "tests/host/fifo.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <map>
#include <memory>

namespace {

struct HostRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

HostRun Host(const QStringList &arguments)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(ZELTPC5_HOST_PROGRAM), arguments);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

using zeltpc5::testing::AllBackends;
using zeltpc5::testing::Backend;
using zeltpc5::testing::BackendName;
using zeltpc5::testing::TestDatabase;

// The program over each database: an SQLite file, or a PostgreSQL database of the test's own.
class HostProgramOnEach : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override { ZELTPC5_SKIP_WITHOUT(td); }
    TestDatabase td{GetParam()};
};

} // namespace

TEST_P(HostProgramOnEach, shouldCreateListAndShowTheDemoCompany)
{
    const QString db = td.backend() == Backend::SQLite
                           ? td.filePath(QStringLiteral("sub/company.db"))
                           : td.location();
    const HostRun created = Host({QStringLiteral("init-db"), QStringLiteral("--db"), db});
    EXPECT_EQ(created.exitCode, 0) << created.err.toStdString();
    EXPECT_TRUE(created.out.contains(u"Created")) << created.out.toStdString();

    const HostRun again = Host({QStringLiteral("init-db"), QStringLiteral("--db"), db});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_TRUE(again.out.contains(u"up to date")) << again.out.toStdString();

    const HostRun list =
        Host({QStringLiteral("--db"), db, QStringLiteral("quote"), QStringLiteral("list")});
    EXPECT_EQ(list.exitCode, 0);
    EXPECT_TRUE(list.out.contains(u"Q-1001")) << list.out.toStdString();
    EXPECT_TRUE(list.out.contains(u"Margaret Chen"));
    EXPECT_EQ(list.out.count(u"Q-100"), 2);

    const HostRun show = Host({QStringLiteral("quote"), QStringLiteral("show"),
                               QStringLiteral("Q-1001"), QStringLiteral("--db"), db});
    EXPECT_EQ(show.exitCode, 0);
    EXPECT_TRUE(show.out.contains(u"12 lines")) << show.out.toStdString();
    EXPECT_TRUE(show.out.contains(u"Error: A 4 Panel track is made 48 to 144 inches wide."));
    EXPECT_TRUE(show.out.contains(u"(none)"));
}

TEST(HostProgram, shouldRefuseBadDatabasesAndBadCommandsClearly)
{
    QTemporaryDir dir;
    const QString notes = dir.filePath(QStringLiteral("notes.db"));
    {
        QFile f(notes);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("my notes");
    }
    const HostRun foreign = Host({QStringLiteral("init-db"), QStringLiteral("--db"), notes});
    EXPECT_NE(foreign.exitCode, 0);
    EXPECT_TRUE(foreign.err.contains(notes)) << foreign.err.toStdString();
    QFile f(notes);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("my notes"));

    const QString missing = dir.filePath(QStringLiteral("missing.db"));
    const HostRun absent =
        Host({QStringLiteral("quote"), QStringLiteral("list"), QStringLiteral("--db"), missing});
    EXPECT_NE(absent.exitCode, 0);
    EXPECT_TRUE(absent.err.contains(missing));
    EXPECT_FALSE(QFile::exists(missing));

    const HostRun unknown = Host({QStringLiteral("quote"), QStringLiteral("fly")});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.err.contains(u"quote show N"));
    Host({QStringLiteral("init-db"), QStringLiteral("--db"), dir.filePath(QStringLiteral("c.db"))});
    const HostRun show =
        Host({QStringLiteral("quote"), QStringLiteral("show"), QStringLiteral("77"),
              QStringLiteral("--db"), dir.filePath(QStringLiteral("c.db"))});
    EXPECT_EQ(show.exitCode, 1);
    EXPECT_TRUE(show.err.contains(u"no quote 77"));

    // The compare tool is a window: without a display it says so and touches nothing.
    const HostRun compare =
        Host({QStringLiteral("compare"), QStringLiteral("--quote"), QStringLiteral("Q-1001"),
              QStringLiteral("--db"), dir.filePath(QStringLiteral("c.db"))});
    EXPECT_EQ(compare.exitCode, 2);
    EXPECT_TRUE(compare.err.contains(u"The compare tool needs a display"))
        << compare.err.toStdString();
}

namespace {

// A demo company in a temporary folder, for the tools.
class HostTools : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override
    {
        ZELTPC5_SKIP_WITHOUT(td);
        const HostRun created = Host({QStringLiteral("init-db"), QStringLiteral("--db"), db});
        ASSERT_EQ(created.exitCode, 0) << created.err.toStdString();
    }
    HostRun Tool(QStringList arguments) const
    {
        return Host(arguments << QStringLiteral("--db") << db);
    }
    // The lines of a tool's --json answer, by line number.
    static std::map<int, QJsonObject> JsonLines(const HostRun &run)
    {
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(run.out.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << run.out.toStdString();
        std::map<int, QJsonObject> lines;
        for (const QJsonValue &v : doc.array())
            lines[v.toObject().value(u"line").toInt()] = v.toObject();
        return lines;
    }
    static QStringList Texts(const QJsonValue &array)
    {
        QStringList texts;
        for (const QJsonValue &v : array.toArray())
            texts << v.toString();
        return texts;
    }

    TestDatabase td{GetParam()};
    const QString db = td.location();
};

} // namespace

TEST_P(HostTools, shouldReviewTheDemoQuoteAsJson)
{
    const HostRun review = Tool({QStringLiteral("review"), QStringLiteral("--quote"),
                                 QStringLiteral("Q-1001"), QStringLiteral("--json")});
    EXPECT_EQ(review.exitCode, 0) << review.err.toStdString();
    const auto lines = JsonLines(review);
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(Texts(lines.at(6).value(u"results")),
              QStringList({QStringLiteral("The Room Location is missing.")}));
    EXPECT_EQ(Texts(lines.at(7).value(u"results")),
              QStringList({QStringLiteral("A value for option Color should be selected.")}));
    EXPECT_EQ(
        Texts(lines.at(11).value(u"results")),
        QStringList({QStringLiteral("A value for option Width is zero."),
                     QStringLiteral("Error: A 4 Panel track is made 48 to 144 inches wide.")}));
    EXPECT_EQ(Texts(lines.at(11).value(u"markup")).first(),
              QStringLiteral("<TextBlock>A value for option <Bold>Width</Bold> is "
                             "zero.</TextBlock>"));
    EXPECT_EQ(Texts(lines.at(2).value(u"results")), QStringList());
    EXPECT_EQ(lines.at(2).value(u"unitPrice").toString(), QStringLiteral("225.00"));
}

// The option change is shown, and written back only with --apply; the quote then shows the
// new values and price of the changed lines and nothing else changed.
TEST_P(HostTools, shouldChangeOptionsAndApplyThemOnlyWhenAsked)
{
    const QStringList change{QStringLiteral("change-option"),
                             QStringLiteral("--quote"),
                             QStringLiteral("Q-1001"),
                             QStringLiteral("--lines"),
                             QStringLiteral("1,2"),
                             QStringLiteral("--set"),
                             QStringLiteral("Fabric=Blackout Vinyl"),
                             QStringLiteral("--set"),
                             QStringLiteral("Color=Ivory")};
    const HostRun shown = Tool(QStringList(change) << QStringLiteral("--json"));
    EXPECT_EQ(shown.exitCode, 0) << shown.err.toStdString();
    const auto lines = JsonLines(shown);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines.at(1).value(u"newUnitPrice").toString(), QStringLiteral("147.2"));
    EXPECT_EQ(Texts(lines.at(1).value(u"results")).first(),
              QStringLiteral("The value for option Color could not be changed to Ivory. It was "
                             "reset to it's default value."));
    EXPECT_EQ(lines.at(2).value(u"newStyle").toString(), QStringLiteral("Cordless"));

    const QStringList show{QStringLiteral("quote"), QStringLiteral("show"),
                           QStringLiteral("Q-1001")};
    const HostRun before = Tool(show);
    EXPECT_TRUE(before.out.contains(u"Linen Blend | White")) << before.out.toStdString();
    EXPECT_FALSE(before.out.contains(u"Blackout Vinyl | Please Select"));

    const HostRun applied = Tool(change + QStringList{QStringLiteral("--apply")});
    EXPECT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    EXPECT_TRUE(applied.err.contains(u"Wrote 2 changed line(s) back into quote Q-1001."))
        << applied.err.toStdString();

    const HostRun after = Tool(show);
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_FALSE(after.out.contains(u"Linen Blend | White")) << after.out.toStdString();
    EXPECT_EQ(after.out.count(u"Blackout Vinyl | Please Select"), 2) << after.out.toStdString();
    EXPECT_TRUE(after.out.contains(u"147.20"));
    // Lines not named keep what they had.
    EXPECT_EQ(before.out.section(QStringLiteral("   3    1"), 1),
              after.out.section(QStringLiteral("   3    1"), 1));
}

TEST_P(HostTools, shouldAnswerAMissingQuoteOrLineClearly)
{
    const HostRun quote =
        Tool({QStringLiteral("review"), QStringLiteral("--quote"), QStringLiteral("Q-9999")});
    EXPECT_EQ(quote.exitCode, 1);
    EXPECT_TRUE(quote.err.contains(u"There is no quote Q-9999")) << quote.err.toStdString();
    EXPECT_EQ(quote.out, QString());

    const HostRun line =
        Tool({QStringLiteral("change-option"), QStringLiteral("--quote"), QStringLiteral("Q-1001"),
              QStringLiteral("--lines"), QStringLiteral("3,99"), QStringLiteral("--set"),
              QStringLiteral("Mount=Outside"), QStringLiteral("--apply")});
    EXPECT_EQ(line.exitCode, 1);
    EXPECT_TRUE(line.err.contains(u"Quote Q-1001 has no line 99.")) << line.err.toStdString();
    // Nothing was written for the line that does exist.
    const HostRun show =
        Tool({QStringLiteral("quote"), QStringLiteral("show"), QStringLiteral("Q-1001")});
    EXPECT_FALSE(show.out.contains(u"Outside | Blackout Vinyl")) << show.out.toStdString();

    const HostRun noOption = Tool(
        {QStringLiteral("change-option"), QStringLiteral("--quote"), QStringLiteral("Q-1001")});
    EXPECT_EQ(noOption.exitCode, 2);
    EXPECT_TRUE(noOption.err.contains(u"--set NAME=VALUE"));
}

// The demo makes its own database on a fresh path, shows a real bulk change and writes
// nothing back.
TEST_P(HostProgramOnEach, shouldRunTheDemoOnAFreshPathWithoutWritingBack)
{
    const QString db = td.backend() == Backend::SQLite
                           ? td.filePath(QStringLiteral("fresh/demo.db"))
                           : td.location();
    const HostRun demo = Host({QStringLiteral("demo"), QStringLiteral("--db"), db});
    EXPECT_EQ(demo.exitCode, 0) << demo.err.toStdString();
    EXPECT_TRUE(demo.out.contains(u"Created the demo company")) << demo.out.toStdString();
    EXPECT_TRUE(demo.out.contains(u"The value for option Mount changed from Inside to Outside"));
    EXPECT_TRUE(demo.out.contains(u"12 line(s) changed; nothing was written (use --apply)."));

    const HostRun again = Host({QStringLiteral("demo"), QStringLiteral("--db"), db});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_FALSE(again.out.contains(u"Created the demo company"));
    // The same change again: the first run wrote nothing back.
    EXPECT_EQ(again.out, demo.out.section(u'\n', 1));
}

// Option values reach the change texts as the user typed them; the readable form shows them
// whole, "<" and "&" included, rather than dropping what looks like a tag.
TEST_P(HostTools, shouldShowValuesWithMarkupCharactersWhole)
{
    const HostRun run =
        Tool({QStringLiteral("change-option"), QStringLiteral("--quote"), QStringLiteral("Q-1001"),
              QStringLiteral("--lines"), QStringLiteral("1"), QStringLiteral("--set"),
              QStringLiteral("Room Location=Kid's <Room> & Co")});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(
        u"The value for option Room Location changed from Living Room to Kid's <Room> & Co\n"))
        << run.out.toStdString();
}

// A line whose item cannot be read is left as it was and named by the component; the other
// lines are still written.
TEST_P(HostTools, shouldSkipALineWhoseItemCannotBeReadAndWriteTheOthers)
{
    ASSERT_EQ(Tool({QStringLiteral("quote"), QStringLiteral("list")}).exitCode, 0);
    QString error;
    ASSERT_TRUE(td.run({QStringLiteral("UPDATE QuoteLines SET ItemXML = 'not xml' WHERE Line = 3 "
                                       "AND QuoteID = (SELECT ID FROM Quotes WHERE QuoteNumber = "
                                       "'Q-1001')")},
                       &error))
        << error.toStdString();

    const HostRun applied =
        Tool({QStringLiteral("change-option"), QStringLiteral("--quote"), QStringLiteral("Q-1001"),
              QStringLiteral("--lines"), QStringLiteral("1,3"), QStringLiteral("--set"),
              QStringLiteral("Mount=Outside"), QStringLiteral("--apply")});
    EXPECT_EQ(applied.exitCode, 0) << applied.err.toStdString();
    EXPECT_TRUE(applied.out.contains(u"Error: The item for line 3 could not be read."))
        << applied.out.toStdString();
    EXPECT_TRUE(applied.err.contains(u"Wrote 1 changed line(s)")) << applied.err.toStdString();
}

// The component is handed a run's UniqueIDs "|"-joined: a line whose UniqueID is "A|" and
// line 2's would select line 2. Such a line (in a database the schema did not guard) is
// never handed over: named alone it stops the run, within "all" it is left out.
TEST_P(HostTools, shouldNotLetALineWhoseUniqueIDHoldsTheSeparatorSelectAnother)
{
    QString error;
    ASSERT_TRUE(td.run({QStringLiteral("CREATE TABLE QuoteLines_Loose AS SELECT * FROM QuoteLines"),
                        QStringLiteral("DROP TABLE QuoteLines"),
                        QStringLiteral("ALTER TABLE QuoteLines_Loose RENAME TO QuoteLines"),
                        QStringLiteral("UPDATE QuoteLines SET UniqueID = 'A|' || (SELECT UniqueID "
                                       "FROM QuoteLines WHERE Line = 2 AND QuoteID = 1) WHERE Line "
                                       "= 1 AND QuoteID = 1")},
                       &error))
        << error.toStdString();
    const QStringList show{QStringLiteral("quote"), QStringLiteral("show"),
                           QStringLiteral("Q-1001")};
    // Lines 1 and 2 as the quote shows them.
    const auto lineOne = [](const QString &out) {
        return out.section(QStringLiteral("\n   2    1  "), 0, 0)
            .section(QStringLiteral("\n   1    2  "), 1);
    };
    const auto lineTwo = [](const QString &out) {
        return out.section(QStringLiteral("\n   3    1  "), 0, 0)
            .section(QStringLiteral("\n   2    1  "), 1);
    };
    const HostRun before = Tool(show);
    ASSERT_EQ(before.exitCode, 0) << before.err.toStdString();
    ASSERT_TRUE(lineOne(before.out).contains(u"UniqueID A|{")) << before.out.toStdString();
    ASSERT_TRUE(lineTwo(before.out).contains(u"| Inside |")) << before.out.toStdString();

    const QStringList change{QStringLiteral("change-option"), QStringLiteral("--quote"),
                             QStringLiteral("Q-1001"),        QStringLiteral("--set"),
                             QStringLiteral("Mount=Outside"), QStringLiteral("--apply")};
    const HostRun named =
        Tool(QStringList(change) << QStringLiteral("--lines") << QStringLiteral("1"));
    EXPECT_EQ(named.exitCode, 1);
    EXPECT_TRUE(named.err.contains(u"line 1: its UniqueID \"A|")) << named.err.toStdString();
    EXPECT_TRUE(named.err.contains(u"Nothing was done.")) << named.err.toStdString();
    EXPECT_EQ(Tool(show).out, before.out);

    const HostRun all =
        Tool(QStringList(change) << QStringLiteral("--lines") << QStringLiteral("all"));
    EXPECT_EQ(all.exitCode, 0) << all.err.toStdString();
    EXPECT_TRUE(all.err.contains(u"which are left out")) << all.err.toStdString();
    EXPECT_TRUE(all.err.contains(u"Wrote 11 changed line(s)")) << all.err.toStdString();
    // Line 1 kept what it had; the others were changed.
    const HostRun after = Tool(show);
    EXPECT_EQ(lineOne(after.out), lineOne(before.out));
    EXPECT_TRUE(lineTwo(after.out).contains(u"| Outside |")) << after.out.toStdString();
}

// A named pipe given as the database is refused at once, not waited on.
TEST(HostProgram, shouldRefuseAPipeAsTheDatabaseWithoutWaiting)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("company.db"));
    ASSERT_TRUE(zeltpc5::testing::MakeFifo(fifo));
    bool blocked = false;
    const HostRun run = zeltpc5::testing::RunBesideFifo(
        fifo,
        [&] {
            return Host(
                {QStringLiteral("quote"), QStringLiteral("list"), QStringLiteral("--db"), fifo});
        },
        &blocked);
    EXPECT_FALSE(blocked);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(fifo)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(u"named pipe")) << run.err.toStdString();
}

// Two processes write changes over the same lines of one quote at once. Each checks, in its
// write transaction, that the lines still hold what its run read: whichever comes second finds
// them changed and writes nothing, so no process reports a write that the other then undid.
TEST_P(HostTools, twoProcessesApplyingToOneQuoteAtOnceLoseNoUpdate)
{
    const auto start = [&](const QString &set) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(ZELTPC5_HOST_PROGRAM),
                 {QStringLiteral("change-option"), QStringLiteral("--quote"),
                  QStringLiteral("Q-1001"), QStringLiteral("--lines"), QStringLiteral("1,2,3,4"),
                  QStringLiteral("--set"), set, QStringLiteral("--apply"), QStringLiteral("--db"),
                  db});
        return p;
    };
    const QStringList sets{QStringLiteral("Room Location=First Writer"),
                           QStringLiteral("Room Location=Second Writer")};
    std::vector<std::unique_ptr<QProcess>> writers;
    for (const QString &set : sets)
        writers.push_back(start(set));
    QStringList wrote;
    QStringList outputs;
    for (std::size_t i = 0; i < writers.size(); ++i) {
        ASSERT_TRUE(writers[i]->waitForFinished(120000));
        const QString err = QString::fromUtf8(writers[i]->readAllStandardError());
        outputs << QString::fromUtf8(writers[i]->readAllStandardOutput());
        if (writers[i]->exitCode() == 0) {
            EXPECT_TRUE(err.contains(u"Wrote 4 changed line(s)")) << err.toStdString();
            wrote << sets[int(i)].section(u'=', 1);
        } else {
            EXPECT_TRUE(err.contains(u"changed since this run read them; nothing was written"))
                << err.toStdString();
        }
    }
    ASSERT_FALSE(wrote.isEmpty());
    const HostRun show =
        Tool({QStringLiteral("quote"), QStringLiteral("show"), QStringLiteral("Q-1001")});
    // One value is on all four lines, written by a writer that says so.
    const QString first = sets[0].section(u'=', 1);
    const QString second = sets[1].section(u'=', 1);
    const qsizetype firsts = show.out.count(first);
    const qsizetype seconds = show.out.count(second);
    ASSERT_TRUE((firsts == 4 && seconds == 0) || (firsts == 0 && seconds == 4))
        << show.out.toStdString();
    const QString kept = firsts == 4 ? first : second;
    const QString other = kept == first ? second : first;
    EXPECT_TRUE(wrote.contains(kept));
    // When both wrote, they wrote one after the other: the one kept read what the other had
    // written and changed it. Had it read the lines from before the other's commit, the other's
    // reported write would be lost.
    if (wrote.size() == 2) {
        const QString keptOutput = outputs[kept == first ? 0 : 1];
        EXPECT_EQ(keptOutput.count(QStringLiteral("Room Location changed from ") + other), 4)
            << keptOutput.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, HostProgramOnEach, AllBackends(), BackendName);
INSTANTIATE_TEST_SUITE_P(Databases, HostTools, AllBackends(), BackendName);
