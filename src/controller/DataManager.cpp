#include "controller/DataManager.h"

#include "controller/CommandTable.h"
#include "controller/Frame.h"
#include "profile/ProgramProfile.h"
#include "serial/ComMultiPort.h"

#include <array>
#include <stdexcept>

namespace lumex {

namespace {

std::string HexByte(uint8_t value)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[value >> 4] + digits[value & 0x0F];
}

// Releases, once, the port lock that a request's Write took and kept. Built
// right after the Write, so every way out of the transaction (a good
// answer, a failed one, an exception in the receive) passes through it.
class TTransactionLock
{
public:
    explicit TTransactionLock(TComMultiPort &port)
        : port_(port),
          held_(port.ThreadSafe() && port.LockingStrategy() == TComMultiPortLockingStrategy::lsReadDataWithControl)
    {
    }
    ~TTransactionLock()
    {
        if (!held_)
            return;
        try {
            port_.Unlock();
        } catch (const EComPortError &) {
            // Thread safety was switched on after the write: it took no lock.
        }
    }
    TTransactionLock(const TTransactionLock &) = delete;
    TTransactionLock &operator=(const TTransactionLock &) = delete;

private:
    TComMultiPort &port_;
    bool held_;
};

} // namespace

ECommandNotAllowed::ECommandNotAllowed(uint8_t code)
    : std::logic_error("command " + HexByte(code) + " is not on this program's command list"), code_(code)
{
}

TDataManager::TDataManager(TComMultiPort &port, TNorviData &data) : port_(port), data_(data), profile_(&Lumex2Profile())
{
}

bool TDataManager::RequestsSuppressed() const
{
    return data_.VersionCode != 0 && !LinkUp;
}

bool TDataManager::ReceiveAnswer(std::span<uint8_t> answer)
{
    std::fill(answer.begin(), answer.end(), uint8_t{0});
    if (RequestsSuppressed())
        return false;
    LinkUp = ReceiveFrame(port_, answer, kAnswerStart);
    return LinkUp;
}

bool TDataManager::AbandonOnFailure(bool ok)
{
    if (ok)
        return false;
    if (!CycleError) {
        CycleError = true;
        ++FailedCycles;
    }
    return FailedCycles < 2;
}

bool TDataManager::Transact(uint8_t code, std::span<const uint8_t> params, const TDecoder &decode)
{
    const CommandInfo *entry = FindCommand(code);
    if (entry == nullptr || entry->requestLength != params.size() + 3)
        throw std::invalid_argument("request for command " + std::to_string(code) + " has the wrong length");
    // Checked here because every frame passes here: a program with a command
    // list cannot put anything else on the wire, whoever asks.
    if (!profile_->AllowsCommand(code))
        throw ECommandNotAllowed(code);

    // Sized from the table, which the compiler checks against every row.
    std::array<uint8_t, kMaxAnswerLength> buffer{};
    const std::span<uint8_t> answer(buffer.data(), entry->answerLength);
    bool ok = false;
    // While the link is down and a device is known the answer would be
    // refused unread; the request must then not reach the controller
    // either, or a write could take effect while it reports failure.
    if (!RequestsSuppressed()) {
        const std::vector<uint8_t> request = BuildRequest(code, params);
        // Bytes nobody read (an answer that came after its time-out, the
        // rest of a noise burst) would be taken for the start of this
        // request's answer and stored as its values.
        port_.FlushInput();
        unsigned written = 0;
        // A failed write needs no handling of its own: the answer times out.
        port_.Write(request.data(), static_cast<unsigned>(request.size()), written);
        const TTransactionLock release(port_);
        ok = ReceiveAnswer(answer);
        // The rest of an answer that failed part-way (a gap, a wrong byte)
        // may still be coming; it goes before the lock is given back, so no
        // later request can take it for its own answer.
        if (!ok)
            port_.DrainInput();
    }
    if (AbandonOnFailure(ok))
        return false;
    if (decode)
        decode(answer);
    return ok;
}

void TDataManager::FailFromException()
{
    LinkUp = false;
    AbandonOnFailure(false);
}

} // namespace lumex
