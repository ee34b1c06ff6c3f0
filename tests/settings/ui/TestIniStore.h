#pragma once
// A temporary folder with settings.ini, an INI manager on it installed as the default, and every failure
// box answered and recorded; windows of type Form opened as the program opens them.

#include "platform/core/TestFsSupport.h"
#include "platform/ui/Application.h"
#include "platform/ui/Forms.h"
#include "platform/ui/TestWindowSupport.h"
#include "settings/ui/PropStorage.h"

#include <QCoreApplication>

#include <memory>
#include <optional>
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
        FAnswerer.emplace();
    }
    void TearDown() override {
        FAnswerer.reset();
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
    // The texts of the failure boxes shown so far.
    std::vector<std::string> Boxes() const {
        std::vector<std::string> texts;
        for (const QString& text : FAnswerer->Texts()) {
            texts.push_back(text.toStdString());
        }
        return texts;
    }

    std::optional<BoxAnswerer> FAnswerer;
};

} // namespace pardova::testing
