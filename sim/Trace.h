// What happened on the simulated line, one event per frame, and the JSON-lines
// file that records it for people and tests to read afterwards.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace sim {

struct TraceEvent
{
    double t = 0;           // monotonic milliseconds since the line host started
    const char *dir = "rx"; // "rx" from the client, "tx" to the client, "line" for line events
    std::vector<uint8_t> bytes;
    std::string violation; // the client broke the protocol
    std::string fault;     // the injected fault that shaped this answer
    std::string discarded; // why these received bytes were thrown away
};

// Upper-case hex bytes separated by spaces ("C0 01 01 C2").
std::string HexBytes(const std::vector<uint8_t> &bytes);
// One byte as the messages show it ("0x3A").
std::string HexByte(uint8_t byte);
// One JSON object on one line, without the newline.
std::string FormatTraceLine(const TraceEvent &event);

// Lines go to PATH.part as they happen (flushed, so it can be followed) and
// the file is completed by renaming it to PATH when the trace is closed.
class TraceFile
{
public:
    TraceFile() = default;
    ~TraceFile();
    TraceFile(const TraceFile &) = delete;
    TraceFile &operator=(const TraceFile &) = delete;

    bool Open(const std::string &path, std::string &error);
    bool IsOpen() const { return file_ != nullptr; }
    void Write(const TraceEvent &event);
    // Syncs and renames into place. Safe to call twice.
    void Close();

private:
    std::FILE *file_ = nullptr;
    std::string path_;
    std::string partPath_;
};

} // namespace sim
