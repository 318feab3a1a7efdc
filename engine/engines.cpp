#include "engine/engines.h"

#include "compare/comparewindow.h"

#include "replace/changeworkers.h"
#include "review/itemreview.h"
#include "review/replacereviewwindow.h"
#include "review/reviewresultswindow.h"
#include "ui/progresswindow.h"

#include <zeltpc5/classregistry.h>

namespace zeltpc5 {

namespace {

ReplaceEngine &replaceEngine(Dispatch &d)
{
    return static_cast<ReplaceEngine &>(d);
}

// The handlers of the change operations read their arguments, run, and answer a boolean.
template <class Run>
MemberTable::Handler changeOperation(Run run)
{
    return [run](Dispatch &d, VariantList &args, Variant &result) {
        ArgReader a(args);
        const std::optional<bool> ok = run(replaceEngine(d), a);
        if (!a.ok())
            return a.status();
        result = MakeBool(ok.value_or(false));
        return Status();
    };
}

// The arguments of the option, product/style and discount operations, read in order; the
// run happens only when every argument converted.
template <class F>
auto optionArgs(F f)
{
    return changeOperation([f](ReplaceEngine &e, ArgReader &a) -> std::optional<bool> {
        const QString names = a.text(0), values = a.text(1), ids = a.text(2);
        if (!a.ok())
            return std::nullopt;
        return (e.*f)(names, values, ids);
    });
}

template <class F>
auto productArgs(F f)
{
    return changeOperation([f](ReplaceEngine &e, ArgReader &a) -> std::optional<bool> {
        const qint32 vendor = a.int32(0), product = a.int32(1);
        const QString style = a.text(2), ids = a.text(3);
        if (!a.ok())
            return std::nullopt;
        return (e.*f)(vendor, product, style, ids);
    });
}

template <class F>
auto productOptionArgs(F f)
{
    return changeOperation([f](ReplaceEngine &e, ArgReader &a) -> std::optional<bool> {
        const qint32 vendor = a.int32(0), product = a.int32(1);
        const QString style = a.text(2), names = a.text(3), values = a.text(4), ids = a.text(5);
        if (!a.ok())
            return std::nullopt;
        return (e.*f)(vendor, product, style, names, values, ids);
    });
}

template <class F>
auto discountArgs(F f)
{
    return changeOperation([f](ReplaceEngine &e, ArgReader &a) -> std::optional<bool> {
        const qint16 what = a.int16(0);
        const QString value = a.text(1), ids = a.text(2);
        if (!a.ok())
            return std::nullopt;
        return (e.*f)(what, value, ids);
    });
}

const MemberTable &replaceTable()
{
    static const MemberTable table =
        ToolEngine::SkeletonMembers(typelib::ReplaceEngineInterface())
            .method("ShowChangeOptionValue", 3, optionArgs(&ReplaceEngine::ShowChangeOptionValue))
            .method("ChangeOptionValue", 3, optionArgs(&ReplaceEngine::ChangeOptionValue))
            .method("ShowChangeProductStyle", 4,
                    productArgs(&ReplaceEngine::ShowChangeProductStyle))
            .method("ChangeProductStyle", 4, productArgs(&ReplaceEngine::ChangeProductStyle))
            .method("ShowChangeProductStyleAndOptions", 6,
                    productOptionArgs(&ReplaceEngine::ShowChangeProductStyleAndOptions))
            .method("ChangeProductStyleAndOptions", 6,
                    productOptionArgs(&ReplaceEngine::ChangeProductStyleAndOptions))
            .method("ShowChangeDiscount", 3, discountArgs(&ReplaceEngine::ShowChangeDiscount))
            .method("ChangeDiscount", 3, discountArgs(&ReplaceEngine::ChangeDiscount))
            .method("ShowReplaceReview", 0,
                    [](Dispatch &d, VariantList &, Variant &result) {
                        result = MakeBool(replaceEngine(d).ShowReplaceReview());
                        return Status();
                    })
            .method("LineWasSelected", 1,
                    [](Dispatch &d, VariantList &args, Variant &result) {
                        ArgReader a(args);
                        const QString id = a.text(0);
                        if (!a.ok())
                            return a.status();
                        result = MakeBool(static_cast<ReplaceEngine &>(d).LineWasSelected(id));
                        return Status();
                    })
            .build();
    return table;
}

const MemberTable &compareTable()
{
    static const MemberTable table =
        ToolEngine::SkeletonMembers(typelib::CompareEngineInterface())
            .method("ShowProductCompare", 0,
                    [](Dispatch &d, VariantList &, Variant &result) {
                        result = MakeBool(static_cast<CompareEngine &>(d).ShowProductCompare());
                        return Status();
                    })
            .build();
    return table;
}

// A tool operation taking the "|"-separated identifiers and answering a boolean.
MemberTable::Handler idsOperation(bool (*operation)(ItemReviewEngine &, const QString &))
{
    return [operation](Dispatch &d, VariantList &args, Variant &result) {
        ArgReader a(args);
        const QString ids = a.text(0);
        if (!a.ok())
            return a.status();
        result = MakeBool(operation(static_cast<ItemReviewEngine &>(d), ids));
        return Status();
    };
}

const MemberTable &reviewTable()
{
    static const MemberTable table =
        ToolEngine::SkeletonMembers(typelib::ItemReviewEngineInterface())
            .method("ShowReviewItems", 1, idsOperation([](ItemReviewEngine &e, const QString &ids) {
                        return e.ShowReviewItems(ids);
                    }))
            .method("ReviewItems", 1, idsOperation([](ItemReviewEngine &e, const QString &ids) {
                        return e.ReviewItems(ids);
                    }))
            .method("ShowReviewResults", 0,
                    [](Dispatch &d, VariantList &, Variant &result) {
                        result = MakeBool(static_cast<ItemReviewEngine &>(d).ShowReviewResults());
                        return Status();
                    })
            .build();
    return table;
}

} // namespace

ReplaceEngine::ReplaceEngine() : ToolEngine(QStringLiteral("ReplaceEngine"), &replaceTable()) {}

void ReplaceEngine::setSelectedIDs(const QString &ids)
{
    m_selectedIDs = ids;
    m_selected.clear();
    for (const QString &id : ids.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        m_selected.insert(id.toCaseFolded());
}

bool ReplaceEngine::ShowReplaceReview()
{
    ReplaceReviewSource source;
    source.lines = &lines();
    source.lineWasSelected = [this](const QString &id) { return LineWasSelected(id); };
    source.host = Host();
    // The window holds the engine for as long as it is open.
    return ShowReplaceReviewWindow(source, DispatchPtr(this));
}

bool ReplaceEngine::LineWasSelected(const QString &uniqueID) const
{
    // Whole identifiers only: a plain substring test would report line 12 as selected
    // when only 112 was.
    return !uniqueID.isEmpty() && m_selected.contains(uniqueID.toCaseFolded());
}

namespace {

const ProgressWindowTexts ChangeOptionWindow{QStringLiteral("frmChangeOption"),
                                             QStringLiteral("Change Option"),
                                             QStringLiteral("Processing option changes...")};
const ProgressWindowTexts ChangeProductStyleWindow{QStringLiteral("frmChangeProductStyle"),
                                                   QStringLiteral("Change Product/Style"),
                                                   QStringLiteral("Processing changes...")};
const ProgressWindowTexts ChangeProductStyleAndOptionsWindow{
    QStringLiteral("frmChangeProductStyleAndOptions"),
    QStringLiteral("Change Product/Style/Options"), QStringLiteral("Processing changes...")};
const ProgressWindowTexts ChangeDiscountWindow{QStringLiteral("frmChangeDiscount"),
                                               QStringLiteral("Change Discount"),
                                               QStringLiteral("Processing discount changes...")};

} // namespace

bool ReplaceEngine::runChange(const QString &uniqueIDsToChange, const ProgressWindowTexts *window,
                              const Worker &worker)
{
    setSelectedIDs(uniqueIDsToChange);
    // A window may let the host release its references while the run goes on.
    const Ref<ReplaceEngine> keep(this);
    ChangeRun run{lines(), productEngine(), Host(), [this] { return CancelRequested(); }};
    if (!window) {
        worker(run, nullptr);
        return !CancelRequested();
    }
    return RunWithProgressWindow(
        *window, [&](Progress *progress) { worker(run, progress); },
        [this] { setCancelRequested(true); }, [this] { return CancelRequested(); });
}

bool ReplaceEngine::ShowChangeOptionValue(const QString &optionNames,
                                          const QString &newOptionValues,
                                          const QString &uniqueIDsToChange)
{
    return runChange(uniqueIDsToChange, &ChangeOptionWindow, [&](ChangeRun &run, Progress *p) {
        ChangeOptionValues(run, optionNames, newOptionValues, uniqueIDsToChange, p);
    });
}

bool ReplaceEngine::ChangeOptionValue(const QString &optionNames, const QString &newOptionValues,
                                      const QString &uniqueIDsToChange)
{
    return runChange(uniqueIDsToChange, nullptr, [&](ChangeRun &run, Progress *p) {
        ChangeOptionValues(run, optionNames, newOptionValues, uniqueIDsToChange, p);
    });
}

bool ReplaceEngine::ShowChangeProductStyle(qint32 vendorID, qint32 productID, const QString &style,
                                           const QString &uniqueIDsToChange)
{
    return runChange(uniqueIDsToChange, &ChangeProductStyleWindow,
                     [&](ChangeRun &run, Progress *p) {
                         ChangeProductStyles(run, vendorID, productID, style, uniqueIDsToChange, p);
                     });
}

bool ReplaceEngine::ChangeProductStyle(qint32 vendorID, qint32 productID, const QString &style,
                                       const QString &uniqueIDsToChange)
{
    return runChange(uniqueIDsToChange, nullptr, [&](ChangeRun &run, Progress *p) {
        ChangeProductStyles(run, vendorID, productID, style, uniqueIDsToChange, p);
    });
}

bool ReplaceEngine::ShowChangeProductStyleAndOptions(qint32 vendorID, qint32 productID,
                                                     const QString &style,
                                                     const QString &optionNames,
                                                     const QString &newOptionValues,
                                                     const QString &uniqueIDsToChange)
{
    return runChange(uniqueIDsToChange, &ChangeProductStyleAndOptionsWindow,
                     [&](ChangeRun &run, Progress *p) {
                         ChangeProductStylesAndOptions(run, vendorID, productID, style, optionNames,
                                                       newOptionValues, uniqueIDsToChange, p);
                     });
}

bool ReplaceEngine::ChangeProductStyleAndOptions(qint32 vendorID, qint32 productID,
                                                 const QString &style, const QString &optionNames,
                                                 const QString &newOptionValues,
                                                 const QString &uniqueIDsToChange)
{
    return runChange(uniqueIDsToChange, nullptr, [&](ChangeRun &run, Progress *p) {
        ChangeProductStylesAndOptions(run, vendorID, productID, style, optionNames, newOptionValues,
                                      uniqueIDsToChange, p);
    });
}

bool ReplaceEngine::ShowChangeDiscount(qint16 whatToChange, const QString &newValue,
                                       const QString &uniqueIDsToChange)
{
    return runChange(uniqueIDsToChange, &ChangeDiscountWindow, [&](ChangeRun &run, Progress *p) {
        ChangeDiscounts(run, whatToChange, newValue, uniqueIDsToChange, p);
    });
}

bool ReplaceEngine::ChangeDiscount(qint16 whatToChange, const QString &newValue,
                                   const QString &uniqueIDsToChange)
{
    return runChange(uniqueIDsToChange, nullptr, [&](ChangeRun &run, Progress *p) {
        ChangeDiscounts(run, whatToChange, newValue, uniqueIDsToChange, p);
    });
}

CompareEngine::CompareEngine() : ToolEngine(QStringLiteral("CompareEngine"), &compareTable()) {}

bool CompareEngine::ShowProductCompare()
{
    CompareSource source;
    source.lines = &lines();
    source.host = Host();
    source.owner = DispatchPtr(Owner().get());
    source.setLineData = [this](qint16 index, const QString &field, const QString &value) {
        SetLineData(index, field, value);
    };
    // The window holds the engine for as long as it is open.
    return ShowProductCompareWindow(source, DispatchPtr(this));
}

void CompareEngine::SetLineData(qint16 index, const QString &fieldName, const QString &value)
{
    LineRecord *line = lines().record(index);
    if (!line)
        return;
    const QString field = fieldName.toLower();
    if (field == u"newproductid") {
        if (const std::optional<qint32> id = ToInt32(Variant(value)))
            line->NewProductID = *id;
    } else if (field == u"newstyle") {
        line->NewStyle = value;
    } else if (field == u"newitemxml") {
        line->NewItemXML = value;
    } else if (field == u"newpricecostxml") {
        line->NewPriceCostXML = value;
    }
}

ItemReviewEngine::ItemReviewEngine()
    : ToolEngine(QStringLiteral("ItemReviewEngine"), &reviewTable())
{}

bool ItemReviewEngine::ShowReviewItems(const QString &uniqueIDs)
{
    const ProgressWindowTexts texts{QStringLiteral("frmReviewItems"),
                                    QStringLiteral("Reviewing Items"),
                                    QStringLiteral("Please wait while items are reviewed...")};
    // The window holds the engine for as long as it is open.
    const Ref<ItemReviewEngine> keep(this);
    return RunWithProgressWindow(
        texts,
        [&](Progress *progress) {
            ReviewSelectedItems(lines(), uniqueIDs, progress, [&] { return CancelRequested(); });
        },
        [&] { setCancelRequested(true); }, [&] { return CancelRequested(); });
}

bool ItemReviewEngine::ReviewItems(const QString &uniqueIDs)
{
    ReviewSelectedItems(lines(), uniqueIDs, nullptr, [&] { return CancelRequested(); });
    // Success unless cancelled, like the windowed form; never a failure reported as done.
    return !CancelRequested();
}

bool ItemReviewEngine::ShowReviewResults()
{
    // The window holds the engine for as long as it is open.
    return ShowReviewResultsWindow({&lines(), Host()}, DispatchPtr(this));
}

void RegisterComponentClasses()
{
    const auto *library = typelib::FindClass(u"Library");
    ClassRegistry::instance().registerClass(library->progId(), library->clsid,
                                            [] { return DispatchPtr(Library::create()); });
}

} // namespace zeltpc5
