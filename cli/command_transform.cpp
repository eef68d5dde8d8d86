// spectrum, image, roundtrip: the image transform on the command line.
#include "cli/cli_support.h"

#include "app/image_file.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"
#include "spectral/transform.h"

#include <algorithm>
#include <cstdio>

namespace {

// Loads an image file into a store, as opening it in the window does.
TSpectrumStore LoadImageStore(const std::string& fileName) {
    TSpectrumStore store;
    FillStoreFromBitmap(ReadImageFile(fileName), store);
    return store;
}

void WriteStore(const TSpectrumStore& store, bool imageShown, int32_t contrast, const std::string& out) {
    if (IsNpyName(out))
        SaveStoreNpy(store, out);
    else
        WriteImageFile(out, RenderStore(store, imageShown, contrast));
}

TTransformResult Transform(TSpectrumStore& store, TTransformDirection direction, const char* label) {
    TCliProgress progress(label);
    return TransformStore(store, direction, nullptr, progress);
}

int RunSpectrum(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output", "contrast"});
    if (args.Positional().size() != 1) throw EUsage("expected one IMAGE");
    const std::string out = args.Required("output");
    std::optional<int32_t> contrast;
    if (auto c = args.Value("contrast")) contrast = ParseIntArg(*c, "--contrast");
    TSpectrumStore store = LoadImageStore(args.Positional()[0]);
    const TTransformResult result = Transform(store, TTransformDirection::Forward, "forward transform");
    const int32_t position = std::clamp(contrast.value_or(result.ContrastPreset), kContrastMin, kContrastMax);
    WriteStore(store, false, position, out);
    std::printf("wrote the spectrum (%d x %d, contrast %d) to %s\n", store.Cols, store.Rows, position,
                out.c_str());
    return 0;
}

int RunImage(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output"});
    if (args.Positional().size() != 1) throw EUsage("expected one SPECTRUM.npy");
    const std::string out = args.Required("output");
    TSpectrumStore store = LoadStoreNpy(args.Positional()[0]);
    Transform(store, TTransformDirection::Inverse, "inverse transform");
    WriteStore(store, true, 0, out);
    std::printf("wrote the image (%d x %d) to %s\n", store.Cols, store.Rows, out.c_str());
    return 0;
}

int RunRoundtrip(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output"});
    if (args.Positional().size() != 1) throw EUsage("expected one IMAGE");
    const std::string out = args.Required("output");
    TSpectrumStore store = LoadImageStore(args.Positional()[0]);
    Transform(store, TTransformDirection::Forward, "forward transform");
    Transform(store, TTransformDirection::Inverse, "inverse transform");
    WriteStore(store, true, 0, out);
    std::printf("wrote the image (%d x %d) to %s\n", store.Cols, store.Rows, out.c_str());
    return 0;
}

TCommandRegistrar spectrum({"spectrum", "transform an image into its spectrum",
                            "usage: pixmend-cli spectrum IMAGE -o OUT [--contrast P]\n\n"
                            "Loads IMAGE and transforms it forward. OUT ending in .npy receives the\n"
                            "three planes as float32 of shape (3, H, W); any other name receives the\n"
                            "spectrum as the window shows it, at contrast position P (-50..50;\n"
                            "default: the position preset from the largest coefficient).\n",
                            RunSpectrum});
TCommandRegistrar image({"image", "transform a stored spectrum back into an image",
                         "usage: pixmend-cli image SPECTRUM.npy -o OUT\n\n"
                         "Inverse transform of a spectrum stored by 'spectrum'. OUT ending in .npy\n"
                         "receives the unclipped planes; any other name receives the image\n"
                         "(.jpg: JPEG quality 98, else a 24-bit bitmap).\n",
                         RunImage});
TCommandRegistrar roundtrip({"roundtrip", "forward and inverse transform of an image",
                             "usage: pixmend-cli roundtrip IMAGE -o OUT\n\n"
                             "Transforms IMAGE forward and back and writes the result (OUT .npy:\n"
                             "the unclipped planes; otherwise an image file).\n",
                             RunRoundtrip});
}  // namespace
