// The property writer and reader: property paths, the stream a window's stored properties give, reading it
// back, the records a reader drops, and the property interceptors.
#include "settings/ui/TestPropFiler.h"

#include "settings/core/ObjectText.h"
#include "settings/core/PropertyPath.h"
#include "settings/ui/PropFiler.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace pardova {
namespace {

using fixture::TKinds;
using fixture::TKindsForm;
using fixture::TMainForm;
using ::testing::HasSubstr;

std::string StreamToText(TMemoryStream& stream) {
    stream.SetPosition(0);
    TMemoryStream text;
    ConvertObjectStreamToText(stream, text);
    return text.ToString();
}

TMemoryStream WriteStream(QObject* owner, const std::vector<std::string>& paths) {
    TMemoryStream stream;
    TPropWriterEh writer(stream, 1024);
    writer.WriteOwnerProperties(owner, paths);
    return stream;
}

std::string WriteText(QObject* owner, const std::vector<std::string>& paths) {
    TMemoryStream stream = WriteStream(owner, paths);
    return StreamToText(stream);
}

void ReadStream(QObject* owner, TMemoryStream& stream) {
    stream.SetPosition(0);
    TPropReaderEh reader(stream, 1024);
    reader.ReadOwnerProperties(owner);
}

void ReadText(QObject* owner, const std::string& text) {
    TMemoryStream input(text);
    TMemoryStream stream;
    ConvertObjectTextToStream(input, stream);
    ReadStream(owner, stream);
}

const std::vector<std::string> kMainPaths = {"<P>.Left",          "<P>.Top",           "CheckBox1.<P>.Checked",
                                             "DirEdit1.<P>.Text", "DirEdit2.<P>.Text", "ExeEdit.<P>.Text"};

const QString kLongProgram = "C:\\Program Files\\Example Tools\\Post-processing\\after copy\\launcher.exe";

const std::string kExampleText =
    "object MainForm: TMainForm\r\n"
    "  Left = 312\r\n"
    "  Top = 184\r\n"
    "  object CheckBox1: TsCheckBox\r\n"
    "    Checked = True\r\n"
    "  end\r\n"
    "  object DirEdit1: TsDirectoryEdit\r\n"
    "    Text = 'D:\\'#1055#1088#1086#1077#1082#1090#1099'\\'#1048#1089#1093#1086#1076#1085#1080#1082#1080\r\n"
    "  end\r\n"
    "  object DirEdit2: TsDirectoryEdit\r\n"
    "    Text = 'E:\\Archive\\Sources copy'\r\n"
    "  end\r\n"
    "  object ExeEdit: TsFilenameEdit\r\n"
    "    Text = \r\n"
    "      'C:\\Program Files\\Example Tools\\Post-processing\\after copy\\launch' +\r\n"
    "      'er.exe'\r\n"
    "  end\r\n"
    "end\r\n";

void FillExample(TMainForm& form) {
    form.move(312, 184);
    form.CheckBox1->SetChecked(true);
    form.DirEdit1->SetText(QString::fromUtf8("D:\\Проекты\\Исходники"));
    form.DirEdit2->SetText("E:\\Archive\\Sources copy");
    form.ExeEdit->SetText(kLongProgram);
}

// ---- Property paths ---------------------------------------------------------------------------------

struct CompareCase {
    const char* A;
    const char* B;
    int Sign;
};

class ComparePaths : public ::testing::TestWithParam<CompareCase> {};

TEST_P(ComparePaths, OrdersOwnerFirstThenComponentsThenSelectors) {
    const CompareCase& c = GetParam();
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    EXPECT_EQ(sign(ComparePropertyPaths(c.A, c.B)), c.Sign) << c.A << " vs " << c.B;
    EXPECT_EQ(sign(ComparePropertyPaths(c.B, c.A)), -c.Sign) << c.B << " vs " << c.A;
}

INSTANTIATE_TEST_SUITE_P(Table, ComparePaths,
                         ::testing::Values(CompareCase{"", "", 0}, CompareCase{"<P>.Left", "<P>.Top", -1},
                                           CompareCase{"<P>.Top", "CheckBox1.<P>.Checked", -1},
                                           CompareCase{"<p>.Top", "A.<P>.X", -1},
                                           CompareCase{"<P>.LEFT", "<p>.left", 0},
                                           CompareCase{"DirEdit1.<P>.Text", "diredit1.<P>.TEXT", 0},
                                           CompareCase{"DirEdit1.<P>.Text", "DirEdit2.<P>.Text", -1},
                                           CompareCase{"Panel.<P>.Color", "Panel.Inner.<P>.Checked", -1},
                                           CompareCase{"A.<P>.Items.<ForAllItems>", "A.<P>.Items.Count", 1},
                                           CompareCase{"A.<P>.X", "A.<P>.X.Y", -1},
                                           CompareCase{"ExeEdit.<P>.Text", "DirEdit2.<P>.Text", 1}));

TEST(PropertyPaths, FirstSegmentIsTheTextBeforeTheFirstDot) {
    EXPECT_EQ(FirstPathSegment("DirEdit1.<P>.Text"), "DirEdit1");
    EXPECT_EQ(FirstPathSegment("Left"), "Left");
    EXPECT_EQ(FirstPathSegment(".x"), "");
}

// ---- Writing and reading the main window ------------------------------------------------------------

TEST(PropWriter, MainWindowGivesTheSettingsExample) {
    TMainForm form(false);
    FillExample(form);
    EXPECT_EQ(WriteText(&form, kMainPaths), kExampleText);
}

TEST(PropWriter, ListOutOfOrderStillOpensEachBlockOnce) {
    TMainForm form(false);
    FillExample(form);
    const std::vector<std::string> shuffled = {"ExeEdit.<P>.Text",      "<P>.Top",  "DirEdit2.<P>.Text",
                                               "CheckBox1.<P>.Checked", "<P>.Left", "DirEdit1.<P>.Text"};
    EXPECT_EQ(WriteText(&form, shuffled), kExampleText);
}

TEST(PropReader, SettingsExampleRestoresAFreshWindow) {
    TMainForm form(false);
    form.move(10, 20);
    ReadText(&form, kExampleText);
    EXPECT_EQ(form.x(), 312);
    EXPECT_EQ(form.y(), 184);
    EXPECT_EQ(form.size(), QSize(436, 294));
    EXPECT_TRUE(form.CheckBox1->Checked());
    EXPECT_EQ(form.DirEdit1->Text(), QString::fromUtf8("D:\\Проекты\\Исходники"));
    EXPECT_EQ(form.DirEdit2->Text(), "E:\\Archive\\Sources copy");
    EXPECT_EQ(form.ExeEdit->Text(), kLongProgram);
}

TEST(PropReader, UntickedBoxAndEmptyFieldsComeBack) {
    TMainForm source(false);
    source.DirEdit1->SetText("x");
    const std::string text = WriteText(&source, kMainPaths);
    EXPECT_THAT(text, HasSubstr("    Checked = False\r\n"));
    EXPECT_THAT(text, HasSubstr("  object DirEdit2: TsDirectoryEdit\r\n    Text = ''\r\n"));

    TMainForm target(false);
    target.CheckBox1->SetChecked(true);
    target.DirEdit2->SetText("old");
    ReadText(&target, text);
    EXPECT_FALSE(target.CheckBox1->Checked());
    EXPECT_EQ(target.DirEdit2->Text(), "");
    EXPECT_EQ(target.DirEdit1->Text(), "x");
}

struct WriteFailure {
    const char* Path;
    const char* Message;
};

class PropWriterFailure : public ::testing::TestWithParam<WriteFailure> {};

TEST_P(PropWriterFailure, EndsTheWriteWithItsMessage) {
    TKindsForm form;
    try {
        WriteText(&form, {GetParam().Path});
        FAIL() << "the write succeeded";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), GetParam().Message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Messages, PropWriterFailure,
    ::testing::Values(WriteFailure{"Left", "Component name is empty."}, WriteFailure{"<P>.", "Property name is empty."},
                      WriteFailure{"Kinds.<P>.Nope", "Invalide property name: Nope"},
                      WriteFailure{"Kinds.<P>.Font.<ForAllItems>.Name", "Component type is not Collection."},
                      WriteFailure{"Ghost.<P>.Number",
                                   "Component \"Ghost\" of property path \"Ghost.<P>.Number\" does not exist."}));

// ---- Property kinds ---------------------------------------------------------------------------------

TEST(PropKinds, EveryKindWritesItsTextForm) {
    TKindsForm form;
    TKinds& k = *form.Kinds;
    k.Number = -40000;
    k.Caption = "It's";
    k.Flag = true;
    k.Color = TKinds::clBlue;
    k.Styles = TKinds::fsBold | TKinds::fsUnderline;
    k.Big = 5000000000LL;
    k.Letter = u'Z';
    k.OnChange.MethodName = "KindsChange";
    k.Link.Component = form.Other;
    k.RootKey = TRegistryRootKey(0x80000001);
    k.Font()->Name = "Arial";
    k.Font()->Size = 10;
    k.Buddy = form.Other;
    k.Sub()->Level = 3;
    k.Secret = "s";
    k.Blob = std::string("\xAB\x01", 2);
    const std::string text =
        WriteText(&form, {"Kinds.<P>.Number", "Kinds.<P>.Caption", "Kinds.<P>.Flag", "Kinds.<P>.Color",
                          "Kinds.<P>.Styles", "Kinds.<P>.Big", "Kinds.<P>.Letter", "Kinds.<P>.OnChange",
                          "Kinds.<P>.Link", "Kinds.<P>.RootKey", "Kinds.<P>.Font", "Kinds.<P>.Buddy", "Kinds.<P>.Sub",
                          "Kinds.<P>.Fixed", "Kinds.<P>.Secret", "Kinds.<P>.Blob"});
    EXPECT_EQ(text, "object KindsForm: TKindsForm\r\n"
                    "  object Kinds: TKinds\r\n"
                    "    Big = 5000000000\r\n"
                    "    Blob = {AB01}\r\n"
                    "    Buddy = Other\r\n"
                    "    Caption = 'It'#39's'\r\n"
                    "    Color = clBlue\r\n"
                    "    Flag = True\r\n"
                    "    Font.Name = 'Arial'\r\n"
                    "    Font.Size = 10\r\n"
                    "    Letter = 'Z'\r\n"
                    "    Link = Other\r\n"
                    "    Number = -40000\r\n"
                    "    OnChange = KindsChange\r\n"
                    "    RootKey = HKEY_CURRENT_USER\r\n"
                    "    Secret = 's'\r\n"
                    "    Styles = [fsBold, fsUnderline]\r\n"
                    "    Sub.Level = 3\r\n"
                    "  end\r\n"
                    "end\r\n");
}

TEST(PropKinds, ValuesReadBackOntoAFreshComponent) {
    TKindsForm form;
    ReadText(&form, "object KindsForm: TKindsForm\r\n"
                    "  object Kinds: TKinds\r\n"
                    "    Big = 5000000000\r\n"
                    "    Blob = {AB01}\r\n"
                    "    Buddy = Other\r\n"
                    "    Caption = 'It'#39's'\r\n"
                    "    Color = clBlue\r\n"
                    "    Flag = true\r\n"
                    "    Font.Name = 'Arial'\r\n"
                    "    Font.Size = 10\r\n"
                    "    Letter = 'Z'\r\n"
                    "    Link = nil\r\n"
                    "    Number = -40000\r\n"
                    "    RootKey = HKEY_LOCAL_MACHINE\r\n"
                    "    Secret = 's'\r\n"
                    "    Styles = [fsBold, fsUnderline]\r\n"
                    "    Sub.Level = 3\r\n"
                    "  end\r\n"
                    "end\r\n");
    const TKinds& k = *form.Kinds;
    EXPECT_EQ(k.Big, 5000000000LL);
    EXPECT_EQ(k.Blob, std::string("\xAB\x01", 2));
    EXPECT_EQ(k.Buddy, form.Other);
    EXPECT_EQ(k.Caption, "It's");
    EXPECT_EQ(k.Color, TKinds::clBlue);
    EXPECT_TRUE(k.Flag);
    EXPECT_EQ(k.Font()->Name, "Arial");
    EXPECT_EQ(k.Font()->Size, 10);
    EXPECT_EQ(k.Letter, QChar(u'Z'));
    EXPECT_EQ(k.Link.Component, nullptr);
    EXPECT_EQ(k.Number, -40000);
    EXPECT_EQ(k.RootKey, TRegistryRootKey(0x80000002));
    EXPECT_EQ(k.Secret, "s");
    EXPECT_EQ(k.Styles, TKinds::TStyles(TKinds::fsBold | TKinds::fsUnderline));
    EXPECT_EQ(k.Sub()->Level, 3);
}

TEST(PropKinds, EmptyObjectAndEventWriteNil) {
    TKindsForm form;
    EXPECT_EQ(WriteText(&form, {"Kinds.<P>.Buddy", "Kinds.<P>.OnChange", "Kinds.<P>.Link"}),
              "object KindsForm: TKindsForm\r\n"
              "  object Kinds: TKinds\r\n"
              "    Buddy = nil\r\n"
              "    Link = nil\r\n"
              "    OnChange = nil\r\n"
              "  end\r\n"
              "end\r\n");
}

TEST(PropKinds, ControlInsidePanelIsReachedThroughThePanel) {
    TKindsForm form;
    form.Inner->SetChecked(true);
    const std::string text = WriteText(&form, {"Panel1.Inner.<P>.Checked", "Kinds.<P>.Number"});
    EXPECT_EQ(text, "object KindsForm: TKindsForm\r\n"
                    "  object Kinds: TKinds\r\n"
                    "    Number = 0\r\n"
                    "  end\r\n"
                    "  object Panel1: QWidget\r\n"
                    "    object Inner: TsCheckBox\r\n"
                    "      Checked = True\r\n"
                    "    end\r\n"
                    "  end\r\n"
                    "end\r\n");
    TKindsForm target;
    ReadText(&target, text);
    EXPECT_TRUE(target.Inner->Checked());
}

// ---- Collections ------------------------------------------------------------------------------------

void AddColumns(TKinds& kinds, std::initializer_list<std::pair<const char*, int>> columns) {
    for (const auto& [caption, width] : columns) {
        auto* item = static_cast<fixture::TColumnItem*>(kinds.Columns()->Add());
        item->Caption = caption;
        item->Width = width;
    }
}

TEST(PropCollections, WholeCollectionIsWrittenAsItemsAndReplacesTheItemsOnReading) {
    TKindsForm form;
    AddColumns(*form.Kinds, {{"Name", 120}, {"Size", 60}});
    const std::string text = WriteText(&form, {"Kinds.<P>.Columns"});
    EXPECT_EQ(text, "object KindsForm: TKindsForm\r\n"
                    "  object Kinds: TKinds\r\n"
                    "    Columns = <\r\n"
                    "      item\r\n"
                    "        Caption = 'Name'\r\n"
                    "        Width = 120\r\n"
                    "      end\r\n"
                    "      item\r\n"
                    "        Caption = 'Size'\r\n"
                    "        Width = 60\r\n"
                    "      end>\r\n"
                    "  end\r\n"
                    "end\r\n");

    TKindsForm target;
    AddColumns(*target.Kinds, {{"a", 1}, {"b", 2}, {"c", 3}});
    const int updatesBefore = target.Kinds->Columns()->Updates();
    ReadText(&target, text);
    ASSERT_EQ(target.Kinds->Columns()->Count(), 2);
    EXPECT_EQ(target.Kinds->Column(0)->Caption, "Name");
    EXPECT_EQ(target.Kinds->Column(1)->Width, 60);
    EXPECT_EQ(target.Kinds->Columns()->UpdateCount(), 0);
    EXPECT_EQ(target.Kinds->Columns()->Updates(), updatesBefore + 1) << "one update for the whole read";
}

TEST(PropCollections, ItemSelectorsWriteNumberedItemsAndReadIntoExistingOnes) {
    TKindsForm form;
    AddColumns(*form.Kinds, {{"Name", 120}, {"Size", 60}, {"Date", 80}});
    const std::string text = WriteText(&form, {"Kinds.<P>.Columns.<ForAllItems>.Width", "Kinds.<P>.Columns.<Item2>"});
    EXPECT_EQ(text, "object KindsForm: TKindsForm\r\n"
                    "  object Kinds: TKinds\r\n"
                    "    Columns.__Item0.Width = 120\r\n"
                    "    Columns.__Item1.Width = 60\r\n"
                    "    Columns.__Item2.Width = 80\r\n"
                    "    Columns.__Item2.Caption = 'Date'\r\n"
                    "    Columns.__Item2.Width = 80\r\n"
                    "  end\r\n"
                    "end\r\n");

    TKindsForm target;
    AddColumns(*target.Kinds, {{"a", 1}, {"b", 2}, {"c", 3}});
    ReadText(&target, text);
    EXPECT_EQ(target.Kinds->Column(0)->Width, 120);
    EXPECT_EQ(target.Kinds->Column(0)->Caption, "a");
    EXPECT_EQ(target.Kinds->Column(2)->Caption, "Date");
    EXPECT_EQ(target.Kinds->Columns()->UpdateCount(), 0);
}

// ---- Records the reader drops -----------------------------------------------------------------------

struct DroppedCase {
    const char* Name;
    const char* Record; // inside the Kinds block, before a good record
    const char* Block;  // a component block between Kinds and Other
};

class DroppedRecord : public ::testing::TestWithParam<DroppedCase> {};

TEST_P(DroppedRecord, IsSkippedWithoutDisturbingLaterRecords) {
    const DroppedCase& c = GetParam();
    TKindsForm form;
    AddColumns(*form.Kinds, {{"a", 1}});
    ReadText(&form, std::string("object KindsForm: TKindsForm\r\n"
                                "  object Kinds: TKinds\r\n") +
                        c.Record +
                        "    Number = 5\r\n"
                        "  end\r\n" +
                        c.Block +
                        "  object Other: TKinds\r\n"
                        "    Number = 6\r\n"
                        "  end\r\n"
                        "end\r\n");
    const TKinds& k = *form.Kinds;
    EXPECT_EQ(k.Number, 5);
    EXPECT_EQ(form.Other->Number, 6);
    EXPECT_FALSE(k.Flag);
    EXPECT_EQ(k.Color, TKinds::clRed);
    EXPECT_EQ(k.Styles, TKinds::TStyles());
    EXPECT_EQ(k.Letter, QChar(u'a'));
    EXPECT_EQ(k.RootKey, TRegistryRootKey(0));
    EXPECT_EQ(k.Column(0)->Caption, "a");
    EXPECT_EQ(k.Columns()->UpdateCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, DroppedRecord,
    ::testing::Values(DroppedCase{"UnknownProperty", "    Nothing = (1 2 <item Width = 3 end>)\r\n", ""},
                      DroppedCase{"ReadOnly", "    Fixed = 3\r\n", ""},
                      DroppedCase{"BadBooleanIdentifier", "    Flag = Maybe\r\n", ""},
                      DroppedCase{"IntegerForBoolean", "    Flag = 1\r\n", ""},
                      DroppedCase{"UnknownEnumMember", "    Color = clPurple\r\n", ""},
                      DroppedCase{"UnknownSetMember", "    Styles = [fsBold, fsStrike, fsItalic]\r\n", ""},
                      DroppedCase{"ListForSet", "    Styles = (fsBold)\r\n", ""},
                      DroppedCase{"Event", "    OnChange = KindsChange\r\n", ""},
                      DroppedCase{"InterfaceReference", "    Link = Other\r\n", ""},
                      DroppedCase{"TwoCharactersForChar", "    Letter = 'ab'\r\n", ""},
                      DroppedCase{"UnregisteredRootKeyName", "    RootKey = HKEY_NOWHERE\r\n", ""},
                      DroppedCase{"UnknownNestedProperty", "    Font.Missing = 1\r\n", ""},
                      DroppedCase{"PathThroughAPlainValue", "    Number.Deeper = 1\r\n", ""},
                      DroppedCase{"ItemOutOfRange", "    Columns.__Item9.Caption = 'x'\r\n", ""},
                      DroppedCase{"CollectionForNumber", "    Number = <item Caption = 'x' end>\r\n", ""},
                      DroppedCase{"BadItemInsideCollection", "    Columns.__Item0.Caption = 7\r\n", ""},
                      DroppedCase{"MissingComponentWithChildren", "",
                                  "  object Ghost: TKinds\r\n"
                                  "    Number = 9\r\n"
                                  "    object Child: TKinds\r\n"
                                  "      Caption = 'c'\r\n"
                                  "    end\r\n"
                                  "  end\r\n"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(PropReader, StreamThatIsNotAnObjectStreamFails) {
    TMainForm form(false);
    TMemoryStream stream(std::string("XPF0\x09MainForm\x00\x00", 14));
    try {
        ReadStream(&form, stream);
        FAIL() << "read succeeded";
    } catch (const platform::Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid stream format");
    }
}

// Every cut of a valid stream misses an end mark, which ends the read with an error, never a crash.
TEST(PropReader, TruncatedStreamEndsTheReadAtEveryCut) {
    TMainForm source(false);
    FillExample(source);
    TMemoryStream full = WriteStream(&source, kMainPaths);
    const std::string bytes = full.ToString();
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        TMainForm target(false);
        TMemoryStream stream(std::string_view(bytes).substr(0, cut));
        EXPECT_THROW(ReadStream(&target, stream), platform::Exception) << "cut at " << cut;
    }
    TMainForm target(false);
    TMemoryStream stream(bytes);
    EXPECT_NO_THROW(ReadStream(&target, stream));
}

TEST(PropReader, OwnerPropHandlerTakesNamesNoInterceptorTook) {
    TKindsForm form;
    TMemoryStream input(std::string("object KindsForm: TKindsForm\r\n"
                                    "  Custom = 'mine'\r\n"
                                    "  Left = 40\r\n"
                                    "  object Kinds: TKinds\r\n"
                                    "    Number = 3\r\n"
                                    "  end\r\n"
                                    "end\r\n"));
    TMemoryStream stream;
    ConvertObjectTextToStream(input, stream);
    stream.SetPosition(0);
    TPropReaderEh reader(stream, 1024);
    std::vector<std::string> seen;
    std::string custom;
    reader.OnReadOwnerProp = [&](TPropReaderEh& Reader, const std::string& PropName, bool& Processed) {
        seen.push_back(PropName);
        if (PropName == "Custom") {
            custom = Reader.ReadString();
            Processed = true;
        }
    };
    reader.ReadOwnerProperties(&form);
    EXPECT_THAT(seen, ::testing::ElementsAre("Custom", "Number"));
    EXPECT_EQ(custom, "mine");
    EXPECT_EQ(form.x(), 40);
    EXPECT_EQ(form.Kinds->Number, 3);
}

// ---- Interceptors -----------------------------------------------------------------------------------

class TKindsInterceptor : public TStoragePropertyInterceptor {
    Q_OBJECT
    Q_PROPERTY(int Number READ Number WRITE SetNumber)
public:
    Q_INVOKABLE explicit TKindsInterceptor(QObject* ATarget) : TStoragePropertyInterceptor(ATarget) {}
    int Number() const { return 99; }
    void SetNumber(int Value) { FRead = Value; }
    void Readed() override { static_cast<TKinds*>(FTarget.data())->Caption = QString::number(FRead); }

private:
    int FRead = 0;
};

class TOtherInterceptor : public TKindsInterceptor {
    Q_OBJECT
public:
    Q_INVOKABLE explicit TOtherInterceptor(QObject* ATarget) : TKindsInterceptor(ATarget) {}
};

TEST(PropInterceptors, RegistryFindsTheNearestAncestorAndTheFirstOnATie) {
    EXPECT_EQ(InterceptorClassFor(&TMainForm::staticMetaObject), &TFormStoragePropertyInterceptor::staticMetaObject);
    EXPECT_EQ(AncestorDistance(&TMainForm::staticMetaObject, &platform::TForm::staticMetaObject), 1);
    EXPECT_EQ(AncestorDistance(&TKinds::staticMetaObject, &platform::TForm::staticMetaObject), -1);
    EXPECT_EQ(InterceptorClassFor(&TKinds::staticMetaObject), nullptr);

    RegisterPropertyInterceptor(&QObject::staticMetaObject, &TOtherInterceptor::staticMetaObject);
    RegisterPropertyInterceptor(&TKinds::staticMetaObject, &TOtherInterceptor::staticMetaObject);
    RegisterPropertyInterceptor(&TKinds::staticMetaObject, &TKindsInterceptor::staticMetaObject);
    EXPECT_EQ(InterceptorClassFor(&TKinds::staticMetaObject), &TKindsInterceptor::staticMetaObject);
    EXPECT_EQ(InterceptorClassFor(&TMainForm::staticMetaObject), &TFormStoragePropertyInterceptor::staticMetaObject);

    UnregisterPropertyInterceptor(&TKinds::staticMetaObject, &TKindsInterceptor::staticMetaObject);
    EXPECT_EQ(InterceptorClassFor(&TKinds::staticMetaObject), &TOtherInterceptor::staticMetaObject);
    UnregisterPropertyInterceptor(&QObject::staticMetaObject, &TOtherInterceptor::staticMetaObject);
    EXPECT_EQ(InterceptorClassFor(&TKinds::staticMetaObject), nullptr);
}

TEST(PropInterceptors, InterceptorStandsForTheObjectBothWays) {
    RegisterPropertyInterceptor(&TKinds::staticMetaObject, &TKindsInterceptor::staticMetaObject);
    TKindsForm form;
    form.Kinds->Number = 5;
    const std::string text = WriteText(&form, {"Kinds.<P>.Number", "Kinds.<P>.Caption"});
    TKindsForm target;
    ReadText(&target, text);
    UnregisterPropertyInterceptor(&TKinds::staticMetaObject, &TKindsInterceptor::staticMetaObject);
    EXPECT_THAT(text, HasSubstr("    Number = 99\r\n"));
    EXPECT_EQ(target.Kinds->Number, 0) << "the interceptor received the value";
    EXPECT_EQ(target.Kinds->Caption, "99") << "Readed applied it after the block";
}

TEST(PropInterceptors, FormRectangleIsScaledFromTheStoredDensity) {
    const int screen = ScreenPixelsPerInch();
    TMainForm form(false);
    ReadText(&form, "object MainForm: TMainForm\r\n"
                    "  PixelsPerInch = " +
                        std::to_string(screen * 2) +
                        "\r\n"
                        "  Left = 301\r\n"
                        "  Top = 200\r\n"
                        "end\r\n");
    EXPECT_EQ(form.x(), 151);
    EXPECT_EQ(form.y(), 100);
    EXPECT_EQ(form.size(), QSize(218, 147)) << "the size is scaled with the position";
}

TEST(PropInterceptors, ZeroStoredDensityLeavesValuesUnscaled) {
    TMainForm form(false);
    ReadText(&form, "object MainForm: TMainForm\r\n  PixelsPerInch = 0\r\n  Left = 30\r\n  Top = 40\r\nend\r\n");
    EXPECT_EQ(form.x(), 30);
    EXPECT_EQ(form.y(), 40);
}

// A place saved on a monitor that has gone opens on the nearest one, moved only as far as it must; a place
// that still overlaps a monitor, even by a little, is kept.
TEST(PropInterceptors, APlaceOffEveryMonitorIsBroughtOntoTheNearestOne) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(QGuiApplication::screens().size(), 1) << "the cases below assume one monitor";
    const QRect monitor = screen->geometry();
    const QRect work = screen->availableGeometry();
    TMainForm sizing(false);
    const QSize frame = sizing.frameGeometry().size();
    struct Case {
        QPoint Saved;
        QPoint Expected;
    } cases[] = {
        // Partly on the monitor: kept.
        {{monitor.right() - 10, monitor.top() + 50}, {monitor.right() - 10, monitor.top() + 50}},
        {{monitor.left() - frame.width() + 5, monitor.bottom() - 5},
         {monitor.left() - frame.width() + 5, monitor.bottom() - 5}},
        // Beyond the right edge, level with the monitor: only the left moves.
        {{monitor.right() + 2500, work.top() + 40}, {work.right() + 1 - frame.width(), work.top() + 40}},
        // Far below and to the left: into the nearest corner.
        {{-5000, 90000}, {work.left(), work.bottom() + 1 - frame.height()}},
        // Above: only the top moves.
        {{work.left() + 30, -3000}, {work.left() + 30, work.top()}},
    };
    for (const Case& c : cases) {
        TMainForm form(false);
        ReadText(&form, "object MainForm: TMainForm\r\n  Left = " + std::to_string(c.Saved.x()) +
                            "\r\n  Top = " + std::to_string(c.Saved.y()) + "\r\nend\r\n");
        EXPECT_EQ(form.frameGeometry().topLeft(), c.Expected) << "saved " << c.Saved.x() << "," << c.Saved.y();
    }
}

TEST(PropInterceptors, MaximisedWindowStoresItsRestoredRectangle) {
    TMainForm form(false);
    form.setGeometry(120, 130, 400, 300);
    form.show();
    QCoreApplication::processEvents();
    // The stored Left and Top are those of the frame, as for a window that is not maximised.
    const QPoint restoredFrame = form.pos();
    form.setWindowState(Qt::WindowMaximized);
    QCoreApplication::processEvents();
    ASSERT_NE(form.pos(), restoredFrame) << "the platform did not maximise the window";
    EXPECT_EQ(NormalFormRect(&form).topLeft(), restoredFrame);
    const std::string text = WriteText(&form, {"<P>.Left", "<P>.Top"});
    EXPECT_THAT(text, HasSubstr("  Left = " + std::to_string(restoredFrame.x()) +
                                "\r\n  Top = " + std::to_string(restoredFrame.y()) + "\r\n"));
}

struct MulDivCase {
    int Value, Numerator, Denominator, Result;
};

TEST(PropInterceptors, MulDivRoundsHalvesAwayFromZero) {
    for (const MulDivCase& c : {MulDivCase{3, 1, 2, 2}, MulDivCase{-3, 1, 2, -2}, MulDivCase{5, 96, 96, 5},
                                MulDivCase{301, 96, 192, 151}, MulDivCase{1, 1, 3, 0}, MulDivCase{2, 1, 3, 1},
                                MulDivCase{7, 5, 0, -1}, MulDivCase{1000000, 1000000, 1000000, 1000000}}) {
        EXPECT_EQ(MulDiv(c.Value, c.Numerator, c.Denominator), c.Result)
            << c.Value << " * " << c.Numerator << " / " << c.Denominator;
    }
}

} // namespace
} // namespace pardova

#include "PropFilerTest.moc"
