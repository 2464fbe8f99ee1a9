// Random documents for the controller's state loader: it must refuse or take
// them without crashing, and whatever it takes must dump and reload to the
// same state.
#include "sim/controller/ControllerModel.h"

#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    sim::ControllerModel model(sim::ControllerIdentity::Gen30('G'));
    std::string error;
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    if (!model.LoadStateText(text, error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    const std::string dump = model.DumpState();
    sim::ControllerModel again(sim::ControllerIdentity::Gen15());
    if (!again.LoadStateText(dump, error) || again.DumpState() != dump)
        std::abort();
    return 0;
}
