#include "tests/support/test_support.h"

#include "spectral/store_fill.h"
#include "spectral/transform.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numbers>
#include <random>
#include <stdexcept>
#include <sys/wait.h>

TSpectrumStore RandomStore(int32_t w, int32_t h, uint32_t seed, float lo, float hi) {
    TSpectrumStore s;
    s.Resize(w, h);
    std::mt19937 gen(seed);
    // Built from raw integers, not std::uniform_real_distribution, whose
    // output is not specified identically across standard libraries.
    for (auto& plane : s.Planes)
        for (auto& v : plane) v = lo + (hi - lo) * float(gen() >> 8) * (1.0f / 16777216.0f);
    return s;
}

TBitmap24 RandomBitmap(int32_t w, int32_t h, uint32_t seed) {
    TBitmap24 b(w, h);
    uint32_t x = seed * 2654435761u + 1;
    for (auto& v : b.Bytes) {
        x = x * 1103515245u + 12345u;
        v = uint8_t(x >> 24);
    }
    return b;
}

TBitmap24 ScreenedPicture(int32_t w, int32_t h, double cell) {
    const double angles[3] = {15.0, 75.0, 45.0};
    TBitmap24 b(w, h);
    for (int32_t r = 0; r < h; ++r)
        for (int32_t c = 0; c < w; ++c)
            for (int p = 0; p < 3; ++p) {
                const double x = double(c) / w, y = double(r) / h;
                const double disc =
                    std::exp(-((x - 0.6) * (x - 0.6) + (y - 0.4) * (y - 0.4)) * 18.0);
                double v = 128.0 + 50.0 * std::sin(6.0 * x + p) * std::cos(4.0 * y) + 60.0 * disc -
                           20.0 * p;
                if (cell > 0) {
                    const double a = angles[p] * std::numbers::pi / 180.0;
                    const double u = c * std::cos(a) + r * std::sin(a),
                                 t = -c * std::sin(a) + r * std::cos(a);
                    const double k = 2.0 * std::numbers::pi / cell;
                    v += 35.0 * (std::cos(k * u) + std::cos(k * t));
                }
                b.Pixel(c, r)[p] = uint8_t(std::clamp(std::lround(v), 0L, 255L));
            }
    return b;
}

TSpectrumStore SpectrumOf(const TBitmap24& picture) {
    TSpectrumStore store;
    FillStoreFromBitmap(picture, store);
    TNoProgress quiet;
    TransformStore(store, TTransformDirection::Forward, nullptr, quiet);
    return store;
}

TTempDir::TTempDir() {
    std::random_device rd;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / ("pixmend-test-" + std::to_string(rd()));
        if (std::filesystem::create_directory(candidate)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TTempDir::~TTempDir() {
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

std::vector<uint8_t> ReadFileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + name);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFileBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + name);
}

namespace {

TCliRun RunShell(const std::string& command) {
    TCliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> buf{};
    size_t got;
    while ((got = fread(buf.data(), 1, buf.size(), pipe)) > 0) run.out.append(buf.data(), got);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}

} // namespace

TCliRun RunCli(const std::string& arguments) {
    return RunShell(std::string(PIXMEND_CLI_PATH) + " " + arguments + " 2>&1");
}

TCliRun RunCliErrors(const std::string& arguments) {
    return RunShell(std::string(PIXMEND_CLI_PATH) + " " + arguments + " 2>&1 >/dev/null");
}

void SetTiffShortTag(std::vector<uint8_t>& tif, uint16_t tag, uint16_t value) {
    if (tif.size() < 8 || tif[0] != 'I' || tif[1] != 'I')
        throw std::runtime_error("not a little-endian TIFF");
    const auto u16 = [&](size_t at) { return unsigned(tif.at(at) | tif.at(at + 1) << 8); };
    const size_t ifd = u16(4) | size_t(u16(6)) << 16;
    for (unsigned e = 0; e < u16(ifd); ++e) {
        const size_t entry = ifd + 2 + 12 * e;
        if (u16(entry) == tag) {
            tif.at(entry + 8) = uint8_t(value);
            tif.at(entry + 9) = uint8_t(value >> 8);
            return;
        }
    }
    throw std::runtime_error("no tag " + std::to_string(tag) + " in the first directory");
}
