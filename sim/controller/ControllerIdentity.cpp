#include "sim/controller/ControllerIdentity.h"

#include "controller/ParamTables.h"

#include <cctype>

namespace sim {

int ControllerIdentity::HardwareInjectors() const
{
    return lumex::InjectorsForChannelCode(injectorChannelCode).value_or(0);
}

bool ControllerIdentity::LetterAtLeast(char gate) const
{
    return letter != 0 && letter >= static_cast<uint8_t>(gate);
}

std::string ControllerIdentity::Text() const
{
    std::string text = std::to_string(versionCode >> 4) + std::to_string(versionCode & 0x0F);
    if (letter != 0)
        text += static_cast<char>(letter);
    return text;
}

ControllerIdentity ControllerIdentity::Gen30(uint8_t letter)
{
    ControllerIdentity id;
    id.versionCode = kGen30;
    id.letter = letter;
    // Byte 6 exists from letter D on; older firmware answers 255.
    id.extraVersion = (letter != 0 && letter >= 'D') ? 2 : 255;
    return id;
}

ControllerIdentity ControllerIdentity::Gen15(uint8_t letter)
{
    ControllerIdentity id;
    id.versionCode = kGen15;
    id.letter = letter;
    id.pcCompatCode = 0;
    id.injectorChannelCode = 1;
    id.compileTime = "16:05:51";
    id.compileDate = "Nov 03 2008";
    return id;
}

ControllerIdentity ControllerIdentity::Gen14(uint8_t letter)
{
    ControllerIdentity id = Gen15(letter);
    id.versionCode = kGen14;
    id.compileTime = "09:12:40";
    id.compileDate = "Feb 21 2007";
    return id;
}

bool ControllerIdentity::Parse(const std::string &text, ControllerIdentity &out, std::string &error)
{
    if (text.size() < 2 || text.size() > 3) {
        error = "identity '" + text + "': expected a generation (14, 15 or 30) and an optional letter, e.g. 30G";
        return false;
    }
    const std::string gen = text.substr(0, 2);
    const uint8_t letter = text.size() == 3 ? static_cast<uint8_t>(text[2]) : 0;
    if (letter != 0 && !std::isalpha(letter)) {
        error = "identity '" + text + "': the firmware letter must be a letter";
        return false;
    }
    if (gen == "30") {
        out = Gen30(letter);
    } else if (gen == "15") {
        out = Gen15(text.size() == 3 ? letter : 'E');
    } else if (gen == "14") {
        out = Gen14(text.size() == 3 ? letter : 'C');
    } else {
        error = "identity '" + text + "': unknown generation " + gen + " (14, 15 or 30)";
        return false;
    }
    return true;
}

} // namespace sim
