#pragma once
// The platform's own open-file dialog, where it has one (Windows: GetOpenFileNameW). Elsewhere the path
// fields show a dialog of the window framework instead.

#include <QString>

#include <functional>

class QWidget;

namespace pardova::platform {

struct OpenFileRequest {
    // "Description|pattern|Description|pattern...".
    QString Filter;
    // 1-based; the entry the user chose when the dialog returns.
    int FilterIndex = 1;
    QString InitialDir;
    // In: the name the dialog starts with; out: the full path of the chosen file.
    QString FileName;
    // Empty: the platform's own title.
    QString Title;
    QString DefaultExt;
    bool HideReadOnly = true;
    bool PathMustExist = false;
    bool FileMustExist = false;
    bool EnableSizing = true;
    bool ForceShowHidden = false;
};

// Whether the platform has a dialog of its own for this.
bool HasSystemOpenFileDialog();

// Shows the platform's dialog modally over parent's window; true when the user confirmed, the request then
// holding the chosen file and filter entry.
bool RunSystemOpenFileDialog(OpenFileRequest& request, QWidget* parent);

// The platform's dialog as it stands on the screen, for the test hook.
class ShownFileDialog {
public:
    virtual ~ShownFileDialog() = default;
    // The folder it lists, the text of its file name box, the entries of its filter list (descriptions).
    virtual QString Folder() const = 0;
    virtual QString FileNameText() const = 0;
    virtual QStringList Filters() const = 0;
    // Its title bar's text.
    virtual QString Caption() const = 0;
    virtual void Accept() = 0;
    virtual void Cancel() = 0;
};

// Tests only: called with the platform's dialog once it is showing, in place of a user (it is cancelled
// afterwards if the hook has not closed it). Gives the previous hook.
using SystemFileDialogHook = std::function<void(ShownFileDialog&)>;
SystemFileDialogHook SetSystemFileDialogHook(SystemFileDialogHook hook);

} // namespace pardova::platform
