#include "tests/support/test_support.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
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

TCliRun RunCli(const std::string& arguments) {
    TCliRun run;
    const std::string command = std::string(PIXMEND_CLI_PATH) + " " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    std::array<char, 4096> buf{};
    size_t got;
    while ((got = fread(buf.data(), 1, buf.size(), pipe)) > 0) run.out.append(buf.data(), got);
    const int raw = pclose(pipe);
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return run;
}
