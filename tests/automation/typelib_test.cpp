#include "automation/typelib.h"
#include "engine/engines.h"

#include <gtest/gtest.h>

#include <QFile>

#include <utility>
#include <vector>

using namespace zeltpc5;

namespace {

using Ids = std::vector<std::pair<const char *, DispId>>;

void expectMembers(const DispatchPtr &object, const Ids &expected)
{
    ASSERT_TRUE(object);
    for (const auto &[name, id] : expected) {
        EXPECT_EQ(object->GetIDOfName(QString::fromLatin1(name)), std::optional<DispId>(id))
            << object->TypeName().toStdString() << "." << name;
    }
}

} // namespace

TEST(TypeLibrary, identitiesHostsBindTo)
{
    const auto &lib = typelib::Library();
    EXPECT_STREQ(lib.name, "zeltpc5");
    EXPECT_STREQ(lib.helpString, "ZELT - Product Compare");
    EXPECT_EQ(lib.guid, QUuid("{6808E852-2A56-4048-A174-7C5B87CE9BAB}"));
    EXPECT_STREQ(lib.versionText, "5.00.0080");
    EXPECT_EQ(lib.versionRevision, 80);

    const auto *library = typelib::FindClass(u"Library");
    ASSERT_NE(library, nullptr);
    EXPECT_TRUE(library->creatable);
    EXPECT_EQ(library->progId(), QStringLiteral("zeltpc5.Library"));
    EXPECT_EQ(library->defaultInterface->iid, QUuid("{648405CB-3DB3-4EEB-99FC-88917C33A4EB}"));

    const std::vector<std::tuple<const char *, const char *, const char *>> engines{
        {"ReplaceEngine", "{F7C82FA3-9270-4633-8226-DF8F2794F1F5}",
         "{215FE00C-27D7-4050-BAE8-9071623A4703}"},
        {"CompareEngine", "{105F3576-C94E-4969-9B3E-8D67F84FED5B}",
         "{37B7059E-AB24-4A5A-B976-9032E19230AB}"},
        {"ItemReviewEngine", "{0F666C4D-19B2-475D-800B-454E06036FF5}",
         "{49C2E942-DE9B-4407-92FC-FB64F128B8E6}"},
    };
    for (const auto &[name, clsid, iid] : engines) {
        const auto *c = typelib::FindClass(QString::fromLatin1(name));
        ASSERT_NE(c, nullptr) << name;
        EXPECT_FALSE(c->creatable) << name;
        EXPECT_EQ(c->clsid, QUuid(clsid)) << name;
        EXPECT_EQ(c->defaultInterface->iid, QUuid(iid)) << name;
        EXPECT_EQ(typelib::FindClass(QUuid(clsid)), c);
    }
}

TEST(TypeLibrary, everyMemberAnswersToItsDispatchIdentifier)
{
    const auto library = Library::create();
    expectMembers(DispatchPtr(library), {{"SharedCodeLibrary", 0x68030000},
                                         {"Initialize", 0x60030001},
                                         {"PreTerminate", 0x60030002},
                                         {"CreateReplaceEngine", 0x60030003},
                                         {"CreateItemReviewEngine", 0x60030004},
                                         {"CreateCompareEngine", 0x60030005}});

    const Ids shared{{"CancelRequested", 0x68030000}, {"Owner", 0x68030001},
                     {"PreTerminate", 0x60030004},    {"Clear", 0x60030006},
                     {"AddLine", 0x60030007},         {"CountLines", 0x60030008}};
    const DispatchPtr replace(library->CreateReplaceEngine());
    const DispatchPtr compare(library->CreateCompareEngine());
    const DispatchPtr review(library->CreateItemReviewEngine());
    expectMembers(replace, shared);
    expectMembers(compare, shared);
    expectMembers(review, shared);
    expectMembers(replace, {{"GetLineData", 0x60030009},
                            {"LineWasSelected", 0x6003000A},
                            {"CountChanges", 0x6003000B},
                            {"GetChange", 0x6003000C}});
    expectMembers(
        compare,
        {{"GetLineData", 0x6003000A}, {"CountChanges", 0x6003000B}, {"GetChange", 0x6003000C}});
    expectMembers(
        review,
        {{"GetLineData", 0x60030009}, {"CountChanges", 0x6003000A}, {"GetChange", 0x6003000B}});

    // The compare interface leaves 0x60030009 unused, and only the replace engine
    // reports selected lines.
    VariantList args{MakeInt16(0), QStringLiteral("line")};
    EXPECT_EQ(CallById(compare, 0x60030009, CallType::Method, args).number(),
              Error::MemberNotFound);
    EXPECT_FALSE(compare->GetIDOfName(u"LineWasSelected"));
    EXPECT_FALSE(review->GetIDOfName(u"LineWasSelected"));
    // AttachOwner is the component's own business.
    EXPECT_FALSE(replace->GetIDOfName(u"AttachOwner"));
}

// The page host authors read is made from the table; a change of either without the other
// fails here. ZELTPC5_REGENERATE_GOLDEN=1 rewrites the page; review its diff.
TEST(TypeLibraryReference, checkedInPageMatchesTheTable)
{
    const QString page = typelib::TypeLibraryReference();
    // Rows a host author looks up, as the page must show them.
    EXPECT_TRUE(
        page.contains(QStringLiteral("| `GetLineData` | method | `0x6003000A` (1610809354) |")));
    EXPECT_TRUE(page.contains(QStringLiteral("| `ReplaceEngine` | "
                                             "`{F7C82FA3-9270-4633-8226-DF8F2794F1F5}` | no | "
                                             "none | `_ReplaceEngine` |")));
    EXPECT_TRUE(page.contains(QStringLiteral(
        "| `CancelRequested` | property, get and put | `0x68030000` (1745027072) |")));

    QFile file(QStringLiteral(ZELTPC5_DOCS_DIR "/type-library.md"));
    if (qEnvironmentVariableIntValue("ZELTPC5_REGENERATE_GOLDEN") == 1) {
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(page.toUtf8());
        return;
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
    EXPECT_EQ(page, QString::fromUtf8(file.readAll()));
}
