// The zeltpc5-host program run as a user runs it.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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

} // namespace

TEST(HostProgram, shouldCreateListAndShowTheDemoCompany)
{
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("sub/company.db"));
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
}
