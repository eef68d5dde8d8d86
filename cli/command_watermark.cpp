// watermark embed / check: the keyed spectral watermark on the command line.
#include "cli/cli_support.h"

#include "imagefile/image_file.h"
#include "spectral/display.h"
#include "spectral/store_fill.h"
#include "spectral/transform.h"
#include "watermark/watermark.h"

#include <cstdio>

namespace {

// An image file, or a spatial store saved as .npy, as opening it in the window
// does; then the forward transform, since both operations work on the spectrum.
TSpectrumStore LoadSpectrum(const std::string& fileName) {
    return ForFile(fileName, [&] {
        TSpectrumStore store;
        if (IsNpyName(fileName))
            store = LoadStoreNpy(fileName);
        else
            FillStoreFromBitmap(ReadImageFile(fileName), store);
        TCliProgress progress("forward transform");
        TransformStore(store, TTransformDirection::Forward, nullptr, progress,
                       CliTransformOptions());
        return store;
    });
}

int RunEmbed(const std::vector<std::string>& argv) {
    TArgs args(argv, {"output", "sign"});
    if (args.Positional().size() != 1) throw EUsage("expected one IMAGE");
    const std::string out = args.Required("output");
    const std::string sign = args.Value("sign").value_or(kDefaultSign);
    if (!IsNpyName(out)) ForFile(out, [&] { CheckImageFileName(out); });
    RefuseReplacingInput(out, {args.Positional()[0]});
    TSpectrumStore store = LoadSpectrum(args.Positional()[0]);
    TWatermarkResult result;
    try {
        result = EmbedWatermarkOrFail(store, sign);
    } catch (const EWatermarkError& e) {
        // Nothing is written: an output without a mark would pass for one.
        std::fprintf(stderr, "pixmend-cli watermark: %s\n", e.what());
        return 1;
    }
    {
        TCliProgress progress("inverse transform");
        TransformStore(store, TTransformDirection::Inverse, nullptr, progress,
                       CliTransformOptions());
    }
    ForFile(out, [&] {
        if (IsNpyName(out))
            SaveStoreNpy(store, out);
        else
            WriteImageFile(out, RenderStore(store, true, 0));
    });
    if (!Quiet()) std::printf("passes: %d\nmeasure: %.9f\n", result.Passes, result.Measure);
    return 0;
}

int RunCheck(const std::vector<std::string>& argv) {
    TArgs args(argv, {"sign"});
    if (args.Positional().size() != 1) throw EUsage("expected one IMAGE");
    const std::string sign = args.Value("sign").value_or(kDefaultSign);
    const TSpectrumStore store = LoadSpectrum(args.Positional()[0]);
    const double measure = WatermarkMeasure(store, sign);
    std::printf("%s\n%.9f\n", WatermarkResultText(measure).c_str(), measure);
    return WatermarkFound(measure) ? 0 : 1;
}

int RunWatermark(const std::vector<std::string>& argv) {
    if (argv.empty()) throw EUsage("expected 'embed' or 'check'");
    const std::vector<std::string> rest(argv.begin() + 1, argv.end());
    if (argv[0] == "embed") return RunEmbed(rest);
    if (argv[0] == "check") return RunCheck(rest);
    throw EUsage("unknown sub-command '" + argv[0] + "'");
}

TCommandRegistrar
    watermark({"watermark", "embed or detect the keyed spectral watermark",
               "usage: pixmend-cli watermark embed IMAGE -o OUT [--sign TEXT]\n"
               "       pixmend-cli watermark check IMAGE [--sign TEXT]\n\n"
               "IMAGE is an image file or a spatial store saved as .npy (float32, shape\n"
               "(3, H, W)); it is transformed forward first. TEXT is the sign (default\n"
               "\"(c) Pixmend Software\").\n\n"
               "embed adds the watermark of the sign to the spectrum, pass after pass until\n"
               "it is found with a measure above 0.995 (at most 20 passes), transforms back\n"
               "and writes OUT: .npy receives the unclipped planes, .jpg a JPEG of quality\n"
               "98, any other name a 24-bit bitmap. Prints the passes and the final measure.\n"
               "When the mark cannot be embedded (a spectrum with NaN or infinity, or one\n"
               "that after all passes would still not be found) it says why, writes\n"
               "nothing and exits with 1.\n\n"
               "check prints the verdict and, on a second line, the measure. Exit status:\n"
               "0 found, 1 not found, 2 error.\n",
               RunWatermark});

} // namespace
