#include "referencehost.h"

#include "host/database/seed.h"
#include "host/dialogs/itemdialogs.h"
#include "host/helpers/registration.h"
#include "host/services/messages.h"
#include "host/services/sharedcodelibrary.h"

#include <QDateTime>

namespace zeltpc5::testing {

struct ReferenceHost::Presenter : host::MessagePresenter
{
    bool present(const QString &heading, const QString &text, bool) override
    {
        shown << heading + QStringLiteral(" / ") + text;
        return false;
    }
    QStringList shown;
};

namespace {

class ScriptedDialogs : public host::ItemDialogs
{
public:
    explicit ScriptedDialogs(std::shared_ptr<ScriptedItemDialogs> script)
        : m_script(std::move(script))
    {}
    bool ShowSelectProductStyle(qint32 &vendorID, qint32 &productID, QString &style,
                                bool styleOnly) override
    {
        ++m_script->selectCalls;
        return m_script->selectProductStyle &&
               m_script->selectProductStyle(vendorID, productID, style, styleOnly);
    }
    bool ShowEditProductItem(qint32 &productID, QString &style, QString &itemXML,
                             QString &priceCostXML, qint32 mode) override
    {
        ++m_script->editCalls;
        return m_script->editProductItem &&
               m_script->editProductItem(productID, style, itemXML, priceCostXML, mode);
    }

private:
    std::shared_ptr<ScriptedItemDialogs> m_script;
};

} // namespace

ReferenceHost::ReferenceHost(Backend backend, std::shared_ptr<ScriptedItemDialogs> dialogs)
    : m_database(backend), m_presenter(std::make_shared<Presenter>())
{
    if (!m_database.available())
        return;
    m_db = host::Database::open(m_database.settings(), host::OpenMode::CreateIfMissing);
    host::SeedDemoCompany(*m_db);
    host::ServiceOptions options;
    options.messageSettingsFile = m_database.filePath(QStringLiteral("messages.ini"));
    options.messagePresenter = m_presenter;
    if (dialogs)
        options.itemDialogs = std::make_shared<ScriptedDialogs>(std::move(dialogs));
    m_scl = host::CreateSharedCodeLibrary(m_db, options);
    host::RegisterReferenceEngines();
}

ReferenceHost::~ReferenceHost() = default;

const QStringList &ReferenceHost::messages() const
{
    return m_presenter->shown;
}

std::vector<host::QuoteLine> ReferenceHost::quoteLines(const QString &quoteNumber) const
{
    host::QuoteStore store(*m_db);
    const auto quote = store.quote(quoteNumber);
    return quote ? store.lines(quote->id) : std::vector<host::QuoteLine>();
}

QString ReferenceHost::DateFromToday(int days)
{
    return QDateTime::currentDateTimeUtc().addDays(days).toString(
        QStringLiteral("yyyy-MM-ddT00:00:00"));
}

void OnEachDatabase::SetUp()
{
    const QString unavailable = UnavailableReason(GetParam());
    if (!unavailable.isEmpty())
        GTEST_SKIP() << unavailable.toStdString();
}

void AddLines(const DispatchPtr &engine, const std::vector<host::QuoteLine> &lines)
{
    for (const host::QuoteLine &l : lines)
        Call(engine, u"AddLine",
             {MakeInt16(qint16(l.line)), MakeInt16(qint16(l.quantity)), MakeInt32(l.productID),
              l.style, l.itemXML, l.priceCostXML, l.uniqueID});
}

} // namespace zeltpc5::testing
