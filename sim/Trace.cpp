#include "sim/Trace.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace sim {

namespace {

void AppendJsonString(std::string &out, const std::string &text)
{
    out += '"';
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    out += '"';
}

} // namespace

std::string HexByte(uint8_t byte)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", byte);
    return text;
}

std::string HexBytes(const std::vector<uint8_t> &bytes)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            out += ' ';
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

std::string FormatTraceLine(const TraceEvent &event)
{
    char t[32];
    std::snprintf(t, sizeof t, "%.1f", event.t);
    std::string out = "{\"t\":";
    out += t;
    out += ",\"dir\":";
    AppendJsonString(out, event.dir);
    out += ",\"hex\":";
    AppendJsonString(out, HexBytes(event.bytes));
    if (!event.fault.empty()) {
        out += ",\"fault\":";
        AppendJsonString(out, event.fault);
    }
    if (!event.discarded.empty()) {
        out += ",\"discarded\":";
        AppendJsonString(out, event.discarded);
    }
    if (!event.violation.empty()) {
        out += ",\"violation\":";
        AppendJsonString(out, event.violation);
    }
    out += '}';
    return out;
}

TraceFile::~TraceFile()
{
    Close();
}

bool TraceFile::Open(const std::string &path, std::string &error)
{
    Close();
    path_ = path;
    partPath_ = path + ".part";
    file_ = std::fopen(partPath_.c_str(), "w");
    if (!file_) {
        error = "cannot write trace " + partPath_ + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

void TraceFile::Write(const TraceEvent &event)
{
    if (!file_)
        return;
    std::string line = FormatTraceLine(event);
    line += '\n';
    std::fwrite(line.data(), 1, line.size(), file_);
    std::fflush(file_);
}

void TraceFile::Close()
{
    if (!file_)
        return;
    std::fflush(file_);
    ::fsync(fileno(file_));
    std::fclose(file_);
    file_ = nullptr;
    std::rename(partPath_.c_str(), path_.c_str());
}

} // namespace sim
