// resize: the spectral resize on the command line.
#include "cli/cli_support.h"

#include "imagefile/image_file.h"
#include "spectral/resize.h"
#include "spectral/transform.h"

#include <cstdio>

namespace {

int32_t ModeNamed(const std::string& name) {
    static const char* const names[] = {"percent", "width", "height", "max-width", "max-height"};
    for (int32_t m = 0; m < 5; ++m)
        if (name == names[m]) return m;
    throw EUsage("unknown --mode '" + name + "' (percent, width, height, max-width, max-height)");
}

int RunResize(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output", "mode", "value"});
    if (args.Positional().size() != 1) throw EUsage("expected one IMAGE");
    const std::string out = args.Required("output");
    const int32_t mode = ModeNamed(args.Required("mode"));
    const int32_t value = ParseIntArg(args.Required("value"), "--value");

    if (!IsNpyName(out)) ForFile(out, [&] { CheckImageFileName(out); });

    const std::string in = args.Positional()[0];
    RefuseReplacingInput(out, {in});
    TSpectrumStore store;
    TImageInfo info;
    int32_t oldCols = 0, oldRows = 0;
    const TResizeOutcome outcome = ForFile(in, [&] {
        info = LoadImageStore(in, store);
        NoteImageInfo(in, info);
        oldCols = store.Cols;
        oldRows = store.Rows;
        TCliProgress progress("resize");
        TTransformOptions options = CliTransformOptions();
        if (info.Deep) options.ZeroBelow = 0; // a 16-bit image keeps its fractions
        TransformStore(store, TTransformDirection::Forward, nullptr, progress, options);
        const TResizeOutcome result = ResizeSpectrum(store, value, mode, progress);
        TransformStore(store, TTransformDirection::Inverse, nullptr, progress, options);
        return result;
    });
    ScaleResolution(info, oldCols, oldRows, store.Cols, store.Rows);
    ForFile(out, [&] {
        if (IsNpyName(out))
            SaveStoreNpy(store, out);
        else
            SaveImageStore(out, store, info);
    });
    if (Quiet()) return 0;
    if (outcome.Changed)
        std::printf("resized %d x %d to %d x %d, wrote %s\n", oldCols, oldRows, store.Cols,
                    store.Rows, out.c_str());
    else
        std::printf("size unchanged (%d x %d: the factor gives no valid new size), wrote %s\n",
                    store.Cols, store.Rows, out.c_str());
    return 0;
}

TCommandRegistrar
    resize({"resize", "resize an image through its spectrum",
            "usage: pixmend-cli resize IMAGE -o OUT --mode MODE --value N\n\n"
            "Transforms IMAGE, crops or pads its spectrum and transforms back.\n"
            "MODE is one of:\n"
            "  percent      factor N / 100\n"
            "  width        factor N / width\n"
            "  height       factor N / height\n"
            "  max-width    as width, but never enlarges\n"
            "  max-height   as height, but never enlarges\n"
            "Enlarging (and 100 %) tapers the highest tenth of the frequencies.\n"
            "A factor that gives fewer than 4 rows or columns leaves the size as it is.\n"
            "OUT ending in .npy receives the unclipped planes; otherwise an image file\n"
            "in the format its extension names (.bmp, .jpg/.jpeg, .png, .tif/.tiff),\n"
            "its resolution scaled so that the printed size stays the same.\n",
            RunResize});
} // namespace
