#pragma once
// The path fields: a one-line edit with a browse button inside its end and a caption beside it.
//
//   TsMaskEdit -> TsCustomComboEdit -> TsFileDirEdit -> TsDirectoryEdit (folder field)
//                                                    -> TsFilenameEdit  (file field)
//
// Texts are QString; the Qt-free core sees them as UTF-8.

#include <QAbstractButton>
#include <QFlags>
#include <QFont>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "platform/core/Path.h"

#include <exception>
#include <functional>

namespace pardova {

class TsOpenDialog;

// The caption control that a bound label places on the field's parent.
class TsEditLabel : public QLabel {
    Q_OBJECT
public:
    explicit TsEditLabel(QWidget* parent = nullptr);
};

// The caption of a field. While Active it owns one TsEditLabel on the field's parent, named after the
// field followed by "Label", and keeps it placed, shown and enabled with the field.
class TsBoundLabel : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(TsCaptionLayout Layout READ Layout WRITE SetLayout)
    Q_PROPERTY(int Indent READ Indent WRITE SetIndent)
    Q_PROPERTY(int MaxWidth READ MaxWidth WRITE SetMaxWidth)
    Q_PROPERTY(bool EnabledAlways READ EnabledAlways WRITE SetEnabledAlways)
    Q_PROPERTY(bool AllowClick READ AllowClick WRITE SetAllowClick)
    Q_PROPERTY(bool UseSkinColor READ UseSkinColor WRITE SetUseSkinColor)
    Q_PROPERTY(bool UseHTML READ UseHTML WRITE SetUseHTML)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
public:
    enum TsCaptionLayout { sclLeft, sclTopLeft };
    Q_ENUM(TsCaptionLayout)

    explicit TsBoundLabel(QWidget* field);
    ~TsBoundLabel() override;

    bool Active() const { return FActive; }
    void SetActive(bool value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);
    TsCaptionLayout Layout() const { return FLayout; }
    void SetLayout(TsCaptionLayout value);
    int Indent() const { return FIndent; }
    void SetIndent(int value);
    int MaxWidth() const { return FMaxWidth; }
    void SetMaxWidth(int value);
    bool EnabledAlways() const { return FEnabledAlways; }
    void SetEnabledAlways(bool value);
    bool AllowClick() const { return FAllowClick; }
    void SetAllowClick(bool value);
    bool UseSkinColor() const { return FUseSkinColor; }
    void SetUseSkinColor(bool value) { FUseSkinColor = value; }
    bool UseHTML() const { return FUseHTML; }
    void SetUseHTML(bool value);
    QFont Font() const { return FFont; }
    void SetFont(const QFont& value);

    // The label control; null while inactive or while the field has no parent.
    TsEditLabel* Label() const { return FLabel; }
    // Places, sizes, shows and enables the label after the field changed.
    void Update();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateOrDestroyLabel();
    QString ShownText() const;

    QWidget* FField;
    QPointer<TsEditLabel> FLabel;
    bool FActive = false;
    QString FCaption;
    TsCaptionLayout FLayout = sclLeft;
    int FIndent = 0;
    int FMaxWidth = 0;
    bool FEnabledAlways = false;
    bool FAllowClick = false;
    bool FUseSkinColor = true;
    bool FUseHTML = false;
    QFont FFont;
    bool FFontSet = false;
};

using enum TsBoundLabel::TsCaptionLayout;

// Which images the button shows. Without images (or with ImageIndex -1) the field's built-in glyph is
// used. Blend (0..100) fades the normal image into the background; Grayed shows it in grey until hot.
class TsGlyphMode : public QObject {
    Q_OBJECT
    Q_PROPERTY(int ImageIndex READ ImageIndex WRITE SetImageIndex)
    Q_PROPERTY(int ImageIndexHot READ ImageIndexHot WRITE SetImageIndexHot)
    Q_PROPERTY(int ImageIndexPressed READ ImageIndexPressed WRITE SetImageIndexPressed)
    Q_PROPERTY(int Blend READ Blend WRITE SetBlend)
    Q_PROPERTY(bool Grayed READ Grayed WRITE SetGrayed)
public:
    explicit TsGlyphMode(QObject* parent = nullptr);

    const QList<QPixmap>& Images() const { return FImages; }
    void SetImages(const QList<QPixmap>& images);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int value);
    int ImageIndexHot() const { return FImageIndexHot; }
    void SetImageIndexHot(int value);
    int ImageIndexPressed() const { return FImageIndexPressed; }
    void SetImageIndexPressed(int value);
    int Blend() const { return FBlend; }
    void SetBlend(int value);
    bool Grayed() const { return FGrayed; }
    void SetGrayed(bool value);

signals:
    void Changed();

private:
    QList<QPixmap> FImages;
    int FImageIndex = -1;
    int FImageIndexHot = -1;
    int FImageIndexPressed = -1;
    int FBlend = 0;
    bool FGrayed = false;
};

// The built-in glyphs, two 16 x 16 images each (normal, then hot/pressed): 0 document, 1 folder,
// 2 ellipsis, 3 drop-down arrow, 4 magnifier.
const QList<QPixmap>& BuiltInGlyphs();
inline constexpr int kGlyphSize = 16;

// The flat button inside a field.
class TsEditButton : public QAbstractButton {
    Q_OBJECT
public:
    TsEditButton(QWidget* parent, TsGlyphMode* glyphMode, const int* defBmpID);

    // The image the button shows in its current state (null when there is none).
    QPixmap CurrentGlyph() const;
    // The width of the glyph the button shows; 0 when it shows none.
    int GlyphWidth() const;
    bool IsHot() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TsGlyphMode* FGlyphMode;
    const int* FDefBmpID;
    bool FHover = false;
};

// Receives every error raised by a browse that the user started (button, key). The default hands it to
// the application's failure box. HandleControlException is called inside the catch block.
using ControlExceptionHandler = std::function<void(const std::exception& error, QWidget* origin)>;
ControlExceptionHandler SetControlExceptionHandler(ControlExceptionHandler handler);
void HandleControlException(const std::exception& error, QWidget* origin);

// A one-line edit. MaxLength limits what the user types or pastes, never a text set by the program.
class TsMaskEdit : public QLineEdit {
    Q_OBJECT
    Q_PROPERTY(QString Text READ Text WRITE SetText)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(bool CheckOnExit READ CheckOnExit WRITE SetCheckOnExit)
    Q_PROPERTY(QString EditMask READ EditMask WRITE SetEditMask)
public:
    explicit TsMaskEdit(QWidget* parent = nullptr);
    ~TsMaskEdit() override;

    QString Text() const { return text(); }
    void SetText(const QString& value);
    // 0 means no limit.
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    bool CheckOnExit() const { return FCheckOnExit; }
    void SetCheckOnExit(bool value) { FCheckOnExit = value; }
    QString EditMask() const { return FEditMask; }
    void SetEditMask(const QString& value);
    TsBoundLabel* BoundLabel() const { return FBoundLabel; }

    // Called when the text fails the edit mask as the focus leaves; the focus then stays.
    std::function<void(QObject* sender)> OnValidateError;

    // Inserts as much of the text as MaxLength leaves room for, replacing the selection, as typing or
    // pasting would; nothing while the user may not type.
    void InsertLimited(QString text);
    // Pastes the clipboard's text, cut at its first line break and at MaxLength.
    void PasteLimited();
    // Whether the user may change the text by typing, pasting or cutting.
    virtual bool CanType() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Applies CanType() to the edit.
    void UpdateReadOnly();

private:
    int FMaxLength = 0;
    bool FCheckOnExit = true;
    QString FEditMask;
    TsBoundLabel* FBoundLabel;
};

// A TsMaskEdit with a button inside it that browses for a value.
class TsCustomComboEdit : public TsMaskEdit {
    Q_OBJECT
    Q_PROPERTY(QKeySequence ClickKey READ ClickKey WRITE SetClickKey)
    Q_PROPERTY(bool DirectInput READ DirectInput WRITE SetDirectInput)
    Q_PROPERTY(bool ReadOnly READ ReadOnly WRITE SetReadOnly)
    Q_PROPERTY(bool ShowButton READ ShowButton WRITE SetShowButton)
    Q_PROPERTY(bool AutoSelect READ AutoSelect WRITE SetAutoSelect)
public:
    explicit TsCustomComboEdit(QWidget* parent = nullptr);

    TsEditButton* Button() const { return FButton; }
    TsGlyphMode* GlyphMode() const { return FGlyphMode; }
    QKeySequence ClickKey() const { return FClickKey; }
    void SetClickKey(const QKeySequence& value) { FClickKey = value; }
    bool DirectInput() const { return FDirectInput; }
    void SetDirectInput(bool value);
    bool ReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool value);
    bool ShowButton() const { return FShowButton; }
    void SetShowButton(bool value);
    bool AutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool value) { FAutoSelect = value; }
    // Which built-in glyph the button shows when GlyphMode names no image.
    int DefBmpID() const { return FDefBmpID; }

    bool CanType() const override;

    // Fired first in every browse.
    std::function<void(QObject* sender)> OnButtonClick;

    // The browse; the folder and file fields replace it. May raise.
    virtual void BrowseClick();
    // What a click on the button does: BrowseClick unless ReadOnly. May raise.
    void DoClick();
    // Selects the whole text when there is any.
    void SelectAll();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Places the button inside the field's end and keeps the text clear of it.
    void LayoutButton();
    // DoClick with its errors sent to the control exception handler.
    void ClickFromUser();

    int FDefBmpID = 3;

private:
    TsGlyphMode* FGlyphMode;
    TsEditButton* FButton;
    QKeySequence FClickKey{Qt::ALT | Qt::Key_Down};
    bool FDirectInput = true;
    bool FReadOnly = false;
    bool FShowButton = true;
    bool FAutoSelect = true;
};

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

// The open-file dialog of a file field. It keeps its settings (and so its initial folder) between
// browses; Execute runs it through the current runner (SetOpenDialogRunner).
class TsOpenDialog : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
    Q_PROPERTY(int FilterIndex READ FilterIndex WRITE SetFilterIndex)
    Q_PROPERTY(QString DefaultExt READ DefaultExt WRITE SetDefaultExt)
    Q_PROPERTY(QString InitialDir READ InitialDir WRITE SetInitialDir)
    Q_PROPERTY(TOpenOptions Options READ Options WRITE SetOptions)
    Q_PROPERTY(QString Title READ Title WRITE SetTitle)
    Q_PROPERTY(QString FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(int HelpContext READ HelpContext WRITE SetHelpContext)
public:
    enum TOpenOption {
        ofHideReadOnly = 0x1,    // no read-only check box
        ofPathMustExist = 0x2,   // the chosen file's folder must exist
        ofFileMustExist = 0x4,   // the chosen file must exist
        ofEnableSizing = 0x8,    // the dialog can be resized
        ofForceShowHidden = 0x10 // hidden files are listed
    };
    Q_DECLARE_FLAGS(TOpenOptions, TOpenOption)
    Q_FLAG(TOpenOptions)

    explicit TsOpenDialog(QObject* parent = nullptr);

    // "Description|pattern|Description|pattern...".
    QString Filter() const { return FFilter; }
    void SetFilter(const QString& value) { FFilter = value; }
    // 1-based.
    int FilterIndex() const { return FFilterIndex; }
    void SetFilterIndex(int value) { FFilterIndex = value; }
    QString DefaultExt() const { return FDefaultExt; }
    void SetDefaultExt(const QString& value) { FDefaultExt = value; }
    QString InitialDir() const { return FInitialDir; }
    void SetInitialDir(const QString& value) { FInitialDir = value; }
    TOpenOptions Options() const { return FOptions; }
    void SetOptions(TOpenOptions value) { FOptions = value; }
    // Empty: the platform's own title.
    QString Title() const { return FTitle; }
    void SetTitle(const QString& value) { FTitle = value; }
    QString FileName() const { return FFileName; }
    void SetFileName(const QString& value) { FFileName = value; }
    int HelpContext() const { return FHelpContext; }
    void SetHelpContext(int value) { FHelpContext = value; }
    QStringList HistoryList;

    // Shows the dialog modally; true when the user confirmed, FileName then holding the chosen path.
    bool Execute(QWidget* parent);

private:
    QString FFilter;
    int FFilterIndex = 1;
    QString FDefaultExt;
    QString FInitialDir;
    TOpenOptions FOptions = TOpenOptions(ofHideReadOnly | ofEnableSizing);
    QString FTitle;
    QString FFileName;
    int FHelpContext = 0;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(TsOpenDialog::TOpenOptions)
using enum TsOpenDialog::TOpenOption;

// Runs an open-file dialog: shows it with the dialog's settings and, on confirmation, stores the chosen
// path in its FileName and returns true. Replaceable so that tests answer the dialog.
using OpenDialogRunner = std::function<bool(TsOpenDialog& dialog, QWidget* parent)>;
// Puts another runner in place (an empty one restores the default); returns the previous one.
OpenDialogRunner SetOpenDialogRunner(OpenDialogRunner runner);

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
