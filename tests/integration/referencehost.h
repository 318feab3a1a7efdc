// The reference host as a real host runs it, for whole-system tests and benchmarks: the demo
// company in a database of its own temporary folder, the host's service object over it, and
// the product engine, formula engine and helper classes registered in this process.
#pragma once

#include "host/database/database.h"
#include "host/database/quotestore.h"
#include "support/testdatabase.h"

#include <zeltpc5/dispatch.h>

#include <QTemporaryDir>

#include <functional>

#include <memory>
#include <vector>

namespace zeltpc5::testing {

// The host's item dialogs as a test scripts them: each call goes to the function set for it;
// without one the dialog answers Cancel.
struct ScriptedItemDialogs
{
    std::function<bool(qint32 &vendorID, qint32 &productID, QString &style, bool styleOnly)>
        selectProductStyle;
    std::function<bool(qint32 &productID, QString &style, QString &itemXML, QString &priceCostXML,
                       qint32 mode)>
        editProductItem;
    int selectCalls = 0;
    int editCalls = 0;
};

class ReferenceHost
{
public:
    // With dialogs, the service object's item dialogs are the scripted ones. When the
    // database cannot be had here, nothing is opened: OnEachDatabase skips such a test.
    explicit ReferenceHost(Backend backend = Backend::SQLite,
                           std::shared_ptr<ScriptedItemDialogs> dialogs = {});
    ~ReferenceHost();
    ReferenceHost(const ReferenceHost &) = delete;
    ReferenceHost &operator=(const ReferenceHost &) = delete;

    host::Database &database() { return *m_db; }
    const DispatchPtr &sharedCodeLibrary() const { return m_scl; }
    // What the host would show the user; nothing here ever waits for a click.
    const QStringList &messages() const;

    std::vector<host::QuoteLine> quoteLines(const QString &quoteNumber) const;

    // A date as the host keeps dates of charges (UTC text), the given number of days from now.
    static QString DateFromToday(int days);

private:
    struct Presenter;
    TestDatabase m_database;
    std::shared_ptr<host::Database> m_db;
    std::shared_ptr<Presenter> m_presenter;
    DispatchPtr m_scl;
};

// Whole-system tests run once on each database (INSTANTIATE_TEST_SUITE_P with AllBackends()).
class OnEachDatabase : public ::testing::TestWithParam<Backend>
{
protected:
    void SetUp() override;
};

// Hands the lines to an engine through its boundary (AddLine), as the host program does.
void AddLines(const DispatchPtr &engine, const std::vector<host::QuoteLine> &lines);

} // namespace zeltpc5::testing
