#pragma once
// The platform's own open-file dialog, where it has one (Windows: GetOpenFileNameW). Elsewhere the path
// fields show a dialog of the window framework instead.

#include <QString>

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

} // namespace pardova::platform
