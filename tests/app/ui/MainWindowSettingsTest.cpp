// The program's own main window with the settings store: settings.ini for the specified example, and the
// values coming back in a window opened after the first one was closed.
#include "app/ui/fMain.h"
#include "platform/ui/Application.h"
#include "settings/ui/PropStorage.h"
#include "settings/ui/TestSettingsExample.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>

namespace pardova {
namespace {

namespace fs = std::filesystem;

class MainWindowSettings : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        FDir = fs::temp_directory_path() / ("pardova-main-settings-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(FDir);
        FManager = new TIniPropStorageManEh();
        FManager->SetIniFileName((FDir / "settings.ini").string());
        FPrevious = InstallDefaultStorageManager(FManager);
        Application->SetMessageBoxHook([this](TShownBox& box) { FBoxes.push_back(box.Text().toStdString()); });
    }
    void TearDown() override {
        Application->SetMessageBoxHook(nullptr);
        InstallDefaultStorageManager(FPrevious);
        delete FManager;
        std::error_code ec;
        fs::remove_all(FDir, ec);
    }
    std::string ReadIni() const {
        std::ifstream in(FDir / "settings.ini", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static std::unique_ptr<TMainForm> Open() {
        std::unique_ptr<TMainForm> form(TForm::Create<TMainForm>());
        form->show();
        QCoreApplication::processEvents();
        return form;
    }

    fs::path FDir;
    TIniPropStorageManEh* FManager = nullptr;
    TPropStorageManagerEh* FPrevious = nullptr;
    std::vector<std::string> FBoxes;
};

TEST_F(MainWindowSettings, ClosingWritesTheSpecifiedExample) {
    auto form = Open();
    form->move(312, 184);
    form->CheckBox1->SetChecked(true);
    form->DirEdit1->SetText(QString::fromUtf8("D:\\Проекты\\Исходники"));
    form->DirEdit2->SetText("E:\\Archive\\Sources copy");
    form->ExeEdit->SetText("C:\\Program Files\\Example Tools\\Post-processing\\after copy\\launcher.exe");
    ASSERT_TRUE(form->close());
    EXPECT_EQ(ReadIni(), pardova::testing::kExampleSettingsFile);
    const std::string saved = ReadIni();
    form.reset();
    EXPECT_EQ(ReadIni(), saved);
    EXPECT_TRUE(FBoxes.empty());
}

TEST_F(MainWindowSettings, AReopenedWindowShowsTheFieldsAndPosition) {
    {
        auto form = Open();
        form->move(140, 90);
        form->CheckBox1->SetChecked(true);
        form->DirEdit1->SetText("/data/a");
        form->DirEdit2->SetText("/backup/it's b");
        form->ExeEdit->SetText("");
        ASSERT_TRUE(form->close());
    }
    auto form = Open();
    EXPECT_EQ(form->pos(), QPoint(140, 90));
    EXPECT_TRUE(form->CheckBox1->Checked());
    EXPECT_EQ(form->DirEdit1->Text(), "/data/a");
    EXPECT_EQ(form->DirEdit2->Text(), "/backup/it's b");
    EXPECT_EQ(form->ExeEdit->Text(), "");
    EXPECT_TRUE(FBoxes.empty());
}

} // namespace
} // namespace pardova
