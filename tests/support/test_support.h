#pragma once
// Helpers shared by the test programs.

#include "spectral/bitmap.h"
#include "spectral/store.h"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

// The bits of a float, for bit-exact comparisons (NaN payloads included).
inline uint32_t FloatBits(float v) {
    uint32_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

// A store of W x H cells filled with reproducible pseudo-random values in
// [lo, hi); the same seed gives the same store on every machine.
TSpectrumStore RandomStore(int32_t w, int32_t h, uint32_t seed, float lo = -127.0f,
                           float hi = 128.0f);

// A w x h bitmap of reproducible pseudo-random bytes for the seed.
TBitmap24 RandomBitmap(int32_t w, int32_t h, uint32_t seed);

// A smooth colour picture (slow waves and a soft disc) of w x h pixels, and
// with cell > 0 a dot screen of that many pixels per period laid over it: two
// crossed waves per plane, each plane's grid turned to its own angle, as the
// inks of a colour print lie on grids turned against each other.
TBitmap24 ScreenedPicture(int32_t w, int32_t h, double cell);

// The picture's spectrum: the store filled from it and transformed forward
// with the exact transform.
TSpectrumStore SpectrumOf(const TBitmap24& picture);

// A fresh, empty folder below the system's temporary folder, removed when the
// object goes out of scope.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    const std::filesystem::path& Path() const { return path_; }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Runs pixmend-cli with the arguments (a shell command line) and collects what
// it prints on stdout and stderr together.
struct TCliRun {
    int status = -1; // the exit status; -1 when it did not exit normally
    std::string out;
};
TCliRun RunCli(const std::string& arguments);
// The same, collecting only what it prints on stderr.
TCliRun RunCliErrors(const std::string& arguments);

// Sets a SHORT tag of the first directory of a little-endian TIFF, for
// damaged files; the tag must be there.
void SetTiffShortTag(std::vector<uint8_t>& tif, uint16_t tag, uint16_t value);

// Whole-file helpers.
std::vector<uint8_t> ReadFileBytes(const std::string& name);
void WriteFileBytes(const std::string& name, const std::vector<uint8_t>& bytes);
