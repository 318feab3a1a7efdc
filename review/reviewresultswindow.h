// The window that shows the outcome of an item review: every product line with its review
// results, and a summary page. It only reads the engine and has a single closing command.
// The rows come from ItemReviewResultsModel; the window only shows them.
#pragma once

#include "review/reviewresultsmodel.h"
#include "ui/imagemanager.h"
#include "ui/reportwindow.h"

#include <zeltpc5/dispatch.h>

class QCheckBox;

namespace zeltpc5 {

class ReportGrid;

class ReviewResultsWindow : public ReportWindow
{
    Q_OBJECT
public:
    explicit ReviewResultsWindow(QWidget *parent = nullptr);
    ~ReviewResultsWindow() override;

    void Initialize(const ReviewResultsSource &source, DispatchPtr keepAlive = {});
    // True from load and after Close: the window offers nothing to accept.
    bool Cancelled() const { return true; }
    const ItemReviewResultsModel &model() const { return m_model; }

    void done(int result) override;

protected:
    void firstActivation() override;

private:
    void showUnaffectedRows();

    ItemReviewResultsModel m_model;
    ReviewResultsSource m_source;
    DispatchPtr m_engine;
    ImageManager m_icons;
    ReportGrid *m_items;
    ReportGrid *m_summary;
    QCheckBox *m_showUnaffected;
};

// The product lines and their results into a grid with the window's columns; lines without
// results hidden unless asked for.
void FillReviewItemsGrid(ReportGrid &grid, const ItemReviewResultsModel &model,
                         bool showUnaffected);
// The summary rows into a grid grouped by its hidden first column.
void FillReviewSummaryGrid(ReportGrid &grid, const ItemReviewResultsModel &model);

// Shows the results modally; always false, as the window has no accepting command. Without a
// GUI application object nothing is shown.
bool ShowReviewResultsWindow(const ReviewResultsSource &source, DispatchPtr keepAlive);

} // namespace zeltpc5
