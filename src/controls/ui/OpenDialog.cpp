// The open-file dialog of a file field.
#include "controls/ui/OpenDialog.h"

#include "platform/ui/OpenFileDialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QWidget>

namespace pardova {

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

bool RunOpenDialog(TsOpenDialog& dialog, QWidget* parent) {
    return platform::HasSystemOpenFileDialog() ? RunSystemFileDialog(dialog, parent) : RunFileDialog(dialog, parent);
}

} // namespace

platform::OverridePoint<OpenDialogRunner> TheOpenDialogRunner{&RunOpenDialog};

TsOpenDialog::TsOpenDialog(QObject* parent) : QObject(parent) {}

bool TsOpenDialog::Execute(QWidget* parent) { return TheOpenDialogRunner.Get()(*this, parent); }

} // namespace pardova
