#include "shell/language_tables.h"

#include <cstdio>
#include <string_view>

// The lines are kept exactly as the tables were designed, including the
// German duplicate of "##aktuellesBildüberschreiben##" (the first one wins)
// and the caption lines of the other windows, which no walk reaches.
const TLanguageTable& StrHolder1() {
    static const TLanguageTable table{
        "",
        ".Form1=Pixmend",
        "Form1.h-Image1=Doppelklick zum Anwenden",
        "Form1.h-TrackKontrast=kontrast",
        "Form1.h-ToolOpen=Bild öffnen",
        "Form1.h-ToolSave=Bild speichern",
        "Form1.h-ToolCopy=Kopieren in die Zwischenablage",
        "Form1.h-ToolPaste=Einfügen aus der Zwischenablage",
        "Form1.h-ToolTransform=Umwandel",
        "Form1.h-Toolundo=Letze Glättung zurücknehmen",
        "Form1.h-ToolRec=mit Rechteck glätten",
        "Form1.h-ToolElipse=mit Ellipse glätten",
        "Form1.h-ToolStempel=Glättung anwenden",
        "Form1.h-Toolapply=Filter anwenden",
        "Form1.h-ToolBatchrun=Batchlauf",
        "Form1.h-ToolFilter=Filter ansehen und bearbeiten",
        "Form1.h-ToolLoadFilter=Filter öffnen",
        "Form1.h-ToolSaveFilter=Filter speichern",
        "Form1.h-ToolZoom=Zoom",
        "Form1.h-ToolHelp=Kontexthilfe/n0d/n0a(Klicken Sie auf das Element zu dem Sie Hilfe "
        "benötigen)",
        "OpenPictureDialog.h-PreviewButton=Vorschau",
        "SavePictureDialog.h-PreviewButton=Vorschau",
        "Form1.GradientCaption1=Pixmend",
        "MainMenu1.0=&Datei",
        "MainMenu1.1=&Bearbeiten",
        "MainMenu1.2=&Werkzeuge",
        "MainMenu1.3=&Erweitert",
        "MainMenu1.4=&Hilfe",
        "Form1.File10=Öffnen",
        "Form1.File11=Speichern",
        "Form1.File12=Schließen",
        "Form1.File13=Beenden",
        "Form1.Edit10=Kopieren",
        "Form1.Edit11=Einfügen",
        "Form1.Edit12=Umwandeln",
        "Form1.Edit13=Bereich glätten",
        "Form1.Tools10=Zoom",
        "Form1.Tools11=Rechteck",
        "Form1.Tools12=Ellipse",
        "Form1.Advanced10=Filter anwenden",
        "Form1.Advanced11=Batchlauf",
        "Form1.Advanced12=Filter öffnen",
        "Form1.Advanced13=Filter speichern",
        "Form1.Advanced14=Filter ansehen",
        "Form1.Help10=Kontexthilfe",
        "Form1.Help11=version-info",
        "Form1.Help12=Über uns",
        ".FormZoom=zoom",
        ".FormHelp=Help",
        ".FormProtokol=Filter list",
        "FormProtokol.Delete=delete",
        ".FormBatch=Batchconversion",
        "FormBatch.Label1=Source",
        "FormBatch.Label2=Target",
        "FormBatch.BitBtn1=OK",
        "FormBatch.BitBtn2=Abbrechen",
        ".FormAbout=About",
        "FormAbout.BitBtn1=Lizenzbedingungen ansehen",
        "##Red1##=Rot (1)",
        "##Green1##=Grün (1)",
        "##Blue1##=Blau (1)",
        "##Red2##=Rot (2)",
        "##Green2##=Grün (2)",
        "##Blue2##=Blau (2)",
        "##Transformed##=Umwandlung fertig",
        "##aktuellesBildüberschreiben##=Soll das aktuelle Bild überschrieben werden?",
        "##Loading##=Bild wird geladen ...",
        "##Keine24bitGrafik##= dies ist keine 24bit Grafik",
        "##Initializing##=Initialisierung",
        "##Imageloaded##=Bild geladen",
        "##Saving##=Bild wird gespeichert ...",
        "##standby##=bereit",
        "##aktuellesBildüberschreiben##=soll das aktuelle Bild überschrieben werden?",
        "##PixmendUntitled.bmp##=Pixmend unbenannt.bmp",
        "##erledigt##=%2.1f  Prozent erledigt",
        "##beenden##=Sind Sie sicher, dass Sie Pixmend schon beenden möchten?",
        // The batch run and its dialog.
        "##BatchRun##=Batchlauf",
        "##BatchFile##=Datei %1 von %2: %3",
        "##BatchCancel##=Abbrechen",
        "##BatchStopping##=Wird nach der laufenden Datei angehalten ...",
        "##BatchWritten##=%1 von %2 Dateien geschrieben nach %3.",
        "##BatchFailedList##=Fehlgeschlagen:",
        "##BatchCancelled##=Abgebrochen: %1 Dateien nicht bearbeitet.",
        "##BatchStopped##=Nach dem Fehler angehalten: %1 Dateien nicht bearbeitet.",
        "##BatchCancelledOne##=Abgebrochen: 1 Datei nicht bearbeitet.",
        "##BatchStoppedOne##=Nach dem Fehler angehalten: 1 Datei nicht bearbeitet.",
        "##BatchNewFolder##=Neuer Ordner",
        "##BatchFolderName##=Name des neuen Ordners:",
        "##BatchNoFolder##=Der Zielordner %1 existiert nicht.",
        "##BatchCannotCreate##=Ordner %1 kann nicht erstellt werden (%2)",
        "##BatchCannotRead##=Ordner %1 kann nicht gelesen werden (%2)",
        "##BatchTargetHint##=Der Ordner, in den die Ergebnisse geschrieben werden",
        "##BatchFilter##=Filter: %1, %2 Einträge",
        "##BatchFilterOne##=Filter: %1, 1 Eintrag",
        "##BatchFilterUnsaved##=nicht gespeichert",
        "##BatchFormat##=Format",
        "##BatchAsSource##=wie die Quelle",
        "##BatchSelectFiles##=Wählen Sie die Dateien aus, die umgewandelt werden sollen.",
        "##BatchReplacesSource##=%1 würde die Quelle %2 ersetzen: Wählen Sie einen anderen "
        "Zielordner oder ein anderes Format.",
        "##WatermarkPass##=Wasserzeichen: Durchgang %1, Maß %2",
        "##WatermarkNotFinite##=Das Spektrum enthält Werte, die keine endlichen Zahlen sind "
        "(NaN oder unendlich); es kann kein Wasserzeichen aufnehmen.",
        "##WatermarkTooWeak##=Das Wasserzeichen ließ sich nicht einbetten: nach %1 Durchgängen "
        "ist sein Maß nur %2, zu schwach, um gefunden zu werden (das Bild ist zu klein oder "
        "seine Werte sind zu groß). Das Bild bleibt unverändert.",
    };
    return table;
}

const TLanguageTable& StrHolder2() {
    static const TLanguageTable table{
        "",
        ".Form1=Pixmend",
        "Form1.h-Image1=Double click to apply",
        "Form1.h-TrackKontrast=Contrast",
        "Form1.h-ToolOpen=Open image file",
        "Form1.h-ToolSave=Save image file",
        "Form1.h-ToolCopy=Copy to clipboard",
        "Form1.h-ToolPaste=Paste from clipboard",
        "Form1.h-ToolTransform=Transform",
        "Form1.h-Toolundo=Undo last smoothing",
        "Form1.h-ToolRec=Smooth using rectangle",
        "Form1.h-ToolElipse=Smooth using ellipse",
        "Form1.h-ToolStempel=Apply smoothing",
        "Form1.h-Toolapply=Apply filter",
        "Form1.h-ToolBatchrun=Batch run",
        "Form1.h-ToolFilter=View/edit filter",
        "Form1.h-ToolLoadFilter=Open filter ",
        "Form1.h-ToolSaveFilter=Save filter ",
        "Form1.h-ToolZoom=Zoom",
        "Form1.h-ToolHelp=Context-sensitive help/n0d/n0a(click on the item you want more "
        "information about)",
        "OpenPictureDialog.h-PreviewButton=Preview",
        "SavePictureDialog.h-PreviewButton=Preview",
        "Form1.GradientCaption1=Pixmend",
        "MainMenu1.0=&File",
        "MainMenu1.1=&Edit",
        "MainMenu1.2=&Tools",
        "MainMenu1.3=&Advanced",
        "MainMenu1.4=&Help",
        "Form1.File10=Open",
        "Form1.File11=Save",
        "Form1.File12=Close",
        "Form1.File13=Quit",
        "Form1.Edit10=Copy",
        "Form1.Edit11=Paste",
        "Form1.Edit12=Transform",
        "Form1.Edit13=Smooth area",
        "Form1.Tools10=Zoom",
        "Form1.Tools11=Rectangle",
        "Form1.Tools12=Ellipse",
        "Form1.Advanced10=Apply filter",
        "Form1.Advanced11=Batch run",
        "Form1.Advanced12=Open filter",
        "Form1.Advanced13=Save filter",
        "Form1.Advanced14=View filter",
        "Form1.Help10=Context-sensitive help",
        "Form1.Help11=version-info",
        "Form1.Help12=About us",
        "##Red1##=red (1)",
        "##Green1##=green (1)",
        "##Blue1##=blue (1)",
        "##Red2##=red (2)",
        "##Green2##=green (2)",
        "##Blue2##=blue (2)",
        "##Transformed##=Transformed",
        "##aktuellesBildüberschreiben##=overwrite this image?",
        "##Loading##=loading image ...",
        "##Keine24bitGrafik##=sorry, no 24bit grafik",
        "##Initializing##=initializing",
        "##Imageloaded##=image loaded",
        "##Saving##=saving image ...",
        "##standby##=bereit",
        "##PixmendUntitled.bmp##=Pixmend untitled.bmp",
        "##erledigt##=%2.1f  percent ...",
        "##beenden##=Do you really want to quit Pixmend?",
        // The batch run and its dialog.
        "##BatchRun##=Batch run",
        "##BatchFile##=File %1 of %2: %3",
        "##BatchCancel##=Cancel",
        "##BatchStopping##=Stopping after the current file ...",
        "##BatchWritten##=%1 of %2 files written to %3.",
        "##BatchFailedList##=Failed:",
        "##BatchCancelled##=Cancelled: %1 files not processed.",
        "##BatchStopped##=Stopped at the failure: %1 files not processed.",
        "##BatchCancelledOne##=Cancelled: 1 file not processed.",
        "##BatchStoppedOne##=Stopped at the failure: 1 file not processed.",
        "##BatchNewFolder##=New folder",
        "##BatchFolderName##=Name of the new folder:",
        "##BatchNoFolder##=The target folder %1 does not exist.",
        "##BatchCannotCreate##=Folder %1 cannot be created (%2)",
        "##BatchCannotRead##=Folder %1 cannot be read (%2)",
        "##BatchTargetHint##=The folder the results are written to",
        "##BatchFilter##=Filter: %1, %2 entries",
        "##BatchFilterOne##=Filter: %1, 1 entry",
        "##BatchFilterUnsaved##=unsaved",
        "##BatchFormat##=Format",
        "##BatchAsSource##=as the source",
        "##BatchSelectFiles##=Select the files to convert.",
        "##BatchReplacesSource##=%1 would replace the source %2: choose another target folder or "
        "format.",
        "##WatermarkPass##=watermark: pass %1, measure %2",
        "##WatermarkNotFinite##=The spectrum holds values that are not finite (NaN or "
        "infinity); it cannot carry a watermark.",
        "##WatermarkTooWeak##=The watermark could not be embedded: after %1 passes its measure "
        "is only %2, too weak to be found (the image is too small or its values too large). "
        "The image is unchanged.",
    };
    return table;
}

namespace {

// Decodes the next code point of a UTF-8 text at `pos` and advances. A byte
// that does not start a valid sequence stands for itself, mapped above the
// Unicode range so it only ever equals the same byte.
char32_t NextCodePoint(std::string_view text, size_t& pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(pos);
    size_t length = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        cp = lead & 0x07;
    }
    bool valid = length != 0 && pos + length <= text.size();
    for (size_t i = 1; valid && i < length; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            valid = false;
        else
            cp = (cp << 6) | (byte(pos + i) & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!valid || cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++pos;
        return 0x110000 + lead;
    }
    pos += length;
    return cp;
}

// Lower case of the letters of the Latin, Greek and Cyrillic blocks, which
// covers every key a table or a window can produce.
char32_t FoldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + 0x20;
    if (c < 0xC0) return c;
    if (c <= 0xDE) return c == 0xD7 ? c : c + 0x20;
    if (c == 0x178) return 0xFF;
    if (c >= 0x100 && c <= 0x137) return c | 1;
    if (c >= 0x139 && c <= 0x148) return (c & 1) ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c | 1;
    if (c >= 0x179 && c <= 0x17E) return (c & 1) ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return c + 0x20;
    if (c >= 0x410 && c <= 0x42F) return c + 0x20;
    if (c >= 0x400 && c <= 0x40F) return c + 0x50;
    return c;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    size_t i = 0;
    size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j))) return false;
    }
    return i == a.size() && j == b.size();
}

std::string ExpandLineBreaks(std::string_view value) {
    static constexpr std::string_view kMarker = "/n0d/n0a";
    std::string out;
    out.reserve(value.size());
    size_t pos = 0;
    for (;;) {
        const size_t hit = value.find(kMarker, pos);
        if (hit == std::string_view::npos) break;
        out.append(value.substr(pos, hit - pos));
        out.append("\r\n");
        pos = hit + kMarker.size();
    }
    out.append(value.substr(pos));
    return out;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

std::string LookupText(const TLanguageState& state, const std::string& fullKey,
                       const std::string& fallback) {
    if (state.LanguageTable == nullptr) return fallback;
    for (const std::string& line : *state.LanguageTable) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        if (!EqualIgnoringCase(std::string_view(line).substr(0, equals), fullKey)) continue;
        const std::string_view value = std::string_view(line).substr(equals + 1);
        if (value.empty()) return fallback;
        return ExpandLineBreaks(value);
    }
    return fallback;
}

std::string LangText(const TLanguageState& state, const std::string& messageKey) {
    return LookupText(state, "##" + messageKey + "##", messageKey);
}

std::string LangTextFormat(const TLanguageState& state, const std::string& messageKey,
                           double value) {
    const std::string format = LangText(state, messageKey);
    std::string out;
    bool filled = false;
    size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            out += format[i++];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            i += 2;
            continue;
        }
        // Accept "%[flags][width][.precision]f" with at most two digits for
        // width and precision, so the output stays small.
        size_t j = i + 1;
        while (j < format.size() &&
               std::string_view("-+ 0#").find(format[j]) != std::string_view::npos)
            ++j;
        size_t digits = 0;
        while (j < format.size() && IsDigit(format[j]) && digits < 3) ++j, ++digits;
        bool ok = digits <= 2;
        if (ok && j < format.size() && format[j] == '.') {
            ++j;
            digits = 0;
            while (j < format.size() && IsDigit(format[j]) && digits < 3) ++j, ++digits;
            ok = digits <= 2;
        }
        ok = ok && !filled && j < format.size() && format[j] == 'f';
        if (!ok) {
            out += format[i++];
            continue;
        }
        const std::string conversion = format.substr(i, j + 1 - i);
        char buffer[512];
        const int n = std::snprintf(buffer, sizeof buffer, conversion.c_str(), value);
        if (n > 0) out.append(buffer, size_t(n) < sizeof buffer ? size_t(n) : sizeof buffer - 1);
        filled = true;
        i = j + 1;
    }
    return out;
}

void SelectLanguageTable(TLanguageState& state, int32_t language) {
    state.LanguageTable = language == lgEnglish ? &StrHolder2() : &StrHolder1();
}
