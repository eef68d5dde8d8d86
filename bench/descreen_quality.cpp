// How well halftone screens are removed: photographs are printed with rotated
// CMYK round-dot screens and scanned back at twice and at once the print's
// resolution (bench/halftone_sim.h), then cleaned by each method and scored
// against the photograph itself with PSNR and SSIM (bench/image_quality.h;
// scans at 2x are reduced by 2 x 2 means first).
//
// usage: descreen_quality [PHOTO|FOLDER...] [--images N] [--only 2x|1x]
//                         [--strength S] [--dump DIR]
//
// Without photos it takes a default set from Debian packages that
// `PIXMEND_BENCH_DATA=1 scripts/install-deps.sh` installs. Every run with the
// same photos prints the same table: the screens, rulings, angles, blur and
// noise are drawn from fixed seeds per image.

#include "app/image_file.h"
#include "bench/halftone_sim.h"
#include "bench/image_quality.h"
#include "filter/apply_filter.h"
#include "filter/filter_list.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"
#include "spectral/transform.h"

#if __has_include("filter/descreen.h")
#include "filter/descreen.h"
#define PIXMEND_BENCH_HAVE_DESCREEN 1
#else
#define PIXMEND_BENCH_HAVE_DESCREEN 0
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Real photographs of varied content: landscape, close-up texture, bright
// and dark scenes, saturated colours, a face of fur, lettering, buildings,
// people.
const char* const kDefaultPhotos[] = {
    "/usr/share/backgrounds/mate/nature/Dune.jpg",
    "/usr/share/backgrounds/mate/nature/YellowFlower.jpg",
    "/usr/share/backgrounds/mate/nature/Wood.jpg",
    "/usr/share/backgrounds/mate/nature/Storm.jpg",
    "/usr/share/backgrounds/mate/nature/LadyBird.jpg",
    "/usr/share/doc/opencv-doc/examples/data/baboon.jpg",
    "/usr/share/doc/opencv-doc/examples/text/scenetext01.jpg",
    "/usr/share/doc/opencv-doc/examples/data/building.jpg",
    "/usr/share/doc/opencv-doc/examples/data/leuvenA.jpg",
    "/usr/share/doc/opencv-doc/examples/data/messi5.jpg",
};
// The photograph printed without a screen for the control.
const char* const kControlPhoto = "/usr/share/doc/opencv-doc/examples/data/fruits.jpg";

// The print's size: photographs are reduced to fit this.
constexpr int32_t kMaxPrintWidth = 1000;
constexpr int32_t kMaxPrintHeight = 800;

struct TScore {
    double Psnr = NAN;
    double Ssim = NAN;
};

struct TMethodScores {
    std::optional<TScore> Scan[2]; // [0] 2x, [1] 1x
    double Sigma[2] = {NAN, NAN};  // best blur only
    long Entries[2] = {-1, -1};    // automatic descreen only: the filter entries it applied
};

enum TMethod { kRaw, kBlur, kAuto, kOracle, kMethodCount };
const char* const kMethodNames[kMethodCount] = {
    "raw scan", "best Gaussian blur", "automatic descreen", "oracle: best damping per coefficient"};

// The screen angles' assignments to cyan, magenta, yellow and black that
// printers use; yellow, the least visible, always takes 0 degrees.
const double kAngleSets[][4] = {{15.0, 75.0, 0.0, 45.0},
                                {75.0, 15.0, 0.0, 45.0},
                                {15.0, 45.0, 0.0, 75.0},
                                {45.0, 75.0, 0.0, 15.0}};

struct TOptions {
    std::vector<std::string> Photos;
    size_t Images = 0; // 0: all
    bool Do2x = true;
    bool Do1x = true;
    double Strength = 1.0;
    std::string DumpFolder;
    bool UserPhotos = false; // photographs given on the command line
};

[[noreturn]] void Usage(const std::string& error) {
    if (!error.empty()) std::fprintf(stderr, "descreen_quality: %s\n", error.c_str());
    std::fprintf(stderr, "usage: descreen_quality [PHOTO|FOLDER...] [--images N] [--only 2x|1x] "
                         "[--strength S] [--dump DIR]\n");
    std::exit(2);
}

bool IsPicture(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".jpg" || ext == ".jpeg" || ext == ".png" || ext == ".bmp" || ext == ".tif" ||
           ext == ".tiff";
}

TOptions ParseOptions(int argc, char** argv) {
    TOptions o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) Usage(a + " needs a value");
            return argv[++i];
        };
        if (a == "--images") {
            const int n = std::atoi(value().c_str());
            if (n < 1) Usage("--images needs a positive number");
            o.Images = size_t(n);
        } else if (a == "--only") {
            const std::string v = value();
            if (v == "2x")
                o.Do1x = false;
            else if (v == "1x")
                o.Do2x = false;
            else
                Usage("--only takes 2x or 1x");
        } else if (a == "--strength") {
            o.Strength = std::atof(value().c_str());
        } else if (a == "--dump") {
            o.DumpFolder = value();
        } else if (a == "--help" || a == "-h") {
            Usage("");
        } else if (!a.empty() && a[0] == '-') {
            Usage("unknown option " + a);
        } else if (fs::is_directory(a)) {
            std::vector<std::string> found;
            for (const auto& e : fs::directory_iterator(a))
                if (e.is_regular_file() && IsPicture(e.path())) found.push_back(e.path().string());
            std::sort(found.begin(), found.end());
            o.Photos.insert(o.Photos.end(), found.begin(), found.end());
        } else {
            o.Photos.push_back(a);
        }
    }
    o.UserPhotos = !o.Photos.empty();
    if (o.Photos.empty()) {
        for (const char* p : kDefaultPhotos) {
            if (fs::exists(p))
                o.Photos.push_back(p);
            else
                std::fprintf(
                    stderr,
                    "descreen_quality: missing %s (PIXMEND_BENCH_DATA=1 scripts/install-deps.sh)\n",
                    p);
        }
    }
    if (o.Images > 0 && o.Photos.size() > o.Images) o.Photos.resize(o.Images);
    return o;
}

int32_t LargestPrimeFactor(int32_t n) {
    int32_t largest = 1;
    for (int32_t p = 2; p * p <= n; ++p)
        while (n % p == 0) {
            largest = p;
            n /= p;
        }
    return std::max(largest, n);
}

// The largest length up to n whose transform lengths at 1x and at 2x
// (2n - 1 and 4n - 1) have only small prime factors, so that no method's
// time goes into a slow FFT length.
int32_t FriendlyLength(int32_t n) {
    for (int32_t m = n; m > 16; --m)
        if (LargestPrimeFactor(2 * m - 1) <= 61 && LargestPrimeFactor(4 * m - 1) <= 61) return m;
    return n;
}

// The photograph at print size: reduced to fit, cropped around its centre to
// a friendly size.
TBitmap24 PrintPicture(const TBitmap24& photo) {
    const double scale = std::min(
        {1.0, double(kMaxPrintWidth) / photo.Width, double(kMaxPrintHeight) / photo.Height});
    const int32_t w =
        FriendlyLength(std::max<int32_t>(17, int32_t(std::lround(photo.Width * scale))));
    const int32_t h =
        FriendlyLength(std::max<int32_t>(17, int32_t(std::lround(photo.Height * scale))));
    const int32_t cw = std::min<int32_t>(photo.Width, int32_t(std::lround(w / scale)));
    const int32_t ch = std::min<int32_t>(photo.Height, int32_t(std::lround(h / scale)));
    const int32_t x0 = (photo.Width - cw) / 2, y0 = (photo.Height - ch) / 2;
    TBitmap24 crop(cw, ch);
    for (int32_t r = 0; r < ch; ++r)
        std::copy_n(photo.Pixel(x0, y0 + r), size_t(cw) * 3u, crop.Row(r));
    return ResizeByArea(crop, w, h);
}

TScore Score(const TBitmap24& result, int32_t factor, const TImageF& reference) {
    TImageF f = ToFloatImage(result);
    if (factor == 2) f = Reduce2x2(f);
    return {Psnr(f, reference), Ssim(f, reference)};
}

// The blur whose result scores the best PSNR, found by a golden-section
// search over log sigma (PSNR against sigma has one peak); SSIM is scored
// for that blur only.
TScore BestBlur(const TBitmap24& scan, int32_t factor, const TImageF& reference,
                double& bestSigma) {
    const TImageF input = ToFloatImage(scan);
    auto blurred = [&](double sigma) {
        TImageF f = ToFloatImage(ToBitmap(GaussianBlur(input, sigma)));
        return factor == 2 ? Reduce2x2(f) : f;
    };
    auto eval = [&](double logSigma) { return Psnr(blurred(std::exp(logSigma)), reference); };
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    double a = std::log(0.2), b = std::log(6.0);
    double c = b - g * (b - a), d = a + g * (b - a);
    double pc = eval(c), pd = eval(d);
    while (b - a > 0.04) {
        if (pc >= pd) {
            b = d;
            d = c;
            pd = pc;
            c = b - g * (b - a);
            pc = eval(c);
        } else {
            a = c;
            c = d;
            pc = pd;
            d = a + g * (b - a);
            pd = eval(d);
        }
    }
    bestSigma = std::exp(pc >= pd ? c : d);
    const TImageF best = blurred(bestSigma);
    return {Psnr(best, reference), Ssim(best, reference)};
}

// Time spent in the automatic descreen, transforms included.
double gAutoSeconds = 0.0;
size_t gAutoRuns = 0;

// The store is filled from the scan, cleaned and rendered as the image view
// shows it, which is exactly what the command-line tool writes.
// entries receives the number of filter entries it applied.
std::optional<TBitmap24> AutoDescreen(const TBitmap24& scan, double strength,
                                      long* entries = nullptr) {
#if PIXMEND_BENCH_HAVE_DESCREEN
    const auto started = std::chrono::steady_clock::now();
    TSpectrumStore store;
    FillStoreFromBitmap(scan, store);
    TNoProgress progress;
    TDescreenOptions options;
    options.Strength = strength;
    const TFilterList applied = DescreenStore(store, progress, options);
    if (entries) *entries = long(applied.EntryCount());
    TBitmap24 out = RenderStore(store, true, 0);
    gAutoSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ++gAutoRuns;
    return out;
#else
    (void)scan;
    (void)strength;
    (void)entries;
    return std::nullopt;
#endif
}

// Every pixel becomes a 2 x 2 block: the picture at a 2x scan's size, whose
// 2 x 2 means are the picture again.
TBitmap24 Enlarge2x(const TBitmap24& picture) {
    TBitmap24 out(picture.Width * 2, picture.Height * 2);
    for (int32_t r = 0; r < out.Height; ++r)
        for (int32_t c = 0; c < out.Width; ++c)
            std::copy_n(picture.Pixel(c / 2, r / 2), 3, out.Pixel(c, r));
    return out;
}

// What damping alone could reach if it knew the answer: every coefficient of
// the scan's spectrum is scaled towards the target's, by a factor between 0
// and 1. No method can get there; it shows how much is left to gain.
TBitmap24 OracleDamping(const TBitmap24& scan, const TBitmap24& target) {
    TSpectrumStore store, wanted;
    FillStoreFromBitmap(scan, store);
    FillStoreFromBitmap(target, wanted);
    TNoProgress progress;
    TransformStore(store, TTransformDirection::Forward, nullptr, progress);
    TransformStore(wanted, TTransformDirection::Forward, nullptr, progress);
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < store.CellCount(); ++i) {
            const float have = store.Planes[p][i], want = wanted.Planes[p][i];
            if (have != 0.0f)
                store.Planes[p][i] = float(have * std::clamp(double(want) / have, 0.0, 1.0));
        }
    TransformStore(store, TTransformDirection::Inverse, nullptr, progress);
    return RenderStore(store, true, 0);
}

void Dump(const TOptions& o, const std::string& name, const TBitmap24& image) {
    if (o.DumpFolder.empty()) return;
    WriteImageFile((fs::path(o.DumpFolder) / (name + ".bmp")).string(), image);
}

std::string Cell(const std::optional<TScore>& s, bool psnr) {
    char buf[32];
    if (!s) return "      -";
    std::snprintf(buf, sizeof buf, psnr ? "%7.2f" : " %6.4f", psnr ? s->Psnr : s->Ssim);
    return buf;
}

void PrintRow(const std::string& label, const TMethodScores& m) {
    std::printf("  %-36s %s %s   %s %s\n", label.c_str(), Cell(m.Scan[0], true).c_str(),
                Cell(m.Scan[0], false).c_str(), Cell(m.Scan[1], true).c_str(),
                Cell(m.Scan[1], false).c_str());
}

// The automatic descreen's row names how many filter entries it applied to
// the 2x and the 1x scan ("-" where it did not run).
std::string AutoLabel(const TMethodScores& m) {
    std::string label = kMethodNames[kAuto];
    if (m.Entries[0] < 0 && m.Entries[1] < 0) return label;
    auto count = [](long n) { return n < 0 ? std::string("-") : std::to_string(n); };
    return label + " (" + count(m.Entries[0]) + "/" + count(m.Entries[1]) + " entries)";
}

void PrintHeader() {
    std::printf("  %-36s %7s %7s   %7s %7s\n", "method", "2x PSNR", "SSIM", "1x PSNR", "SSIM");
}

// The bundled sample's hand-made filter marks the peaks of the sample's own
// screen: 5.5 print pixels per cell at the standard angles, no page
// rotation, scanned at the print's resolution. It fits no other screen, so
// it is scored on a print made like the sample.
void RunSampleScreenCase(const TOptions& o, const std::string& path) {
    if (!o.Do1x) return;
    const std::string name = fs::path(path).stem().string();
    const TBitmap24 picture = PrintPicture(ReadImageFile(path));
    const TImageF reference = ToFloatImage(picture);
    TScreenSetup screen;
    screen.CellPixels = 5.5;
    screen.PageRotation = 0.0;
    screen.BlackShare = 0.6;
    const TScanSetup scanSetup{1, 0.5, 1.0, 5501u};
    const TBitmap24 scan = ScanPage(PrintHalftone(picture, screen), scanSetup);
    Dump(o, name + "_sample_screen_scan1x", scan);

    TMethodScores raw, blur, automatic, hand;
    raw.Scan[1] = Score(scan, 1, reference);
    blur.Scan[1] = BestBlur(scan, 1, reference, blur.Sigma[1]);
    if (auto cleaned = AutoDescreen(scan, o.Strength, &automatic.Entries[1]))
        automatic.Scan[1] = Score(*cleaned, 1, reference);
    TFilterList filter;
    filter.LoadFilterFile(std::string(PIXMEND_SOURCE_DIR) + "/samples/halftone.flt");
    TSpectrumStore store;
    FillStoreFromBitmap(scan, store);
    TNoProgress progress;
    ApplyFilterToStore(store, filter, progress);
    hand.Scan[1] = Score(RenderStore(store, true, 0), 1, reference);

    std::printf(
        "\nThe bundled sample's screen (5.5 px per cell, no page rotation, 1x scan only) on %s\n",
        name.c_str());
    PrintHeader();
    PrintRow(kMethodNames[kRaw], raw);
    char label[64];
    std::snprintf(label, sizeof label, "%s (sigma %.2f)", kMethodNames[kBlur], blur.Sigma[1]);
    PrintRow(label, blur);
    PrintRow(AutoLabel(automatic), automatic);
    PrintRow("hand-made filter samples/halftone.flt", hand);
}

// A photograph scanned without any screen: the descreen must leave it
// practically unchanged.
void RunControl(const TOptions& o, const std::string& path) {
    const std::string name = fs::path(path).stem().string();
    const TBitmap24 picture = PrintPicture(ReadImageFile(path));
    const TImageF reference = ToFloatImage(picture);
    const TPrintedPage page = PrintContone(picture);
    TMethodScores raw, automatic;
    std::optional<double> unchanged[2];
    for (int s = 0; s < 2; ++s) {
        if ((s == 0 && !o.Do2x) || (s == 1 && !o.Do1x)) continue;
        const int32_t factor = s == 0 ? 2 : 1;
        const TBitmap24 scan = ScanPage(page, {factor, 0.5, 1.0, 4500u + uint32_t(s)});
        Dump(o, name + (s == 0 ? "_unscreened_scan2x" : "_unscreened_scan1x"), scan);
        raw.Scan[s] = Score(scan, factor, reference);
        if (auto cleaned = AutoDescreen(scan, o.Strength, &automatic.Entries[s])) {
            automatic.Scan[s] = Score(*cleaned, factor, reference);
            unchanged[s] = Psnr(ToFloatImage(*cleaned), ToFloatImage(scan));
        }
    }
    std::printf("\nControl: %s scanned without a screen (blur 0.5 px, noise 1.0)\n", name.c_str());
    PrintHeader();
    PrintRow(kMethodNames[kRaw], raw);
    PrintRow(AutoLabel(automatic), automatic);
    std::printf("  automatic descreen against its input (practically unchanged: >= 45 dB):");
    for (int s = 0; s < 2; ++s)
        if (unchanged[s])
            std::printf(" %s %.2f dB%s", s == 0 ? "2x" : "1x", *unchanged[s],
                        *unchanged[s] >= 45.0 ? "" : " (TOO MUCH CHANGED)");
    if (!unchanged[0] && !unchanged[1]) std::printf(" -");
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    const TOptions o = ParseOptions(argc, argv);
    if (o.Photos.empty()) Usage("no photographs");
    if (!o.DumpFolder.empty()) fs::create_directories(o.DumpFolder);
    const auto started = std::chrono::steady_clock::now();

    std::printf(
        "Descreen quality: PSNR (dB, all three channels) and SSIM (luminance, Gaussian window "
        "1.5)\n"
        "against the unscreened picture; 2x scans reduced by 2 x 2 means before scoring.\n");
    if (!PIXMEND_BENCH_HAVE_DESCREEN)
        std::printf("(the automatic descreen is not built yet: its row stays empty)\n");

    std::vector<size_t> counts[2] = {std::vector<size_t>(kMethodCount),
                                     std::vector<size_t>(kMethodCount)};
    std::vector<TMethodScores> means(kMethodCount);
    for (auto& m : means)
        for (auto& s : m.Scan) s = TScore{0.0, 0.0};

    for (size_t index = 0; index < o.Photos.size(); ++index) {
        const auto t0 = std::chrono::steady_clock::now();
        const std::string path = o.Photos[index];
        const std::string name = fs::path(path).stem().string();
        TBitmap24 picture;
        try {
            picture = PrintPicture(ReadImageFile(path));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "descreen_quality: %s: %s\n", path.c_str(), e.what());
            return 1;
        }
        std::mt19937 gen(uint32_t(20261208u + index * 7919u));
        std::uniform_real_distribution<double> unit(0.0, 1.0);
        auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * unit(gen); };
        TScreenSetup screen;
        screen.CellPixels = uniform(1.7, 2.3);
        screen.PageRotation = uniform(0.3, 1.5) * (unit(gen) < 0.5 ? -1.0 : 1.0);
        screen.BlackShare = uniform(0.4, 0.9);
        for (auto& ph : screen.Phase) ph[0] = unit(gen), ph[1] = unit(gen);
        TScanSetup scans[2];
        scans[0] = {2, uniform(0.4, 0.8), uniform(0.5, 2.0), uint32_t(gen())};
        scans[1] = {1, uniform(0.35, 0.6), uniform(0.5, 2.0), uint32_t(gen())};
        const size_t angleSet = size_t(gen() % std::size(kAngleSets));
        std::copy_n(kAngleSets[angleSet], 4, screen.InkAngles);

        const TImageF reference = ToFloatImage(picture);
        const TPrintedPage page = PrintHalftone(picture, screen);
        Dump(o, name + "_reference", picture);

        std::vector<TMethodScores> rows(kMethodCount);
        for (int s = 0; s < 2; ++s) {
            if ((s == 0 && !o.Do2x) || (s == 1 && !o.Do1x)) continue;
            const TBitmap24 scan = ScanPage(page, scans[s]);
            Dump(o, name + (s == 0 ? "_scan2x" : "_scan1x"), scan);
            rows[kRaw].Scan[s] = Score(scan, scans[s].Factor, reference);
            rows[kBlur].Scan[s] = BestBlur(scan, scans[s].Factor, reference, rows[kBlur].Sigma[s]);
            if (auto cleaned = AutoDescreen(scan, o.Strength, &rows[kAuto].Entries[s])) {
                rows[kAuto].Scan[s] = Score(*cleaned, scans[s].Factor, reference);
                Dump(o, name + (s == 0 ? "_auto2x" : "_auto1x"), *cleaned);
            }
            rows[kOracle].Scan[s] =
                Score(OracleDamping(scan, scans[s].Factor == 2 ? Enlarge2x(picture) : picture),
                      scans[s].Factor, reference);
        }
        std::printf("\n%s (%d x %d print, %.2f px per cell, CMYK at %g/%g/%g/%g deg, page %+.2f "
                    "deg; scan blur %.2f/%.2f px, noise %.1f/%.1f)\n",
                    name.c_str(), picture.Width, picture.Height, screen.CellPixels,
                    screen.InkAngles[0], screen.InkAngles[1], screen.InkAngles[2],
                    screen.InkAngles[3], screen.PageRotation, scans[0].BlurSigma,
                    scans[1].BlurSigma, scans[0].NoiseSigma, scans[1].NoiseSigma);
        PrintHeader();
        for (int m = 0; m < kMethodCount; ++m) {
            std::string label = kMethodNames[m];
            if (m == kBlur) {
                char buf[64];
                std::snprintf(buf, sizeof buf, " (sigma %.2f/%.2f)", rows[m].Sigma[0],
                              rows[m].Sigma[1]);
                label += buf;
            }
            if (m == kAuto) label = AutoLabel(rows[m]);
            PrintRow(label, rows[m]);
            for (int s = 0; s < 2; ++s)
                if (rows[m].Scan[s]) {
                    means[m].Scan[s]->Psnr += rows[m].Scan[s]->Psnr;
                    means[m].Scan[s]->Ssim += rows[m].Scan[s]->Ssim;
                    ++counts[s][size_t(m)];
                }
        }
        std::fflush(stdout);
        std::fprintf(stderr, "%s: %.1f s\n", name.c_str(),
                     std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }

    std::printf("\nMean over %zu photographs\n", o.Photos.size());
    std::printf("  %-36s %7s %7s   %7s %7s   %8s\n", "method", "2x PSNR", "SSIM", "1x PSNR", "SSIM",
                "all PSNR");
    for (int m = 0; m < kMethodCount; ++m) {
        TMethodScores mean;
        double all = 0.0;
        size_t allCount = 0;
        for (int s = 0; s < 2; ++s)
            if (counts[s][size_t(m)] > 0) {
                const double n = double(counts[s][size_t(m)]);
                mean.Scan[s] = TScore{means[m].Scan[s]->Psnr / n, means[m].Scan[s]->Ssim / n};
                all += means[m].Scan[s]->Psnr;
                allCount += counts[s][size_t(m)];
            }
        std::printf("  %-36s %s %s   %s %s   ", kMethodNames[m], Cell(mean.Scan[0], true).c_str(),
                    Cell(mean.Scan[0], false).c_str(), Cell(mean.Scan[1], true).c_str(),
                    Cell(mean.Scan[1], false).c_str());
        if (allCount > 0)
            std::printf("%8.2f\n", all / double(allCount));
        else
            std::printf("%8s\n", "-");
    }

    try {
        RunSampleScreenCase(o, o.Photos.front());
        RunControl(o,
                   o.UserPhotos || !fs::exists(kControlPhoto) ? o.Photos.front() : kControlPhoto);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "descreen_quality: %s\n", e.what());
        return 1;
    }
    if (gAutoRuns > 0)
        std::printf(
            "\nautomatic descreen: %.2f s per scan on average (%zu scans, transforms included)\n",
            gAutoSeconds / double(gAutoRuns), gAutoRuns);
    std::fprintf(stderr, "total: %.1f s\n",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return 0;
}
