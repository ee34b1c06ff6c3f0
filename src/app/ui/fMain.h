#pragma once
// The main window: folder A, folder B, the program to start afterwards, the check box that starts it, and
// the start button. "/s" as the first argument runs one pass before the window is ever shown and ends the
// process.

#include "controls/ui/FileDirEdit.h"
#include "platform/ui/Forms.h"
#include "platform/ui/StdCtrls.h"
#include "settings/ui/PropStorage.h"

#include <string>

namespace pardova {

class TMainForm : public platform::TForm {
    Q_OBJECT
public:
    TPropStorageEh* PropStorage1 = nullptr;
    platform::TsStatusBar* StatusBar1 = nullptr;
    TsDirectoryEdit* DirEdit1 = nullptr;
    TsDirectoryEdit* DirEdit2 = nullptr;
    TsFilenameEdit* ExeEdit = nullptr;
    platform::TsButton* sButton1 = nullptr;
    platform::TsMemo* sMemo1 = nullptr;
    platform::TsCheckBox* CheckBox1 = nullptr;

    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    Q_INVOKABLE void FormCreate(QObject* Sender);
    Q_INVOKABLE void FormDestroy(QObject* Sender);
    Q_INVOKABLE void sButton1Click(QObject* Sender);
    Q_INVOKABLE void FormShow(QObject* Sender);

    // Whether the first command-line argument asks for one unattended pass: "/s" in any letter case.
    static bool IsSilentSwitch(const std::string& firstArgument);

    // One synchronisation pass; the start flag is the check box, read at each point the pass asks.
    void DoSync(const std::string& A, const std::string& B, const std::string& ProgramPath);

private:
    static QWidget* Register(TMainForm* self, QWidget* parent);
};

// The one main window; set before its construction begins.
extern TMainForm* MainForm;

} // namespace pardova
