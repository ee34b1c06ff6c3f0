#pragma once
// What a folder field needs from the folder picker. A picker lives for one browse: the field creates it
// through CreateFolderPicker, sets it up, runs it modally, reads the chosen folder and destroys it. Tests put
// a factory of their own in place so that their picker answers in place of the program's window.

#include "platform/core/Override.h"

#include <QString>

#include <functional>
#include <memory>

class QWidget;

namespace pardova {

class IFolderPicker {
public:
    virtual ~IFolderPicker() = default;

    // The caption shown above the folder tree.
    virtual void SetDialogText(const QString& text) = 0;
    // The top of the tree: "rfDesktop" (the default) or a folder path. May raise Exception
    // ("Error Setting Path: %s") for a root that cannot be resolved.
    virtual void SetRoot(const QString& root) = 0;
    // Whether the Create button is shown.
    virtual void SetCreateVisible(bool visible) = 0;
    // Selects the given existing folder, expanding its ancestors. May raise Exception
    // ("Error Setting Path") for a path that cannot be parsed.
    virtual void SetSelectedPath(const QString& path) = 0;
    // Shows the picker modally; true when the user confirmed with OK.
    virtual bool Execute() = 0;
    // The path of the selected folder ("" when nothing is selected): a full path, with a trailing
    // separator only for a root.
    virtual QString SelectedPath() const = 0;
};

using FolderPickerFactory = std::function<std::unique_ptr<IFolderPicker>(QWidget* parent)>;

// The factory of the pickers; the program's is CreateDefaultFolderPicker.
extern platform::OverridePoint<FolderPickerFactory> TheFolderPickerFactory;
// A new picker from TheFolderPickerFactory.
std::unique_ptr<IFolderPicker> CreateFolderPicker(QWidget* parent);
// The program's own picker window.
std::unique_ptr<IFolderPicker> CreateDefaultFolderPicker(QWidget* parent);

} // namespace pardova
