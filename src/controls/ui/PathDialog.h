#pragma once
// The folder picker: a modal window with the folder tree, OK, Cancel and Create. It lives for one browse
// of a folder field and is that field's default picker (see FolderPicker.h).

#include "controls/ui/FolderPicker.h"
#include "controls/ui/ShellTreeView.h"
#include "platform/core/Override.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QScrollArea;

namespace pardova {

// The picker's five texts, read once per run by LoadPlatformText.
struct TPathDialogTexts {
    QString Caption; // "Select directory"
    QString Ok;      // "OK"
    QString Cancel;  // "Cancel"
    QString Create;  // "Create"
    QString Root;    // "Root:"
};

// The texts from the platform's string tables where it has them, else the built-in ones. Read on the
// first call; later calls give the same texts.
const TPathDialogTexts& LoadPlatformText();

// Shows the picker's error box (ThePathDialogMessages' ErrorBox); the program's is modal, owned by the
// active window, with caption "Error", the error icon and one OK button.
void ShowErrorBox(const QString& text);

// Where the picker's messages go: its own error box, and the application's failure box for a refused
// rename. Tests put theirs in place to collect the texts.
struct TPathDialogMessages {
    std::function<void(const QString& text)> ErrorBox;
    std::function<void(const QString& text)> ApplicationError;
};
extern platform::OverridePoint<TPathDialogMessages> ThePathDialogMessages;

class TPathDialogForm : public QDialog, public IFolderPicker {
    Q_OBJECT
public:
    explicit TPathDialogForm(QWidget* parent = nullptr);
    ~TPathDialogForm() override;

    // The controls, named as in the window's description.
    TsShellTreeView* sShellTreeView1;
    QPushButton* sBitBtn1; // OK
    QPushButton* sBitBtn2; // Cancel
    QPushButton* sBitBtn3; // Create
    QScrollArea* sScrollBox1;
    QLabel* sLabel1;
    // The caption above the tree (the folder field's DialogText).
    QLabel* sShellTreeView1Label;

    void InitLngCaptions();
    // From here on the tree follows all four edges, OK and Cancel the lower right corner, and Create the
    // lower left corner.
    void UpdateAnchors();

    // The first free "New folder" + N path under the selected folder; empty when none is free.
    std::string NextNewFolderName() const;

    // Event handlers.
    void sShellTreeView1Change();
    void sBitBtn1Click();
    void sBitBtn2Click();
    void sBitBtn3Click();

    // The folder field's contract.
    void SetDialogText(const QString& text) override;
    void SetRoot(const QString& root) override;
    void SetCreateVisible(bool visible) override;
    void SetSelectedPath(const QString& path) override;
    bool Execute() override;
    QString SelectedPath() const override;

    void reject() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void PlaceTreeLabel();
    void FitMinimumToFrame();

    bool FAnchored = false;
    int FTreeRight = 0, FTreeBottom = 0, FButtonsBottom = 0, FOkRight = 0, FCancelRight = 0;
};

// The picker that exists now, or null: one browse at a time.
extern TPathDialogForm* PathDialogForm;

} // namespace pardova
