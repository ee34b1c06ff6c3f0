// A plain folder dialog that keeps the picker's contract until the program's own picker window is in.
#include "controls/FolderPicker.h"

#include "platform/Exceptions.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace pardova {

namespace {

class StandInFolderPicker final : public IFolderPicker {
public:
    explicit StandInFolderPicker(QWidget* parent) : FBox(parent) {
        FBox.setOption(QFileDialog::DontUseNativeDialog);
        FBox.setOption(QFileDialog::ShowDirsOnly);
        FBox.setFileMode(QFileDialog::Directory);
        FBox.setFilter(FBox.filter() | QDir::Hidden);
        FBox.setDirectory(QDir::rootPath());
    }

    void SetDialogText(const QString& text) override {
        if (!text.isEmpty()) {
            FBox.setLabelText(QFileDialog::LookIn, text);
        }
    }
    void SetRoot(const QString& root) override {
        if (root == QLatin1String("rfDesktop")) {
            return;
        }
        if (!QFileInfo(root).isDir()) {
            throw Exception("Error Setting Path: " + root.toStdString());
        }
        FBox.setDirectory(root);
    }
    void SetCreateVisible(bool visible) override { FBox.setOption(QFileDialog::ReadOnly, !visible); }
    void SetSelectedPath(const QString& path) override {
        const QFileInfo info(QDir::current(), path);
        if (!info.isDir()) {
            throw Exception("Error Setting Path");
        }
        FBox.setDirectory(info.absoluteFilePath());
    }
    bool Execute() override { return FBox.exec() == QDialog::Accepted && !FBox.selectedFiles().isEmpty(); }
    QString SelectedPath() const override {
        const QStringList files = FBox.selectedFiles();
        return files.isEmpty() ? QString() : QDir::toNativeSeparators(QDir::cleanPath(files.constFirst()));
    }

private:
    QFileDialog FBox;
};

} // namespace

std::unique_ptr<IFolderPicker> CreateDefaultFolderPicker(QWidget* parent) {
    return std::make_unique<StandInFolderPicker>(parent);
}

} // namespace pardova
