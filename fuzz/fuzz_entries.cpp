#include "fuzz/fuzz_entries.h"

#include "cli/cli_support.h"
#include "filter/apply_filter.h"
#include "filter/filter_list.h"
#include "help/page_request.h"
#include "imagefile/image_file_bmp.h"
#include "imagefile/image_file_info.h"
#include "imagefile/image_file_jpeg.h"
#include "imagefile/image_file_qt.h"
#include "imagefile/image_file_source.h"
#include "shell/settings.h"
#include "spectral/errors.h"
#include "spectral/memory_budget.h"

#include <QCoreApplication>

#include <algorithm>
#include <memory>

namespace {

std::string Text(const uint8_t* data, size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Runs a reader; its own refusal is a normal outcome.
template <typename F>
void Refusable(F&& read) {
    try {
        read();
    } catch (const Exception&) {
    }
}

void Bitmap(const uint8_t* data, size_t size) {
    const TMemorySource source(data, size);
    Refusable([&] { DecodeBitmapFile(source); });
    Refusable([&] { ReadBitmapInfo(source); });
}

void Jpeg(const uint8_t* data, size_t size) {
    Refusable([&] { DecodeJpegFile(data, size); });
    Refusable([&] { ReadJpegInfo(Text(data, size)); });
}

// PNG and TIFF: Qt's readers with our checks around them, 8 and 16 bits.
void QtImage(const uint8_t* data, size_t size) {
    Refusable([&] { DecodeQtImageFileWithInfo(reinterpret_cast<const char*>(data), size); });
}

void Npy(const uint8_t* data, size_t size) {
    const TMemorySource source(data, size);
    Refusable([&] { ReadStoreNpy(source, "fuzz.npy"); });
}

// A filter's text, read line by line and applied to a small spectrum: the
// lines reach the smoothing, the resize and the screen damping with whatever
// numbers they spell. At most a few entries, so that each input stays quick.
void Filter(const uint8_t* data, size_t size) {
    std::vector<std::string> lines;
    try {
        lines = SplitFilterText(Text(data, size), "fuzz.flt", 64);
    } catch (const Exception&) {
        return;
    }
    TFilterList filter;
    for (size_t i = 0; i < lines.size() && i < 8; ++i) filter.AppendLine(lines[i]);
    // A resize may grow the spectrum as far as the budget lets it, and every
    // later entry is work in proportion: legitimate, but under the
    // sanitizers a spectrum of a few million cells takes longer per entry
    // than the fuzzer allows an input. A smaller budget keeps each input
    // quick; the code paths are the same.
    const uint64_t budget = MemoryLimit();
    SetMemoryLimit(kFuzzFilterBudget);
    struct TRestore {
        uint64_t Budget;
        ~TRestore() { SetMemoryLimit(Budget); }
    } restore{budget};
    TSpectrumStore store;
    store.Resize(24, 16);
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < store.Planes[p].size(); ++i)
            store.Planes[p][i] = float((i * 37 + size_t(p) * 11) % 97) / float(1 + i % 5);
    TNoProgress progress;
    Refusable([&] { ApplyFilterEntries(store, filter, progress); });
}

void Settings(const uint8_t* data, size_t size) {
    ParseSettings(Text(data, size), 96, TRect32{10, 20, 949, 764});
}

// The head of a request as the help server cuts it (up to its first blank
// line), then what the server builds from it.
void HelpRequest(const uint8_t* data, size_t size) {
    std::string head = Text(data, size);
    const size_t end = std::min(head.find("\r\n\r\n"), head.find("\n\n"));
    if (end != std::string::npos) head.resize(end);
    const TPageRequest request = ParsePageRequest(head);
    StatusReason(request.Status);
    if (request.Status == 200)
        ContentTypeOf(request.FileName);
    else
        StatusPage(request.Status, head.substr(0, 200));
}

} // namespace

const std::vector<TFuzzEntry>& FuzzEntries() {
    static const std::vector<TFuzzEntry> entries{
        {"bitmap", Bitmap}, {"jpeg", Jpeg},         {"png_tiff", QtImage},         {"npy", Npy},
        {"filter", Filter}, {"settings", Settings}, {"help_request", HelpRequest},
    };
    return entries;
}

const TFuzzEntry* FindFuzzEntry(const std::string& name) {
    for (const TFuzzEntry& e : FuzzEntries())
        if (name == e.Name) return &e;
    return nullptr;
}

void PrepareFuzzing() {
    SetMemoryLimit(kFuzzMemoryBudget);
    // The TIFF reader is a plugin; plugins are found through the application.
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "pixmend-fuzz";
        static char* argv[] = {name, nullptr};
        static std::unique_ptr<QCoreApplication> app =
            std::make_unique<QCoreApplication>(argc, argv);
    }
}
