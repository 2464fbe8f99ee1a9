// Settings: configuration blocks, model, correction tables, indexed
// parameters, memory, maps and adaptation. All of them read and write the
// one parameter store.
#include "sim/Trace.h"
#include "sim/controller/ControllerModel.h"

#include "controller/CommandCodes.h"

#include <algorithm>

namespace sim {

namespace {

template <std::size_t N> std::array<uint8_t, N> Params(const Request &req, std::size_t first)
{
    std::array<uint8_t, N> bytes{};
    for (std::size_t i = 0; i < N; ++i)
        bytes[i] = req.Param(first + i);
    return bytes;
}

void PutTable(AnswerFrame &a, const CorrTable &table)
{
    for (std::size_t i = 0; i < table.size(); ++i)
        a.Put8(2 + i, static_cast<uint8_t>(table[i]));
}

void TakeTable(CorrTable &table, const Request &req)
{
    for (std::size_t i = 0; i < table.size(); ++i)
        table[i] = static_cast<int8_t>(req.Param(i));
}

} // namespace

Reply ControllerModel::BlockCommand(uint8_t code, const Request &req, std::size_t length)
{
    AnswerFrame a(code, length);
    auto &s = store_;
    switch (code) {
    case lumex::cmd::ReadBasicConfig:
        a.PutBytes(2, s.LegacyBlock());
        return {a.Finish(), {}};
    case lumex::cmd::WriteBasicConfig: {
        const auto bytes = Params<5>(req, 0);
        s.WriteLegacyBlock(bytes);
        return Ack(code);
    }
    case lumex::cmd::ReadBasicConfigG3:
        a.PutBytes(2, s.G3Block());
        return {a.Finish(), {}};
    case lumex::cmd::WriteBasicConfigG3: {
        const auto bytes = Params<25>(req, 0);
        s.WriteG3Block(bytes);
        return Ack(code);
    }
    case lumex::cmd::ReadModelBlock:
        for (uint8_t i = 0; i < 10; ++i)
            a.Put16(2 + 2 * i, s.ModelParam(static_cast<uint8_t>(1 + i)));
        return {a.Finish(), {}};
    case lumex::cmd::WriteInjectorParams:
    case lumex::cmd::ReadInjectorParams:
        if (code == lumex::cmd::WriteInjectorParams) {
            const auto record = Params<12>(req, 0);
            s.SetInjectorRecord(record);
            return Ack(code);
        }
        a.PutBytes(2, s.InjectorRecord());
        return {a.Finish(), {}};
    case lumex::cmd::ReadLevelSensorA:
    case lumex::cmd::ReadLevelSensorB:
        a.PutBytes(2, s.LevelTable(code == lumex::cmd::ReadLevelSensorB));
        return {a.Finish(), {}};
    case lumex::cmd::WriteLevelSensorA:
    case lumex::cmd::WriteLevelSensorB: {
        const auto values = Params<4>(req, 0);
        s.SetLevelTable(code == lumex::cmd::WriteLevelSensorB, values);
        return {Ack(code).bytes, req.Param(4) != 0 ? "level table write must end in 0x00" : ""};
    }
    case lumex::cmd::ReadInspection:
        a.Put8(2, s.inspectionRatio);
        a.Put16(3, s.wordParams[23]);
        return {a.Finish(), {}};
    case lumex::cmd::WriteInspection:
        s.inspectionRatio = req.Param(0);
        s.wordParams[23] = req.ParamWord(1);
        return Ack(code);
    case lumex::cmd::ReadInjCorr:
        for (std::size_t i = 0; i < 8; ++i)
            a.Put8(2 + i, static_cast<uint8_t>(s.injCorr[i]));
        return {a.Finish(), {}};
    case lumex::cmd::WriteInjCorr:
        for (std::size_t i = 0; i < 8; ++i)
            s.injCorr[i] = static_cast<int8_t>(req.Param(i));
        return Ack(code);
    case lumex::cmd::ReadModelPoints:
        for (std::size_t i = 0; i < 4; ++i)
            a.Put16(2 + 2 * i, s.modelPoints[i]);
        return {a.Finish(), {}};
    case lumex::cmd::WriteModelPoints:
        for (std::size_t i = 0; i < 4; ++i)
            s.modelPoints[i] = req.ParamWord(2 * i);
        return Ack(code);
    case lumex::cmd::ReadCorrPressure:
    case lumex::cmd::ReadCorrPcol:
    case lumex::cmd::ReadCorrGasTemp:
    case lumex::cmd::ReadCorrRPM:
        PutTable(a, s.Table(code));
        return {a.Finish(), {}};
    case lumex::cmd::WriteCorrPressure:
        TakeTable(s.cps, req);
        return Ack(code);
    case lumex::cmd::WriteCorrPcol:
        TakeTable(s.cpcol, req);
        return Ack(code);
    case lumex::cmd::WriteCorrGasTemp:
        TakeTable(s.ctg, req);
        return Ack(code);
    case lumex::cmd::WriteCorrRPM:
        TakeTable(s.crpm, req);
        return Ack(code);
    default:
        return {{}, "command " + HexByte(code) + " is not a block command"};
    }
}

Reply ControllerModel::ParamCommand(uint8_t code, const Request &req, std::size_t length)
{
    const uint8_t index = req.Param(0);
    const char *kind = (code == lumex::cmd::ReadByteParam || code == lumex::cmd::WriteByteParam)   ? "byte"
                       : (code == lumex::cmd::ReadWordParam || code == lumex::cmd::WriteWordParam) ? "word"
                                                                                                   : "model";
    const std::string violation = index == 0 ? std::string(kind) + " parameter 0 does not exist" : std::string{};
    AnswerFrame a(code, length);
    a.Put8(2, index);
    switch (code) {
    case lumex::cmd::ReadByteParam:
        a.Put8(3, store_.byteParams[index]);
        return {a.Finish(), violation};
    case lumex::cmd::WriteByteParam:
        if (index != 0)
            store_.byteParams[index] = req.Param(1);
        return {Ack(code).bytes, violation};
    case lumex::cmd::ReadWordParam:
        a.Put16(3, store_.wordParams[index]);
        return {a.Finish(), violation};
    case lumex::cmd::WriteWordParam:
        if (index != 0)
            store_.wordParams[index] = req.ParamWord(1);
        return {Ack(code).bytes, violation};
    case lumex::cmd::ReadModelParam:
        a.Put16(3, store_.ModelParam(index));
        return {a.Finish(), violation};
    case lumex::cmd::WriteModelParam:
        if (index != 0)
            store_.SetModelParam(index, req.ParamWord(1));
        return {Ack(code).bytes, violation};
    default:
        return {{}, "command " + HexByte(code) + " is not a parameter command"};
    }
}

Reply ControllerModel::MemoryCommand(uint8_t code, const Request &req, std::size_t length)
{
    const uint16_t addr = req.ParamWord(0);
    const bool word = code == lumex::cmd::ReadMemWord || code == lumex::cmd::WriteMemWord;
    const std::size_t width = word ? 2 : 1;
    std::string violation;
    const bool inside = addr + width <= mem::kSize;
    if (!inside)
        violation = "memory address " + std::to_string(addr) + " is outside the 1 KiB of controller memory";
    AnswerFrame a(code, length);
    a.Put16(2, addr);
    switch (code) {
    case lumex::cmd::ReadMemWord:
        a.Put16(4, inside ? store_.MemWord(addr) : 0);
        break;
    case lumex::cmd::ReadMemByte:
        a.Put8(4, inside ? store_.MemByte(addr) : 0);
        break;
    case lumex::cmd::WriteMemWord:
        if (inside)
            store_.SetMemWord(addr, req.ParamWord(2));
        break;
    case lumex::cmd::WriteMemByte:
        if (inside)
            store_.SetMemByte(addr, req.Param(2));
        break;
    default:
        break;
    }
    return {a.Finish(), violation};
}

Reply ControllerModel::MapCommand(uint8_t code, const Request &req, std::size_t length)
{
    const uint8_t param = req.Param(0);
    AnswerFrame a(code, length);
    switch (code) {
    case lumex::cmd::ReadModel2SetA:
    case lumex::cmd::ReadModel2SetB:
    case lumex::cmd::WriteModel2SetA:
    case lumex::cmd::WriteModel2SetB: {
        auto &set = (code == lumex::cmd::ReadModel2SetA || code == lumex::cmd::WriteModel2SetA) ? store_.model2A
                                                                                                : store_.model2B;
        if (param > 1) {
            const std::string violation = "Model2 half " + std::to_string(param) + " does not exist (0 or 1)";
            return {code == lumex::cmd::ReadModel2SetA || code == lumex::cmd::ReadModel2SetB ? a.Finish()
                                                                                             : Ack(code).bytes,
                    violation};
        }
        for (std::size_t i = 0; i < 10; ++i) {
            auto &point = set[static_cast<std::size_t>(param) * 10 + i];
            if (code == lumex::cmd::ReadModel2SetA || code == lumex::cmd::ReadModel2SetB) {
                a.Put16(2 + 4 * i, point.x);
                a.Put16(4 + 4 * i, point.y);
            } else {
                point.x = req.ParamWord(1 + 4 * i);
                point.y = req.ParamWord(3 + 4 * i);
            }
        }
        return {code == lumex::cmd::ReadModel2SetA || code == lumex::cmd::ReadModel2SetB ? a.Finish() : Ack(code).bytes,
                {}};
    }
    case lumex::cmd::ReadPetrolMapBlock:
    case lumex::cmd::ReadGasMapBlock: {
        if (param > 7)
            return {a.Finish(), "map block " + std::to_string(param) + " does not exist (0..7)"};
        for (int i = 0; i < 16; ++i)
            a.Put16(2 + 2 * static_cast<std::size_t>(i),
                    store_.MapPoint(code == lumex::cmd::ReadGasMapBlock, param * 16 + i));
        return {a.Finish(), {}};
    }
    case lumex::cmd::ReadMapG3Row:
    case lumex::cmd::ReadMapG3RowB: {
        if (param >= 40)
            return {a.Finish(), "G3 map row " + std::to_string(param) + " does not exist (0..39)"};
        const auto &row = (code == lumex::cmd::ReadMapG3Row ? store_.mapG3 : store_.mapG3B)[param];
        for (std::size_t i = 0; i < 3; ++i)
            a.Put16(2 + 2 * i, row[i]);
        return {a.Finish(), {}};
    }
    case lumex::cmd::WriteMapG3Row:
        if (param >= 40)
            return {Ack(code).bytes, "G3 map row " + std::to_string(param) + " does not exist (0..39)"};
        store_.mapG3[param][0] = req.ParamWord(1);
        return Ack(code);
    case lumex::cmd::ClearMap:
        if (!store_.ClearMap(param))
            return {Ack(code).bytes, "map clear selector " + std::to_string(param) + " does not exist (1..4)"};
        return Ack(code);
    default:
        return {{}, "command " + HexByte(code) + " is not a map command"};
    }
}

Reply ControllerModel::AdaptationCommand(uint8_t code, const Request &req, std::size_t length)
{
    AnswerFrame a(code, length);
    if (code == lumex::cmd::ReadAdaptationInfo) {
        a.PutBytes(2, store_.adaptInfoBytes);
        for (std::size_t i = 0; i < 10; ++i)
            a.Put16(12 + 2 * i, store_.adaptInfoWords[i]);
        return {a.Finish(), {}};
    }
    const uint8_t param = req.Param(0);
    const int bank = param >> 4;
    const int half = param & 0x0F;
    if ((bank != 1 && bank != 2) || half > 1) {
        const std::string violation = "adaptation table selector " + HexByte(param) + " is not bank 1/2, half 0/1";
        return {code == lumex::cmd::ReadAdaptationCorr ? a.Finish() : Ack(code).bytes, violation};
    }
    auto &table = bank == 2 ? store_.adaptBank2 : store_.adaptBank1;
    a.Put8(2, param);
    for (std::size_t row = 0; row < 5; ++row) {
        auto &cells = table[static_cast<std::size_t>(half) * 5 + row];
        for (std::size_t col = 0; col < 10; ++col) {
            if (code == lumex::cmd::ReadAdaptationCorr)
                a.Put8(3 + row * 10 + col, static_cast<uint8_t>(cells[col]));
            else
                cells[col] = static_cast<int8_t>(req.Param(1 + row * 10 + col));
        }
    }
    return {code == lumex::cmd::ReadAdaptationCorr ? a.Finish() : Ack(code).bytes, {}};
}

} // namespace sim
