// The window in which the user reviews a bulk change before the host applies it: every
// line with its status, old and new price and its change texts. OK accepts, Cancel (or the
// close box) rejects. The rows come from ReplaceReviewModel; the window only shows them.
#pragma once

#include "review/replacereviewmodel.h"
#include "ui/imagemanager.h"
#include "ui/reportwindow.h"

#include <zeltpc5/dispatch.h>

class QCheckBox;

namespace zeltpc5 {

class ReportGrid;

class ReplaceReviewWindow : public ReportWindow
{
    Q_OBJECT
public:
    explicit ReplaceReviewWindow(QWidget *parent = nullptr);
    ~ReplaceReviewWindow() override;

    // Keeps the engine's data (and the engine, through keepAlive) until the window unloads.
    void Initialize(const ReplaceReviewSource &source, DispatchPtr keepAlive = {});

    // True from load; false only once OK has closed the window.
    bool Cancelled() const { return m_cancelled; }
    bool HasErrors() const { return m_model.HasErrors(); }
    const ReplaceReviewModel &model() const { return m_model; }

    void done(int result) override;

protected:
    void firstActivation() override;

private:
    void fill();
    void showUnaffectedRows();

    ReplaceReviewModel m_model;
    ReplaceReviewSource m_source;
    DispatchPtr m_engine;
    ImageManager m_icons;
    ReportGrid *m_grid;
    QCheckBox *m_showUnaffected;
    bool m_cancelled = true;
};

// Puts the model's rows into a grid set up with the review's columns: one record per line,
// its change texts as child records, unaffected lines hidden unless asked for, the first
// line expanded.
void FillReplaceReviewGrid(ReportGrid &grid, const ReplaceReviewModel &model, bool showUnaffected);

// Shows the review of the engine's lines modally; true only after OK. Without a GUI
// application object nothing is shown and the result is false: nothing unreviewed is
// accepted.
bool ShowReplaceReviewWindow(const ReplaceReviewSource &source, DispatchPtr keepAlive);

} // namespace zeltpc5
