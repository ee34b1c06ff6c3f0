// The browse of the folder field and of the file field, and the open-file dialog.
#include "controls/ui/FileDirEdit.h"
#include "controls/ui/FolderPicker.h"

#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"
#include "controls/core/PathTests.h"
#include "platform/ui/OpenFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

#include <memory>
#include <utility>

namespace pardova {

namespace {

std::string Utf8(const QString& text) { return text.toStdString(); }
QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

bool IsExistingFolder(const QString& path) { return platform::IsExistingFolder(Utf8(path)); }

// The reason a change of the current directory failed, as a platform error code.
uint32_t CurrentDirError(const std::string& path) {
    uint32_t error = 0;
    const std::optional<uint32_t> attributes = platform::Fs().GetAttributes(path, &error);
    if (!attributes) {
        return error;
    }
    if ((*attributes & platform::kAttrDirectory) == 0) {
        return platform::kErrPathNotFound;
    }
    // The folder is there, so we may not enter it.
    return platform::kErrAccessDenied;
}

} // namespace

// ---- folder field ------------------------------------------------------------------------------------

TsDirectoryEdit::TsDirectoryEdit(QWidget* parent) : TsFileDirEdit(parent) {
    FDefBmpID = 1;
    LayoutButton();
}

void TsDirectoryEdit::BrowseClick() {
    QString name;
    bool action = true;
    if (!BeginBrowse(name, action)) {
        return;
    }
    if (name.isEmpty() && !FInitialDir.isEmpty()) {
        name = FInitialDir;
    }
    if (!IsExistingFolder(name)) {
        name.clear(); // the picker starts at its root
    } else if (!FNoChangeDir) {
        const std::string path = Utf8(name);
        if (!platform::Fs().SetCurrentDir(path)) {
            const uint32_t error = CurrentDirError(path);
            throw EInOutError(platform::SysErrorMessage(error), static_cast<int>(error));
        }
    }

    {
        // The picker is destroyed on every way out of this block, errors included.
        const std::unique_ptr<IFolderPicker> picker = CreateFolderPicker(this);
        picker->SetCreateVisible(FDialogOptions.testFlag(sdAllowCreate));
        picker->SetDialogText(FDialogText);
        picker->SetRoot(FRoot);
        if (!name.isEmpty() && IsExistingFolder(name)) {
            picker->SetSelectedPath(name);
        }
        if (picker->Execute()) {
            name = picker->SelectedPath();
            if (!name.isEmpty() && IsExistingFolder(name)) {
                FInitialDir = name;
            }
        } else {
            name = Text();
            action = false;
        }
    }

    if (OnAfterDialog) {
        OnAfterDialog(this, name, action);
    }
    if (action) {
        SetText(name);
    }
}

// ---- file field --------------------------------------------------------------------------------------

TsFilenameEdit::TsFilenameEdit(QWidget* parent) : TsFileDirEdit(parent), FDialog(new TsOpenDialog(this)) {
    FDefBmpID = 0;
    FDialog->SetFilter(QStringLiteral("All files (*.*)|*.*"));
    LayoutButton();
}

void TsFilenameEdit::SetFileName(const QString& value) {
    if (!value.isEmpty() && !platform::IsValidFileName(Utf8(value), PathRules())) {
        throw Exception("Invalid file name");
    }
    SetText(value);
}

void TsFilenameEdit::BrowseClick() {
    QString name;
    bool action = true;
    if (!BeginBrowse(name, action)) {
        return;
    }
    const platform::PathStyle style = PathRules();
    const std::string path = Utf8(name);
    if (platform::IsValidFileName(path, style)) {
        const std::string folder = platform::FolderPart(path, style);
        if (platform::IsExistingFolder(folder)) {
            FDialog->SetInitialDir(FromUtf8(folder));
        }
        const std::string namePart = platform::NamePart(path, style);
        if (namePart.empty() || !platform::IsValidFileName(namePart, style)) {
            name.clear();
        }
        FDialog->SetFileName(name);
    } else {
        FDialog->SetFileName(QString());
    }

    if (FDialog->Execute(this)) {
        action = true;
        name = FDialog->FileName();
    } else {
        action = false;
    }
    if (isEnabled() && isVisible() && focusPolicy() != Qt::NoFocus) {
        setFocus(Qt::OtherFocusReason);
    }
    if (OnAfterDialog) {
        OnAfterDialog(this, name, action);
    }
    if (action) {
        SetText(name);
        FDialog->SetInitialDir(FromUtf8(platform::FolderPart(Utf8(FDialog->FileName()), style)));
    }
}

// ---- open-file dialog --------------------------------------------------------------------------------

namespace {

// "*.*" means every file to the platform's dialog; the file dialog's pattern match would demand a dot.
QString DialogPatterns(const QString& patterns) {
    QStringList result;
    for (const QString& pattern : patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString trimmed = pattern.trimmed();
        result << (trimmed == QLatin1String("*.*") ? QStringLiteral("*") : trimmed);
    }
    return result.join(QLatin1Char(' '));
}

bool RunFileDialog(TsOpenDialog& dialog, QWidget* parent) {
    QFileDialog box(parent);
    box.setOption(QFileDialog::DontUseNativeDialog);
    box.setAcceptMode(QFileDialog::AcceptOpen);
    const TsOpenDialog::TOpenOptions options = dialog.Options();
    box.setFileMode(options.testFlag(ofFileMustExist) ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    box.setOption(QFileDialog::HideNameFilterDetails);
    box.setSizeGripEnabled(options.testFlag(ofEnableSizing));
    if (options.testFlag(ofForceShowHidden)) {
        box.setFilter(box.filter() | QDir::Hidden);
    }
    if (!dialog.Title().isEmpty()) {
        box.setWindowTitle(dialog.Title());
    }
    QStringList filters;
    const QStringList parts = dialog.Filter().split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        filters << parts[i] + QStringLiteral(" (") + DialogPatterns(parts[i + 1]) + QLatin1Char(')');
    }
    if (!filters.isEmpty()) {
        box.setNameFilters(filters);
        const int index = dialog.FilterIndex() - 1;
        box.selectNameFilter(filters.value(index >= 0 && index < filters.size() ? index : 0));
    }
    if (!dialog.DefaultExt().isEmpty()) {
        box.setDefaultSuffix(dialog.DefaultExt());
    }
    if (!dialog.InitialDir().isEmpty()) {
        box.setDirectory(dialog.InitialDir());
    }
    const QString fileName = dialog.FileName();
    if (!fileName.isEmpty()) {
        // The dialog selects the file when its folder exists, but it shows a name whose folder it cannot
        // enter cut down to a path below its own folder, which Open would then resolve there. The name
        // field gets the name as it stands, so that Open without a change returns it.
        const QFileInfo info(QDir::fromNativeSeparators(fileName));
        if (info.isRelative() || info.absoluteDir().exists()) {
            box.selectFile(fileName);
        }
        if (auto* nameEdit = box.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
            nameEdit->setText(fileName);
        }
    }
    if (!dialog.HistoryList.isEmpty()) {
        box.setHistory(dialog.HistoryList);
    }
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) {
        return false;
    }
    dialog.SetFileName(QDir::toNativeSeparators(box.selectedFiles().constFirst()));
    const qsizetype chosen = filters.indexOf(box.selectedNameFilter());
    if (chosen >= 0) {
        dialog.SetFilterIndex(static_cast<int>(chosen) + 1);
    }
    return true;
}

// The platform's own dialog, with the same settings.
bool RunSystemFileDialog(TsOpenDialog& dialog, QWidget* parent) {
    platform::OpenFileRequest request;
    request.Filter = dialog.Filter();
    request.FilterIndex = dialog.FilterIndex();
    request.InitialDir = dialog.InitialDir();
    request.FileName = dialog.FileName();
    request.Title = dialog.Title();
    request.DefaultExt = dialog.DefaultExt();
    const TsOpenDialog::TOpenOptions options = dialog.Options();
    request.HideReadOnly = options.testFlag(ofHideReadOnly);
    request.PathMustExist = options.testFlag(ofPathMustExist);
    request.FileMustExist = options.testFlag(ofFileMustExist);
    request.EnableSizing = options.testFlag(ofEnableSizing);
    request.ForceShowHidden = options.testFlag(ofForceShowHidden);
    if (!platform::RunSystemOpenFileDialog(request, parent)) {
        return false;
    }
    dialog.SetFileName(request.FileName);
    dialog.SetFilterIndex(request.FilterIndex);
    return true;
}

OpenDialogRunner& CurrentRunner() {
    static OpenDialogRunner runner;
    return runner;
}

} // namespace

TsOpenDialog::TsOpenDialog(QObject* parent) : QObject(parent) {}

bool TsOpenDialog::Execute(QWidget* parent) {
    const OpenDialogRunner& runner = CurrentRunner();
    if (runner) {
        return runner(*this, parent);
    }
    return platform::HasSystemOpenFileDialog() ? RunSystemFileDialog(*this, parent) : RunFileDialog(*this, parent);
}

OpenDialogRunner SetOpenDialogRunner(OpenDialogRunner runner) {
    return std::exchange(CurrentRunner(), std::move(runner));
}

} // namespace pardova
