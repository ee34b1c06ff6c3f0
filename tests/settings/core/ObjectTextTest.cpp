#include "settings/core/ObjectText.h"
#include "settings/core/ObjectStream.h"
#include "settings/core/TestStreamBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pardova {
namespace {

using pardova::testing::Bytes;
using pardova::testing::Written;

std::string TextToBinary(const std::string& text) {
    TMemoryStream in(text), out;
    ConvertObjectTextToStream(in, out);
    return out.ToString();
}

std::string BinaryToText(const std::string& bytes) {
    TMemoryStream in(bytes), out;
    ConvertObjectStreamToText(in, out);
    return out.ToString();
}

// Joins lines with CR LF after each.
std::string Lines(std::initializer_list<std::string> lines) {
    std::string out;
    for (const auto& line : lines) {
        out += line + "\r\n";
    }
    return out;
}

// A root object holding one property line.
std::string WithProperty(const std::string& line) { return Lines({"object F: TF", "  " + line, "end"}); }

// The stream of a root object TF named F with one property P written by `write`.
template <typename W> std::string StreamWithProperty(W&& write) {
    return Written([&](TWriter& w) {
        w.WriteSignature();
        w.WriteStr("TF");
        w.WriteStr("F");
        w.WriteStr("P");
        write(w);
        w.WriteValue(vaNull);
        w.WriteValue(vaNull);
    });
}

const std::string SettingsText = Lines({
    "object MainForm: TMainForm",
    "  Left = 312",
    "  Top = 184",
    "  object CheckBox1: TsCheckBox",
    "    Checked = True",
    "  end",
    "  object DirEdit1: TsDirectoryEdit",
    "    Text = 'D:\\'#1055#1088#1086#1077#1082#1090#1099'\\'#1048#1089#1093#1086#1076#1085#1080#1082#1080",
    "  end",
    "  object DirEdit2: TsDirectoryEdit",
    "    Text = 'E:\\Archive\\Sources copy'",
    "  end",
    "  object ExeEdit: TsFilenameEdit",
    "    Text = ",
    "      'C:\\Program Files\\Example Tools\\Post-processing\\after copy\\launch' +",
    "      'er.exe'",
    "  end",
    "end",
});

TEST(ObjectText, SettingsExampleConvertsToItsStreamAndBack) {
    const std::string binary = TextToBinary(SettingsText);

    // The stream a property writer produces for the same window.
    TMemoryStream expected;
    TWriter w(expected);
    w.WriteSignature();
    w.WriteStr("TMainForm");
    w.WriteStr("MainForm");
    w.WriteStr("Left");
    w.WriteInteger(312);
    w.WriteStr("Top");
    w.WriteInteger(184);
    w.WriteValue(vaNull);
    const auto child = [&](const char* cls, const char* name, const char* prop, auto&& value) {
        w.WriteStr(cls);
        w.WriteStr(name);
        w.WriteStr(prop);
        value();
        w.WriteValue(vaNull);
        w.WriteValue(vaNull);
    };
    child("TsCheckBox", "CheckBox1", "Checked", [&] { w.WriteBoolean(true); });
    child("TsDirectoryEdit", "DirEdit1", "Text", [&] {
        w.WriteString("D:\\\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB5\xD0\xBA\xD1\x82\xD1\x8B\\"
                      "\xD0\x98\xD1\x81\xD1\x85\xD0\xBE\xD0\xB4\xD0\xBD\xD0\xB8\xD0\xBA\xD0\xB8");
    });
    child("TsDirectoryEdit", "DirEdit2", "Text", [&] { w.WriteString("E:\\Archive\\Sources copy"); });
    child("TsFilenameEdit", "ExeEdit", "Text",
          [&] { w.WriteString("C:\\Program Files\\Example Tools\\Post-processing\\after copy\\launcher.exe"); });
    w.WriteValue(vaNull);

    EXPECT_EQ(binary, expected.ToString());
    EXPECT_EQ(BinaryToText(binary), SettingsText);
}

TEST(ObjectText, TextRoundTripsUnchanged) {
    const std::string s64(64, 'x'), s65(65, 'x');
    const std::string cases[] = {
        WithProperty("Text = ''"),
        WithProperty("Text = 'C:\\It'#39's'"),
        WithProperty("Text = '" + s64 + "'"),
        Lines({"object F: TF", "  Text = ", "    '" + s64 + "' +", "    'x'", "end"}),
        Lines({"object F: TF", "  Text = ", "    '" + s64 + "' +", "    '" + s64 + "' +", "    #1055", "end"}),
        // Codes count as characters of the line: 60 printable and 4 codes fill it.
        Lines({"object F: TF", "  Text = ", "    '" + std::string(60, 'a') + "'#1#2#3#4 +", "    'b'", "end"}),
        WithProperty("Text = #13#10'x'#0"),
        WithProperty("Text = '~\x7F'"),
        WithProperty("Left = 127"),
        WithProperty("Left = 128"),
        WithProperty("Left = -32768"),
        WithProperty("Left = 32768"),
        WithProperty("Left = -2147483648"),
        WithProperty("Left = 9223372036854775807"),
        WithProperty("Left = -9223372036854775808"),
        WithProperty("Checked = False"),
        WithProperty("Checked = True"),
        WithProperty("Font.Style = [fsBold, fsItalic]"),
        WithProperty("Font.Style = []"),
        WithProperty("Value = nil"),
        WithProperty("Value = Null"),
        WithProperty("Color = clBtnFace"),
        WithProperty("List = ()"),
        Lines({"object F: TF", "  List = (", "    1", "    'a'", "    (", "      True))", "end"}),
        Lines({"object F: TF", "  Items = <", "    item", "      Caption = 'a'", "    end", "    item [3]",
               "      Width = 5", "    end>", "end"}),
        WithProperty("Items = <>"),
        WithProperty("Data = {0001ABFF}"),
        WithProperty("Data = {}"),
        Lines({"object F: TF", "  Data = {", "    " + std::string(64, 'A'), "    0F}", "end"}),
        WithProperty("X = 1.500000000000000000"),
        WithProperty("X = -0.000100000000000000"),
        WithProperty("X = 0.333333333333333300"),
        WithProperty("X = 1.234567890123457E+0020"),
        WithProperty("X = 0.25s"),
        WithProperty("X = 12.34c"),
        WithProperty("X = -0.0001c"),
        WithProperty("X = 7c"),
        WithProperty("X = 45000.5d"),
        WithProperty("X = 5s"),
        Lines({"inherited F: TF [2]", "  object A: TA", "  end", "  inline B: TB", "  end", "  object TC", "  end",
               "end"}),
    };
    for (const std::string& text : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(BinaryToText(TextToBinary(text)), text);
    }
}

struct StreamCase {
    std::string line;
    std::string value; // the bytes of P's value in the stream
};

TEST(ObjectText, ValuesTakeTheirStreamKinds) {
    const StreamCase cases[] = {
        {"P = 127", Bytes({vaInt8, 127})},
        {"P = 128", Bytes({vaInt16, 128, 0})},
        {"P = -32768", Bytes({vaInt16, 0, 0x80})},
        {"P = 32768", Bytes({vaInt32, 0, 0x80, 0, 0})},
        {"P = 4294967296", Bytes({vaInt64, 0, 0, 0, 0, 1, 0, 0, 0})},
        {"P = $FF", Bytes({vaInt16, 0xFF, 0})},
        {"P = true", Bytes({vaTrue})},
        {"P = NIL", Bytes({vaNil})},
        {"P = ''", Bytes({vaWString, 0, 0, 0, 0})},
        {"P = 'a' + 'b'", Bytes({vaString, 2, 'a', 'b'})},
        {"P = 'It''s'", Bytes({vaString, 4, 'I', 't', '\'', 's'})},
        {"P = #1055", Bytes({vaWString, 1, 0, 0, 0, 0x1F, 0x04})},
        {"P = 'a'#1055", Bytes({vaUTF8String, 3, 0, 0, 0, 'a', 0xD0, 0x9F})},
        {"P = Font.Name", Bytes({vaIdent, 9}) + "Font.Name"},
        {"P = [a, 5, 'x']", Bytes({vaSet, 1, 'a', 1, '5', 4, '#', '1', '2', '0', 0})},
        {"P = 1.5", Bytes({vaExtended, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F})},
        {"P = 1.5f", Bytes({vaExtended, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F})},
        {"P = 1.5S", Bytes({vaSingle, 0, 0, 0xC0, 0x3F})},
        {"P = 1.5c", Bytes({vaCurrency, 0x98, 0x3A, 0, 0, 0, 0, 0, 0})},
        {"P = 0.00005c", Bytes({vaCurrency, 1, 0, 0, 0, 0, 0, 0, 0})},
        {"P = -1.5E2c", Bytes({vaCurrency, 0xA0, 0x1C, 0xE9, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        {"P = 2d", Bytes({vaDate, 0, 0, 0, 0, 0, 0, 0, 0x40})},
        {"P = {0aFf}", Bytes({vaBinary, 2, 0, 0, 0, 0x0A, 0xFF})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(TextToBinary(WithProperty(c.line)),
                  Bytes({'T', 'P', 'F', '0', 2, 'T', 'F', 1, 'F', 1, 'P'}) + c.value + Bytes({0, 0}));
    }
}

TEST(ObjectText, LowerCaseTrueComesBackCapitalised) {
    EXPECT_EQ(BinaryToText(TextToBinary(WithProperty("Checked = true"))), WithProperty("Checked = True"));
}

TEST(ObjectText, KeywordsAndWhiteSpaceAreLenient) {
    const std::string text = "\tOBJECT   F :TF\n\x0B P\t=\n 1 END trailing garbage 'never read";
    EXPECT_EQ(BinaryToText(TextToBinary(text)), WithProperty("P = 1"));
}

TEST(ObjectText, StreamValuesFormatAsText) {
    const std::vector<uint8_t> forty(40, 0xAB);
    const std::pair<std::string, std::string> cases[] = {
        {StreamWithProperty([](TWriter& w) { w.WriteString(std::string(300, 'z')); }),
         Lines({"object F: TF", "  P = ", "    '" + std::string(64, 'z') + "' +",
                "    '" + std::string(64, 'z') + "' +", "    '" + std::string(64, 'z') + "' +",
                "    '" + std::string(64, 'z') + "' +", "    '" + std::string(44, 'z') + "'", "end"})},
        {StreamWithProperty([&](TWriter& w) { w.WriteBinary(forty); }),
         Lines({"object F: TF", "  P = {",
                "    " + std::string(64, 'A').replace(
                             0, 64, "ABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABABAB"),
                "    ABABABABABABABAB}", "end"})},
        {StreamWithProperty([](TWriter& w) { w.WriteDouble(0.1); }), WithProperty("P = 0.100000000000000000")},
        {StreamWithProperty([](TWriter& w) { w.WriteFloat(-1234.5L); }), WithProperty("P = -1234.500000000000000000")},
        {StreamWithProperty([](TWriter& w) { w.WriteFloat(0); }), WithProperty("P = 0.000000000000000000")},
        {StreamWithProperty([](TWriter& w) { w.WriteFloat(1e-20L); }), WithProperty("P = 0.000000000000000000")},
        {StreamWithProperty([](TWriter& w) { w.WriteFloat(5e-18L); }), WithProperty("P = 0.000000000000000005")},
        {StreamWithProperty([](TWriter& w) { w.WriteSingle(0.1f); }), WithProperty("P = 0.1s")},
        {StreamWithProperty([](TWriter& w) { w.WriteCurrency(-9223372036854775807LL - 1); }),
         WithProperty("P = -922337203685477.5808c")},
        {StreamWithProperty([](TWriter& w) { w.WriteDate(1e20); }), WithProperty("P = 1e+20d")},
        // The one-byte string kinds print their bytes as character codes.
        {StreamWithProperty([](TWriter& w) {
             w.WriteValue(vaString);
             w.WriteStr("\xE9");
         }),
         WithProperty("P = #233")},
    };
    for (const auto& [bytes, text] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(BinaryToText(bytes), text);
        EXPECT_EQ(BinaryToText(TextToBinary(text)), text);
    }
}

TEST(ObjectText, NonAsciiNamesGetTheUtf8Mark) {
    const std::string text = "\xEF\xBB\xBF" + Lines({"object \xD0\xA4: TF", "  \xD0\x9F = \xD0\xA1", "end"});
    const std::string binary = TextToBinary(text);
    EXPECT_EQ(binary,
              Bytes({'T', 'P', 'F', '0', 2, 'T', 'F', 2, 0xD0, 0xA4, 2, 0xD0, 0x9F, vaIdent, 2, 0xD0, 0xA1, 0, 0}));
    EXPECT_EQ(BinaryToText(binary), text);
    // ASCII names: no mark, also when string values are not ASCII.
    EXPECT_EQ(BinaryToText(TextToBinary(WithProperty("P = #1055"))).substr(0, 6), "object");
}

TEST(ObjectText, QuotedBytesAreDecodedUnlessHighCodesArePresent) {
    // In UTF-8 input, quoted text is UTF-8 ...
    EXPECT_EQ(TextToBinary("\xEF\xBB\xBF" + WithProperty("P = '\xD0\x9F'")),
              Bytes({'T', 'P', 'F', '0', 2, 'T', 'F', 1, 'F', 1, 'P', vaWString, 1, 0, 0, 0, 0x1F, 0x04, 0, 0}));
    // ... but next to a code of 128 or above each quoted byte is a character code of its own.
    EXPECT_EQ(
        TextToBinary("\xEF\xBB\xBF" + WithProperty("P = #1055'\xC3'")),
        Bytes({'T', 'P', 'F', '0', 2, 'T', 'F', 1, 'F', 1, 'P', vaWString, 2, 0, 0, 0, 0x1F, 0x04, 0xC3, 0, 0, 0}));
}

TEST(ObjectText, DetectsTheStoredForm) {
    const std::pair<std::string, TStreamOriginalFormat> cases[] = {
        {"", sofBinary},
        {"o", sofText},
        {"TPF0rest", sofBinary},
        {Bytes({0xFF, 0x0A}), sofBinary},
        {Bytes({0, 0, 0}), sofBinary},
        {Bytes({0, 0, 0, 1}), sofUnknown},
        {"object", sofText},
        {"Inherited", sofText},
        {"\tx", sofText},
        {"\rx", sofText},
        {"\x0Bx", sofText},
        {" x", sofText},
        {"\nobject", sofUnknown},
        {"\xEF\xBB\xBFobject", sofUTF8Text},
        {"\xEF\xBB", sofUnknown},
        {"TPF1", sofUnknown},
        {"[TMainForm]", sofUnknown},
    };
    for (const auto& [bytes, format] : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        TMemoryStream stream("xy" + bytes);
        stream.SetPosition(2);
        EXPECT_EQ(DetectObjectStreamFormat(stream), format);
        EXPECT_EQ(stream.Position(), 2);
    }
}

TEST(ObjectText, ConvertsFromTheCurrentPositionAndAppends) {
    const std::string binary = TextToBinary(WithProperty("P = 1"));
    TMemoryStream in("junk" + binary), out("head");
    in.SetPosition(4);
    out.Seek(0, TSeekOrigin::soEnd);
    ConvertObjectStreamToText(in, out);
    EXPECT_EQ(out.ToString(), "head" + WithProperty("P = 1"));
    EXPECT_EQ(in.Position(), static_cast<int64_t>(4 + binary.size()));
}

struct ParseErrorCase {
    std::string text;
    std::string message;
};

TEST(ObjectText, ParseErrorsNameTheFaultAndTheLine) {
    const ParseErrorCase cases[] = {
        {"", "OBJECT expected on line 1"},
        {"thing F: TF\r\nend", "OBJECT expected on line 1"},
        {"object\r\n\r\n: TF", "Identifier expected on line 3"},
        {"object F: 5", "Identifier expected on line 1"},
        {"object F: TF\r\n  P 1\r\nend", "''='' expected on line 2"},
        {"object F: TF\r\n  P = \r\n", "Invalid property value on line 3"},
        {"object F: TF\r\n  P = )", "Invalid property value on line 2"},
        {"object F: TF\r\n  P = (1\r\n    null 2)", "Invalid property value on line 3"},
        {"object F: TF\r\n  P = 'abc\r\n'", "Invalid string constant on line 2"},
        {"object F: TF\r\n  P = 'abc", "Invalid string constant on line 2"},
        {"object F: TF\r\n  P = #", "Invalid string constant on line 2"},
        {"object F: TF\r\n  P = #65536", "Invalid string constant on line 2"},
        {"object F: TF\r\n  P = 'a' + 5", "String expected on line 2"},
        {"object F: TF\r\n  P = {0G}", "Invalid binary value on line 2"},
        {"object F: TF\r\n  P = {ABC}", "Invalid binary value on line 2"},
        {"object F: TF\r\n  P = {AB\r\n", "Invalid binary value on line 3"},
        {"object F: TF\r\n  P = <\r\n    thing", "item expected on line 3"},
        {"object F: TF\r\n  P = <item [x]", "Number expected on line 2"},
        {"object F: TF\r\n  P = [a b]", "'']'' expected on line 2"},
        {"object F: TF [1", "'']'' expected on line 1"},
        {"object F: TF\r\n  P = 1.2.3", "Invalid property value on line 2"},
        {"object F: TF\r\n  P = 99999999999999999999", "Invalid property value on line 2"},
        {"object F: TF\r\n  P = -", "Invalid property value on line 2"},
        {"object F: TF\r\n  P = 922337203685477.5808c", "Invalid property value on line 2"},
        {"object F: TF\r\n  P = 1e5000", "Invalid property value on line 2"},
        {"object F: TF\r\n  P = 1", "Identifier expected on line 2"},
        {"object F: TF\r\n  object G: TG\r\n  end", "OBJECT expected on line 3"},
        {"\xFF\xFE"
         "o\0b\0",
         "ANSI or UTF8 encoding expected on line 1"},
        {"\xFE\xFF\0o", "ANSI or UTF8 encoding expected on line 1"},
        // Without the UTF-8 mark a byte above ASCII is no letter.
        {"object \xD0\xA4: TF\r\nend", "Identifier expected on line 1"},
        {"object F: TF\r\n  P = " + std::string(1000, '('), "Invalid property value on line 2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        try {
            TextToBinary(c.text);
            ADD_FAILURE() << "no exception";
        } catch (const EParserError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

// Names in UTF-8 input are letters of any script, as whole valid UTF-8 characters: a byte that begins
// no valid character is refused where it stands, so that no stream is made whose text cannot be read.
TEST(ObjectText, InvalidUtf8InNamesIsRefused) {
    const std::string mark = "\xEF\xBB\xBF";
    const ParseErrorCase cases[] = {
        {mark + "object \xFF: TF\r\nend", "Identifier expected on line 1"},
        {mark + "object F: \xD0\xFF\xFF\r\nend", "Identifier expected on line 1"},
        {mark + "object F\xFF: TF\r\nend", "Identifier expected on line 1"},
        {mark + "object F: TF\r\n  \xC0\x80 = 1\r\nend", "Identifier expected on line 2"},     // overlong
        {mark + "object F: TF\r\n  P\xED\xA0\x80 = 1\r\nend", "''='' expected on line 2"},     // surrogate
        {mark + "object F: TF\r\n  P\xF4\x90\x80\x80 = 1\r\nend", "''='' expected on line 2"}, // above U+10FFFF
        {mark + "object F: TF\r\n  P = A\xE2\x82\r\nend", "Identifier expected on line 2"},    // cut short
        // What a long search found: a name of the byte FF, a class name of D0 FF FF ..., then 88 87.
        {mark + "object \xFF: \xD0\xFF\xFF\xFF\x88\x87" + std::string(40, 'x') + "\r\nend",
         "Identifier expected on line 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        try {
            const std::string binary = TextToBinary(c.text);
            ADD_FAILURE() << "converted to " << ::testing::PrintToString(binary);
            // Whatever was made must at least read back.
            TextToBinary(BinaryToText(binary));
        } catch (const EParserError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

// Every name that converts also converts back, byte for byte, including names of every UTF-8 length and a
// name longer than a short string holds, whose cut never splits a character.
TEST(ObjectText, NamesOfEveryScriptRoundTrip) {
    const std::string mark = "\xEF\xBB\xBF";
    std::string longName;
    for (int i = 0; i < 150; ++i) longName += "\xD0\x94"; // 300 bytes; byte 255 falls inside a letter
    const std::string names[] = {
        "\xD0\xA4",
        "\xE5\xB9\xB4\xE6\x9C\x88",
        "\xF0\x9D\x90\x80x",
        "a\xC2\xA0"
        "b",
        longName,
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(::testing::PrintToString(name));
        const std::string text = mark + Lines({"object " + name + ": T" + name, "  " + name + " = " + name, "end"});
        const std::string binary = TextToBinary(text);
        const std::string back = BinaryToText(binary);
        EXPECT_EQ(TextToBinary(back), binary);
        EXPECT_EQ(BinaryToText(TextToBinary(back)), back);
        if (name.size() <= 200) {
            EXPECT_EQ(back, text);
        }
    }
    // The long name is cut to 254 bytes, 127 whole letters: its 255th byte is the first half of a letter.
    const std::string binary = TextToBinary(mark + Lines({"object F: TF", "  " + longName + " = 1", "end"}));
    EXPECT_NE(binary.find(std::string(1, '\xFE') + longName.substr(0, 254) + std::string(1, vaInt8)),
              std::string::npos);
}

TEST(ObjectText, LinesLongerThanTheWindowFail) {
    const auto textWithLine = [](size_t length) {
        const std::string head = "  P = '";
        return "object F: TF\r\n" + head + std::string(length - head.size() - 1, 'x') + "'\r\nend\r\n";
    };
    EXPECT_NO_THROW(TextToBinary(textWithLine(4096)));
    try {
        TextToBinary(textWithLine(4097));
        ADD_FAILURE() << "no exception";
    } catch (const EParserError& e) {
        EXPECT_EQ(e.Message(), "Line too long on line 2");
    }
    // Nothing after the root object's end is read, however long.
    EXPECT_NO_THROW(TextToBinary(WithProperty("P = 1") + std::string(10000, 'x')));
}

TEST(ObjectText, FailedConversionLeavesOutputUntouched) {
    TMemoryStream in{std::string("object F: TF\r\n  P = 1\r\n  Q =")}, out{"keep"};
    out.Seek(0, TSeekOrigin::soEnd);
    EXPECT_THROW(ConvertObjectTextToStream(in, out), EParserError);
    EXPECT_EQ(out.ToString(), "keep");

    const std::string binary = TextToBinary(WithProperty("P = 1"));
    TMemoryStream bin(binary.substr(0, binary.size() - 1)), text("keep");
    text.Seek(0, TSeekOrigin::soEnd);
    EXPECT_THROW(ConvertObjectStreamToText(bin, text), EReadError);
    EXPECT_EQ(text.ToString(), "keep");
}

TEST(ObjectText, MalformedStreamsRaiseReadErrors) {
    const std::string header = Bytes({'T', 'P', 'F', '0', 2, 'T', 'F', 1, 'F'});
    const ParseErrorCase cases[] = {
        {"", "Invalid stream format"},
        {"TPF", "Invalid stream format"},
        {"object F: TF", "Invalid stream format"},
        {header + Bytes({4, 'L', 'e', 'f', 't', 22}), "Error reading F.Left: 22"},
        // An object without a name is named by its (empty) name, never by its class.
        {Bytes({'T', 'P', 'F', '0', 2, 'T', 'F', 0, 1, 'P', 0xFF}), "Error reading .P: 255"},
        {Bytes({'T', 'P', 'F', '0', 2, 'T', 'Y', 0, 1, 'P', 22}), "Error reading .P: 22"},
        {header + Bytes({0, 2, 'T', 'Y', 0, 1, 'P', 22}), "Error reading .P: 22"},
        {header + Bytes({1, 'P', vaInt32, 1}), "Error reading F.P: Stream read error"},
        {header + Bytes({1, 'P', vaWString, 0xFF, 0xFF, 0xFF, 0xFF}), "Error reading F.P: Stream read error"},
        {header + Bytes({1, 'P', vaCollection, vaInt8, 1, vaInt8}), "Error reading F.P: Invalid property value"},
        {header + Bytes({1, 'P', vaInt8, 1}), "Stream read error"},
        {header + Bytes({0}), "Stream read error"},
        {header.substr(0, 7), "Stream read error"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.text));
        try {
            BinaryToText(c.text);
            ADD_FAILURE() << "no exception";
        } catch (const EReadError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

TEST(ObjectText, DeeplyNestedStreamsAreRejected) {
    const std::string header = Bytes({'T', 'P', 'F', '0', 2, 'T', 'F', 1, 'F', 1, 'P'});
    EXPECT_THROW(BinaryToText(header + std::string(100000, static_cast<char>(vaList))), EReadError);
    std::string objects = "TPF0";
    for (int i = 0; i < 100000; ++i) {
        objects += Bytes({1, 'T', 0, 0});
    }
    EXPECT_THROW(BinaryToText(objects), EReadError);
}

} // namespace
} // namespace pardova
