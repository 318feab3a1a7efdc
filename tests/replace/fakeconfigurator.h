// A small product engine for the bulk change tests: products with list options whose rules
// reset a value that is not one of the choices, a price made of option surcharges, and a
// file that cannot be opened.
#pragma once

#include "support/fakes.h"

#include <QMap>

namespace zeltpc5::testing {

struct FakeOption
{
    QString name;
    QStringList choices; // empty: any value
    QString defaultValue;
    int type = 4;
};

class FakeConfigurator
{
public:
    FakeConfigurator();
    // Products by file name; a file not listed cannot be opened.
    QMap<QString, QList<FakeOption>> products;
    QMap<QString, int> surcharges; // option value -> price added
    Ref<ScriptedObject> object;
    QStringList setCalls;            // "Name=Value" in order, across lines
    std::function<void()> onProcess; // runs at each ProcessOptions

private:
    QList<FakeOption> current;
    QMap<QString, QString> values;
    void process();
};

// A host whose Common answers product files ("product<id>.xml"), names ("Product <id>") and
// fills templates; everything else reads as empty.
void ScriptCommonHost(FakeHost &host);

} // namespace zeltpc5::testing
