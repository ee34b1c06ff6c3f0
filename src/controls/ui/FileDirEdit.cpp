// The path fields: the start every browse shares, and the browse of the folder field and of the file field.
#include "controls/ui/FileDirEdit.h"
#include "controls/ui/FolderPicker.h"

#include "controls/core/PathTests.h"
#include "platform/core/Exceptions.h"
#include "platform/core/FileSystem.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <utility>

namespace pardova {

namespace {

std::string Utf8(const QString& text) { return text.toStdString(); }
QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

bool IsExistingFolder(const QString& path) { return pardova::IsExistingFolder(Utf8(path)); }

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

// ---- path field base ---------------------------------------------------------------------------------

TsFileDirEdit::TsFileDirEdit(QWidget* parent) : TsCustomComboEdit(parent) { SetMaxLength(255); }

bool TsFileDirEdit::BeginBrowse(QString& name, bool& action) {
    TsCustomComboEdit::BrowseClick();
    name = Text();
    action = true;
    if (OnBeforeDialog) {
        OnBeforeDialog(this, name, action);
    }
    return action;
}

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
            throw platform::EInOutError(platform::SysErrorMessage(error), static_cast<int>(error));
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
    if (!value.isEmpty() && !pardova::IsValidFileName(Utf8(value), PathRules())) {
        throw platform::Exception("Invalid file name");
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
    if (pardova::IsValidFileName(path, style)) {
        const std::string folder = platform::FolderPart(path, style);
        if (pardova::IsExistingFolder(folder)) {
            FDialog->SetInitialDir(FromUtf8(folder));
        }
        const std::string namePart = platform::NamePart(path, style);
        if (namePart.empty() || !pardova::IsValidFileName(namePart, style)) {
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

} // namespace pardova
