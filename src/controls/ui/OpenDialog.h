#pragma once
// The open-file dialog of a file field, and the runner that shows it.

#include "platform/core/Override.h"

#include <QFlags>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QWidget;

namespace pardova {

// The open-file dialog of a file field. It keeps its settings (and so its initial folder) between
// browses; Execute runs it through TheOpenDialogRunner.
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
// path in its FileName and returns true. The program's runner shows the platform's own dialog where it has
// one and the window framework's elsewhere; tests put theirs in place to answer the dialog.
using OpenDialogRunner = std::function<bool(TsOpenDialog& dialog, QWidget* parent)>;
extern platform::OverridePoint<OpenDialogRunner> TheOpenDialogRunner;

} // namespace pardova
