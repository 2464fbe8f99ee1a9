#include "sim/LineHost.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

// No frame on this line is anywhere near this long; a responder that keeps
// asking for more is fed garbage and must not grow the buffer for ever.
constexpr std::size_t kMaxFrame = 1024;
// What a discard keeps for the trace, and how many complaints are kept.
constexpr std::size_t kGarbageKept = 64;
constexpr std::size_t kViolationsKept = 1000;

} // namespace

LineHost::LineHost(LineOptions options) : options_(options) {}

void LineHost::Register(std::shared_ptr<Responder> responder)
{
    if (responder) {
        const uint8_t start = responder->StartByte();
        responders_[start] = std::move(responder);
    }
}

void LineHost::Unregister(uint8_t startByte)
{
    responders_[startByte].reset();
}

std::shared_ptr<Responder> LineHost::Find(uint8_t startByte) const
{
    return responders_[startByte];
}

void LineHost::Receive(std::span<const uint8_t> bytes, double now)
{
    for (uint8_t b : bytes) {
        // A paced byte is complete one character time after the line is
        // free, so a burst written at once trickles in at line rate.
        const double at = options_.pace ? std::max(now, lastRx_) + kByteMs : now;
        lastRx_ = at;
        if (discarding_) {
            if (garbage_.size() < kGarbageKept)
                garbage_.push_back(b);
            ++garbageCount_;
        } else {
            rx_.push_back({b, at});
        }
    }
}

void LineHost::Advance(double now)
{
    lastNow_ = std::max(lastNow_, now);
    for (;;) {
        if (discarding_) {
            if (now < lastRx_ + options_.quietMs)
                return;
            EndDiscard();
        }
        std::size_t avail = 0;
        while (avail < rx_.size() && rx_[avail].at <= now)
            ++avail;
        if (avail == 0)
            return;

        auto responder = responders_[rx_.front().byte];
        if (!responder) {
            StartDiscard("unknown start byte " + HexByte(rx_.front().byte));
            continue;
        }
        std::vector<uint8_t> buffer;
        buffer.reserve(std::min(avail, kMaxFrame + 1));
        for (std::size_t i = 0; i < avail && i <= kMaxFrame; ++i)
            buffer.push_back(rx_[i].byte);
        Scan scan = responder->ScanFrame(buffer);
        if (scan.result == ScanResult::Complete && (scan.length == 0 || scan.length > buffer.size()))
            scan.result = ScanResult::Invalid;

        if (scan.result == ScanResult::Invalid) {
            AddViolation(rx_.front().at, buffer, "bytes that form no frame");
            StartDiscard("no valid frame");
            continue;
        }
        if (scan.result == ScanResult::NeedMore) {
            if (buffer.size() > kMaxFrame) {
                AddViolation(rx_.front().at, buffer, "frame too long");
                StartDiscard("frame too long");
                continue;
            }
            if (avail == rx_.size() && now >= lastRx_ + options_.quietMs) {
                TraceEvent e;
                e.t = now;
                e.bytes = buffer;
                e.discarded = "incomplete frame";
                e.violation = "frame left incomplete";
                AddViolation(rx_.front().at, buffer, e.violation);
                Emit(e);
                rx_.clear();
                continue;
            }
            return;
        }
        const double at = rx_[scan.length - 1].at;
        buffer.resize(scan.length);
        rx_.erase(rx_.begin(), rx_.begin() + static_cast<std::ptrdiff_t>(scan.length));
        Dispatch(*responder, std::move(buffer), at);
    }
}

void LineHost::Dispatch(Responder &responder, std::vector<uint8_t> frame, double at)
{
    Reply reply = responder.Answer(frame);

    TraceEvent rx;
    rx.t = at;
    rx.dir = "rx";
    rx.bytes = frame;
    rx.violation = reply.violation;
    if (at < lineFree_ && !lastAnswerFaulted_) {
        if (!rx.violation.empty())
            rx.violation += "; ";
        rx.violation += "request sent before the previous answer was complete";
    }
    if (!rx.violation.empty())
        AddViolation(at, frame, rx.violation);
    Emit(rx);

    const std::optional<uint8_t> code = frame.size() > 1 ? std::optional<uint8_t>(frame[1]) : std::nullopt;
    const auto fault = faults_.Take(code, !reply.bytes.empty(), frame.front());
    if (reply.bytes.empty() && !fault)
        return;

    AnswerPlan plan = ApplyFault(reply.bytes, fault, noise_++);
    Outgoing out;
    out.start = std::max(at + options_.turnaroundMs, lineFree_) + plan.delayMs;
    out.bytes = std::move(plan.bytes);
    out.unplug = plan.unplug;
    out.unplugMs = plan.unplugMs;
    out.at.reserve(out.bytes.size());
    for (std::size_t i = 0; i < out.bytes.size(); ++i) {
        const double paced = options_.pace ? static_cast<double>(i + 1) * kByteMs : 0.0;
        out.at.push_back(out.start + paced + static_cast<double>(i) * plan.gapMs);
    }
    lineFree_ = out.at.empty() ? out.start : out.at.back();
    lastAnswerFaulted_ = fault.has_value();
    out.event.t = out.start;
    out.event.dir = "tx";
    out.event.bytes = out.bytes;
    if (fault)
        out.event.fault = FormatFault(*fault);
    tx_.push_back(std::move(out));
}

std::vector<uint8_t> LineHost::TakeOutput(double now)
{
    std::vector<uint8_t> bytes;
    while (!tx_.empty()) {
        Outgoing &out = tx_.front();
        if (out.start > now)
            break;
        if (!out.reached) {
            out.reached = true;
            Emit(out.event);
            if (out.unplug) {
                const double ms = out.unplugMs;
                DropLine();
                unplug_ = ms;
                break;
            }
        }
        while (out.next < out.bytes.size() && out.at[out.next] <= now)
            bytes.push_back(out.bytes[out.next++]);
        if (out.next < out.bytes.size())
            break;
        tx_.pop_front();
    }
    return bytes;
}

std::optional<double> LineHost::TakeUnplug()
{
    auto u = unplug_;
    unplug_.reset();
    return u;
}

void LineHost::Unplug(double now, double ms)
{
    TraceEvent e;
    e.t = now;
    e.dir = "line";
    e.fault = "unplug";
    Emit(e);
    DropLine();
    unplug_ = ms;
}

void LineHost::DropLine()
{
    // Whatever was on the wire is gone with the cable.
    rx_.clear();
    tx_.clear();
    discarding_ = false;
    garbage_.clear();
    garbageCount_ = 0;
    lineFree_ = -kNever;
    lastAnswerFaulted_ = false;
}

double LineHost::NextDeadline() const
{
    double d = kNever;
    if (!tx_.empty()) {
        const Outgoing &out = tx_.front();
        d = std::min(d, (!out.reached || out.next >= out.at.size()) ? out.start : out.at[out.next]);
    }
    for (const auto &r : rx_) {
        if (r.at > lastNow_) {
            d = std::min(d, r.at);
            break;
        }
    }
    if (!rx_.empty() || discarding_)
        d = std::min(d, lastRx_ + options_.quietMs);
    return d;
}

void LineHost::StartDiscard(const std::string &reason)
{
    discarding_ = true;
    garbageReason_ = reason;
    garbageAt_ = rx_.empty() ? lastRx_ : rx_.front().at;
    garbage_.clear();
    garbageCount_ = rx_.size();
    for (const auto &r : rx_) {
        if (garbage_.size() >= kGarbageKept)
            break;
        garbage_.push_back(r.byte);
    }
    rx_.clear();
}

void LineHost::EndDiscard()
{
    discarding_ = false;
    TraceEvent e;
    e.t = garbageAt_;
    e.dir = "rx";
    e.bytes = garbage_;
    e.discarded = garbageReason_;
    if (garbageCount_ > garbage_.size())
        e.discarded += " (" + std::to_string(garbageCount_) + " bytes in all)";
    Emit(e);
    garbage_.clear();
    garbageCount_ = 0;
}

void LineHost::AddViolation(double at, const std::vector<uint8_t> &bytes, const std::string &text)
{
    if (violations_.size() >= kViolationsKept)
        return;
    char t[32];
    std::snprintf(t, sizeof t, "%.1f ms: ", at);
    std::vector<uint8_t> shown(
        bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(bytes.size(), kGarbageKept)));
    violations_.push_back(std::string(t) + HexBytes(shown) + ": " + text);
}

void LineHost::Emit(const TraceEvent &event)
{
    if (sink_)
        sink_(event);
}

} // namespace sim
