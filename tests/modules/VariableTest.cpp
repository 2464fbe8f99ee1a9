// Encoding and decoding of every variable kind, at the limits, and the
// list operations that the device image and the edited state rely on.
#include "modules/DataState.h"
#include "modules/VariableList.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>

using namespace lumex;

namespace {

std::vector<uint8_t> B(std::initializer_list<int> bytes)
{
    std::vector<uint8_t> out;
    for (int b : bytes)
        out.push_back(static_cast<uint8_t>(b));
    return out;
}

std::vector<uint8_t> RawOf(const TVariable &v)
{
    return {v.Raw().begin(), v.Raw().end()};
}

// A signed byte scaled 1:1, as the OBD corrections are.
void SignedByteHandlers(TDoubleVariable &v)
{
    v.SetLimits(-128, 127);
    v.SetOnRawToValue(MakeRawToValue([](const TVariable &, std::span<const uint8_t> raw) {
        return static_cast<double>(static_cast<int8_t>(raw[0]));
    }));
    v.SetOnValueToRaw(MakeValueToRaw([](const TVariable &, double x, std::span<uint8_t> raw) {
        raw[0] = static_cast<uint8_t>(static_cast<int8_t>(x));
    }));
}

} // namespace

TEST(Variable, IntegralKindsRoundTripAtTheirLimits)
{
    TVariableList list(true);
    auto &b = list.Create<TByteVariable>("Adapter:B");
    auto &w = list.Create<TWordVariable>("Adapter:W");
    auto &s = list.Create<TSmallIntVariable>("Adapter:S");
    auto &i = list.Create<TIntVariable>("Adapter:I");
    for (int64_t v : {0, 1, 255}) {
        b.SetAsInteger(v);
        TByteVariable copy("x");
        copy.SetRaw(b.Raw(), false);
        EXPECT_EQ(copy.GetAsInteger(), v);
    }
    for (int64_t v : {0, 4660, 65535}) {
        w.SetAsInteger(v);
        TWordVariable copy("x");
        copy.SetRaw(w.Raw(), false);
        EXPECT_EQ(copy.GetAsInteger(), v);
    }
    for (int64_t v : {-32768, -1, 0, 32767}) {
        s.SetAsInteger(v);
        TSmallIntVariable copy("x");
        copy.SetRaw(s.Raw(), false);
        EXPECT_EQ(copy.GetAsInteger(), v) << v;
    }
    // The integer path must write what decoding reads: low word first.
    for (int64_t v :
         {int64_t{INT32_MIN}, int64_t{-1}, int64_t{1}, int64_t{131073}, int64_t{1234567}, int64_t{INT32_MAX}}) {
        i.SetAsInteger(v);
        EXPECT_EQ(i.GetAsInteger(), v);
        TIntVariable copy("x");
        copy.SetRaw(i.Raw(), false);
        EXPECT_EQ(copy.GetAsInteger(), v) << v;
    }
    EXPECT_EQ(s.Section(), "Adapter");
    EXPECT_EQ(s.Name(), "S");
}

TEST(Variable, ByteOrdersOfTheDevice)
{
    TWordVariable w("W");
    w.SetRaw(B({0x12, 0x34}), false);
    EXPECT_EQ(w.GetAsInteger(), 4660);
    TBoolVariable flags("F", 2);
    flags.SetRaw(B({0x12, 0x34}), false);
    EXPECT_EQ(flags.GetAsInteger(), 13330);
    TIntVariable i("I");
    i.SetRaw(B({0x00, 0x01, 0x00, 0x02}), false);
    EXPECT_EQ(i.GetAsInteger(), 131073);
    i.SetAsInteger(5);
    EXPECT_EQ(RawOf(i), B({0x00, 0x05, 0x00, 0x00}));
}

TEST(Variable, RangeErrorsKeepValueAndRaw)
{
    TVariableList list(true);
    auto &b = list.Create<TByteVariable>("B");
    b.SetAsInteger(7);
    for (int64_t bad : {256, -1}) {
        try {
            b.SetAsInteger(bad);
            ADD_FAILURE() << bad;
        } catch (const EVariableError &e) {
            EXPECT_EQ(std::string(e.what()), "Value (" + std::to_string(bad) + ") out of Byte range");
        }
        EXPECT_EQ(b.GetAsInteger(), 7);
        EXPECT_EQ(RawOf(b), B({7}));
    }
    auto &s = list.Create<TSmallIntVariable>("S");
    EXPECT_THROW(
        {
            try {
                s.SetAsInteger(40000);
            } catch (const EVariableError &e) {
                EXPECT_STREQ(e.what(), "Value (40000) out of Word range");
                throw;
            }
        },
        EVariableError);
    auto &w = list.Create<TWordVariable>("W");
    EXPECT_THROW(w.SetAsInteger(70000), EVariableError);
    EXPECT_THROW(w.SetAsInteger(-1), EVariableError);
    EXPECT_EQ(w.GetAsInteger(), 0);
    EXPECT_THROW(TByteVariable("Zero").SetRaw(B({1, 2}), false), EVariableError);
    EXPECT_THROW(TStringVariable("Empty", 0), EVariableError);
    EXPECT_THROW(TBoolVariable("Three", 3), EVariableError);
}

TEST(Variable, NotificationsOfSetRaw)
{
    TByteVariable b("B");
    int fired = 0;
    b.OnChange = [&](TVariable &) { ++fired; };
    b.SetRaw(B({0}), false);
    EXPECT_EQ(fired, 0);
    b.SetRaw(B({0}), true);
    EXPECT_EQ(fired, 1);
    b.SetRaw(B({3}), true);
    EXPECT_EQ(fired, 2);
    b.SetRaw(B({4}), false);
    EXPECT_EQ(fired, 3);
}

TEST(Variable, DoublesNeedHandlersAndRefuseWhatTheFieldCannotHold)
{
    TVariableList list(true);
    auto &p = list.CreateParam<TDoubleVariable>(0, "OBD:P", 1);
    EXPECT_THROW(p.SetAsDouble(3.5), EVariableError);
    auto &plain = list.Create<TDoubleVariable>("OBD:R", 1);
    plain.SetAsDouble(3.5);
    EXPECT_EQ(plain.Text(), "3.500000");
    EXPECT_EQ(plain.GetAsInteger(), 4); // ties to even
    plain.SetAsDouble(2.5);
    EXPECT_EQ(plain.GetAsInteger(), 2);

    SignedByteHandlers(p);
    for (double v : {-128.0, -1.0, 0.0, 115.0, 127.0}) {
        p.SetAsDouble(v);
        TDoubleVariable copy("c", 1);
        SignedByteHandlers(copy);
        copy.SetRaw(p.Raw(), false);
        EXPECT_EQ(copy.GetAsDouble(), v);
    }
    EXPECT_THROW(p.SetAsDouble(128), EVariableError);
    EXPECT_THROW(p.SetAsDouble(-129), EVariableError);
    EXPECT_THROW(p.SetAsDouble(std::nan("")), EVariableError);
    EXPECT_EQ(p.GetAsDouble(), 127.0);
}

TEST(Variable, FlagsAndBitViews)
{
    TVariableList list(true);
    auto &flags = list.Create<TBoolByteVariable>("OBD:Flags");
    auto &bit3 = list.Create<TBoolByteVariable>("OBD:Bit3", uint8_t{0x08}, flags);
    int notified = 0;
    bit3.OnChange = [&](TVariable &) { ++notified; };
    flags.SetRaw(B({0x01}), false);
    EXPECT_EQ(notified, 0);
    flags.SetRaw(B({0x09}), false);
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(bit3.GetAsBoolean());
    flags.SetRaw(B({0x0B}), false);
    EXPECT_EQ(notified, 1); // bit 3 did not change
    flags.SetRaw(B({0x01}), false);
    flags.SetRaw(B({0x03}), false);
    EXPECT_EQ(notified, 2);

    flags.SetAsInteger(0x0F);
    bit3.SetAsBoolean(false);
    EXPECT_EQ(flags.GetAsInteger(), 0x07);
    bit3.SetAsBoolean(true);
    EXPECT_EQ(flags.GetAsInteger(), 0x0F);
    EXPECT_EQ(flags.Text(), "15"); // a flag set with bit views shows its number
}

TEST(Variable, StringsStopAtTheirLengthAndTolerateBadUtf8)
{
    TStringVariable s("Adapter:T", 12);
    std::vector<uint8_t> raw(12, 0);
    std::memcpy(raw.data(), "12:34:56", 8);
    raw[10] = 'X';
    s.SetRaw(raw, true);
    EXPECT_EQ(s.Text(), "12:34:56");
    // Every byte used, no zero at all; and invalid sequences.
    TStringVariable full("F", 4);
    full.SetRaw(B({'a', 0xC3, 0x28, 0xFF}), true);
    EXPECT_EQ(full.Text(), "a\xEF\xBF\xBD(\xEF\xBF\xBD");
    full.SetRaw(B({0xC3, 0xA9, 'b', 'c'}), true);
    EXPECT_EQ(full.Text(), "\xC3\xA9"
                           "bc");
}

TEST(VariableList, NamesOrderCopiesAndDefaults)
{
    TVariableList list(true);
    list.Create<TByteVariable>("OBD:Same");
    EXPECT_THROW(
        {
            try {
                list.Create<TByteVariable>("AIO:Same");
            } catch (const EVariableError &e) {
                EXPECT_STREQ(e.what(), "Variable named \"Same\" already created");
                throw;
            }
        },
        EVariableError);
    EXPECT_EQ(list.Count(), 1u);

    TVariableList src(true), dst(true);
    auto &sp = src.CreateParam<TByteVariable>(5, "OBD:P");
    auto &sr = src.Create<TByteVariable>("OBD:R");
    auto &sa = src.CreateParam<TByteVariable>(6, "AIO:A");
    dst.CreateParam<TByteVariable>(0, "OBD:P");
    dst.Create<TByteVariable>("OBD:R");
    dst.CreateParam<TByteVariable>(0, "AIO:A");
    sp.SetAsInteger(50);
    sr.SetAsInteger(60);
    sa.SetAsInteger(70);
    dst.CopyFrom(src, "OBD", kCopyParams);
    EXPECT_EQ(dst[0].GetAsInteger(), 50);
    EXPECT_EQ(dst[1].GetAsInteger(), 0);
    EXPECT_EQ(dst[2].GetAsInteger(), 0);
    dst.Assign(src, kCopyAll);
    EXPECT_EQ(dst[1].GetAsInteger(), 60);
    EXPECT_EQ(dst[2].GetAsInteger(), 70);
    dst.SetDefaults("AIO");
    EXPECT_EQ(dst[2].GetAsInteger(), 0);
    EXPECT_EQ(dst[0].GetAsInteger(), 50);
    EXPECT_THROW(dst[1].SetDefault(false), EVariableError);

    TVariableList wrong(true);
    wrong.Create<TByteVariable>("OBD:Q");
    EXPECT_THROW(wrong.LinkHandlers(src), EVariableError);
}
