#pragma once
// Whole-file reading and writing for the engine's own files (filters, stored
// spectra, settings). A write goes to a temporary file in the target's folder
// that is renamed over the target only when complete, so a failed write never
// leaves a truncated file in place of a good one.

#include <cstddef>
#include <string>
#include <string_view>

// Reads the whole file. Throws EFileError "Datei %s kann nicht geöffnet
// werden" when it cannot be opened or read (also for a folder), and when it is
// larger than maxBytes.
std::string ReadWholeFile(const std::string& fileName, size_t maxBytes = size_t(1) << 31);

// Replaces the file's contents. Throws EFileError "Datei %s kann nicht
// erstellt werden" when it cannot; the previous file then stays as it was.
void WriteFileAtomically(const std::string& fileName, std::string_view bytes);

// The same written piece by piece, for files too large to build in memory
// first (stored spectra and images of big scans): the pieces go into the
// temporary file, Commit renames it over the target. A writer destroyed
// without Commit (an error on the way) removes its temporary file and leaves
// the target as it was. Write and Commit throw the "kann nicht erstellt
// werden" error.
class TAtomicFileWriter {
public:
    explicit TAtomicFileWriter(std::string fileName);
    ~TAtomicFileWriter();
    TAtomicFileWriter(const TAtomicFileWriter&) = delete;
    TAtomicFileWriter& operator=(const TAtomicFileWriter&) = delete;
    void Write(std::string_view bytes);
    void Commit();

private:
    [[noreturn]] void Fail();
    std::string fileName_, temp_;
    int fd_ = -1;
};

// The standard message texts, with the name filled in.
std::string CannotOpenMessage(const std::string& fileName);
std::string CannotCreateMessage(const std::string& fileName);
