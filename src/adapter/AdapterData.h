// The adapter's identification as the module framework holds it: the
// device-image state and its edited twin, and the adapter's command table.
#pragma once

#include "modules/DataState.h"

#include <cstddef>
#include <cstdint>

namespace lumex {

// One identity command: code, its one parameter byte, the answer length.
struct TAdapterCommand
{
    uint8_t code;
    uint8_t param;
    std::size_t answerLength;
};

namespace adapter_cmd {
inline constexpr TAdapterCommand kMainVersion{0x01, 0x01, 4};
inline constexpr TAdapterCommand kIdentification{0x02, 0xA5, 18};
inline constexpr TAdapterCommand kBuildTime{0x04, 0xA5, 22};
inline constexpr TAdapterCommand kTestMode{0x05, 0x01, 5};
inline constexpr TAdapterCommand kLiveStart{0x0A, 0xA5, 4};
inline constexpr TAdapterCommand kLiveStatus{0x0B, 0xA5, 4};
// The status byte of kLiveStatus that means done.
inline constexpr uint8_t kLiveDone = 0xA5;
} // namespace adapter_cmd

// Where each identification field sits in the 0x02 answer.
namespace adapter_ident {
inline constexpr std::size_t kMainVersion = 2;
inline constexpr std::size_t kRelease = 3;
inline constexpr std::size_t kRevision = 4;
inline constexpr std::size_t kProductName = 5;
inline constexpr std::size_t kKitType = 6;
inline constexpr std::size_t kProductionDate = 7; // two bytes
inline constexpr std::size_t kSerialNumber = 9;   // four bytes
inline constexpr std::size_t kDeviceType = 13;    // 13-16 masked
inline constexpr uint8_t kOptionMask = 0x07;
inline constexpr std::size_t kBuildTimeAt = 2; // 8 characters
inline constexpr std::size_t kBuildTimeLength = 8;
inline constexpr std::size_t kBuildDateAt = 10; // 11 characters
inline constexpr std::size_t kBuildDateLength = 11;
} // namespace adapter_ident

// Product names of the adapters this program serves.
inline constexpr uint8_t kAdapterProductFirst = 0;
inline constexpr uint8_t kAdapterProductLast = 1;
// A kit type that means "none": no suffix in the version text.
inline constexpr uint8_t kNoKitType = 255;

class TDevStateAdapter : public TBaseDevState
{
public:
    explicit TDevStateAdapter(TDeviceState &aggregate);

    TByteVariable &MainVersion;
    TByteVariable &ReleaseVersion;
    TByteVariable &RevisionVersion;
    TByteVariable &BootloaderProductName;
    TByteVariable &BootloaderKitType;
    TWordVariable &ProductionDate;
    TIntVariable &ProductionSerialNumber;
    TByteVariable &DeviceType;
    TByteVariable &SoftwareOptions;
    TByteVariable &HardwareOptions;
    TByteVariable &HardwareVersion;
    TStringVariable &CompilationTime;
    TStringVariable &CompilationDate;
    TByteVariable &TestModeGlobalResult;
    TByteVariable &TestModeStatus;
    TByteVariable &TestModeNrOfCanErr;
    TByteVariable &TestModeKlineResult;
    TByteVariable &TestModeCanResult;
    TByteVariable &TestModeLlineResult;
    TByteVariable &TestModeAioResult;
};

// The edited state has the same variables and nothing more.
class TUIStateAdapter : public TDevStateAdapter
{
public:
    TUIStateAdapter(TDeviceState &aggregate, TDevStateAdapter &twin) : TDevStateAdapter(aggregate) { Twin = &twin; }
};

} // namespace lumex
