#include "sim/adapter/ObdCar.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

constexpr uint8_t kAnswerStart = 0xD2;
constexpr uint8_t kQuery = 0xA5;
constexpr uint8_t kAccepted = 0xA5;
constexpr uint8_t kRefused = 0x00;

// Link states and detection sub-states as the adapter reports them.
enum : int
{
    kIdle = 1,
    kConnecting = 2,
    kConnectingLate = 3,
    kConnected = 4,
    kDisconnecting = 6,
    kDisconnected = 15,
    kDetecting = 24,
    kTryingFirst = 2,
    kTrying = 6, // sub-states 2..7
    kDetected = 8,
    kNotDetected = 9,
    kCancelled = 10,
    kLastProtocol = 7
};

// Trouble-code step states: 2 working, 3 nothing found, 4 done, 5 error;
// clearing: 4 done, 6 the engine runs.
enum : int
{
    kStepWorking = 2,
    kStepNone = 3,
    kStepDone = 4,
    kStepError = 5,
    kStepEngineRuns = 6
};

struct CommandShape
{
    uint8_t code;
    std::size_t requestLength; // start, code, parameters, CRC
    std::size_t answerLength;
    int fixedParam; // -1: the parameter bytes are data
};

constexpr CommandShape kShapes[] = {
    {0x70, 5, 4, 0x01},    {0x71, 5, 14, kQuery}, {0x72, 15, 4, -1},     {0x73, 5, 4, kQuery},  {0x74, 5, 4, kQuery},
    {0x75, 5, 4, kQuery},  {0x76, 13, 4, -1},     {0x77, 5, 4, kQuery},  {0x78, 5, 13, kQuery}, {0x79, 5, 11, kQuery},
    {0x7A, 5, 11, kQuery}, {0x7B, 12, 4, -1},     {0x7C, 5, 20, kQuery}, {0x7D, 5, 13, kQuery}, {0x7E, 5, 4, kQuery},
    {0x7F, 5, 4, -1},      {0x80, 5, 24, kQuery}, {0x81, 5, 24, kQuery}, {0x82, 5, 47, kQuery}, {0x83, 5, 4, -1},
    {0x85, 5, 12, 0x01},   {0x86, 5, 20, 0x01},   {0x87, 5, 7, -1},      {0x89, 55, 4, -1},     {0x8C, 5, 4, -1},
};

const CommandShape *Shape(uint8_t code)
{
    auto it = std::find_if(std::begin(kShapes), std::end(kShapes), [&](const auto &s) { return s.code == code; });
    return it == std::end(kShapes) ? nullptr : &*it;
}

// The PIDs the simulated car supports, as the eight bitmap bytes.
constexpr std::array<uint8_t, 8> kSupported{0xBF, 0xBF, 0xB8, 0x01, 0x80, 0x00, 0x00, 0x00};

// The car's drive: each live answer moves one step along a ramp up and
// back down over twenty answers.
constexpr unsigned kDrivePeriod = 20;

bool IsIdle(int s)
{
    return s < kConnecting || (s >= kDisconnected && s <= 23);
}

bool IsConnected(int s)
{
    return s == kConnected || s == kConnected + 1;
}

void PutCodes(std::vector<uint8_t> &a, const std::vector<ObdCode> &codes)
{
    for (std::size_t i = 0; i < codes.size() && i < 7; ++i) {
        a[2 + i * 3] = codes[i].unit;
        a[3 + i * 3] = static_cast<uint8_t>(codes[i].code >> 8);
        a[4 + i * 3] = static_cast<uint8_t>(codes[i].code);
    }
}

bool ParseOnOff(const std::string &w, bool &out)
{
    if (w != "on" && w != "off")
        return false;
    out = w == "on";
    return true;
}

} // namespace

std::array<uint8_t, kObdLiveBytes> ObdLiveFrame(unsigned n)
{
    const unsigned phase = n % kDrivePeriod;
    const auto step = static_cast<int>(phase < kDrivePeriod / 2 ? phase : kDrivePeriod - phase);
    const auto byte = [](int v) { return static_cast<uint8_t>(std::clamp(v, 0, 255)); };
    // A warm engine at a steady 1726 rpm, pulled up to 2226 rpm and back.
    const int rpmRaw = 0x1AF8 + step * 200;
    const int mafRaw = 0x0258 + step * 20;
    return {byte(0x85 - step),
            byte(0x7A),
            byte(0x80),
            byte(0x80),
            byte(rpmRaw >> 8),
            byte(rpmRaw & 0xFF),
            byte(0x32 + step),
            byte(0x4D + 2 * step),
            byte(0x82),
            byte(0x23 + step),
            byte(0x98 + step),
            byte(0x41),
            byte(mafRaw >> 8),
            byte(mafRaw & 0xFF),
            byte(0x26 + 2 * step),
            byte(0x02),
            byte(0x02)};
}

std::optional<uint16_t> ParseObdCode(const std::string &text)
{
    static const std::string kLetters = "PCBU";
    if (text.size() != 5)
        return std::nullopt;
    const auto letter = kLetters.find(static_cast<char>(std::toupper(static_cast<unsigned char>(text[0]))));
    if (letter == std::string::npos || text[1] < '0' || text[1] > '3')
        return std::nullopt;
    unsigned rest = 0;
    for (std::size_t i = 2; i < 5; ++i) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
        const auto d = std::string("0123456789ABCDEF").find(c);
        if (d == std::string::npos)
            return std::nullopt;
        rest = rest * 16 + static_cast<unsigned>(d);
    }
    return static_cast<uint16_t>((letter << 14) | (static_cast<unsigned>(text[1] - '0') << 12) | rest);
}

std::string ObdCodeName(uint16_t code)
{
    char buf[8];
    std::snprintf(buf, sizeof buf, "%c%04X", "PCBU"[code >> 14], code & 0x3FFF);
    return buf;
}

ObdCar::ObdCar(ObdCarSetup setup) : setup_(std::move(setup))
{
    // The adapter's factory configuration: auto-connect off, adaptation
    // type 1, ranges 2, maximum correction 25, minimum RPM 1200.
    config_ = {setup_.configuredProtocol, 0x08, 0x01, 0x00, 0x02, 0x00, 0x00, 0x02, 25, 0x04, 0xB0};
    if (setup_.connectedAtStart && setup_.carOn && config_[0] == setup_.carProtocol) {
        state_ = kConnected;
        actualProtocol_ = config_[0];
    }
}

std::size_t ObdCar::RequestLength(uint8_t code)
{
    const CommandShape *s = Shape(code);
    return s == nullptr ? 0 : s->requestLength;
}

int8_t ObdCar::Correction(int bank, int row, int column) const
{
    return corrections_.at(static_cast<std::size_t>(bank - 1))
        .at(static_cast<std::size_t>(row))
        .at(static_cast<std::size_t>(column));
}

std::array<uint8_t, 4> ObdCar::Flags() const
{
    std::array<uint8_t, 4> f{};
    auto set = [&f](int n) { f[static_cast<std::size_t>((n - 1) / 8)] |= static_cast<uint8_t>(1 << ((n - 1) % 8)); };
    set(1); // allowed to use
    if (IsConnected(state_))
        set(6);
    if (!setup_.recorded.empty()) {
        set(18);
        set(19);
        if (setup_.freezeFrame)
            set(20);
    }
    return f;
}

void ObdCar::Step()
{
    switch (state_) {
    case kConnecting:
        state_ = kConnectingLate;
        break;
    case kConnectingLate:
        state_ = setup_.carOn && config_[0] == setup_.carProtocol ? kConnected : kDisconnected;
        actualProtocol_ = IsConnected(state_) ? config_[0] : 0;
        break;
    case kDisconnecting:
        state_ = kDisconnected;
        actualProtocol_ = 0;
        break;
    case kDetecting:
        if (setup_.carOn && actualProtocol_ == setup_.carProtocol) {
            detect_ = kDetected;
            detected_ = actualProtocol_;
            state_ = kIdle;
        } else if (actualProtocol_ >= kLastProtocol) {
            detect_ = kNotDetected;
            state_ = kIdle;
        } else {
            ++actualProtocol_;
            detect_ = kTryingFirst + (actualProtocol_ - 1) % kTrying;
        }
        break;
    default:
        break;
    }
}

void ObdCar::StepTroubleCycle()
{
    if (clear_ == kStepWorking) {
        if (setup_.engineRunning) {
            clear_ = kStepEngineRuns;
        } else {
            clear_ = kStepDone;
            setup_.recorded.clear();
            setup_.pending.clear();
        }
    }
    if (read_ == kStepWorking)
        read_ = setup_.recorded.empty() ? kStepNone : kStepDone;
    if (readPending_ == kStepWorking)
        readPending_ = setup_.pending.empty() ? kStepNone : kStepDone;
    if (readFreeze_ == kStepWorking)
        readFreeze_ = setup_.freezeFrame && !setup_.recorded.empty() ? kStepDone : kStepNone;
}

std::optional<std::vector<uint8_t>> ObdCar::Answer(uint8_t code, std::span<const uint8_t> p)
{
    const CommandShape *shape = Shape(code);
    if (shape == nullptr || p.empty() || (shape->fixedParam >= 0 && p[0] != shape->fixedParam))
        return std::nullopt;
    ++counts_[code];
    std::vector<uint8_t> a(shape->answerLength, 0);
    a[0] = kAnswerStart;
    a[1] = code;
    const bool connected = IsConnected(state_);
    switch (code) {
    case 0x70:
        a[2] = setup_.present ? 0x01 : 0x00;
        break;
    case 0x71:
        std::copy(config_.begin(), config_.end(), a.begin() + 2);
        break;
    case 0x72:
        std::copy_n(p.begin(), kBlockSize, config_.begin());
        a[2] = kAccepted;
        break;
    case 0x73:
        a[2] = kRefused;
        if (IsIdle(state_)) {
            state_ = kDetecting;
            actualProtocol_ = 1;
            detect_ = kTryingFirst;
            detected_ = 0;
            a[2] = kAccepted;
        }
        break;
    case 0x74:
        a[2] = kRefused;
        if (state_ == kDetecting) {
            detect_ = kCancelled;
            state_ = kIdle;
            a[2] = kAccepted;
        }
        break;
    case 0x75:
        a[2] = detected_;
        detected_ = 0;
        detect_ = kIdle;
        break;
    case 0x76:
        a[2] = kRefused;
        if (IsIdle(state_) && p[0] >= 1 && p[0] <= kLastProtocol) {
            config_[0] = p[0];
            state_ = kConnecting;
            a[2] = kAccepted;
        }
        break;
    case 0x77:
        a[2] = kRefused;
        if (!IsIdle(state_) && state_ != kDetecting) {
            state_ = kDisconnecting;
            a[2] = kAccepted;
        }
        break;
    case 0x78: {
        Step();
        const bool linked = IsConnected(state_);
        const auto f = Flags();
        std::copy(f.begin(), f.end(), a.begin() + 2);
        a[6] = static_cast<uint8_t>(state_);
        a[7] = static_cast<uint8_t>(detect_);
        a[8] = state_ == kConnecting || state_ == kConnectingLate ? 1 : 0;
        a[9] = linked ? 1 : 0;
        a[10] = actualProtocol_;
        a[11] = linked ? 1 : 0;
        break;
    }
    case 0x79:
        if (connected)
            std::copy(kSupported.begin(), kSupported.end(), a.begin() + 2);
        break;
    case 0x7A:
        std::fill(a.begin() + 2, a.begin() + 10, 0xFF);
        break;
    case 0x7B:
        a[2] = kAccepted;
        break;
    case 0x7C:
        if (connected) {
            const auto live = ObdLiveFrame(liveFrames_++);
            std::copy(live.begin(), live.end(), a.begin() + 2);
        }
        break;
    case 0x7D:
        a[2] = static_cast<uint8_t>(std::min<std::size_t>(setup_.recorded.size(), 255));
        a[3] = static_cast<uint8_t>(clear_);
        a[4] = static_cast<uint8_t>(read_);
        a[5] = static_cast<uint8_t>(readPending_);
        a[6] = static_cast<uint8_t>(readFreeze_);
        a[8] = 0;
        a[9] = setup_.recorded.empty() ? 0 : 123;
        a[10] = connected ? kSupported[4] : 0;
        a[11] = 0xFF;
        // A step is seen as working once before its result comes.
        StepTroubleCycle();
        break;
    case 0x7E:
        clear_ = connected ? kStepWorking : kStepError;
        a[2] = kAccepted;
        break;
    case 0x7F: {
        const int start = connected ? kStepWorking : kStepError;
        if ((p[0] & 0x01) != 0)
            read_ = start;
        if ((p[0] & 0x02) != 0)
            readPending_ = start;
        if ((p[0] & 0x04) != 0)
            readFreeze_ = start;
        a[2] = kAccepted;
        break;
    }
    case 0x80:
        PutCodes(a, setup_.recorded);
        break;
    case 0x81:
        PutCodes(a, setup_.pending);
        break;
    case 0x82:
        if (setup_.freezeFrame && !setup_.recorded.empty()) {
            const uint16_t c = setup_.recorded.front().code;
            const uint8_t frame[] = {setup_.recorded.front().unit,
                                     static_cast<uint8_t>(c >> 8),
                                     static_cast<uint8_t>(c),
                                     0x02,
                                     0x02,
                                     0x40,
                                     0x7B,
                                     0x85,
                                     0x7A,
                                     0x80,
                                     0x80,
                                     0x28,
                                     0x0C,
                                     0x80,
                                     0x00,
                                     0x8C,
                                     0x3C,
                                     0x01,
                                     0x2C,
                                     0x20};
            std::copy(std::begin(frame), std::end(frame), a.begin() + 2);
        }
        break;
    case 0x83:
        if (p[0] == 7)
            read_ = readPending_ = readFreeze_ = 0;
        else if (p[0] == 8)
            clear_ = 0;
        a[2] = kAccepted;
        break;
    case 0x85:
        a[2] = lambdaGroup_;
        for (std::size_t i = 3; i < 11; ++i)
            a[i] = i % 2 == 1 ? static_cast<uint8_t>(0x50 + lambdaGroup_) : 0x80;
        lambdaGroup_ = lambdaGroup_ == 1 ? 2 : 1;
        break;
    case 0x86:
        a[2] = wideGroup_;
        for (std::size_t i = 3; i < 19; i += 2) {
            a[i] = 0x80;
            a[i + 1] = wideGroup_;
        }
        wideGroup_ = wideGroup_ == 1 ? 2 : 1;
        break;
    case 0x87:
        if (p[0] == 44) {
            const uint32_t v = setup_.delayCounterItem;
            a[2] = static_cast<uint8_t>(v >> 24);
            a[3] = static_cast<uint8_t>(v >> 16);
            a[4] = static_cast<uint8_t>(v >> 8);
            a[5] = static_cast<uint8_t>(v);
        }
        break;
    case 0x89: {
        const int bank = p[0] >> 4;
        const int half = p[0] & 0x0F;
        if ((bank != 1 && bank != 2) || (half != 0 && half != 1)) {
            a[2] = kRefused;
            break;
        }
        for (std::size_t r = 0; r < 5; ++r)
            for (std::size_t c = 0; c < 10; ++c)
                corrections_[static_cast<std::size_t>(bank - 1)][static_cast<std::size_t>(half) * 5 + r][c] =
                    static_cast<int8_t>(p[1 + r * 10 + c]);
        a[2] = kAccepted;
        break;
    }
    case 0x8C:
        a[2] = p[0] >= 1 && p[0] <= 3 ? kAccepted : kRefused;
        break;
    default:
        break;
    }
    return a;
}

bool ObdCar::Control(const std::vector<std::string> &w, std::string &reply)
{
    auto fail = [&reply](const std::string &text) {
        reply = "error: " + text;
        return false;
    };
    if (w.size() < 2)
        return fail("obd codes|pending CODE...|none, obd protocol N, obd car|engine|freeze|present on|off, obd state");
    const std::string &what = w[1];
    if (what == "codes" || what == "pending") {
        std::vector<ObdCode> list;
        for (std::size_t i = 2; i < w.size(); ++i) {
            if (w[i] == "none")
                continue;
            const auto c = ParseObdCode(w[i]);
            if (!c)
                return fail("not a trouble code: " + w[i]);
            list.push_back({0x10, *c});
        }
        (what == "codes" ? setup_.recorded : setup_.pending) = list;
        reply = "ok " + what + " " + std::to_string(list.size());
        return true;
    }
    if (what == "protocol" && w.size() == 3) {
        const int n = std::atoi(w[2].c_str());
        if (n < 1 || n > kLastProtocol)
            return fail("protocol must be 1..7");
        setup_.carProtocol = static_cast<uint8_t>(n);
        reply = "ok protocol " + w[2];
        return true;
    }
    if (what == "item44" && w.size() == 3) {
        setup_.delayCounterItem = static_cast<uint32_t>(std::strtoul(w[2].c_str(), nullptr, 0));
        reply = "ok item44 " + w[2];
        return true;
    }
    bool on = false;
    if (w.size() == 3 && ParseOnOff(w[2], on)) {
        bool *target = what == "car"       ? &setup_.carOn
                       : what == "engine"  ? &setup_.engineRunning
                       : what == "freeze"  ? &setup_.freezeFrame
                       : what == "present" ? &setup_.present
                                           : nullptr;
        if (target != nullptr) {
            *target = on;
            reply = "ok " + what + " " + w[2];
            return true;
        }
    }
    if (what == "state" && w.size() == 2) {
        std::string codes;
        for (const auto &c : setup_.recorded)
            codes += " " + ObdCodeName(c.code);
        reply = "ok link " + std::to_string(state_) + " detect " + std::to_string(detect_) + " codes" +
                (codes.empty() ? " none" : codes);
        return true;
    }
    return fail("not understood: obd " + what);
}

} // namespace sim
