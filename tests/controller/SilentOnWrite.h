// A fault for device tests: passes everything to the simulated controller
// but stays silent on the k-th request of the given command codes after
// being armed (one failure per arming), so a sequence's handling of a write
// that is never acknowledged can be checked at every step.
#pragma once

#include "sim/Responder.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <span>

namespace testsupport {

class SilentOnWrite : public sim::Responder
{
public:
    SilentOnWrite(std::shared_ptr<sim::Responder> inner, std::set<uint8_t> codes)
        : inner_(std::move(inner)), codes_(std::move(codes))
    {
    }
    void Arm(std::size_t k)
    {
        std::lock_guard lock(mutex_);
        remaining_ = k;
    }
    uint8_t StartByte() const override { return inner_->StartByte(); }
    sim::Scan ScanFrame(std::span<const uint8_t> buffer) const override { return inner_->ScanFrame(buffer); }
    sim::Reply Answer(std::span<const uint8_t> frame) override
    {
        {
            std::lock_guard lock(mutex_);
            const bool counted = frame.size() > 1 && codes_.count(frame[1]) != 0;
            if (counted && remaining_ > 0 && --remaining_ == 0)
                return {}; // silence, the controller never saw it
        }
        return inner_->Answer(frame);
    }

    // Puts itself in front of the simulated controller of a SimHarness or SimLink.
    template <typename Harness> static std::shared_ptr<SilentOnWrite> Install(Harness &h, std::set<uint8_t> codes)
    {
        auto silencer = std::make_shared<SilentOnWrite>(h.Sim().Device(), std::move(codes));
        auto hold = h.Sim().Pause();
        h.Sim().Line().Register(silencer);
        return silencer;
    }

private:
    std::shared_ptr<sim::Responder> inner_;
    std::set<uint8_t> codes_;
    std::mutex mutex_;
    std::size_t remaining_ = 0;
};

} // namespace testsupport
