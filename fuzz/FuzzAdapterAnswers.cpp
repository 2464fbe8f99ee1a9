// Arbitrary adapter answers, at any length, into the adapter's device image,
// then every text the window and the command line print from it.
#include "adapter/AdapterModule.h"
#include "adapter/AdapterPage.h"
#include "modules/AppLogic.h"
#include "modules/AppManager.h"
#include "serial/ComMultiPort.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace lumex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // One port, manager and logic for the whole run: building them is the
    // costly part, and the decoders overwrite every field they read.
    static TComMultiPort port;
    static TManager manager(port);
    static TLogic logic(manager);
    TModuleAdapter &adapter = logic.Adapter();
    const std::span<const uint8_t> input(data, size);

    (void)DecodeAdapterIdentification(input, adapter.DevState());
    (void)DecodeAdapterBuildTime(input, adapter.DevState());
    if (size > adapter_cmd::kIdentification.answerLength)
        (void)DecodeAdapterBuildTime(input.subspan(adapter_cmd::kIdentification.answerLength), adapter.DevState());

    TLogicAdapter &texts = logic.AdapterLogic();
    for (int form = 0; form < 4; ++form)
        (void)texts.VersionText(false, form);
    (void)texts.FullVersionText(false);
    (void)texts.FullVersionText(true);
    (void)texts.SerialNumberText(true);
    (void)AdapterPageView(TakeAdapterSnapshot(logic));
    return 0;
}
