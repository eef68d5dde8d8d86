#pragma once
// Random access to the bytes of an image file. The bitmap decoder reads its
// headers and then one pixel row at a time through this, so a large scan is
// never held twice in memory, and every read is checked against the bytes
// that really exist: a header that lies about its sizes cannot make the
// decoder read past the end of the file.

#include <cstddef>
#include <cstdint>
#include <string>

class TByteSource {
public:
    virtual ~TByteSource() = default;
    virtual uint64_t Size() const = 0;
    // Copies count bytes starting at offset; false when they are not all
    // there (or the file cannot be read any more).
    virtual bool ReadAt(uint64_t offset, void* into, size_t count) const = 0;
};

// Bytes already in memory (tests, clipboard data). The bytes are not copied:
// they must outlive the source.
class TMemorySource : public TByteSource {
public:
    TMemorySource(const void* data, size_t size)
        : data_(static_cast<const uint8_t*>(data)), size_(size) {}
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* into, size_t count) const override;

private:
    const uint8_t* data_;
    size_t size_;
};

// A regular file, opened for reading for the source's lifetime.
class TFileSource : public TByteSource {
public:
    // Throws EFileError "Datei %s kann nicht geöffnet werden" when the name
    // is missing, unreadable or not a regular file.
    explicit TFileSource(const std::string& fileName);
    ~TFileSource() override;
    TFileSource(const TFileSource&) = delete;
    TFileSource& operator=(const TFileSource&) = delete;
    uint64_t Size() const override { return size_; }
    bool ReadAt(uint64_t offset, void* into, size_t count) const override;

private:
    int fd_ = -1;
    uint64_t size_ = 0;
};
