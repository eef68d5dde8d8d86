// How well halftone screens are removed at the settings people scan at:
// photographs are printed with rotated CMYK screens (bench/halftone_sim.h)
// and scanned back at 1.5 to 12 scan pixels per screen cell, as a 300, 600
// or 1200 dpi scan of a 65 to 175 lpi print would give, with the page laid
// up to 10 degrees askew, several ink angle sets, round and elliptical dots.
// Every scan is cleaned as a bitmap and again after a JPEG round trip
// (4:2:0, quality 85..95), and scored against the photograph itself with
// PSNR and SSIM (bench/image_quality.h). A page holding two pictures printed
// at different rulings and a photograph scanned without a screen complete
// the set.
//
// The rows: the raw scan; the best Gaussian blur and the ruling-tuned
// low-pass (a radial low-pass at k times the screen's fundamental frequency,
// k and its order chosen per image), both tuned knowing the answer; the
// automatic descreen with its defaults; and, as the ceiling, the best damping
// per coefficient knowing the answer, which no method can reach.
//
// usage: descreen_quality [PHOTO|FOLDER...] [--images N] [--quick]
//                         [--strength S] [--dump DIR] [--speed WxH|SCAN]
//                         [--peers FILE] [--size WxH]
//        descreen_quality PHOTO --make-scan OUT --page WxH [--cell P]
//                         [--rotation D] [--factor F] [--jpeg Q]
//
// --peers keeps the scores of the methods other than the descreen (raw scan,
// blur, low-pass, ceiling) in FILE: read from it for the cases it holds,
// computed and added to it for the others. They depend only on the scans,
// which come from fixed seeds, so a run that changes only the descreen
// takes a fraction of the time; delete the file when the simulation or the
// scoring changes.
//
// --size prints a crop of W x H print pixels (default 448x352) from each
// photograph, reduced as much less as the crop is larger, so that it shows
// the same part of the photograph in more detail: the same cases at the
// sizes of real scans' pictures (a tenth of an A4 page at 600 dpi is about
// 1400x1000), where a screen's peaks stand out far more than on the small
// default crop.
//
// --speed times the descreen in-process on a page of W x H pixels (an A4
// page at 300 dpi is 2480x3508) against a transform there and back: a
// screened scan tile repeated over the page, or the scan in file SCAN (as
// --make-scan writes them), the best of three runs.
//
// --make-scan writes one simulated scan of a whole page instead, for timing
// and comparing the command-line tool on files: the photograph cropped to the
// page's proportions and stretched over W x H print pixels, printed at P
// print pixels a cell (default 5) with the page D degrees askew (default 2),
// scanned at F (1 or 2) scan pixels a print pixel and written as OUT (its
// extension names the format), after a JPEG round trip at quality Q when
// given. A4 at 300 dpi is --page 2480x3508; --factor 2 makes it 600 dpi.
//
// Without photos it takes a default set from Debian packages that
// `PIXMEND_BENCH_DATA=1 scripts/install-deps.sh` installs. Every run with the
// same photos prints the same table: screens, rulings, angles, blur, noise
// and JPEG qualities are drawn from fixed seeds per image.

#include "bench/halftone_sim.h"
#include "bench/image_quality.h"
#include "bench/jpeg_scan.h"
#include "filter/apply_filter.h"
#include "filter/descreen.h"
#include "filter/filter_list.h"
#include "imagefile/image_file.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"
#include "spectral/thread_team.h"
#include "spectral/transform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Real photographs of varied content: landscape, close-up texture, bright
// and dark scenes, saturated colours, a face of fur, lettering, buildings,
// people.
const char* const kDefaultPhotos[] = {
    "/usr/share/backgrounds/mate/nature/Dune.jpg",
    "/usr/share/doc/opencv-doc/examples/data/baboon.jpg",
    "/usr/share/backgrounds/mate/nature/YellowFlower.jpg",
    "/usr/share/doc/opencv-doc/examples/data/building.jpg",
    "/usr/share/backgrounds/mate/nature/Storm.jpg",
    "/usr/share/doc/opencv-doc/examples/data/messi5.jpg",
    "/usr/share/backgrounds/mate/nature/Wood.jpg",
    "/usr/share/doc/opencv-doc/examples/text/scenetext01.jpg",
    "/usr/share/backgrounds/mate/nature/LadyBird.jpg",
    "/usr/share/doc/opencv-doc/examples/data/leuvenA.jpg",
};
// The photograph printed without a screen for the control.
const char* const kControlPhoto = "/usr/share/doc/opencv-doc/examples/data/fruits.jpg";

// Photographs are first reduced to fit this (the detail a print of them
// holds per pixel), then a crop of the print size is taken from the centre.
constexpr int32_t kReduceWidth = 1000;
constexpr int32_t kReduceHeight = 800;

// The bands of scan pixels per screen cell that the table reports.
constexpr int kBands = 4;
const double kBandLimits[kBands + 1] = {1.5, 2.5, 5.0, 8.0, 12.0};
const char* const kBandNames[kBands] = {"< 2.5 px/cell", "2.5-5 px/cell", "5-8 px/cell",
                                        "> 8 px/cell"};

// Screen angles of cyan, magenta, yellow and black that printers use:
// yellow at 0 or between two others, and sets turned by 90 degrees.
const double kAngleSets[][4] = {{15.0, 75.0, 0.0, 45.0}, {75.0, 15.0, 0.0, 45.0},
                                {15.0, 45.0, 0.0, 75.0}, {105.0, 75.0, 90.0, 45.0},
                                {15.0, 75.0, 7.5, 45.0}, {45.0, 75.0, 0.0, 15.0}};

enum TMethod { kRaw, kBlur, kLowPass, kAuto, kCeiling, kMethodCount };
const char* const kMethodNames[kMethodCount] = {
    "raw scan", "best blur (sigma per image)", "ruling-tuned low-pass (k, order per image)",
    "descreen defaults", "ceiling: best damping per coefficient"};

struct TScore {
    double Psnr = NAN;
    double Ssim = NAN;
};

struct TOptions {
    std::vector<std::string> Photos;
    size_t Images = 0; // 0: the default count
    bool Quick = false;
    double Strength = 1.0;
    std::string DumpFolder;
    std::string PeersFile;
    bool UserPhotos = false;
    int32_t CropWidth = 448;
    int32_t CropHeight = 352;
    int32_t SpeedWidth = 0, SpeedHeight = 0;
    std::string SpeedScan;
    std::string ScanFile;
    int32_t PageWidth = 0, PageHeight = 0;
    double Cell = 5.0, Rotation = 2.0;
    int32_t Factor = 1, Jpeg = 0;
};

[[noreturn]] void Usage(const std::string& error) {
    if (!error.empty()) std::fprintf(stderr, "descreen_quality: %s\n", error.c_str());
    std::fprintf(stderr, "usage: descreen_quality [PHOTO|FOLDER...] [--images N] [--quick] "
                         "[--strength S] [--dump DIR] [--speed WxH|SCAN] [--peers FILE] "
                         "[--size WxH]\n"
                         "       descreen_quality PHOTO --make-scan OUT --page WxH [--cell P] "
                         "[--rotation D] [--factor F] [--jpeg Q]\n");
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
        } else if (a == "--quick") {
            o.Quick = true;
        } else if (a == "--strength") {
            o.Strength = std::atof(value().c_str());
        } else if (a == "--speed") {
            const std::string v = value();
            if (fs::is_regular_file(v))
                o.SpeedScan = v;
            else if (std::sscanf(v.c_str(), "%dx%d", &o.SpeedWidth, &o.SpeedHeight) != 2 ||
                     o.SpeedWidth < 16 || o.SpeedHeight < 16)
                Usage("--speed takes WxH or a scan's file");
        } else if (a == "--make-scan") {
            o.ScanFile = value();
        } else if (a == "--page") {
            if (std::sscanf(value().c_str(), "%dx%d", &o.PageWidth, &o.PageHeight) != 2 ||
                o.PageWidth < 16 || o.PageHeight < 16)
                Usage("--page takes WxH");
        } else if (a == "--cell") {
            o.Cell = std::atof(value().c_str());
            if (!(o.Cell >= 1.0 && o.Cell <= 64.0)) Usage("--cell takes 1 to 64");
        } else if (a == "--rotation") {
            o.Rotation = std::atof(value().c_str());
        } else if (a == "--factor") {
            o.Factor = std::atoi(value().c_str());
            if (o.Factor != 1 && o.Factor != 2) Usage("--factor takes 1 or 2");
        } else if (a == "--jpeg") {
            o.Jpeg = std::atoi(value().c_str());
            if (o.Jpeg < 1 || o.Jpeg > 100) Usage("--jpeg takes 1 to 100");
        } else if (a == "--dump") {
            o.DumpFolder = value();
        } else if (a == "--peers") {
            o.PeersFile = value();
        } else if (a == "--size") {
            if (std::sscanf(value().c_str(), "%dx%d", &o.CropWidth, &o.CropHeight) != 2 ||
                o.CropWidth < 64 || o.CropHeight < 64 || o.CropWidth > 8192 || o.CropHeight > 8192)
                Usage("--size takes WxH, 64 to 8192 each");
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
    if (o.Quick) {
        o.CropWidth = 320;
        o.CropHeight = 256;
    }
    const size_t images = o.Images > 0 ? o.Images : (o.Quick ? 3 : 6);
    if (o.Photos.size() > images) o.Photos.resize(images);
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

// The largest length up to n whose transform length 2n - 1 has only small
// prime factors, so that no method's time goes into a slow FFT length.
int32_t FriendlyLength(int32_t n) {
    for (int32_t m = n; m > 16; --m)
        if (LargestPrimeFactor(2 * m - 1) <= 31) return m;
    return n;
}

// The photograph as printed: reduced to fit kReduceWidth x kReduceHeight,
// and the centre cropped to at most the print size, of friendly lengths.
TBitmap24 PrintPicture(const TBitmap24& photo, int32_t cropWidth, int32_t cropHeight) {
    const double grow = std::max(1.0, double(cropWidth) / 448.0);
    const double scale =
        std::min({1.0, grow * kReduceWidth / photo.Width, grow * kReduceHeight / photo.Height});
    const TBitmap24 reduced =
        scale < 1.0 ? ResizeByArea(photo, std::max<int32_t>(17, int32_t(photo.Width * scale)),
                                   std::max<int32_t>(17, int32_t(photo.Height * scale)))
                    : photo;
    const int32_t w = FriendlyLength(std::min(cropWidth, reduced.Width));
    const int32_t h = FriendlyLength(std::min(cropHeight, reduced.Height));
    const int32_t x0 = (reduced.Width - w) / 2, y0 = (reduced.Height - h) / 2;
    TBitmap24 crop(w, h);
    for (int32_t r = 0; r < h; ++r)
        std::copy_n(reduced.Pixel(x0, y0 + r), size_t(w) * 3u, crop.Row(r));
    return crop;
}

TScore Score(const TBitmap24& result, const TImageF& reference) {
    const TImageF f = ToFloatImage(result);
    return {Psnr(f, reference), Ssim(f, reference)};
}

// The maximum of f over [a, b] by golden-section search (f has one peak).
double GoldenMaximum(double a, double b, double tolerance, const std::function<double(double)>& f,
                     double& bestValue) {
    const double g = (std::sqrt(5.0) - 1.0) / 2.0;
    double c = b - g * (b - a), d = a + g * (b - a);
    double fc = f(c), fd = f(d);
    while (b - a > tolerance) {
        if (fc >= fd) {
            b = d;
            d = c;
            fd = fc;
            c = b - g * (b - a);
            fc = f(c);
        } else {
            a = c;
            c = d;
            fc = fd;
            d = a + g * (b - a);
            fd = f(d);
        }
    }
    bestValue = std::max(fc, fd);
    return fc >= fd ? c : d;
}

// The blur whose result scores the best PSNR (searched over log sigma); SSIM
// is scored for that blur only.
TScore BestBlur(const TBitmap24& scan, const TImageF& reference, double& bestSigma) {
    const TImageF input = ToFloatImage(scan);
    auto blurred = [&](double sigma) { return ToFloatImage(ToBitmap(GaussianBlur(input, sigma))); };
    double best = 0.0;
    bestSigma = std::exp(GoldenMaximum(
        std::log(0.2), std::log(8.0), 0.04,
        [&](double s) { return Psnr(blurred(std::exp(s)), reference); }, best));
    const TImageF f = blurred(bestSigma);
    return {Psnr(f, reference), Ssim(f, reference)};
}

TSpectrumStore SpectrumOf(const TBitmap24& image) {
    TSpectrumStore store;
    FillStoreFromBitmap(image, store);
    TNoProgress progress;
    TransformStore(store, TTransformDirection::Forward, nullptr, progress);
    return store;
}

TBitmap24 ImageOf(TSpectrumStore& store) {
    TNoProgress progress;
    TransformStore(store, TTransformDirection::Inverse, nullptr, progress);
    return RenderStore(store, true, 0);
}

// A scanner's descreen setting: a radial Butterworth low-pass whose cutoff is
// k times the screen's fundamental frequency (the finest ruling on the
// page's coarsest screen), k and the order chosen per image for the best
// PSNR.
TScore RulingLowPass(const TBitmap24& scan, double cellPixels, const TImageF& reference, bool quick,
                     double& bestK, int& bestOrder) {
    const TSpectrumStore spectrum = SpectrumOf(scan);
    const int32_t W = spectrum.Cols, H = spectrum.Rows;
    // Cell (c, r) lies at c / (2W), r / (2H) cycles per pixel; the screen at
    // 1 / cellPixels.
    const double fundamental = 1.0 / cellPixels;
    auto filtered = [&](double k, int order) {
        TSpectrumStore s = spectrum;
        const double cutoff = k * fundamental;
        for (int32_t r = 0; r < H; ++r)
            for (int32_t c = 0; c < W; ++c) {
                const double fx = c / (2.0 * W), fy = r / (2.0 * H);
                const double q = std::sqrt(fx * fx + fy * fy) / cutoff;
                const double gain = 1.0 / (1.0 + std::pow(q, 2.0 * order));
                const size_t i = size_t(r) * size_t(W) + size_t(c);
                for (auto& plane : s.Planes) plane[i] = float(plane[i] * gain);
            }
        return ImageOf(s);
    };
    const std::vector<int> orders = quick ? std::vector<int>{2, 6} : std::vector<int>{1, 2, 4, 8};
    double bestPsnr = -1.0;
    for (int order : orders) {
        double value = 0.0;
        const double k = GoldenMaximum(
            0.1, 1.2, 0.02,
            [&](double kk) { return Psnr(ToFloatImage(filtered(kk, order)), reference); }, value);
        if (value > bestPsnr) {
            bestPsnr = value;
            bestK = k;
            bestOrder = order;
        }
    }
    return Score(filtered(bestK, bestOrder), reference);
}

// Time spent in the automatic descreen, transforms included.
double gAutoSeconds = 0.0;
size_t gAutoRuns = 0;

// The store is filled from the scan, cleaned and rendered as the image view
// shows it, which is exactly what the command-line tool writes.
// The fundamental's radius the descreen anchored its damping on (0 if none).
double gAnchor = 0.0;

TBitmap24 AutoDescreen(const TBitmap24& scan, double strength, long& entries) {
    const auto started = std::chrono::steady_clock::now();
    TSpectrumStore store;
    FillStoreFromBitmap(scan, store);
    TNoProgress progress;
    TDescreenOptions options;
    options.Strength = strength;
    const TFilterList applied = DescreenStore(store, progress, options);
    entries = long(applied.EntryCount());
    gAnchor = 0.0;
    for (size_t i = 0; i < applied.EntryCount(); ++i)
        if (applied.GetEntry(i).typ == kFilterRuling || applied.GetEntry(i).typ == kFilterSidebands)
            gAnchor = applied.GetEntry(i).x1;
    TBitmap24 out = RenderStore(store, true, 0);
    gAutoSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ++gAutoRuns;
    return out;
}

// What damping alone could reach if it knew the answer: every coefficient of
// the scan's spectrum is scaled towards the target's, by a factor between 0
// and 1. No method can get there; it shows how much is left to gain.
TBitmap24 CeilingDamping(const TBitmap24& scan, const TBitmap24& target) {
    TSpectrumStore store = SpectrumOf(scan);
    const TSpectrumStore wanted = SpectrumOf(target);
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < store.CellCount(); ++i) {
            const float have = store.Planes[p][i], want = wanted.Planes[p][i];
            if (have != 0.0f)
                store.Planes[p][i] = float(have * std::clamp(double(want) / have, 0.0, 1.0));
        }
    return ImageOf(store);
}

void Dump(const TOptions& o, const std::string& name, const TBitmap24& image) {
    if (o.DumpFolder.empty()) return;
    WriteImageFile((fs::path(o.DumpFolder) / (name + ".bmp")).string(), image);
}

// One scan to clean: what was printed and how it was scanned and stored.
struct TCase {
    std::string Label;
    int Band = -1;           // -1: not in a band (two rulings, control)
    double CellPixels = 0.0; // the coarsest screen's, for the low-pass
    int JpegQuality = 0;     // 0: bitmap
};

struct TResult {
    TCase Case;
    std::optional<TScore> Scores[kMethodCount];
    long Entries = -1;
};

std::vector<TResult> gResults;

// The peers' scores kept from earlier runs (see --peers): per case, the
// PSNR and SSIM of every method but the descreen (-1 for none), then sigma,
// k and order.
std::map<std::string, std::vector<double>> gPeers;

void LoadPeers(const std::string& file) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string key;
        fields >> key;
        std::vector<double> values;
        double v = 0.0;
        while (fields >> v) values.push_back(v);
        if (values.size() == 2 * kMethodCount + 3) gPeers[key] = values;
    }
}

// Cleans one scan by every method and prints its rows.
void RunCase(const TOptions& o, const TCase& c, const TBitmap24& scan, const TBitmap24& picture,
             const std::string& dumpName) {
    const TImageF reference = ToFloatImage(picture);
    TResult result{c, {}, -1};
    double sigma = 0.0, k = 0.0;
    int order = 0;
    // Cases at other print sizes are other scans, kept under their own key.
    std::string key = dumpName;
    if (o.Quick) {
        key += "_quick";
    } else if (o.CropWidth != 448 || o.CropHeight != 352) {
        char size[32];
        std::snprintf(size, sizeof size, "_%dx%d", o.CropWidth, o.CropHeight);
        key += size;
    }
    const auto kept = gPeers.find(key);
    if (!o.PeersFile.empty() && kept != gPeers.end()) {
        const std::vector<double>& v = kept->second;
        for (int m = 0; m < kMethodCount; ++m)
            if (m != kAuto && v[size_t(2 * m)] >= 0.0)
                result.Scores[m] = TScore{v[size_t(2 * m)], v[size_t(2 * m + 1)]};
        sigma = v[2 * kMethodCount];
        k = v[2 * kMethodCount + 1];
        order = int(v[2 * kMethodCount + 2]);
    } else {
        result.Scores[kRaw] = Score(scan, reference);
        result.Scores[kBlur] = BestBlur(scan, reference, sigma);
        if (c.CellPixels > 0.0)
            result.Scores[kLowPass] =
                RulingLowPass(scan, c.CellPixels, reference, o.Quick, k, order);
        result.Scores[kCeiling] = Score(CeilingDamping(scan, picture), reference);
        if (!o.PeersFile.empty()) {
            std::ofstream out(o.PeersFile, std::ios::app);
            char buf[32];
            out << key;
            for (int m = 0; m < kMethodCount; ++m)
                for (const bool ssim : {false, true}) {
                    const double v = m == kAuto || !result.Scores[m] ? -1.0
                                     : ssim                          ? result.Scores[m]->Ssim
                                                                     : result.Scores[m]->Psnr;
                    std::snprintf(buf, sizeof buf, " %.17g", v);
                    out << buf;
                }
            out << ' ' << sigma << ' ' << k << ' ' << order << '\n';
        }
    }
    const TBitmap24 cleaned = AutoDescreen(scan, o.Strength, result.Entries);
    result.Scores[kAuto] = Score(cleaned, reference);
    Dump(o, dumpName + "_scan", scan);
    Dump(o, dumpName + "_descreen", cleaned);

    std::printf("  %-58s", c.Label.c_str());
    for (int m = 0; m < kMethodCount; ++m)
        if (result.Scores[m])
            std::printf(" %6.2f %5.3f", result.Scores[m]->Psnr, result.Scores[m]->Ssim);
        else
            std::printf(" %6s %5s", "-", "-");
    // The anchor against the coarsest screen's true fundamental radius.
    std::printf("  [sigma %.2f, k %.2f n %d, %ld entries, anchor %.3f of %.3f]\n", sigma, k, order,
                result.Entries, gAnchor, c.CellPixels > 0.0 ? 2.0 / c.CellPixels : 0.0);
    std::fflush(stdout);
    gResults.push_back(result);
}

void PrintCaseHeader() {
    std::printf("  %-58s %12s %12s %12s %12s %12s\n", "case (PSNR dB, SSIM)", "raw", "blur",
                "low-pass", "descreen", "ceiling");
}

// The scan as a bitmap and after a JPEG round trip.
void RunBothFormats(const TOptions& o, TCase c, const TBitmap24& scan, const TBitmap24& picture,
                    int quality, const std::string& dumpName) {
    RunCase(o, c, scan, picture, dumpName);
    c.JpegQuality = quality;
    c.Label += " jpeg q" + std::to_string(quality);
    RunCase(o, c, JpegRoundTrip(scan, quality), picture, dumpName + "_jpeg");
}

std::string Describe(const TScreenSetup& s, const TScanSetup& scan) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "%5.2f px/cell %g/%g/%g/%g%s page %+5.1f blur %.2f noise %.1f",
                  s.CellPixels, s.InkAngles[0], s.InkAngles[1], s.InkAngles[2], s.InkAngles[3],
                  s.DotElongation > 1.0 ? " ell" : "", s.PageRotation, scan.BlurSigma,
                  scan.NoiseSigma);
    return buf;
}

// The photograph under screens of every band, then half of it at one ruling
// and half at another.
void RunPhotograph(const TOptions& o, const std::string& path, size_t index) {
    const std::string name = fs::path(path).stem().string();
    const TBitmap24 picture = PrintPicture(ReadImageFile(path), o.CropWidth, o.CropHeight);
    std::printf("\n%s (%d x %d)\n", name.c_str(), picture.Width, picture.Height);
    Dump(o, name + "_picture", picture);
    PrintCaseHeader();
    std::mt19937 gen(uint32_t(20261209u + index * 7919u));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * unit(gen); };
    auto drawScreen = [&](double lo, double hi) {
        TScreenSetup s;
        s.CellPixels = uniform(lo, hi);
        // Most pages lie a little askew, some far.
        const double rotation = unit(gen) < 0.5 ? uniform(0.0, 2.0) : uniform(2.0, 10.0);
        s.PageRotation = unit(gen) < 0.5 ? -rotation : rotation;
        s.BlackShare = uniform(0.4, 0.9);
        s.DotElongation = unit(gen) < 0.25 ? uniform(1.2, 1.4) : 1.0;
        for (auto& ph : s.Phase) ph[0] = unit(gen), ph[1] = unit(gen);
        std::copy_n(kAngleSets[gen() % std::size(kAngleSets)], 4, s.InkAngles);
        return s;
    };
    auto drawScan = [&]() {
        return TScanSetup{1, uniform(0.35, 0.7), uniform(0.5, 2.0), uint32_t(gen())};
    };
    const auto t0 = std::chrono::steady_clock::now();
    for (int band = 0; band < kBands; ++band) {
        const TScreenSetup screen = drawScreen(kBandLimits[band], kBandLimits[band + 1]);
        const TScanSetup scanSetup = drawScan();
        const int quality = int(std::lround(uniform(85.0, 95.0)));
        const TBitmap24 scan = ScanPage(PrintHalftone(picture, screen), scanSetup);
        RunBothFormats(o, {Describe(screen, scanSetup), band, screen.CellPixels, 0}, scan, picture,
                       quality, name + "_band" + std::to_string(band));
    }
    if (!o.Quick || index == 0) {
        // Two pictures on one page: the left half at a magazine's ruling,
        // the right half at a newspaper's.
        TScreenSetup fine = drawScreen(2.5, 5.0), coarse = drawScreen(5.0, 8.0);
        coarse.PageRotation = fine.PageRotation;
        const TScanSetup scanSetup = drawScan();
        const int quality = int(std::lround(uniform(85.0, 95.0)));
        TPrintedPage page = PrintHalftone(picture, fine);
        const TPrintedPage right = PrintHalftone(picture, coarse);
        const int32_t fw = page.Width * kPrintSupersampling, half = fw / 2;
        for (size_t row = 0; row < page.Reflectance.size() / (size_t(fw) * 3u); ++row)
            std::copy(
                right.Reflectance.begin() + std::ptrdiff_t((row * size_t(fw) + size_t(half)) * 3u),
                right.Reflectance.begin() + std::ptrdiff_t((row + 1) * size_t(fw) * 3u),
                page.Reflectance.begin() + std::ptrdiff_t((row * size_t(fw) + size_t(half)) * 3u));
        char label[96];
        std::snprintf(label, sizeof label, "two rulings %.2f | %.2f px/cell page %+.1f",
                      fine.CellPixels, coarse.CellPixels, fine.PageRotation);
        RunBothFormats(o, {label, -1, coarse.CellPixels, 0}, ScanPage(page, scanSetup), picture,
                       quality, name + "_two");
    }
    std::fprintf(stderr, "%s: %.1f s\n", name.c_str(),
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
}

// A photograph scanned without any screen: the descreen must leave it
// practically unchanged.
void RunControl(const TOptions& o, const std::string& path) {
    const TBitmap24 picture = PrintPicture(ReadImageFile(path), o.CropWidth, o.CropHeight);
    const TBitmap24 scan = ScanPage(PrintContone(picture), {1, 0.5, 1.0, 4501u});
    long entries = -1;
    const TBitmap24 cleaned = AutoDescreen(scan, o.Strength, entries);
    const double unchanged = Psnr(ToFloatImage(cleaned), ToFloatImage(scan));
    std::printf("\nControl: %s scanned without a screen: descreen against its input %.2f dB "
                "(%ld entries; practically unchanged: >= 45 dB)%s\n",
                fs::path(path).stem().string().c_str(), unchanged, entries,
                unchanged >= 45.0 ? "" : " TOO MUCH CHANGED");
}

void PrintSummary() {
    std::printf("\nMeans per band and input format (PSNR dB / SSIM)\n");
    std::printf("  %-16s %-6s %3s", "band", "format", "n");
    for (int m = 0; m < kMethodCount; ++m)
        std::printf(" %14s", m == kRaw       ? "raw"
                             : m == kBlur    ? "best blur"
                             : m == kLowPass ? "low-pass"
                             : m == kAuto    ? "descreen"
                                             : "ceiling");
    std::printf("  below blur/low-pass\n");
    auto row = [&](const std::string& band, const char* format,
                   const std::function<bool(const TResult&)>& take) {
        double sum[kMethodCount][2] = {};
        size_t n[kMethodCount] = {}, cases = 0, below = 0;
        for (const TResult& r : gResults) {
            if (!take(r)) continue;
            ++cases;
            for (int m = 0; m < kMethodCount; ++m)
                if (r.Scores[m]) {
                    sum[m][0] += r.Scores[m]->Psnr;
                    sum[m][1] += r.Scores[m]->Ssim;
                    ++n[m];
                }
            bool worse = false;
            for (int m : {kBlur, kLowPass})
                if (r.Scores[m] && (r.Scores[kAuto]->Psnr < r.Scores[m]->Psnr ||
                                    r.Scores[kAuto]->Ssim < r.Scores[m]->Ssim))
                    worse = true;
            below += worse ? 1 : 0;
        }
        if (cases == 0) return;
        std::printf("  %-16s %-6s %3zu", band.c_str(), format, cases);
        for (int m = 0; m < kMethodCount; ++m)
            if (n[m] > 0)
                std::printf("  %6.2f/%5.3f", sum[m][0] / double(n[m]), sum[m][1] / double(n[m]));
            else
                std::printf(" %14s", "-");
        std::printf("  %zu of %zu\n", below, cases);
    };
    for (int band = -1; band < kBands; ++band)
        for (int jpeg = 0; jpeg < 2; ++jpeg)
            row(band < 0 ? "two rulings" : kBandNames[band], jpeg ? "JPEG" : "BMP",
                [&](const TResult& r) {
                    return r.Case.Band == band && (r.Case.JpegQuality > 0) == bool(jpeg);
                });
    for (int jpeg = 0; jpeg < 2; ++jpeg)
        row("all", jpeg ? "JPEG" : "BMP",
            [&](const TResult& r) { return (r.Case.JpegQuality > 0) == bool(jpeg); });
    row("all", "both", [](const TResult&) { return true; });
}

double SecondsOf(const std::function<void()>& work) {
    double best = 1e30;
    for (int run = 0; run < 3; ++run) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        best = std::min(
            best, std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    return best;
}

// The descreen's time on a page against the two transforms alone.
TBitmap24 SpeedPage(const TOptions& o, const std::string& path) {
    if (!o.SpeedScan.empty()) return ReadImageFile(o.SpeedScan);
    const TBitmap24 picture = PrintPicture(ReadImageFile(path), 640, 512);
    TScreenSetup screen;
    screen.CellPixels = 5.0; // a 60-lpi print at 300 dpi, or 120 lpi at 600
    screen.PageRotation = 2.0;
    const TBitmap24 tile = ScanPage(PrintHalftone(picture, screen), {1, 0.5, 1.0, 77u});
    TBitmap24 page(o.SpeedWidth, o.SpeedHeight);
    for (int32_t r = 0; r < page.Height; ++r)
        for (int32_t c = 0; c < page.Width; ++c)
            std::copy_n(tile.Pixel(c % tile.Width, r % tile.Height), 3, page.Pixel(c, r));
    return page;
}

void RunSpeed(const TOptions& o, const std::string& path) {
    const TBitmap24 page = SpeedPage(o, path);
    TNoProgress progress;
    TSpectrumStore store;
    const double roundTrip = SecondsOf([&] {
        FillStoreFromBitmap(page, store);
        TransformStore(store, TTransformDirection::Forward, nullptr, progress);
        TransformStore(store, TTransformDirection::Inverse, nullptr, progress);
    });
    TFilterList filter;
    FillStoreFromBitmap(page, store);
    TransformStore(store, TTransformDirection::Forward, nullptr, progress);
    const TSpectrumStore spectrum = store;
    const double detect = SecondsOf([&] {
        store = spectrum;
        filter = DetectScreen(store);
    });
    const double apply = SecondsOf([&] {
        store = spectrum;
        ApplyFilterEntries(store, filter, progress);
    });
    const double copy = SecondsOf([&] { store = spectrum; });
    // Both at once, as the descreen and the window's Find screen do them.
    const double both = SecondsOf([&] {
        store = spectrum;
        DescreenSpectrum(store, progress);
    });
    const double whole = SecondsOf([&] {
        FillStoreFromBitmap(page, store);
        DescreenStore(store, progress);
    });
    std::printf("\nSpeed on a %d x %d page (%zu entries, %d processors): fill and transform "
                "there and back %.3f s; detect %.3f s; apply %.3f s; detect and apply at once "
                "%.3f s (each with a store copy of %.3f s); whole descreen %.3f s = %.2f x the "
                "round trip\n",
                page.Width, page.Height, filter.EntryCount(), AvailableProcessors(), roundTrip,
                detect, apply, both, copy, whole, whole / roundTrip);
}

// One simulated scan of a whole page, written to a file.
void MakeScan(const TOptions& o, const std::string& path) {
    if (o.PageWidth <= 0) Usage("--make-scan needs --page WxH");
    const TBitmap24 photo = ReadImageFile(path);
    // The largest crop of the page's proportions from the middle.
    const double aspect = double(o.PageWidth) / o.PageHeight;
    const int32_t w = std::min(photo.Width, int32_t(std::lround(photo.Height * aspect)));
    const int32_t h = std::min(photo.Height, int32_t(std::lround(w / aspect)));
    TBitmap24 crop(w, h);
    for (int32_t r = 0; r < h; ++r)
        std::copy_n(photo.Pixel((photo.Width - w) / 2, (photo.Height - h) / 2 + r), size_t(w) * 3u,
                    crop.Row(r));
    TScreenSetup screen;
    screen.CellPixels = o.Cell;
    screen.PageRotation = o.Rotation;
    const TBitmap24 scan =
        ScanPage(PrintHalftone(ResizeByArea(crop, o.PageWidth, o.PageHeight), screen),
                 {o.Factor, 0.5, 1.0, 77u});
    WriteImageFile(o.ScanFile, o.Jpeg > 0 ? JpegRoundTrip(scan, o.Jpeg) : scan);
    std::printf("wrote %s (%d x %d, %g print pixels a cell, page %+g degrees%s)\n",
                o.ScanFile.c_str(), scan.Width, scan.Height, o.Cell, o.Rotation,
                o.Jpeg > 0 ? ", JPEG round trip" : "");
}

} // namespace

int main(int argc, char** argv) {
    const TOptions o = ParseOptions(argc, argv);
    if (o.Photos.empty()) Usage("no photographs");
    if (!o.ScanFile.empty()) {
        try {
            MakeScan(o, o.Photos.front());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "descreen_quality: %s\n", e.what());
            return 1;
        }
        return 0;
    }
    if (o.SpeedWidth > 0 || !o.SpeedScan.empty()) {
        RunSpeed(o, o.Photos.front());
        return 0;
    }
    if (!o.DumpFolder.empty()) fs::create_directories(o.DumpFolder);
    if (!o.PeersFile.empty()) LoadPeers(o.PeersFile);
    const auto started = std::chrono::steady_clock::now();
    std::printf("Descreen quality at scan settings: PSNR (dB, all three channels) and SSIM "
                "(luminance, Gaussian window 1.5)\nagainst the unscreened picture; strength %g%s\n",
                o.Strength, o.Quick ? ", quick" : "");
    try {
        for (size_t i = 0; i < o.Photos.size(); ++i) RunPhotograph(o, o.Photos[i], i);
        PrintSummary();
        RunControl(o,
                   o.UserPhotos || !fs::exists(kControlPhoto) ? o.Photos.front() : kControlPhoto);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "descreen_quality: %s\n", e.what());
        return 1;
    }
    if (gAutoRuns > 0)
        std::printf("\ndescreen: %.3f s per scan on average (%zu scans, transforms included)\n",
                    gAutoSeconds / double(gAutoRuns), gAutoRuns);
    std::fprintf(stderr, "total: %.1f s\n",
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return 0;
}
