// What the review windows share: they fill once, on their first activation, after they are
// up and painted; they offer "More commands" (print and save the list); and they show a
// grid's records with their change or result texts as child rows.
#pragma once

#include <QDialog>
#include <QStringList>

class QFileDialog;
class QPushButton;

namespace zeltpc5 {

class ReportGrid;
class ReportRecord;

class ReportWindow : public QDialog
{
    Q_OBJECT
public:
    explicit ReportWindow(QWidget *parent = nullptr);

    // True once the first activation's work is done and the window shows its contents.
    bool isFilled() const { return m_filled; }

Q_SIGNALS:
    void filled();

protected:
    // Runs once, after pending window events have been processed.
    virtual void firstActivation() = 0;
    void showEvent(QShowEvent *event) override;

    // The "More commands" button (cmdMore) with its pop-up menu mnuMore: "Print List..."
    // (mnuPrint) opens the grid's print preview, "Save List..." (mnuSave) saves it as text
    // through the window's file dialog (CommonDialog1).
    QPushButton *createMoreCommands(ReportGrid *grid);

private:
    bool m_activated = false;
    bool m_filled = false;
    QFileDialog *m_fileDialog = nullptr;
};

// One child record per text under the record: empty items before the text's item index.
void AddChildTexts(ReportRecord *record, int itemIndex, const QStringList &texts);

} // namespace zeltpc5
