// The password rules of the lock dialog, the programming-PC codes and the
// machine identity behind them.
#include "controller/ComputerCode.h"
#include "controller/PasswordRules.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <unistd.h>

using namespace lumex;

TEST(PasswordRules, LengthDigitsAndConfirmation)
{
    EXPECT_EQ(CheckPassword("123", std::nullopt), TPasswordCheck::TooShort);
    EXPECT_EQ(CheckPassword("", std::nullopt), TPasswordCheck::TooShort);
    EXPECT_EQ(CheckPassword("1234", std::nullopt), TPasswordCheck::Ok);
    EXPECT_EQ(CheckPassword("123456789", std::nullopt), TPasswordCheck::Ok);
    EXPECT_EQ(CheckPassword("1234567890", std::nullopt), TPasswordCheck::TooLong);
    EXPECT_EQ(CheckPassword("12a4", std::nullopt), TPasswordCheck::NotDigits);
    EXPECT_EQ(CheckPassword("-1234", std::nullopt), TPasswordCheck::NotDigits);
    EXPECT_EQ(CheckPassword("12345", std::string("12345")), TPasswordCheck::Ok);
    EXPECT_EQ(CheckPassword("12345", std::string("12354")), TPasswordCheck::Mismatch);
    // The length is checked before the confirmation.
    EXPECT_EQ(CheckPassword("123", std::string("124")), TPasswordCheck::TooShort);
    EXPECT_TRUE(PasswordCharAccepted('0'));
    EXPECT_FALSE(PasswordCharAccepted('*'));
}

TEST(PasswordRules, ValueLosesLeadingZerosAndGoesLeastSignificantFirst)
{
    EXPECT_EQ(PasswordValue("0001234"), 1234u);
    EXPECT_EQ(PasswordValue("999999999"), 999999999u);
    EXPECT_EQ(PasswordValue("12x"), 0u);
    EXPECT_EQ(PasswordValue(""), 0u);
    EXPECT_EQ(PasswordBytes(1234), (std::array<uint8_t, 4>{0xD2, 0x04, 0x00, 0x00}));
    EXPECT_EQ(PasswordBytes(999999999), (std::array<uint8_t, 4>{0xFF, 0xC9, 0x9A, 0x3B}));
}

TEST(PasswordRules, WarningTextsFollowTheMessageKeys)
{
    const auto text = [](const std::string &key) { return "<" + key + ">"; };
    EXPECT_FALSE(PasswordWarning(TPasswordCheck::Ok, text));
    const auto shortOne = PasswordWarning(TPasswordCheck::TooShort, text);
    ASSERT_TRUE(shortOne);
    EXPECT_EQ(shortOne->Caption, "<strPassErr>");
    EXPECT_EQ(shortOne->Text, "<strPassword1> <strPassword2>4<strPassword3>\n<strTryAgain>");
    EXPECT_FALSE(shortOne->FocusConfirmation);
    const auto mismatch = PasswordWarning(TPasswordCheck::Mismatch, text);
    ASSERT_TRUE(mismatch);
    EXPECT_EQ(mismatch->Caption, "<strPassErr2>");
    EXPECT_EQ(mismatch->Text, "<strPassword10>\n<strTryAgain>");
    EXPECT_TRUE(mismatch->FocusConfirmation);
}

TEST(ComputerCode, RotationMaskAndText)
{
    EXPECT_EQ(ComputerCodeFor(0), kComputerCodeMask);
    EXPECT_EQ(FormatComputerCode(ComputerCodeFor(0)), "3C71-E2D4");
    // 8 rotated right by 3 is 1; 1 rotated right by 3 is 0x20000000.
    EXPECT_EQ(ComputerCodeFor(8), kComputerCodeMask ^ 1u);
    EXPECT_EQ(ComputerCodeFor(1), kComputerCodeMask ^ 0x20000000u);
    EXPECT_EQ(FormatComputerCode(0x000A00FF), "000A-00FF");
}

TEST(ComputerCode, DateCodes)
{
    const TDateParts date{2010, 3, 15, 14, 5};
    const uint32_t code = DateCode(date);
    EXPECT_EQ(code, 2010u * (1u << 20) + 3u * (1u << 16) + 15u * (1u << 11) + 14u * (1u << 6) + 5u);
    EXPECT_EQ(DecodeDateCode(code), date);
    EXPECT_EQ(DecodeDateCode(DateCode({2099, 12, 31, 23, 59})), (TDateParts{2099, 12, 31, 23, 59}));
}

TEST(ComputerCode, LocalDatePartsFollowTheTimeZone)
{
    const char *saved = std::getenv("TZ");
    const std::string previous = saved ? saved : "";
    ::setenv("TZ", "UTC0", 1);
    ::tzset();
    const std::time_t when = 1700000000; // 2023-11-14 22:13:20 UTC
    EXPECT_EQ(LocalDateParts(when), (TDateParts{2023, 11, 14, 22, 13}));
    ::setenv("TZ", "CET-1", 1); // one hour east, no daylight saving
    ::tzset();
    EXPECT_EQ(LocalDateParts(when), (TDateParts{2023, 11, 14, 23, 13}));
    if (saved)
        ::setenv("TZ", previous.c_str(), 1);
    else
        ::unsetenv("TZ");
    ::tzset();
}

class MachineIdentityTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dir_ = std::filesystem::temp_directory_path() / ("lumex-machine-id-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Write(const std::string &name, const std::string &content)
    {
        const auto path = dir_ / name;
        std::ofstream(path) << content;
        return path.string();
    }
    std::filesystem::path dir_;
};

TEST_F(MachineIdentityTest, FirstThirtyTwoBitsOfTheMachineId)
{
    const auto path = Write("machine-id", "0123abcdEF4567890123456789abcdef\n");
    EXPECT_EQ(MachineIdFromFile(path), 0x0123ABCDu);
    EXPECT_EQ(MachineIdentity(path, dir_.string()), 0x0123ABCDu);
}

TEST_F(MachineIdentityTest, FallsBackToTheFileSystemId)
{
    const auto fsid = FileSystemId(dir_.string());
    ASSERT_TRUE(fsid);
    const std::string missing = (dir_ / "no-such-file").string();
    EXPECT_EQ(MachineIdentity(missing, dir_.string()), fsid);
    // A machine id that is too short or not hexadecimal does not count.
    EXPECT_EQ(MachineIdentity(Write("short", "12ab"), dir_.string()), fsid);
    EXPECT_EQ(MachineIdentity(Write("bad", "0123xyz9aaaaaaaa"), dir_.string()), fsid);
    EXPECT_FALSE(MachineIdentity(missing, (dir_ / "nowhere").string()));
}
