// Speed of applying a filter to a folder of scans, as pixmend-cli apply does:
// 50 images of 1000 x 1000 pixels (bitmaps made in a temporary folder), a
// filter of 20 smoothing entries and one resize to 50 %, run with one job and
// with one job per core. Reading and writing the files is included. The
// results of the two runs are compared byte for byte. The wall-clock rate
// needs an otherwise idle machine.
//
// Usage: apply_bench [--images N] [--size WxH]

#include "bench/scan_picture.h"
#include "filter/batch_runner.h"
#include "imagefile/image_file.h"
#include "spectral/thread_team.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

TFilterList BenchFilter() {
    TFilterList f;
    for (int i = 0; i < 20; ++i) {
        const float x = 0.05f + 0.04f * float(i), y = 0.9f - 0.04f * float(i);
        f.AppendEntry(i % 2 == 0 ? kFilterRectangle : kFilterEllipse, x, x + 0.03f, y, y + 0.02f);
    }
    f.AppendEntry(kFilterResizeBase, 50.0f, 0, 0, 0); // to 50 percent
    return f;
}

std::string Bytes(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

int main(int argc, char** argv) {
    int images = 50;
    int32_t w = 1000, h = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--images"))
            images = std::max(1, std::atoi(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--size") &&
                 std::sscanf(argv[i + 1], "%dx%d", &w, &h) == 2) {
        } else {
            std::fprintf(stderr, "usage: apply_bench [--images N] [--size WxH]\n");
            return 2;
        }
    }
    const fs::path dir =
        fs::temp_directory_path() / ("pixmend-apply-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir / "in");
    std::vector<std::string> sources;
    for (int i = 0; i < images; ++i) {
        sources.push_back((dir / "in" / ("scan" + std::to_string(i) + ".bmp")).string());
        WriteImageFile(sources.back(), Scan(w, h, i));
    }
    const TFilterList filter = BenchFilter();
    const unsigned cores = unsigned(AvailableProcessors());
    std::printf("apply: %d images of %d x %d, %zu filter entries, %u cores\n", images, w, h,
                filter.EntryCount(), cores);
    int status = 0;
    std::vector<std::string> first;
    for (unsigned jobs : {1u, cores}) {
        const fs::path out = dir / ("out" + std::to_string(jobs));
        fs::create_directories(out);
        const auto plan = PlanBatchFiles(sources, out.string());
        const auto start = Clock::now();
        const std::clock_t cpuStart = std::clock();
        TBatchOptions options;
        options.Jobs = jobs;
        const size_t failed =
            RunBatch(plan, FilterFileWork(filter), ImageFileAccess(), options).Failed;
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        // CPU seconds per image tell the cost even on a machine busy with
        // other work, where the wall-clock rate does not.
        std::printf("  %2u job%s: %7.2f s  %6.2f images/s  %.3f CPU s/image%s\n", jobs,
                    jobs == 1 ? " " : "s", s, images / s, cpu / images,
                    failed ? "  (FAILURES)" : "");
        if (failed) status = 1;
        std::vector<std::string> results;
        for (const auto& job : plan) results.push_back(Bytes(job.Target));
        if (first.empty())
            first = results;
        else if (results != first) {
            std::printf("  results differ from the one-job run\n");
            status = 1;
        }
        if (jobs == cores) break;
    }
    fs::remove_all(dir);
    return status;
}
