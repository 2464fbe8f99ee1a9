#include "sim/ControllerFactory.h"

#include "sim/controller/ControllerModel.h"

namespace sim {

ControllerBinding MakeController(const ControllerChoice &choice, uint64_t seed)
{
    ControllerIdentity id;
    switch (choice.generation) {
    case kGen14:
        id = choice.letter ? ControllerIdentity::Gen14(*choice.letter) : ControllerIdentity::Gen14();
        break;
    case kGen15:
        id = choice.letter ? ControllerIdentity::Gen15(*choice.letter) : ControllerIdentity::Gen15();
        break;
    default:
        id = ControllerIdentity::Gen30(choice.letter.value_or('G'));
        break;
    }
    id.variant = choice.variant;
    auto model = std::make_shared<ControllerModel>(id, static_cast<uint32_t>(seed));
    ControllerBinding b;
    b.responder = model;
    b.loadState = [model](const std::string &path, std::string &error) { return model->LoadState(path, error); };
    b.control = [model](const std::string &line, std::string &reply) { return model->Control(line, reply); };
    return b;
}

} // namespace sim
