#include "documents/CodePage.h"
#include "documents/Scramble.h"

#include <gtest/gtest.h>

#include <numeric>
#include <sstream>
#include <vector>

namespace lumex {
namespace {

std::vector<uint8_t> Pattern(std::size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>((i * 37 + 11) & 0xFF);
    return bytes;
}

class ScrambleSizes : public ::testing::TestWithParam<std::size_t>
{
};

TEST_P(ScrambleSizes, BufferAndStreamAgreeAndRoundTrip)
{
    const auto original = Pattern(GetParam());
    auto buffer = original;
    ScrambleBytes(buffer);
    if (!original.empty()) {
        EXPECT_NE(buffer, original);
    }

    std::stringstream stream(std::string(original.begin(), original.end()),
                             std::ios::in | std::ios::out | std::ios::binary);
    ASSERT_TRUE(ScrambleStream(stream));
    EXPECT_EQ(stream.tellg(), 0);
    std::string streamed = stream.str();
    ASSERT_EQ(streamed.size(), original.size());
    EXPECT_EQ(std::vector<uint8_t>(streamed.begin(), streamed.end()), buffer);

    ScrambleBytes(buffer);
    EXPECT_EQ(buffer, original);
    ASSERT_TRUE(ScrambleStream(stream));
    streamed = stream.str();
    EXPECT_EQ(std::vector<uint8_t>(streamed.begin(), streamed.end()), original);
}

INSTANTIATE_TEST_SUITE_P(ChunkEdges, ScrambleSizes, ::testing::Values(0u, 1u, 1023u, 1024u, 1025u, 2048u, 5000u));

TEST(Scramble, EveryChunkRestartsTheByteCounter)
{
    std::vector<uint8_t> zeros(2048, 0);
    ScrambleBytes(zeros);
    for (std::size_t i : {0u, 1u, 231u, 232u, 233u, 1023u}) {
        uint8_t expected = static_cast<uint8_t>(ScrambleKey ^ ((i + 1) % ScrambleModulus));
        EXPECT_EQ(zeros[i], expected) << i;
        EXPECT_EQ(zeros[1024 + i], expected) << 1024 + i;
    }
}

TEST(CodePage, CharacterSetsPickTheirCodePages)
{
    EXPECT_EQ(CodePageOfCharset(238), "WINDOWS-1250");
    EXPECT_EQ(CodePageOfCharset(204), "WINDOWS-1251");
    EXPECT_EQ(CodePageOfCharset(186), "WINDOWS-1257");
    EXPECT_EQ(CodePageOfCharset(162), "WINDOWS-1254");
    EXPECT_EQ(CodePageOfCharset(222), "WINDOWS-874");
    EXPECT_EQ(CodePageOfCharset(0), "WINDOWS-1252");
    EXPECT_EQ(CodePageOfCharset(77), "WINDOWS-1252");
}

TEST(CodePage, DecodesEachPage)
{
    EXPECT_EQ(DecodeCodePage("\xE8", 238), "č");
    EXPECT_EQ(DecodeCodePage("\xC8\x65\x73\x6B\xFD", 238), "Český");
    EXPECT_EQ(DecodeCodePage("\xCF\xF0\xE8\xE2\xE5\xF2", 204), "Привет");
    EXPECT_EQ(DecodeCodePage("\xE8", 186), "č");
    EXPECT_EQ(DecodeCodePage("\xFE\xF0", 162), "şğ");
    EXPECT_EQ(DecodeCodePage("\xA1", 222), "ก");
    EXPECT_EQ(DecodeCodePage("\xE8\xFC", 0), "èü");
}

TEST(CodePage, UndefinedBytesBecomeReplacementCharacters)
{
    EXPECT_EQ(DecodeCodePage(std::string("a\x81z", 3), 0), "a\xEF\xBF\xBDz");
}

TEST(CodePage, EncodeRoundTripsAndRefusesWhatThePageLacks)
{
    EXPECT_EQ(EncodeCodePage("Připojit č", 238), "P\xF8ipojit \xE8");
    EXPECT_EQ(DecodeCodePage(EncodeCodePage("Größe °C", 0), 0), "Größe °C");
    EXPECT_THROW(EncodeCodePage("č", 0), ECodePageError);
    EXPECT_THROW(EncodeCodePage("Ж", 238), ECodePageError);
    EXPECT_THROW(EncodeCodePage("\xC3", 0), ECodePageError);         // truncated sequence
    EXPECT_THROW(EncodeCodePage("\xC0\xAF", 0), ECodePageError);     // overlong "/"
    EXPECT_THROW(EncodeCodePage("\xED\xA0\x80", 0), ECodePageError); // surrogate
}

} // namespace
} // namespace lumex
