#include "adapter/AdapterData.h"

#include "modules/Sections.h"

namespace lumex {

namespace {

std::string N(const char *name)
{
    return MakeVariableName(TSection::Adapter, name);
}

constexpr std::size_t kTimeField = 9;
constexpr std::size_t kDateField = 12;

} // namespace

// The members are created in declaration order, which is the order both
// aggregates are matched by.
TDevStateAdapter::TDevStateAdapter(TDeviceState &aggregate)
    : TBaseDevState(aggregate), MainVersion(Create<TByteVariable>(N("AdapterMainVersion"))),
      ReleaseVersion(Create<TByteVariable>(N("AdapterReleaseVersion"))),
      RevisionVersion(Create<TByteVariable>(N("AdapterRevisionVersion"))),
      BootloaderProductName(Create<TByteVariable>(N("AdapterBootloaderProductName"))),
      BootloaderKitType(Create<TByteVariable>(N("AdapterBootloaderKitType"))),
      ProductionDate(Create<TWordVariable>(N("AdapterProductionDate"))),
      ProductionSerialNumber(Create<TIntVariable>(N("AdapterProductionSerialNumber"))),
      DeviceType(Create<TByteVariable>(N("AdapterDeviceType"))),
      SoftwareOptions(Create<TByteVariable>(N("AdapterSoftwareOptions"))),
      HardwareOptions(Create<TByteVariable>(N("AdapterHardwareOptions"))),
      HardwareVersion(Create<TByteVariable>(N("AdapterHardwareVersion"))),
      CompilationTime(Create<TStringVariable>(N("AdapterCompilationTime"), kTimeField)),
      CompilationDate(Create<TStringVariable>(N("AdapterCompilationDate"), kDateField)),
      TestModeGlobalResult(Create<TByteVariable>(N("AdapterTestModeGlobalResult"))),
      TestModeStatus(Create<TByteVariable>(N("AdapterTestModeStatus"))),
      TestModeNrOfCanErr(Create<TByteVariable>(N("AdapterTestModeNrOfCanErr"))),
      TestModeKlineResult(Create<TByteVariable>(N("AdapterTestModeKlineResult"))),
      TestModeCanResult(Create<TByteVariable>(N("AdapterTestModeCanResult"))),
      TestModeLlineResult(Create<TByteVariable>(N("AdapterTestModeLlineResult"))),
      TestModeAioResult(Create<TByteVariable>(N("AdapterTestModeAioResult")))
{
}

} // namespace lumex
