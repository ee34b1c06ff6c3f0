// The settings store with the INI manager: settings.ini byte for byte, the window's load and save cycle,
// and stored data that must never crash, block the start or be overwritten.
#include "settings/ui/TestIniStore.h"
#include "settings/ui/TestPropFiler.h"
#include "settings/ui/TestSettingsExample.h"

#include "platform/core/PrivateProfile.h"
#include "settings/core/IniFile.h"
#include "settings/core/ObjectText.h"

#include <QMessageBox>

#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace pardova {
namespace {

using fixture::TMainForm;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

const std::string& kExampleFile = pardova::testing::kExampleSettingsFile;

const QString kFolderA = QString::fromUtf8("D:\\Проекты\\Исходники");
const QString kProgram = "C:\\Program Files\\Example Tools\\Post-processing\\after copy\\launcher.exe";

void FillExample(TMainForm& form) {
    form.move(312, 184);
    form.CheckBox1->SetChecked(true);
    form.DirEdit1->SetText(kFolderA);
    form.DirEdit2->SetText("E:\\Archive\\Sources copy");
    form.ExeEdit->SetText(kProgram);
}

class SettingsStore : public pardova::testing::IniStoreTest<TMainForm> {};

// ---- settings.ini -----------------------------------------------------------------------------------

TEST_F(SettingsStore, FirstSaveGivesExactlyTheExampleFile) {
    TMainForm form;
    FillExample(form);
    form.PropStorage1->SaveProperties();
    EXPECT_EQ(ReadIni(), kExampleFile);
}

TEST_F(SettingsStore, OtherSectionsSurviveInOrderAndTheStoreSectionGoesLast) {
    WriteIni("; written by hand\r\n"
             "stray=before any section\r\n"
             "[Other]\r\n"
             "  a = 1  \r\n"
             "\r\n"
             "[tmainform]\r\n"
             "Line0='object MainForm: TMainForm'\r\n"
             "Line1='end'\r\n"
             "[After]\r\n"
             "b=2\r\n");
    TMainForm form;
    FillExample(form);
    form.PropStorage1->SaveProperties();
    EXPECT_EQ(ReadIni(), "[Other]\r\na=1\r\n\r\n[After]\r\nb=2\r\n\r\n" + kExampleFile);
}

TEST_F(SettingsStore, ExampleFileRestoresTheWindow) {
    WriteIni("[Other]\r\nx=1\r\n" + kExampleFile);
    TMainForm form;
    form.PropStorage1->LoadProperties();
    EXPECT_EQ(form.pos(), QPoint(312, 184));
    EXPECT_TRUE(form.CheckBox1->Checked());
    EXPECT_EQ(form.DirEdit1->Text(), kFolderA);
    EXPECT_EQ(form.DirEdit2->Text(), "E:\\Archive\\Sources copy");
    EXPECT_EQ(form.ExeEdit->Text(), kProgram);
}

TEST_F(SettingsStore, ApostropheInAPathIsWrittenAsItsCodeAndReadBack) {
    TMainForm form;
    form.DirEdit1->SetText("C:\\It's");
    form.PropStorage1->SaveProperties();
    EXPECT_THAT(ReadIni(), HasSubstr("Line7='    Text = 'C:\\It'#39's''\r\n"));
    TMainForm again;
    again.PropStorage1->LoadProperties();
    EXPECT_EQ(again.DirEdit1->Text(), "C:\\It's");
}

TEST_F(SettingsStore, ValueWithoutApostrophesLosesItsFirstAndLastCharacter) {
    std::string file = kExampleFile;
    // "  Top = 184" without its apostrophes is trimmed to "Top = 184" and read as "op = 18": an unknown
    // property, dropped, while the other values apply.
    file.replace(file.find("Line2='  Top = 184'"), 19, "Line2=  Top = 184");
    WriteIni(file);
    TMainForm form;
    form.move(5, 6);
    form.PropStorage1->LoadProperties();
    EXPECT_EQ(form.pos(), QPoint(312, 6));
    EXPECT_EQ(form.ExeEdit->Text(), kProgram);
}

// Every value's enclosing apostrophes replaced by hand with other characters, of one to four bytes each:
// exactly one character is dropped at each end, so the example's values come back whole.
struct EnclosingCase {
    const char* Name;
    std::string Opening;
    std::string Closing;
};

class HandEditedEnclosing : public SettingsStore, public ::testing::WithParamInterface<EnclosingCase> {};

TEST_P(HandEditedEnclosing, DropsOneCharacterAtEachEnd) {
    std::string file;
    for (size_t pos = 0; pos < kExampleFile.size();) {
        const size_t end = kExampleFile.find("\r\n", pos);
        std::string line = kExampleFile.substr(pos, end - pos);
        pos = end + 2;
        const size_t eq = line.find("='");
        if (eq != std::string::npos) {
            line = line.substr(0, eq + 1) + GetParam().Opening + line.substr(eq + 2, line.size() - eq - 3) +
                   GetParam().Closing;
        }
        file += line + "\r\n";
    }
    // With the UTF-8 mark the file reads as UTF-8 on every platform (without it, Windows reads its ANSI
    // code page, in which these bytes are other characters).
    WriteIni("\xEF\xBB\xBF" + file);
    TMainForm form;
    form.PropStorage1->LoadProperties();
    EXPECT_TRUE(form.PropStorage1->PropsLoaded());
    EXPECT_EQ(form.pos(), QPoint(312, 184));
    EXPECT_TRUE(form.CheckBox1->Checked());
    EXPECT_EQ(form.DirEdit1->Text(), kFolderA);
    EXPECT_EQ(form.DirEdit2->Text(), "E:\\Archive\\Sources copy");
    EXPECT_EQ(form.ExeEdit->Text(), kProgram);
}

INSTANTIATE_TEST_SUITE_P(Characters, HandEditedEnclosing,
                         ::testing::Values(EnclosingCase{"Ascii", "\"", "\""},
                                           EnclosingCase{"Cyrillic", "\xD0\x94", "\xD0\xAF"},
                                           EnclosingCase{"ThreeBytes", "\xE2\x80\x9C", "\xE2\x80\x9D"},
                                           EnclosingCase{"FourBytes", "\xF0\x9F\x93\x81", "\xF0\x9F\x93\x82"},
                                           EnclosingCase{"Mixed", "\xD0\x94", "'"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(IniValueText, DropsTheNameAndOneCharacterAtEachEnd) {
    const std::pair<std::string, std::string> cases[] = {
        {"Line0='object'", "object"},
        {"Line0=\xD0\x94object\xD0\xAF", "object"},
        {"Line0=\xD0\x94\xD0\xAF", ""},
        {"Line0=\xD0\x94", ""},
        {"Line0=", ""},
        {"Line0='a=b'", "a=b"},
        {"xabcx", "abc"}, // no "=": the first character goes, not the first two
        {"\xD0\x94"
         "abc\xD0\xAF",
         "abc"},
        {"x", ""},
        {"Line0='\xFFv\xFF'", "\xFFv\xFF"}, // stray bytes are characters of their own
        {"Line0=\xFFv\x80", "v"},
        {"Line0=\xE2vw", "v"}, // a lead that nothing continues is a character of its own
    };
    for (const auto& [entry, value] : cases) {
        EXPECT_EQ(IniValueText(entry), value) << ::testing::PrintToString(entry);
    }
}

TEST_F(SettingsStore, HexModeStoresTheStreamAsDigitsAndReadsItBack) {
    FManager->SetWriteAsText(false);
    std::string stale = "[TMainForm]\r\n";
    for (int n = 0; n < 16; ++n) {
        stale += "Line" + std::to_string(n) + "='00'\r\n";
    }
    WriteIni(stale);
    TMainForm form;
    FillExample(form);
    form.PropStorage1->SaveProperties();

    TMemoryStream expected;
    form.PropStorage1->WritePropValues(expected);
    std::string hex;
    for (const char c : expected.View()) {
        static constexpr char kDigits[] = "0123456789ABCDEF";
        hex += kDigits[static_cast<unsigned char>(c) >> 4];
        hex += kDigits[static_cast<unsigned char>(c) & 15];
    }
    std::string lines = "[TMainForm]\r\n";
    size_t i = 0;
    for (size_t pos = 0; pos < hex.size(); pos += 80, ++i) {
        lines += "Line" + std::to_string(i) + "='" + hex.substr(pos, 80) + "'\r\n";
    }
    ASSERT_LT(i, 16u) << "the stale entries would not be tested";
    // Windows' private-profile functions keep the file's own layout, which has no empty line after the
    // section here; where the manager keeps the file itself, the section ends with one as in text mode.
    const std::string tail = platform::HasPrivateProfile() ? "" : "\r\n";
    EXPECT_EQ(ReadIni(), lines + tail);

    TMainForm again;
    again.PropStorage1->LoadProperties();
    EXPECT_EQ(again.DirEdit1->Text(), kFolderA);
    EXPECT_EQ(again.ExeEdit->Text(), kProgram);
    EXPECT_EQ(again.pos(), QPoint(312, 184));
}

TEST_F(SettingsStore, StreamOfNoKnownFormatIsRefused) {
    TMainForm form;
    TMemoryStream stream(std::string("\x80junk"));
    try {
        FManager->ReadPropertiesStream(stream, form.PropStorage1);
        FAIL() << "accepted";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid stream format.");
    }
}

TEST_F(SettingsStore, CustomPropertiesAreWrittenAfterTheOwnersAndReadByTheHandler) {
    TMainForm form;
    form.move(312, 184);
    form.PropStorage1->OnWriteCustomProps = [](QObject*, TPropWriterEh& Writer) {
        Writer.WritePropName("Extra");
        Writer.WriteString("kept");
    };
    form.PropStorage1->SaveProperties();
    EXPECT_THAT(ReadIni(), HasSubstr("Line1='  Left = 312'\r\nLine2='  Top = 184'\r\nLine3='  Extra = 'kept''\r\n"
                                     "Line4='  object CheckBox1: TsCheckBox'\r\n"));

    TMainForm again;
    std::vector<std::string> names;
    std::string extra;
    again.PropStorage1->OnReadProp = [&](QObject* Sender, TPropReaderEh& Reader, const std::string& PropName,
                                         bool& Processed) {
        EXPECT_EQ(Sender, again.PropStorage1);
        names.push_back(PropName);
        if (PropName == "Extra") {
            extra = Reader.ReadString();
            Processed = true;
        }
    };
    again.PropStorage1->LoadProperties();
    EXPECT_EQ(extra, "kept");
    EXPECT_THAT(names, ElementsAre("Extra", "Checked", "Text", "Text", "Text"));
    EXPECT_EQ(again.pos(), QPoint(312, 184));
}

// ---- The window's load and save cycle ---------------------------------------------------------------

TEST_F(SettingsStore, FieldsSurviveClosingAndReopeningPositionIncluded) {
    {
        auto form = OpenWindow();
        EXPECT_TRUE(form->PropStorage1->PropsLoaded()) << "no file still counts as loaded";
        FillExample(*form);
        form->move(250, 160);
        EXPECT_TRUE(form->close());
        EXPECT_TRUE(form->PropStorage1->Saved());
        EXPECT_FALSE(form->PropStorage1->PropsLoaded());
        const std::string saved = ReadIni();
        form.reset();
        EXPECT_EQ(ReadIni(), saved) << "the destroy handler does not save again after a close";
    }
    auto form = OpenWindow();
    EXPECT_EQ(form->pos(), QPoint(250, 160));
    EXPECT_TRUE(form->CheckBox1->Checked());
    EXPECT_EQ(form->DirEdit1->Text(), kFolderA);
    EXPECT_EQ(form->ExeEdit->Text(), kProgram);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SettingsStore, StoredValuesAreInPlaceWhenTheWindowsOwnShowHandlerRuns) {
    WriteIni(kExampleFile);
    std::unique_ptr<TMainForm> form(new TMainForm);
    QString seen;
    form->OnShow = [&](QObject*) { seen = form->DirEdit2->Text(); };
    form->AfterConstruction();
    form->show();
    EXPECT_EQ(seen, "E:\\Archive\\Sources copy");
}

TEST_F(SettingsStore, DestroyWithoutCloseSavesOnceBeforeTheWindowsOwnHandler) {
    std::unique_ptr<TMainForm> form(new TMainForm);
    bool fileWrittenBeforeOwnHandler = false;
    form->OnDestroy = [&](QObject*) { fileWrittenBeforeOwnHandler = IniExists(); };
    form->AfterConstruction();
    form->show();
    form->DirEdit2->SetText("silent");
    form.reset();
    EXPECT_TRUE(fileWrittenBeforeOwnHandler);
    EXPECT_THAT(ReadIni(), HasSubstr("Line10='    Text = 'silent''\r\n"));
}

TEST_F(SettingsStore, RefusedCloseSavesNothingAndALaterCloseSaves) {
    std::unique_ptr<TMainForm> form(new TMainForm);
    bool allow = false;
    form->OnCloseQuery = [&](QObject*, bool& CanClose) { CanClose = allow; };
    form->AfterConstruction();
    form->show();
    EXPECT_FALSE(form->close());
    EXPECT_FALSE(IniExists());
    allow = true;
    EXPECT_TRUE(form->close());
    EXPECT_TRUE(IniExists());
}

TEST_F(SettingsStore, InactiveStorageNeitherLoadsNorSavesButTheWindowsHandlersRun) {
    WriteIni(kExampleFile);
    std::unique_ptr<TMainForm> form(new TMainForm);
    int shows = 0;
    form->OnShow = [&](QObject*) { ++shows; };
    form->PropStorage1->SetActive(false);
    form->AfterConstruction();
    form->show();
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(form->DirEdit2->Text(), "");
    form->DirEdit2->SetText("changed");
    form->close();
    form.reset();
    EXPECT_EQ(ReadIni(), kExampleFile);
}

TEST_F(SettingsStore, StorageCreatedInCodeActsOnlyWhenCalled) {
    WriteIni(kExampleFile);
    std::unique_ptr<TMainForm> form(platform::TForm::Create<TMainForm>(false));
    auto* storage = new TPropStorageEh(form.get());
    storage->StoredProps().Add("DirEdit2.<P>.Text");
    form->show();
    EXPECT_EQ(form->DirEdit2->Text(), "") << "no hooks: nothing loaded on showing";
    storage->LoadProperties();
    EXPECT_EQ(form->DirEdit2->Text(), "E:\\Archive\\Sources copy");
    form->DirEdit2->SetText("x");
    form->close();
    EXPECT_EQ(ReadIni(), kExampleFile) << "no hooks: nothing saved on closing";
}

// A second storage that hooks the window later wraps the first: it loads first and saves last.
TEST_F(SettingsStore, SecondStorageWrapsTheFirstsHandlers) {
    std::unique_ptr<TMainForm> form(new TMainForm);
    auto* second = new TPropStorageEh(form.get());
    second->setObjectName("PropStorage2");
    second->SetSection("Second");
    second->StoredProps().Add("DirEdit2.<P>.Text");
    std::vector<std::string> order;
    form->OnShow = [&](QObject*) { order.push_back("FormShow"); };
    form->PropStorage1->BeforeLoadProps = [&](QObject*) { order.push_back("load 1"); };
    second->BeforeLoadProps = [&](QObject*) { order.push_back("load 2"); };
    form->PropStorage1->BeforeSaveProps = [&](QObject*) { order.push_back("save 1"); };
    second->BeforeSaveProps = [&](QObject*) { order.push_back("save 2"); };
    form->AfterConstruction();
    form->show();
    form->close();
    EXPECT_THAT(order, ElementsAre("load 2", "load 1", "FormShow", "save 1", "save 2"));
    const TMemIniFile ini(IniPath());
    EXPECT_THAT(ini.ReadSections(), ElementsAre("TMainForm", "Second"));
}

TEST_F(SettingsStore, ShowingAgainReloadsOverTheCurrentValues) {
    WriteIni(kExampleFile);
    auto form = OpenWindow();
    form->DirEdit2->SetText("typed");
    form->hide();
    form->show();
    EXPECT_EQ(form->DirEdit2->Text(), "E:\\Archive\\Sources copy");
}

TEST_F(SettingsStore, DestroyedManagerFallsBackToTheDefault) {
    WriteIni(kExampleFile);
    TMainForm form;
    auto* own = new TIniPropStorageManEh();
    own->SetIniFileName(At("other.ini"));
    form.PropStorage1->SetStorageManager(own);
    form.PropStorage1->LoadProperties();
    EXPECT_EQ(form.DirEdit2->Text(), "") << "the own manager's file does not exist";
    delete own;
    EXPECT_EQ(form.PropStorage1->StorageManager(), nullptr);
    form.PropStorage1->LoadProperties();
    EXPECT_EQ(form.DirEdit2->Text(), "E:\\Archive\\Sources copy");
}

TEST_F(SettingsStore, SaveFailureIsShownTheWindowClosesAndTheDestroyHandlerTriesOnceMore) {
    FManager->SetIniFileName(At("missing/settings.ini"));
    auto form = OpenWindow();
    EXPECT_TRUE(form->close());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_THAT(Boxes()[0], HasSubstr("settings.ini"));
    EXPECT_TRUE(form->PropStorage1->PropsLoaded());
    EXPECT_FALSE(form->PropStorage1->Saved());
    form.reset();
    EXPECT_EQ(Boxes().size(), 2u);
}

struct BadData {
    const char* Name;
    std::string File;
};

std::string Truncated() { return kExampleFile.substr(0, kExampleFile.find("Line10")); }
std::string Reordered() {
    std::string file = kExampleFile;
    file.replace(file.find("Line0='object MainForm: TMainForm'"), 34, "Line0='  Left = 312'");
    file.replace(file.find("Line1='  Left = 312'"), 20, "Line1='object MainForm: TMainForm'");
    return file;
}
std::string WithoutApostrophes() {
    std::string file;
    std::string line;
    for (size_t pos = 0; pos < kExampleFile.size();) {
        const size_t end = kExampleFile.find("\r\n", pos);
        line = kExampleFile.substr(pos, end - pos);
        pos = end + 2;
        const size_t eq = line.find("='");
        if (eq != std::string::npos) {
            line = line.substr(0, eq + 1) + line.substr(eq + 2, line.size() - eq - 3);
        }
        file += line + "\r\n";
    }
    return file;
}
std::string Huge() {
    return "[TMainForm]\r\nLine0='object MainForm: TMainForm'\r\nLine1='  Left = 1" + std::string(200000, '0') +
           "'\r\nLine2='end'\r\n";
}

class BadStoredData : public SettingsStore, public ::testing::WithParamInterface<BadData> {};

// Stored data that was read but not understood: the load is dropped, the window opens with what it had,
// and the next save moves the damaged file aside as settings.ini.bad (replacing an older one) and writes a
// fresh settings.ini, so that what the user enters survives.
TEST_P(BadStoredData, DropsTheLoadAndIsSetAsideAtTheNextSave) {
    const std::string file = GetParam().File;
    WriteIni(file);
    pardova::testing::WriteFile(At("settings.ini.bad"), "an older damaged file");
    std::unique_ptr<TMainForm> form(new TMainForm);
    form->AfterConstruction();
    form->show();
    EXPECT_EQ(form->DirEdit1->Text(), "");
    EXPECT_EQ(form->ExeEdit->Text(), "");
    EXPECT_TRUE(form->isVisible()) << "the start goes on";
    EXPECT_EQ(ReadIni(), file) << "loading changes nothing";
    form->DirEdit1->SetText("typed later");
    EXPECT_TRUE(form->close());
    form.reset();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(pardova::testing::ReadFile(At("settings.ini.bad")), file);
    EXPECT_THAT(ReadIni(), HasSubstr("Line7='    Text = 'typed later''"));
    EXPECT_EQ(ReadIni().rfind("[TMainForm]\r\n", 0), 0u) << "a fresh file holds the store's section alone";

    TMainForm again;
    again.PropStorage1->LoadProperties();
    EXPECT_EQ(again.DirEdit1->Text(), "typed later");
}

// A damaged file that someone replaces while the window is open is not the damaged file any more: the save
// works on what is there now and sets nothing aside.
TEST_F(SettingsStore, AFileMendedWhileTheWindowIsOpenIsSavedIntoAsUsual) {
    WriteIni(Truncated());
    auto form = OpenWindow();
    WriteIni("[Other]\r\nkeep=1\r\n");
    form->DirEdit1->SetText("typed");
    EXPECT_TRUE(form->close());
    form.reset();
    EXPECT_FALSE(pardova::testing::Exists(At("settings.ini.bad")));
    EXPECT_EQ(ReadIni().rfind("[Other]\r\nkeep=1\r\n\r\n[TMainForm]\r\n", 0), 0u) << ReadIni();
}

// A settings.ini that cannot be read at all (no regular file, or far too large to be one this program
// wrote) is never written over and never moved aside.
TEST_F(SettingsStore, AFileThatCannotBeReadIsLeftAlone) {
    {
        std::ofstream huge(pardova::testing::PathFromUtf8(IniPath()), std::ios::binary);
        huge << "[TMainForm]\r\n";
    }
    std::filesystem::resize_file(pardova::testing::PathFromUtf8(IniPath()), std::uintmax_t{65} << 20);
    auto form = OpenWindow();
    EXPECT_FALSE(form->PropStorage1->PropsLoaded());
    form->DirEdit1->SetText("typed");
    EXPECT_TRUE(form->close());
    form.reset();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(std::filesystem::file_size(pardova::testing::PathFromUtf8(IniPath())), std::uintmax_t{65} << 20);
    EXPECT_FALSE(pardova::testing::Exists(At("settings.ini.bad")));
}

INSTANTIATE_TEST_SUITE_P(
    Files, BadStoredData,
    ::testing::Values(BadData{"Truncated", Truncated()}, BadData{"Reordered", Reordered()},
                      BadData{"WithoutApostrophes", WithoutApostrophes()},
                      BadData{"Garbage", "[TMainForm]\r\nLine0=@#$%^&*\r\n"},
                      BadData{"Binary", std::string("[TMainForm]\r\nLine0='\x01\x02\xFF\xFE\x00\x7F'\r\n", 29)},
                      BadData{"BrokenHexStream", "[TMainForm]\r\nLine0='54504630FF09'\r\n"},
                      BadData{"HexStreamOfAnotherShape", "[TMainForm]\r\nLine0='545046300000'\r\n"},
                      BadData{"Huge", Huge()}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- Property paths of a storage --------------------------------------------------------------------

TEST(PropertyNames, KeepsOrderDropsEqualPathsAndChecksAgainstTheRoot) {
    std::unique_ptr<TMainForm> built(platform::TForm::Create<TMainForm>(false));
    TPropertyNamesEh names(built.get());
    for (const char* path : {"ExeEdit.<P>.Text", "<P>.Top", "CheckBox1.<P>.Checked", "<P>.Left", "EXEEDIT.<P>.TEXT",
                             "Ghost.<P>.Text", "DirEdit1.<P>.Nope", "<p>.Width", "DirEdit1.<P>.Text"}) {
        names.Add(path);
    }
    EXPECT_THAT(names.Strings(), ElementsAre("<P>.Left", "<P>.Top", "<P>.Width", "CheckBox1.<P>.Checked",
                                             "DirEdit1.<P>.Text", "ExeEdit.<P>.Text"));
    EXPECT_EQ(names.IndexOf("diredit1.<P>.text"), 4);
    try {
        names.CheckPropertyPath("DirEdit1");
        FAIL() << "a path without <P> passed";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "Invalide property path: \"DirEdit1\"");
    }
}

TEST(PropertyNames, PathsAddedWhileTheRootIsBuiltAreCheckedWhenTheRootIsSet) {
    TPropertyNamesEh names;
    names.Add("Ghost.<P>.Text");
    names.Add("DirEdit2.<P>.Text");
    names.Add("<P>.Left");
    EXPECT_EQ(names.Count(), 3);
    TMainForm form(false);
    names.SetRoot(&form);
    EXPECT_THAT(names.Strings(), ElementsAre("<P>.Left", "DirEdit2.<P>.Text"));
}

TEST(PropertyNames, ObjectPathsGoThroughNestedObjectsItemsAndDefinedValues) {
    fixture::TKindsForm form;
    form.Kinds->Columns()->Add();
    TPropertyNamesEh names(&form);
    const std::pair<const char*, bool> cases[] = {
        {"Kinds.<P>.Font.Name", true},
        {"Kinds.<P>.Font.Nope", false},
        {"Kinds.<P>.Columns.<ForAllItems>", true},
        {"Kinds.<P>.Columns.<Item0>.Caption", true},
        {"Kinds.<P>.Columns.<Item1>.Caption", false},
        {"Kinds.<P>.Secret", true},
        {"Kinds.<P>.Secret.Deeper", false},
        {"Kinds.<P>.Buddy.Number", false},
        {"Panel1.Inner.<P>.Checked", true},
        {"Inner.<P>.Checked", false},
        {"<P>.PixelsPerInch", true},
        {"<P>.Number.Deeper", false},
    };
    for (const auto& [path, valid] : cases) {
        EXPECT_EQ(names.CheckPropertyPath(path), valid) << path;
    }
}

TEST(PropertyNames, DefaultSectionNameFollowsTheOwner) {
    fixture::TKindsForm form;
    QObject loose;
    loose.setObjectName("Loose");
    QWidget panel;
    panel.setObjectName("Panel");
    QWidget inPanel(&panel);
    inPanel.setObjectName("Field");
    EXPECT_EQ(DefaultSectionName(nullptr), "");
    EXPECT_EQ(DefaultSectionName(&form), "TKindsForm");
    EXPECT_EQ(DefaultSectionName(form.Inner), "TKindsFormInner");
    EXPECT_EQ(DefaultSectionName(form.Kinds), "TKindsForm.Kinds");
    EXPECT_EQ(DefaultSectionName(&inPanel), "PanelField");
    EXPECT_EQ(DefaultSectionName(&loose), "Loose");
}

TEST(DefaultManager, InstallReturnsThePreviousAndFinalisationFreesTheCurrent) {
    auto* first = new TIniPropStorageManEh();
    QPointer<TIniPropStorageManEh> second = new TIniPropStorageManEh();
    TPropStorageManagerEh* before = InstallDefaultStorageManager(first);
    EXPECT_EQ(InstallDefaultStorageManager(second), first);
    EXPECT_EQ(DefaultStorageManager(), second);
    FinalizePropStorage();
    EXPECT_EQ(DefaultStorageManager(), nullptr);
    EXPECT_TRUE(second.isNull());
    delete first;
    InstallDefaultStorageManager(before);
}

} // namespace
} // namespace pardova
