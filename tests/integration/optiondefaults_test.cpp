// Option defaults read through the reference host: each "Results/Record" row goes to the
// host's Common.GetFieldValue2 as a node object, and the host reads the node.
#include "referencehost.h"

#include "engine/hostservices.h"
#include "engine/productengine.h"
#include "replace/readback.h"
#include "support/fakes.h"

#include <gtest/gtest.h>

using namespace zeltpc5;
using namespace zeltpc5::testing;

class OptionDefaults : public OnEachDatabase
{};
INSTANTIATE_TEST_SUITE_P(Databases, OptionDefaults, AllBackends(), BackendName);

TEST_P(OptionDefaults, theReferenceHostReadsEveryRecordNodeItIsGiven)
{
    ReferenceHost host{GetParam()};
    // Markup, quotes and a line break come through as the database holds them.
    host.database().execute(
        QStringLiteral("INSERT INTO OptionDefaults (ID, ProductID, OptionName, OptionValue) "
                       "VALUES (?, ?, ?, ?)"),
        {100, 4, QStringLiteral("Note <b>"), QStringLiteral("\"A\" & 'B'\r\nC")});

    auto fake = MakeFakeProductEngine();
    ProductEngine engine(fake);
    ApplyOptionDefaults(4, engine, HostServices(host.sharedCodeLibrary()));
    EXPECT_EQ(fake->calls(),
              (QStringList{QStringLiteral("SetOptionValue(Mount, Inside)"),
                           QStringLiteral("SetOptionValue(Hold Down Brackets, No)"),
                           QStringLiteral("SetOptionValue(Mount, Outside)"),
                           QStringLiteral("SetOptionValue(Stack, Left)"),
                           QStringLiteral("SetOptionValue(Track Color, White)"),
                           QStringLiteral("SetOptionValue(Wand Length, 48)"),
                           QStringLiteral("SetOptionValue(Note <b>, \"A\" & 'B'\r\nC)")}));
}
