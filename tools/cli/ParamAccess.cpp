#include "ParamAccess.h"

namespace cli {

std::optional<ParamKind> ParseParamKind(const std::string &text)
{
    if (text == "byte")
        return ParamKind::Byte;
    if (text == "word")
        return ParamKind::Word;
    if (text == "model")
        return ParamKind::Model;
    if (text == "info")
        return ParamKind::Info;
    return std::nullopt;
}

const char *ParamKindName(ParamKind kind)
{
    switch (kind) {
    case ParamKind::Byte:
        return "byte";
    case ParamKind::Word:
        return "word";
    case ParamKind::Model:
        return "model";
    case ParamKind::Info:
        return "info";
    }
    return "";
}

uint32_t ParamKindMax(ParamKind kind)
{
    return kind == ParamKind::Byte ? 0xFF : 0xFFFF;
}

std::optional<uint32_t> ReadParam(lumex::TDataManager &m, ParamKind kind, uint8_t index)
{
    bool ok = false;
    uint32_t value = 0;
    switch (kind) {
    case ParamKind::Byte: {
        uint8_t v = 0;
        ok = m.ReadByteParam(index, &v);
        value = v;
        break;
    }
    case ParamKind::Word: {
        uint16_t v = 0;
        ok = m.ReadWordParam(index, &v);
        value = v;
        break;
    }
    case ParamKind::Model: {
        uint16_t v = 0;
        ok = m.ReadModelParam(index, &v);
        value = v;
        break;
    }
    case ParamKind::Info: {
        const auto v = m.ReadWordVarForStore(index);
        ok = m.LinkUp && v.has_value();
        value = v.value_or(0);
        break;
    }
    }
    if (!ok)
        return std::nullopt;
    return value;
}

} // namespace cli
