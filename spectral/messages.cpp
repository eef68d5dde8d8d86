#include "spectral/messages.h"

#include <array>

namespace {

using enum TMessageId;

// The German texts are fixed: stored reports, tests and users rely on them
// word for word. Some messages were written in English from the start; their
// German text is that English one.
constexpr TMessageRow kRows[] = {
    {Text, "%1", "%1", nullptr, false},
    {CannotOpen, "Datei %1 kann nicht ge\u00f6ffnet werden", "Cannot open the file %1",
     "cannot open (%2)", true},
    {CannotCreate, "Datei %1 kann nicht erstellt werden", "Cannot create the file %1",
     "cannot write (%2)", true},
    {NotReplaced, "%1 is not a regular file and is not replaced",
     "%1 is not a regular file and is not replaced", nullptr, false},
    {FilterFileTooLarge, "Datei %1 ist zu gro\u00df f\u00fcr eine Filterdatei",
     "The file %1 is too large for a filter file", "too large for a filter file", true},
    {NoExtension, "Der Dateiname %1 hat keine Erweiterung", "The file name %1 has no extension",
     "has no extension; images are read from .bmp, .jpg, .jpeg, .png, .tif and .tiff files", true},
    {UnknownExtension, "Unbekannte Bilddateierweiterung (.%1)",
     "Unknown image file extension (.%1)",
     "unknown image file extension (.%1); use .bmp, .jpg, .jpeg, .png, .tif or .tiff", false},
    // The tool names the kind of picture the file name promises (%1).
    {InvalidPicture, "Bitmap ist ung\u00fcltig",
     "The picture is not valid: the file is damaged, truncated or of an unsupported kind",
     "not a valid %1", false},
    {InvalidPictureSaid, "Bitmap ist ung\u00fcltig (%1)", "The picture is not valid (%1)",
     "not a valid %2; the decoder said: %1", false},
    // %1 the codec's message number, %2 its own words for it (may be empty).
    {CodecError, "JPEG-Fehler #%1", "JPEG error #%1", "not a valid JPEG file: %3", false},
    // %1 x %2 the pixels the file declares, %3 the most an image may have.
    {TooManyPixels, "Das Bild hat zu viele Pixel: %1 \u00d7 %2, mehr als %3",
     "The picture has too many pixels: %1 x %2, more than %3",
     "too many pixels: %1 x %2 is more than the largest image we read (%3 pixels)", false},
    // %1 x %2 the pixels the file declares, %3 its size in bytes.
    {CutShort,
     "Die Datei ist zu kurz: sie gibt %1 \u00d7 %2 Pixel an, mehr als ihre %3 Byte enthalten "
     "k\u00f6nnen",
     "The file is cut short: it declares %1 x %2 pixels, more than its %3 bytes can hold",
     "the file is cut short: it declares %1 x %2 pixels, more than its %3 bytes can hold", false},
    {JpegDamaged, "Die JPEG-Daten sind besch\u00e4digt oder unvollst\u00e4ndig.",
     "The JPEG data are damaged or incomplete.", nullptr, false},
    {NotAnInteger, "'%1' ist kein g\u00fcltiger Integerwert", "'%1' is not a valid integer value",
     "'%1' is not a valid whole number", false},
    {ListIndex, "Listenindex \u00fcberschreitet das Maximum (%1)",
     "List index exceeds the maximum (%1)", "list index out of range (%1)", false},
    {InvalidFloat, "Ung\u00fcltige Gleitkommaoperation", "Invalid floating-point operation",
     "invalid floating-point operation", false},
    {NewSizeTooLarge, "Die neue Bildgr\u00f6\u00dfe %1 x %2 ist zu gro\u00df",
     "The new image size %1 x %2 is too large", "the new image size %1 x %2 is too large", false},
    {FFTLength,
     "Prime factor for FFT length too large. Change value for cMaxPrimeFactor in FFTs unit",
     "Prime factor for FFT length too large. Change value for cMaxPrimeFactor in FFTs unit",
     "a side of this length cannot be transformed (2n-1 has too large a prime factor)", false},
    // %1: which side is too long and what to crop it to.
    {TransformLength, "Prime factor for FFT length too large. The image is %1",
     "Prime factor for FFT length too large. The image is %1",
     "a side of this length cannot be transformed: the image is %1", false},
    {TransformLengthUnknown, "Prime factor for FFT length too large.",
     "Prime factor for FFT length too large.",
     "a side of this length cannot be transformed (2n-1 has too large a prime factor)", false},
    {TransformCancelled, "Transform cancelled", "Transform cancelled", nullptr, false},
    // %1 what was to be allocated, %2 its size, %3 the memory there is.
    {MemoryNeeded, "%1 needs %2 of memory, more than the %3 available",
     "%1 needs %2 of memory, more than the %3 available", nullptr, false},
    {MemoryNeededAllowed, "%1 needs %2 of memory, more than the %3 allowed",
     "%1 needs %2 of memory, more than the %3 allowed", nullptr, false},
    {MemoryNeededBeside,
     "%1 needs %2 of memory beside the %3 this run already holds, more than the %4 allowed",
     "%1 needs %2 of memory beside the %3 this run already holds, more than the %4 allowed",
     nullptr, false},
    {FilterTooMuchWork,
     "the filter's %1 entries would work on %2 million cells, more than the %3 million allowed "
     "for a spectrum of %4 x %5 cells",
     "the filter's %1 entries would work on %2 million cells, more than the %3 million allowed "
     "for a spectrum of %4 x %5 cells",
     nullptr, false},
    {DivisionByZero, "Division durch Null", "Division by zero", "division by zero", false},
    {WatermarkNotFinite,
     "the spectrum holds values that are not finite (NaN or infinity); no watermark can be "
     "embedded in it",
     "the spectrum holds values that are not finite (NaN or infinity); no watermark can be "
     "embedded in it",
     nullptr, false},
    {WatermarkTooWeak,
     "the watermark did not take: after %1 passes its measure is %2, too weak to be found (the "
     "image is too small, or its values too large, to carry it)",
     "the watermark did not take: after %1 passes its measure is %2, too weak to be found (the "
     "image is too small, or its values too large, to carry it)",
     nullptr, false},
    {WatermarkNotFound, "Wasserzeichen nicht gefunden", "Watermark not found", nullptr, false},
    {WatermarkFound, "Wasserzeichen gefunden, %1 % vollst\u00e4ndig",
     "Watermark found, %1 % complete", nullptr, false},
    // %1 the entry's line in the filter, counted from 1; %2 the entry's error.
    {FilterLine, "Filterzeile %1: %2", "Filter line %1: %2", "filter line %1: %2", false},
    {OutOfMemory, "Zu wenig Arbeitsspeicher", "Out of memory", "not enough memory", false},
    {UnknownError, "Unbekannter Fehler", "Unknown error", "unknown error", false},
    {ClipboardFormat, "Format der Zwischenablage wird nicht unterst\u00fctzt",
     "The clipboard holds no picture in a supported format", nullptr, false},
    {NoHelp, "f\u00fcr dieses Element ist keine Hilfe verf\u00fcgbar",
     "no help is available for this item", nullptr, false},
    // %1 the filter file, %2 its line counted from 1, %3 what is wrong with it.
    {FilterFileLine, "Filterdatei %1, Zeile %2: %3", "Filter file %1, line %2: %3", "line %2: %3",
     true},
    // A text worded for each form by whoever raised it: %1 German, %2 English.
    {Worded, "%1", "%2", "%2", false},
};

constexpr bool InIdOrder() {
    for (size_t i = 0; i < std::size(kRows); ++i)
        if (size_t(kRows[i].Id) != i) return false;
    return std::size(kRows) == size_t(Count);
}
static_assert(InIdOrder(), "one catalogue row per message id, in the order of the ids");

// Replaces %1..%9 by the arguments in one pass, so that an argument holding
// "%2" stays as it is; a "%" before anything else is kept.
std::string Fill(const char* pattern, const std::vector<std::string>& args) {
    std::string out;
    for (const char* p = pattern; *p; ++p) {
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
            const size_t n = size_t(p[1] - '1');
            if (n < args.size()) out += args[n];
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

} // namespace

TMessage PlainMessage(std::string text) {
    return TMessage{Text, {std::move(text)}, nullptr};
}

TMessage MessageAbout(TMessageId id, std::vector<std::string> args, TMessage cause) {
    return TMessage{id, std::move(args), std::make_shared<const TMessage>(std::move(cause))};
}

const TMessageRow* FindMessageRow(TMessageId id) {
    return size_t(id) < std::size(kRows) ? &kRows[size_t(id)] : nullptr;
}

bool MessageNamesFile(TMessageId id) {
    const TMessageRow* row = FindMessageRow(id);
    return row && row->NamesFile;
}

std::string RenderMessage(const TMessage& message, TMessageForm form, const TToolArgs& toolArgs) {
    const TMessageRow* row = FindMessageRow(message.Id);
    if (!row) row = &kRows[0];
    const char* pattern = form == TMessageForm::German    ? row->German
                          : form == TMessageForm::English ? row->English
                          : row->Tool                     ? row->Tool
                                                          : row->English;
    std::vector<std::string> args = message.Args;
    if (message.Cause) args.push_back(RenderMessage(*message.Cause, form, toolArgs));
    if (form == TMessageForm::Tool && toolArgs)
        for (std::string& extra : toolArgs(message)) args.push_back(std::move(extra));
    return Fill(pattern, args);
}

std::string GermanText(const TMessage& message) {
    return RenderMessage(message, TMessageForm::German);
}

std::string EnglishText(const TMessage& message) {
    return RenderMessage(message, TMessageForm::English);
}
