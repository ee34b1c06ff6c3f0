#include "settings/core/ObjectStream.h"

#include "settings/core/TestStreamBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace pardova {
namespace {

using pardova::testing::Bytes;
using pardova::testing::Written;

TEST(MemoryStream, ReadWriteSeekAndSize) {
    TMemoryStream s;
    s.WriteBuffer("abcdef");
    EXPECT_EQ(s.Position(), 6);
    EXPECT_EQ(s.Size(), 6);
    s.Seek(-4, TSeekOrigin::soEnd);
    char buf[8] = {};
    EXPECT_EQ(s.Read(buf, 8), 4u);
    EXPECT_EQ(std::string(buf), "cdef");
    EXPECT_EQ(s.Read(buf, 8), 0u);
    s.SetPosition(8);
    s.WriteBuffer("x");
    EXPECT_EQ(s.ToString(), std::string("abcdef\0\0x", 9));
    s.SetSize(3);
    EXPECT_EQ(s.Position(), 3);
    EXPECT_EQ(s.ToString(), "abc");
    EXPECT_THROW(s.Seek(-4, TSeekOrigin::soCurrent), platform::EStreamError);
    s.Clear();
    EXPECT_EQ(s.Size(), 0);
}

TEST(MemoryStream, ReadBufferRaisesOnShortRead) {
    TMemoryStream s("abc");
    char buf[4];
    try {
        s.ReadBuffer(buf, 4);
        FAIL() << "no exception";
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Stream read error");
    }
}

TEST(MemoryStream, CopyFromTakesACountOrTheWholeSource) {
    TMemoryStream source("0123456789"), target;
    source.SetPosition(3);
    EXPECT_EQ(target.CopyFrom(source, 4), 4);
    EXPECT_EQ(target.ToString(), "3456");
    EXPECT_EQ(target.CopyFrom(source, 0), 10);
    EXPECT_EQ(target.ToString(), "34560123456789");
    EXPECT_THROW(target.CopyFrom(source, 1), EReadError); // source is at its end

    TBytesStream bytes(std::vector<uint8_t>{'a', 'b'});
    bytes.Seek(0, TSeekOrigin::soEnd);
    bytes.WriteBuffer("c");
    EXPECT_EQ(bytes.Bytes(), (std::vector<uint8_t>{'a', 'b', 'c'}));
}

struct IntegerCase {
    int64_t value;
    std::string bytes;
};

TEST(Writer, IntegerTakesTheSmallestTag) {
    const IntegerCase cases[] = {
        {0, Bytes({vaInt8, 0})},
        {127, Bytes({vaInt8, 0x7F})},
        {-128, Bytes({vaInt8, 0x80})},
        {128, Bytes({vaInt16, 0x80, 0})},
        {-129, Bytes({vaInt16, 0x7F, 0xFF})},
        {-32768, Bytes({vaInt16, 0x00, 0x80})},
        {32767, Bytes({vaInt16, 0xFF, 0x7F})},
        {32768, Bytes({vaInt32, 0x00, 0x80, 0, 0})},
        {-32769, Bytes({vaInt32, 0xFF, 0x7F, 0xFF, 0xFF})},
        {2147483647, Bytes({vaInt32, 0xFF, 0xFF, 0xFF, 0x7F})},
        {2147483648LL, Bytes({vaInt64, 0, 0, 0, 0x80, 0, 0, 0, 0})},
        {-2147483649LL, Bytes({vaInt64, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF})},
        {std::numeric_limits<int64_t>::min(), Bytes({vaInt64, 0, 0, 0, 0, 0, 0, 0, 0x80})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string bytes = Written([&](TWriter& w) { w.WriteInteger(c.value); });
        EXPECT_EQ(bytes, c.bytes);
        TMemoryStream in(bytes);
        TReader reader(in);
        EXPECT_EQ(reader.ReadInteger(), c.value);
        EXPECT_EQ(in.Remaining(), 0);
    }
}

TEST(Writer, IdentifiersFalseTrueNullNilBecomeBareTags) {
    const std::pair<const char*, std::string> cases[] = {
        {"False", Bytes({vaFalse})},
        {"true", Bytes({vaTrue})},
        {"NULL", Bytes({vaNull})},
        {"Nil", Bytes({vaNil})},
        {"Nils", Bytes({vaIdent, 4}) + "Nils"},
        {"clRed", Bytes({vaIdent, 5}) + "clRed"},
    };
    for (const auto& [ident, bytes] : cases) {
        SCOPED_TRACE(ident);
        EXPECT_EQ(Written([&](TWriter& w) { w.WriteIdent(ident); }), bytes);
    }
    TMemoryStream in(Bytes({vaFalse, vaTrue, vaNull, vaNil, vaIdent, 1, 'x'}));
    TReader reader(in);
    EXPECT_EQ(reader.ReadIdent(), "False");
    EXPECT_EQ(reader.ReadIdent(), "True");
    EXPECT_EQ(reader.ReadIdent(), "Null");
    EXPECT_EQ(reader.ReadIdent(), "nil");
    EXPECT_EQ(reader.ReadIdent(), "x");
}

TEST(Writer, StringRuleChoosesTheKind) {
    const std::string ascii255(255, 'a'), ascii256(256, 'a');
    struct Case {
        std::string text;
        std::string bytes;
    } const cases[] = {
        {"", Bytes({vaWString, 0, 0, 0, 0})},
        {"ab", Bytes({vaString, 2}) + "ab"},
        {ascii255, Bytes({vaString, 255}) + ascii255},
        {ascii256, Bytes({vaLString, 0, 1, 0, 0}) + ascii256},
        // One Cyrillic letter: two UTF-8 bytes for one code unit, so UTF-16 is no longer.
        {"\xD0\x9F", Bytes({vaWString, 1, 0, 0, 0, 0x1F, 0x04})},
        {"a\xD0\x9F", Bytes({vaUTF8String, 3, 0, 0, 0}) + "a\xD0\x9F"},
        // A character outside the basic plane: four bytes, two code units.
        {"\xF0\x9F\x98\x80", Bytes({vaWString, 2, 0, 0, 0, 0x3D, 0xD8, 0x00, 0xDE})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string bytes = Written([&](TWriter& w) { w.WriteString(c.text); });
        EXPECT_EQ(bytes, c.bytes);
        TMemoryStream in(bytes);
        TReader reader(in);
        EXPECT_EQ(reader.ReadString(), c.text);
    }
}

TEST(Writer, ShortStringIsCutAt255Bytes) {
    const std::string bytes = Written([](TWriter& w) { w.WriteStr(std::string(300, 'n')); });
    EXPECT_EQ(bytes, Bytes({255}) + std::string(255, 'n'));
}

TEST(Writer, PrefixOnlyWithFlags) {
    EXPECT_EQ(Written([](TWriter& w) { w.WritePrefix(0, 5); }), "");
    EXPECT_EQ(Written([](TWriter& w) { w.WritePrefix(ffInherited | ffChildPos, 300); }),
              Bytes({0xF3, vaInt16, 0x2C, 0x01}));
    TMemoryStream in(Bytes({0xF3, vaInt16, 0x2C, 0x01, 1, 'T'}));
    TReader reader(in);
    TFilerFlags flags;
    int64_t pos;
    reader.ReadPrefix(flags, pos);
    EXPECT_EQ(flags, ffInherited | ffChildPos);
    EXPECT_EQ(pos, 300);
    EXPECT_EQ(reader.ReadStr(), "T");
}

TEST(Writer, LongClassNamesAreNotMistakenForAPrefix) {
    for (const size_t length : {239u, 240u, 255u, 300u}) {
        SCOPED_TRACE(length);
        const std::string className(length, 'C');
        const std::string bytes = Written([&](TWriter& w) { w.WriteObjectHeader(0, 0, className, "n"); });
        TMemoryStream in(bytes);
        TReader reader(in);
        TFilerFlags flags;
        int64_t pos;
        reader.ReadPrefix(flags, pos);
        EXPECT_EQ(flags, 0);
        EXPECT_EQ(reader.ReadStr(), className.substr(0, 255));
        EXPECT_EQ(reader.ReadStr(), "n");
    }
}

TEST(Extended, KnownBitPatterns) {
    const std::pair<long double, std::string> cases[] = {
        {0.0L, Bytes({0, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {1.0L, Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x3F})},
        {-2.0L, Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0x00, 0xC0})},
        {1.5L, Bytes({0, 0, 0, 0, 0, 0, 0, 0xC0, 0xFF, 0x3F})},
        {std::numeric_limits<long double>::infinity(), Bytes({0, 0, 0, 0, 0, 0, 0, 0x80, 0xFF, 0x7F})},
    };
    for (const auto& [value, bytes] : cases) {
        SCOPED_TRACE(static_cast<double>(value));
        const TExtendedBytes ext = ExtendedToBytes(value);
        EXPECT_EQ(std::string(ext.begin(), ext.end()), bytes);
        EXPECT_EQ(BytesToExtended(ext), value);
    }
    EXPECT_TRUE(std::isnan(BytesToExtended(ExtendedToBytes(std::numeric_limits<long double>::quiet_NaN()))));
    const long double third = 1.0L / 3.0L;
    EXPECT_EQ(BytesToExtended(ExtendedToBytes(third)), third);
    const long double tiny = std::numeric_limits<long double>::denorm_min() * 5;
    EXPECT_EQ(BytesToExtended(ExtendedToBytes(tiny)), tiny);
}

TEST(Reader, FloatKindsRoundTrip) {
    const std::string bytes = Written([](TWriter& w) {
        w.WriteFloat(2.5L);
        w.WriteSingle(0.25f);
        w.WriteCurrency(123456);
        w.WriteDate(45000.5);
        w.WriteDouble(-1e300);
    });
    TMemoryStream in(bytes);
    TReader r(in);
    EXPECT_EQ(r.ReadFloat(), 2.5L);
    EXPECT_EQ(r.ReadSingle(), 0.25f);
    EXPECT_EQ(r.ReadCurrency(), 123456);
    EXPECT_EQ(r.ReadDate(), 45000.5);
    EXPECT_EQ(r.ReadDouble(), -1e300);
}

TEST(Reader, SkipValueSkipsNestedStructures) {
    const std::string bytes = Written([](TWriter& w) {
        w.WriteListBegin();
        w.WriteInteger(70000);
        w.WriteListBegin();
        w.WriteString("x\xD0\x9F");
        w.WriteListEnd();
        w.WriteSet({"a", "bb"});
        w.WriteBinary(std::vector<uint8_t>{1, 2, 3});
        w.WriteCollectionBegin();
        w.WriteInteger(3);
        w.WriteListBegin();
        w.WriteStr("Name");
        w.WriteFloat(1.0L);
        w.WriteListEnd();
        w.WriteListBegin();
        w.WriteListEnd();
        w.WriteCollectionEnd();
        w.WriteListEnd();
        w.WriteIdent("after");
    });
    TMemoryStream in(bytes);
    TReader r(in);
    r.SkipValue();
    EXPECT_EQ(r.ReadIdent(), "after");
}

TEST(Reader, MalformedDataRaisesReadError) {
    const std::string cases[] = {
        "",                                         // nothing at all
        Bytes({vaInt32, 1, 2}),                     // truncated integer
        Bytes({vaString, 5}) + "ab",                // string shorter than its length
        Bytes({vaLString, 0xFF, 0xFF, 0xFF, 0x7F}), // a length far beyond the data
        Bytes({vaWString, 0xFF, 0xFF, 0xFF, 0xFF, 0x41}),
        Bytes({vaBinary, 0, 0, 0, 0x80}),
        Bytes({vaList, vaInt8}),                   // list without its end
        Bytes({vaSet, 1, 'a'}),                    // set without its empty name
        Bytes({vaCollection, vaList, 1, 'a', 22}), // a tag above the last kind
        Bytes({22}),
    };
    for (const auto& bytes : cases) {
        SCOPED_TRACE(::testing::PrintToString(bytes));
        TMemoryStream in(bytes);
        TReader r(in);
        EXPECT_THROW(r.SkipValue(), EReadError);
    }
}

TEST(Reader, DeepNestingIsRejectedNotRecursedInto) {
    TMemoryStream in(std::string(100000, static_cast<char>(vaList)));
    TReader r(in);
    EXPECT_THROW(r.SkipValue(), EReadError);
}

TEST(Reader, WrongKindIsInvalidPropertyValue) {
    TMemoryStream in(Bytes({vaString, 1, 'a'}));
    TReader r(in);
    try {
        r.ReadInteger();
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_STREQ(e.what(), "Invalid property value");
    }
}

TEST(Reader, SignatureIsChecked) {
    for (const std::string& bytes : {std::string("TPF"), std::string("TPF1"), std::string("")}) {
        TMemoryStream in(bytes);
        TReader r(in);
        try {
            r.ReadSignature();
            FAIL();
        } catch (const EReadError& e) {
            EXPECT_STREQ(e.what(), "Invalid stream format");
        }
    }
    TMemoryStream ok("TPF0");
    TReader r(ok);
    EXPECT_NO_THROW(r.ReadSignature());
}

} // namespace
} // namespace pardova
