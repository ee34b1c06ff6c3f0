// The program's own main window with the settings store: settings.ini for the specified example, and the
// values coming back in a window opened after the first one was closed.
#include "app/ui/fMain.h"
#include "settings/ui/TestIniStore.h"
#include "settings/ui/TestSettingsExample.h"

#include <gtest/gtest.h>

namespace pardova {
namespace {

class MainWindowSettings : public pardova::testing::IniStoreTest<TMainForm> {};

TEST_F(MainWindowSettings, ClosingWritesTheSpecifiedExample) {
    auto form = OpenWindow();
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
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(MainWindowSettings, AReopenedWindowShowsTheFieldsAndPosition) {
    {
        auto form = OpenWindow();
        form->move(140, 90);
        form->CheckBox1->SetChecked(true);
        form->DirEdit1->SetText("/data/a");
        form->DirEdit2->SetText("/backup/it's b");
        form->ExeEdit->SetText("");
        ASSERT_TRUE(form->close());
    }
    auto form = OpenWindow();
    EXPECT_EQ(form->pos(), QPoint(140, 90));
    EXPECT_TRUE(form->CheckBox1->Checked());
    EXPECT_EQ(form->DirEdit1->Text(), "/data/a");
    EXPECT_EQ(form->DirEdit2->Text(), "/backup/it's b");
    EXPECT_EQ(form->ExeEdit->Text(), "");
    EXPECT_TRUE(Boxes().empty());
}

} // namespace
} // namespace pardova
