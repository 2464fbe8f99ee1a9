// The OBD adaptation state and correction tables of TDataManager.
#include "controller/DataManager.h"

#include "controller/BlockCodec.h"
#include "controller/CommandCodes.h"

#include <vector>

namespace lumex {

bool TDataManager::ReadAdaptationInfo()
{
    return Transact(cmd::ReadAdaptationInfo, {0xA5}, [this](TAnswerBytes b) { DecodeAdaptationInfo(b, data_); });
}

bool TDataManager::ReadAdaptationCorr(unsigned bank, unsigned half)
{
    const auto selector = AdaptationSelector(bank, half);
    if (!selector)
        return false;
    bool echoed = true;
    const bool ok = Transact(cmd::ReadAdaptationCorr, {*selector}, [this, &echoed, sel = *selector](TAnswerBytes b) {
        echoed = DecodeAdaptationCorr(sel, b, data_);
    });
    if (ok && !echoed) {
        // The controller answered for another table: storing it would put
        // one bank's corrections into the other. The answer has failed.
        AbandonOnFailure(false);
        return false;
    }
    return ok;
}

bool TDataManager::WriteAdaptationCorr(unsigned bank, unsigned half)
{
    lastRefusal_ = TWriteRefusal::None;
    const auto selector = AdaptationSelector(bank, half);
    if (!selector)
        return Refuse(TWriteRefusal::InvalidValue);
    const auto rows = EncodeAdaptationHalf(*selector, data_);
    std::vector<uint8_t> params;
    params.reserve(rows.size() + 1);
    params.push_back(*selector);
    params.insert(params.end(), rows.begin(), rows.end());
    return TransactWrite(cmd::WriteAdaptationCorr, params);
}

bool TDataManager::ReadAdaptationBank(unsigned bank)
{
    return ReadAdaptationCorr(bank, 0) && ReadAdaptationCorr(bank, 1);
}

} // namespace lumex
