// The recorder's samples as CSV: one row per sample, a header naming each
// column with its unit, numbers with a decimal point whatever the locale.
// OBD channels without a value leave their field empty.
#pragma once

#include "mainwindow/OscSample.h"

#include <cstdio>
#include <deque>
#include <string>

namespace lumex {

std::string OscCsvHeader();
std::string OscCsvRow(const TOscSample &sample);
// Header and rows of `samples`, oldest first; empty slots are skipped.
std::string OscCsv(const std::deque<TOscSample> &samples);

// Writes the recording to `path` atomically; throws EFileWriteError.
void ExportOscCsv(const std::string &path, const std::deque<TOscSample> &samples);

// The part file of a recording to `path` killed before its Close, kept
// under a new name beside it ("rec.csv.part" becomes "rec-recovered.csv",
// then "rec-recovered-2.csv" ...): its rows are all there is of that
// recording. The new path, or empty when there was no part file or it could
// not be renamed.
std::string RecoverUnfinishedRecording(const std::string &path);

// Recovers the recording a journal names (see TOscCsvStream::SetJournal)
// and removes the journal: the program's start calls it, so the part of a
// recording killed before its Close does not wait for a recording to the
// same file. The recovered path, or empty.
std::string RecoverJournaledRecording(const std::string &journal);
// The journal of the program's recordings in its settings folder; empty
// without a folder.
std::string RecordingJournalIn(const std::string &settingsFolder);

// A recording written as it happens: rows go to "PATH.part", flushed each
// time, and Close renames it to PATH, so a reader never sees half a file
// under the chosen name and a crash leaves the rows up to it in the part.
// Open first recovers the part a killed recording to the same path left.
class TOscCsvStream
{
public:
    TOscCsvStream() = default;
    ~TOscCsvStream();
    TOscCsvStream(const TOscCsvStream &) = delete;
    TOscCsvStream &operator=(const TOscCsvStream &) = delete;

    // A file that names the recording while it is open and goes when the
    // recording is finished under its name; empty keeps no journal.
    void SetJournal(std::string journal) { journal_ = std::move(journal); }

    // False with the reason in `error` when the file cannot be made.
    bool Open(const std::string &path, std::string &error);
    bool IsOpen() const { return file_ != nullptr; }
    // False once a write failed (the disk is full): the caller tells the user.
    bool Append(const TOscSample &sample);
    // Finishes the file under its name; false with the reason when it cannot.
    bool Close(std::string &error);
    std::size_t Rows() const { return rows_; }
    const std::string &Path() const { return path_; }

private:
    void RemoveJournal();

    std::FILE *file_ = nullptr;
    std::string path_;
    std::string journal_;
    std::size_t rows_ = 0;
    bool failed_ = false;
};

} // namespace lumex
