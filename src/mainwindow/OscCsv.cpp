#include "mainwindow/OscCsv.h"

#include "common/AtomicFile.h"
#include "documents/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace lumex {

namespace {

constexpr char kSeparator = ',';
constexpr int kDecimals = 3;

void AppendNumber(std::string &out, double value)
{
    char text[64];
    const auto r = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, kDecimals);
    out.append(text, r.ec == std::errc() ? r.ptr : text);
}

void AppendInteger(std::string &out, long value)
{
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

std::string PartPath(const std::string &path)
{
    return path + ".part";
}

// A journal holds one path; anything longer was not written by us.
constexpr std::size_t kJournalLimit = 64 * 1024;

} // namespace

std::string OscCsvHeader()
{
    std::string h = "Time [s]";
    for (std::size_t c = 0; c < kOscFixedChannels; ++c) {
        h += kSeparator;
        h += OscChannelInfo(static_cast<TOscChannel>(c)).CsvHeader;
    }
    h += ",Gas,SysState";
    for (std::size_t c = 0; c < kObdChannels; ++c) {
        h += kSeparator;
        h += ObdChannelInfo(c).Variable;
    }
    h += '\n';
    return h;
}

std::string OscCsvRow(const TOscSample &s)
{
    std::string row;
    AppendNumber(row, s.Time);
    for (std::size_t c = 0; c < kOscFixedChannels; ++c) {
        const TOscChannelInfo &info = OscChannelInfo(static_cast<TOscChannel>(c));
        row += kSeparator;
        AppendNumber(row, OscValue(s, info.Channel) * info.CsvFactor);
    }
    row += kSeparator;
    AppendInteger(row, s.OnGas() ? 1 : 0);
    row += kSeparator;
    AppendInteger(row, s.SysState);
    for (std::size_t c = 0; c < kObdChannels; ++c) {
        row += kSeparator;
        if (s.HasObd(c))
            AppendNumber(row, s.Obd[c]);
    }
    row += '\n';
    return row;
}

std::string OscCsv(const std::deque<TOscSample> &samples)
{
    std::string text = OscCsvHeader();
    for (const TOscSample &s : samples)
        if (s.Taken)
            text += OscCsvRow(s);
    return text;
}

void ExportOscCsv(const std::string &path, const std::deque<TOscSample> &samples)
{
    WriteFileAtomically(path, OscCsv(samples));
}

std::string RecoverUnfinishedRecording(const std::string &path)
{
    namespace fs = std::filesystem;
    const fs::path part(PartPath(path));
    std::error_code ec;
    if (!fs::is_regular_file(fs::symlink_status(part, ec)))
        return {};
    const fs::path target(path);
    const std::string extension = target.extension().string();
    const std::string stem = (target.parent_path() / target.stem()).string();
    for (int n = 1; n < 1000; ++n) {
        std::string name = stem + "-recovered";
        if (n > 1)
            name += "-" + std::to_string(n);
        name += extension;
        if (fs::exists(name, ec))
            continue;
        fs::rename(part, name, ec);
        return ec ? std::string() : name;
    }
    return {};
}

std::string RecoverJournaledRecording(const std::string &journal)
{
    std::optional<std::string> text;
    try {
        text = ReadWholeFile(journal, kJournalLimit);
    } catch (const EFileReadError &) {
        // Not a journal we wrote (a folder, a huge file): it names nothing.
    }
    std::string path = text.value_or(std::string());
    while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
        path.pop_back();
    std::string recovered;
    // Only what Open wrote: one absolute path of no control characters.
    const bool plain = std::none_of(path.begin(), path.end(), [](char c) { return c >= 0 && c < ' '; });
    if (plain && path.starts_with('/'))
        recovered = RecoverUnfinishedRecording(path);
    std::error_code ignored;
    std::filesystem::remove(journal, ignored);
    if (!journal.empty())
        RemoveStaleTemporaries(journal); // a start killed while writing it
    return recovered;
}

std::string RecordingJournalIn(const std::string &settingsFolder)
{
    if (settingsFolder.empty())
        return {};
    return (std::filesystem::path(settingsFolder) / "recording.journal").string();
}

TOscCsvStream::~TOscCsvStream()
{
    std::string ignored;
    Close(ignored);
}

bool TOscCsvStream::Open(const std::string &path, std::string &error)
{
    std::string ignored;
    Close(ignored);
    RecoverUnfinishedRecording(path);
    // The journal goes first, so no part can exist that it does not name.
    // Without it only a later recording to this file would recover a
    // killed one; the recording itself goes on.
    if (!journal_.empty()) {
        std::error_code ec;
        const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
        try {
            if (!ec)
                WriteFileAtomically(journal_, absolute.string() + "\n");
        } catch (const EFileWriteError &) {
        }
    }
    file_ = std::fopen(PartPath(path).c_str(), "w");
    if (!file_) {
        error = "cannot create " + PartPath(path) + ": " + std::strerror(errno);
        RemoveJournal();
        return false;
    }
    path_ = path;
    rows_ = 0;
    failed_ = false;
    const std::string header = OscCsvHeader();
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size() || std::fflush(file_) != 0)
        failed_ = true;
    return true;
}

bool TOscCsvStream::Append(const TOscSample &sample)
{
    if (!file_ || failed_)
        return false;
    const std::string row = OscCsvRow(sample);
    if (std::fwrite(row.data(), 1, row.size(), file_) != row.size() || std::fflush(file_) != 0) {
        failed_ = true;
        return false;
    }
    ++rows_;
    return true;
}

bool TOscCsvStream::Close(std::string &error)
{
    if (!file_)
        return true;
    bool ok = !failed_ && ::fsync(::fileno(file_)) == 0;
    if (std::fclose(file_) != 0)
        ok = false;
    file_ = nullptr;
    if (!ok) {
        error = "writing " + PartPath(path_) + " failed";
        return false;
    }
    if (std::rename(PartPath(path_).c_str(), path_.c_str()) != 0) {
        error = "cannot rename " + PartPath(path_) + " to " + path_ + ": " + std::strerror(errno);
        return false; // the journal stays: the next start keeps the rows
    }
    RemoveJournal();
    return true;
}

void TOscCsvStream::RemoveJournal()
{
    std::error_code ignored;
    if (!journal_.empty())
        std::filesystem::remove(journal_, ignored);
}

} // namespace lumex
