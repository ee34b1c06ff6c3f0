#pragma once
// The path fields: a one-line edit with a browse button inside its end and a caption beside it.
//
//   TsMaskEdit -> TsCustomComboEdit -> TsFileDirEdit -> TsDirectoryEdit (folder field)
//                                                    -> TsFilenameEdit  (file field)
//
// Texts are QString; the Qt-free core sees them as UTF-8.

#include "controls/ui/ComboEdit.h"
#include "controls/ui/OpenDialog.h"

#include "platform/core/Path.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

namespace pardova {

// Sender, the working name and the Action flag, which the handler may change.
using TExecOpenDialogEvent = std::function<void(QObject* sender, QString& name, bool& action)>;

// The common base of the path fields.
class TsFileDirEdit : public TsCustomComboEdit {
    Q_OBJECT
    Q_PROPERTY(bool AcceptFiles READ AcceptFiles WRITE SetAcceptFiles)
    Q_PROPERTY(bool MultipleDirs READ MultipleDirs WRITE SetMultipleDirs)
public:
    explicit TsFileDirEdit(QWidget* parent = nullptr);

    bool AcceptFiles() const { return FAcceptFiles; }
    void SetAcceptFiles(bool value) { FAcceptFiles = value; }
    bool MultipleDirs() const { return FMultipleDirs; }
    void SetMultipleDirs(bool value) { FMultipleDirs = value; }

    // The path rules the browse applies to the text (the platform's own unless a test says otherwise).
    platform::PathStyle PathRules() const { return FPathRules; }
    void SetPathRules(platform::PathStyle value) { FPathRules = value; }

    TExecOpenDialogEvent OnBeforeDialog;
    TExecOpenDialogEvent OnAfterDialog;

protected:
    // The start every browse shares: OnButtonClick, then the working name from the text and OnBeforeDialog.
    // False when OnBeforeDialog called the browse off.
    bool BeginBrowse(QString& name, bool& action);

private:
    platform::PathStyle FPathRules = platform::kNativePathStyle;
    bool FAcceptFiles = false;
    bool FMultipleDirs = false;
};

// The folder field: its button opens the folder picker (FolderPicker.h).
class TsDirectoryEdit : public TsFileDirEdit {
    Q_OBJECT
    Q_PROPERTY(QString InitialDir READ InitialDir WRITE SetInitialDir)
    Q_PROPERTY(TSelectDirOpts DialogOptions READ DialogOptions WRITE SetDialogOptions)
    Q_PROPERTY(QString DialogText READ DialogText WRITE SetDialogText)
    Q_PROPERTY(QString Root READ Root WRITE SetRoot)
    Q_PROPERTY(bool NoChangeDir READ NoChangeDir WRITE SetNoChangeDir)
    Q_PROPERTY(bool ShowRootBtns READ ShowRootBtns WRITE SetShowRootBtns)
public:
    enum TSelectDirOpt { sdAllowCreate = 0x1, sdPerformCreate = 0x2, sdPrompt = 0x4 };
    Q_DECLARE_FLAGS(TSelectDirOpts, TSelectDirOpt)
    Q_FLAG(TSelectDirOpts)

    explicit TsDirectoryEdit(QWidget* parent = nullptr);

    // The folder last confirmed through this field.
    QString InitialDir() const { return FInitialDir; }
    void SetInitialDir(const QString& value) { FInitialDir = value; }
    TSelectDirOpts DialogOptions() const { return FDialogOptions; }
    void SetDialogOptions(TSelectDirOpts value) { FDialogOptions = value; }
    QString DialogText() const { return FDialogText; }
    void SetDialogText(const QString& value) { FDialogText = value; }
    QString Root() const { return FRoot; }
    void SetRoot(const QString& value) { FRoot = value; }
    bool NoChangeDir() const { return FNoChangeDir; }
    void SetNoChangeDir(bool value) { FNoChangeDir = value; }
    bool ShowRootBtns() const { return FShowRootBtns; }
    void SetShowRootBtns(bool value) { FShowRootBtns = value; }

    // Opens the folder picker. Raises EInOutError when the current directory cannot be set to the
    // starting folder (the picker is then not shown), and passes on the picker's own errors; the text is
    // unchanged in both cases.
    void BrowseClick() override;

private:
    QString FInitialDir;
    TSelectDirOpts FDialogOptions = TSelectDirOpts(sdAllowCreate | sdPerformCreate | sdPrompt);
    QString FDialogText;
    QString FRoot = QStringLiteral("rfDesktop");
    bool FNoChangeDir = false;
    bool FShowRootBtns = false;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TsDirectoryEdit::TSelectDirOpts)
using enum TsDirectoryEdit::TSelectDirOpt;

// The file field: its button opens the platform's open-file dialog.
class TsFilenameEdit : public TsFileDirEdit {
    Q_OBJECT
    Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
    Q_PROPERTY(int FilterIndex READ FilterIndex WRITE SetFilterIndex)
    Q_PROPERTY(QString DefaultExt READ DefaultExt WRITE SetDefaultExt)
    Q_PROPERTY(QString InitialDir READ InitialDir WRITE SetInitialDir)
    Q_PROPERTY(TsOpenDialog::TOpenOptions DialogOptions READ DialogOptions WRITE SetDialogOptions)
    Q_PROPERTY(QString DialogTitle READ DialogTitle WRITE SetDialogTitle)
    Q_PROPERTY(TFileDialogKind DialogKind READ DialogKind WRITE SetDialogKind)
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName STORED false)
public:
    enum TFileDialogKind { dkOpen, dkSave, dkOpenPicture, dkSavePicture };
    Q_ENUM(TFileDialogKind)

    explicit TsFilenameEdit(QWidget* parent = nullptr);

    TsOpenDialog& Dialog() const { return *FDialog; }
    QString Filter() const { return FDialog->Filter(); }
    void SetFilter(const QString& value) { FDialog->SetFilter(value); }
    int FilterIndex() const { return FDialog->FilterIndex(); }
    void SetFilterIndex(int value) { FDialog->SetFilterIndex(value); }
    QString DefaultExt() const { return FDialog->DefaultExt(); }
    void SetDefaultExt(const QString& value) { FDialog->SetDefaultExt(value); }
    QString InitialDir() const { return FDialog->InitialDir(); }
    void SetInitialDir(const QString& value) { FDialog->SetInitialDir(value); }
    TsOpenDialog::TOpenOptions DialogOptions() const { return FDialog->Options(); }
    void SetDialogOptions(TsOpenDialog::TOpenOptions value) { FDialog->SetOptions(value); }
    QString DialogTitle() const { return FDialog->Title(); }
    void SetDialogTitle(const QString& value) { FDialog->SetTitle(value); }
    QStringList& HistoryList() { return FDialog->HistoryList; }
    TFileDialogKind DialogKind() const { return FDialogKind; }
    void SetDialogKind(TFileDialogKind value) { FDialogKind = value; }
    // The field's text. Setting a non-empty name that fails IsValidFileName raises Exception
    // ("Invalid file name").
    QString FileName() const { return Text(); }
    void SetFileName(const QString& value);

    // Opens the open-file dialog.
    void BrowseClick() override;

private:
    TsOpenDialog* FDialog;
    TFileDialogKind FDialogKind = dkOpen;
};

using enum TsFilenameEdit::TFileDialogKind;

} // namespace pardova
