// spectrum, image, roundtrip: the image transform on the command line.
#include "cli/cli_support.h"

#include "imagefile/image_file.h"
#include "spectral/display.h"
#include "spectral/transform_run.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// An output name we cannot write is refused before any work is done.
void CheckOutputName(const std::string& out) {
    if (!IsNpyName(out)) ForFile(out, [&] { CheckImageFileName(out); });
}

// The image keeps the input's resolution, profile, colour type and depth; a
// spectrum is a picture of its own and takes none of them.
void WriteStore(const TSpectrumStore& store, bool imageShown, int32_t contrast,
                const std::string& out, const TImageInfo& info = {}) {
    ForFile(out, [&] {
        if (IsNpyName(out))
            SaveStoreNpy(store, out);
        else if (imageShown)
            SaveImageStore(out, store, info);
        else
            SaveStoreView(out, store, false, contrast);
    });
}

void Report(const std::string& line) {
    if (!Quiet()) std::printf("%s\n", line.c_str());
}

// A 16-bit image keeps its fractions through the transforms.
TTransformResult Transform(TSpectrumStore& store, TTransformDirection direction, const char* label,
                           bool deep = false) {
    TCliProgress progress(label);
    TTransformOptions options = CliTransformOptions();
    if (deep) options.ZeroBelow = 0;
    return RunCancellableTransform(store, direction, nullptr, progress, options).Result;
}

int RunSpectrum(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output", "contrast"});
    if (args.Positional().size() != 1) throw EUsage("expected one IMAGE");
    const std::string out = args.Required("output");
    std::optional<int32_t> contrast;
    if (auto c = args.Value("contrast")) {
        contrast = ParseIntArg(*c, "--contrast");
        if (*contrast < kContrastMin || *contrast > kContrastMax)
            throw EUsage("--contrast: " + std::to_string(*contrast) + " is out of range (" +
                         std::to_string(kContrastMin) + ".." + std::to_string(kContrastMax) + ")");
    }
    CheckOutputName(out);
    const std::string in = args.Positional()[0];
    RefuseReplacingInput(out, {in});
    TSpectrumStore store;
    const TTransformResult result = ForFile(in, [&] {
        NoteImageInfo(in, LoadImageStore(in, store));
        return Transform(store, TTransformDirection::Forward, "forward transform");
    });
    const int32_t position =
        std::clamp(contrast.value_or(result.ContrastPreset), kContrastMin, kContrastMax);
    WriteStore(store, false, position, out);
    Report("wrote the spectrum (" + std::to_string(store.Cols) + " x " +
           std::to_string(store.Rows) + ", contrast " + std::to_string(position) + ") to " + out);
    return 0;
}

int RunImage(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output"});
    if (args.Positional().size() != 1) throw EUsage("expected one SPECTRUM.npy");
    const std::string out = args.Required("output");
    CheckOutputName(out);
    const std::string in = args.Positional()[0];
    RefuseReplacingInput(out, {in});
    TSpectrumStore store;
    ForFile(in, [&] { store = LoadStoreNpy(in); });
    // One NaN or infinity spreads over a whole row and column of the image
    // (or, drawn as 0, leaves it black): nothing worth writing.
    const size_t cells = store.CellCount();
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < cells; ++i)
            if (!std::isfinite(store.Planes[p][i]))
                throw EFileFailure(in, "the spectrum holds values that are not finite (NaN or "
                                       "infinity; the first in plane " +
                                           std::to_string(p) + ", row " +
                                           std::to_string(i / size_t(store.Cols)) + ", column " +
                                           std::to_string(i % size_t(store.Cols)) +
                                           "); no image is written");
    ForFile(in, [&] { Transform(store, TTransformDirection::Inverse, "inverse transform"); });
    WriteStore(store, true, 0, out);
    Report("wrote the image (" + std::to_string(store.Cols) + " x " + std::to_string(store.Rows) +
           ") to " + out);
    return 0;
}

int RunRoundtrip(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output"});
    if (args.Positional().size() != 1) throw EUsage("expected one IMAGE");
    const std::string out = args.Required("output");
    CheckOutputName(out);
    const std::string in = args.Positional()[0];
    RefuseReplacingInput(out, {in});
    TSpectrumStore store;
    const TImageInfo info = ForFile(in, [&] {
        const TImageInfo read = LoadImageStore(in, store);
        NoteImageInfo(in, read);
        Transform(store, TTransformDirection::Forward, "forward transform", read.Deep);
        Transform(store, TTransformDirection::Inverse, "inverse transform", read.Deep);
        return read;
    });
    WriteStore(store, true, 0, out, info);
    Report("wrote the image (" + std::to_string(store.Cols) + " x " + std::to_string(store.Rows) +
           ") to " + out);
    return 0;
}

TCommandRegistrar
    spectrum({"spectrum", "transform an image into its spectrum",
              "usage: pixmend-cli spectrum IMAGE -o OUT [--contrast P]\n\n"
              "Loads IMAGE and transforms it forward. OUT ending in .npy receives the\n"
              "three planes as float32 of shape (3, H, W); any other name receives the\n"
              "spectrum as the window shows it, at contrast position P (-50..50;\n"
              "default: the position preset from the largest coefficient).\n",
              RunSpectrum});
TCommandRegistrar
    image({"image", "transform a stored spectrum back into an image",
           "usage: pixmend-cli image SPECTRUM.npy -o OUT\n\n"
           "Inverse transform of a spectrum stored by 'spectrum'. OUT ending in .npy\n"
           "receives the unclipped planes; any other name receives the image in\n"
           "the format its extension names (.bmp, .jpg/.jpeg, .png, .tif/.tiff).\n",
           RunImage});
TCommandRegistrar
    roundtrip({"roundtrip", "forward and inverse transform of an image",
               "usage: pixmend-cli roundtrip IMAGE -o OUT\n\n"
               "Transforms IMAGE forward and back and writes the result (OUT .npy:\n"
               "the unclipped planes; otherwise an image file in the format its\n"
               "extension names, keeping the input's resolution, colour profile,\n"
               "grey colour type and 16-bit precision where the format holds them).\n",
               RunRoundtrip});
} // namespace
