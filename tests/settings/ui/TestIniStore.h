#pragma once
// A temporary folder with settings.ini, an INI manager on it installed as the default, and every failure
// box answered and recorded; windows of type Form opened as the program opens them.

#include "platform/core/TestFsSupport.h"
#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"
#include "settings/ui/PropStorage.h"

#include <QCoreApplication>

#include <memory>
#include <string>
#include <vector>

namespace pardova::testing {

template <class Form> class IniStoreTest : public TempFolderTest {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        FManager = new TIniPropStorageManEh();
        FManager->SetIniFileName(IniPath());
        FPrevious = InstallDefaultStorageManager(FManager);
        platform::Application->SetMessageBoxHook(
            [this](platform::TShownBox& box) { FBoxes.push_back(box.Text().toStdString()); });
    }
    void TearDown() override {
        platform::Application->SetMessageBoxHook(nullptr);
        InstallDefaultStorageManager(FPrevious);
        delete FManager;
        TempFolderTest::TearDown();
    }

    std::string IniPath() const { return At("settings.ini"); }
    std::string ReadIni() const { return ReadFile(IniPath()); }
    void WriteIni(const std::string& bytes) const { WriteFile(IniPath(), bytes); }
    bool IniExists() const { return stdfs::exists(PathFromUtf8(IniPath())); }

    // A window built as the program builds it: the storage hooks the window while it is loaded.
    static std::unique_ptr<Form> OpenWindow() {
        std::unique_ptr<Form> form(platform::TForm::Create<Form>());
        form->show();
        QCoreApplication::processEvents();
        return form;
    }

    TIniPropStorageManEh* FManager = nullptr;
    TPropStorageManagerEh* FPrevious = nullptr;
    std::vector<std::string> FBoxes;
};

} // namespace pardova::testing
