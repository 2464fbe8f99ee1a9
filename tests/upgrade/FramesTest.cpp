#include "modules/AdapterProtocol.h"
#include "upgrade/BootFrames.h"
#include "upgrade/BootInfo.h"
#include "upgrade/Bootloader40DataManager.h"
#include "upgrade/DeviceProfile.h"
#include "upgrade/Upgrader40Logic.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

using namespace lumex;
using Bytes = std::vector<uint8_t>;

Bytes Of(std::span<const uint8_t> s)
{
    return Bytes(s.begin(), s.end());
}

TEST(BootFrames, RequestsAreByteExact)
{
    EXPECT_EQ(Of(BootRequest(kBootVersionCommand, 0xE1)), (Bytes{0xBC, 0xE1, 0xE1, 0x7E}));
    EXPECT_EQ(Of(BootRequest(kBootInitCommand, 0)), (Bytes{0xBC, 0xE2, 0x00, 0x9E}));
    EXPECT_EQ(Of(BootRequest(kBootEepromEraseInitCommand, 0)), (Bytes{0xBC, 0xE4, 0x00, 0xA0}));
    EXPECT_EQ(Of(BootRequest(kBootEepromEraseCommand, 0)), (Bytes{0xBC, 0xE5, 0x00, 0xA1}));
    EXPECT_EQ(Of(BootRequest(kBootStartCommand, 0)), (Bytes{0xBC, 0xEE, 0x00, 0xAA}));
    EXPECT_EQ(Of(BootRequest(kBootInfoCommand, 2)), (Bytes{0xBC, 0xF0, 0x02, 0xAE}));

    TBootBlock block{};
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i + 1);
    const auto frame = BootBlockFrame(block);
    ASSERT_EQ(frame.size(), 39U);
    EXPECT_EQ(frame[0], 0xBC);
    EXPECT_EQ(frame[1], 0xE6);
    EXPECT_EQ(frame[2], 1);
    EXPECT_EQ(frame[37], 36);
    // 0xBC + 0xE6 + (1 + ... + 36) = 188 + 230 + 666 = 1084 -> 0x3C
    EXPECT_EQ(frame[38], 0x3C);
}

TEST(BootFrames, AnswerLengthsAndNames)
{
    EXPECT_EQ(BootAnswerLength(kBootVersionCommand), 6U);
    EXPECT_EQ(BootAnswerLength(kBootInfoCommand), 7U);
    EXPECT_EQ(BootAnswerLength(kBootWriteBlockCommand), 4U);
    EXPECT_EQ(BootAnswerLength(kBootStartCommand), 0U);
    EXPECT_EQ(FamilyName(3), "G3");
    EXPECT_EQ(FamilyName(40), "ADAPTER");
    EXPECT_EQ(FamilyName(30), "DIESEL");
    EXPECT_EQ(FamilyName(2), "");
}

// What a bootloader answer read makes of the bytes on the line: the line
// here is a buffer handed out as the port would, `failAfter` reads at most.
struct TLineBytes
{
    Bytes bytes;
    unsigned failAfter = 100;
    std::size_t pos = 0;
    unsigned reads = 0;

    bool Receive(Bytes &answer)
    {
        return ReceiveBootAnswer(
            [this](uint8_t *buffer, unsigned count, unsigned &got) {
                got = 0;
                if (reads++ >= failAfter)
                    return false;
                got = static_cast<unsigned>(std::min<std::size_t>(count, bytes.size() - pos));
                std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(pos), got, buffer);
                pos += got;
                return true;
            },
            answer);
    }
};

TEST(BootFrames, AnswerReadSkipsOneStrayByteAndRefusesWhatIsNotWhole)
{
    const Bytes version{0xBD, 0xE1, 0x04, 0x06, 0x00, 0xA8};
    Bytes answer(6, 0x55);

    TLineBytes clean{version};
    EXPECT_TRUE(clean.Receive(answer));
    EXPECT_EQ(answer, version);

    TLineBytes oneStray{Bytes{0xFF, 0xBD, 0xE1, 0x04, 0x06, 0x00, 0xA8}};
    EXPECT_TRUE(oneStray.Receive(answer));
    EXPECT_EQ(answer, version);

    TLineBytes twoStray{Bytes{0xFF, 0x00, 0xBD, 0xE1, 0x04, 0x06, 0x00, 0xA8}};
    EXPECT_FALSE(twoStray.Receive(answer));
    EXPECT_EQ(answer, Bytes(6, 0));

    // A wrong sum leaves nothing that could be read as a version.
    TLineBytes badSum{Bytes{0xBD, 0xE1, 0x04, 0x06, 0x00, 0xA9}};
    EXPECT_FALSE(badSum.Receive(answer));
    EXPECT_EQ(answer, Bytes(6, 0));

    // A short answer keeps what arrived; a line that fails mid-answer too.
    TLineBytes cut{Bytes{0xBD, 0xE1, 0x04}};
    EXPECT_FALSE(cut.Receive(answer));
    EXPECT_EQ(answer, (Bytes{0xBD, 0xE1, 0x04, 0, 0, 0}));
    TLineBytes unplugged{version, 1};
    EXPECT_FALSE(unplugged.Receive(answer));
    EXPECT_EQ(answer, (Bytes{0xBD, 0, 0, 0, 0, 0}));

    Bytes tooShort(1);
    TLineBytes any{version};
    EXPECT_FALSE(any.Receive(tooShort));
    EXPECT_EQ(any.reads, 0U);
}

TEST(BootFrames, CrcOfTheCheckString)
{
    constexpr std::string_view check = "123456789";
    const Bytes bytes(check.begin(), check.end());
    EXPECT_EQ(Crc16Xmodem(bytes), 0x31C3);
}

TEST(BootFrames, AdapterJumpCarriesTheCrcHighByteFirst)
{
    const Bytes head{0xC2, 0xE2, 0x01};
    const uint16_t crc = Crc16Xmodem(head);
    EXPECT_EQ(AppRequest(AdapterProfile(), kJumpCommand, kJumpParam),
              (Bytes{0xC2, 0xE2, 0x01, static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc & 0xFF)}));
    EXPECT_EQ(AppRequest(ControllerProfile(), kJumpCommand, kJumpParam), (Bytes{0xC0, 0xE2, 0x01, 0xA3}));
}

TEST(BootInfo, VersionComparedPartByPartAndShownFromMajorAlone)
{
    TBootInfo info;
    EXPECT_EQ(BootVersionText(info), "-");
    info.BootMajor = 6;
    EXPECT_EQ(BootVersionText(info), "6.0");
    EXPECT_FALSE(info.VersionAtLeast(4, 5)); // 6.0: the minor part counts on its own
    info = TBootInfo{5, 0, 0, 0, 0};
    EXPECT_FALSE(info.VersionAtLeast(4, 5));
    info = TBootInfo{4, 7, 0, 0, 0};
    EXPECT_TRUE(info.VersionAtLeast(4, 6));
}

TEST(RemainingTime, NeverNegativeAndCountsFortyFourBytesABlock)
{
    EXPECT_EQ(RemainingSeconds(0), 0U);
    // 65536 bytes: 65536 * 44 / 36 = 80099; * 8 / 7680 = 83
    EXPECT_EQ(RemainingSeconds(65536), 83U);
}

} // namespace
