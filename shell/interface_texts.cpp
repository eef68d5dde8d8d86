#include "shell/interface_texts.h"

namespace {

using TPairs = std::vector<std::pair<std::string_view, std::string_view>>;

// Plain texts, matched whole.
const TPairs& PlainTexts() {
    static const TPairs texts{
        // Status texts with no English line in the tables.
        {"bereit", "ready"},
        {"ReInitializing", "resizing spectrum ..."},
        {"ReInitializing ok", "resize ok"},
        {"Original", "Original"},
        {"Gefiltert", "Filtered"},
        // The resize dialog.
        {"Wert", "Value"},
        {"Resize Modus", "Resize mode"},
        {"Prozent", "Percent"},
        {"Breite", "Width"},
        {"H\u00f6he", "Height"},
        {"Max Breite", "Max width"},
        {"Max H\u00f6he", "Max height"},
        // The about dialog.
        {"Lizenzbedingungen ansehen", "View licence terms"},
        // The watermark prompts.
        {"Ihr Zeichen", "Your sign"},
        {"geben Sie bitte Ihr Zeichen ein", "please enter your sign"},
        {"Wasserzeichen nicht gefunden", "Watermark not found"},
        {"Wasserzeichen gesetzt (Durchl\u00e4ufe: %1, Ma\u00df: %2 %)",
         "Watermark embedded (passes: %1, measure: %2 %)"},
        // Find screen.
        {"Raster suchen …", "Looking for a screen …"},
        {"Kein Raster gefunden", "No screen found"},
        {"Raster gefunden und gedämpft: %1 Einträge", "Screen found and damped: %1 entries"},
        // The Transform command's progress window and its fast mode.
        {"Umwandeln", "Transform"},
        {"Restzeit wird gesch\u00e4tzt \u2026", "Estimating the time left \u2026"},
        {"Noch etwa %1", "About %1 left"},
        {"Wird abgebrochen \u2026", "Cancelling \u2026"},
        {"Abbrechen nicht m\u00f6glich: zu wenig Arbeitsspeicher",
         "Cannot cancel: not enough memory"},
        {"Umwandlung abgebrochen", "Transform cancelled"},
        {"Umwandlung fertig (schnell)", "Transformed (fast)"},
        // Standard buttons of the boxes.
        {"Ja", "Yes"},
        {"Nein", "No"},
        {"Abbrechen", "Cancel"},
        // Tooltips of the buttons the tables have no hint for.
        {"Auch den an der Diagonale gespiegelten Bereich gl\u00e4tten",
         "Also smooth the region mirrored at the diagonal"},
        {"Resize", "Resize"},
        // The filter list.
        {"Art", "Kind"},
        {"Position", "Position"},
        {"Gr\u00f6\u00dfe", "Size"},
        {"Zeile", "Line"},
        {"Rechteck", "Rectangle"},
        {"Rasterkerbe", "Screen notch"},
        {"Rasterband", "Screen band"},
        {"Rasterweiten-Tiefpass", "Screen ruling low-pass"},
        {"Ellipse", "Ellipse"},
        {"unbekannt", "unknown"},
        // Questions.
        {"Die Filtereintr\u00e4ge sind nicht gespeichert. Sollen sie ersetzt werden?",
         "The filter entries are not saved. Replace them?"},
        // Explanations the error boxes add to a codec's number.
        {"Die JPEG-Daten sind besch\u00e4digt oder unvollst\u00e4ndig.",
         "The JPEG data are damaged or incomplete."},
        {"Zu wenig Arbeitsspeicher", "Out of memory"},
        {"Bitmap ist ung\u00fcltig",
         "The picture is not valid: the file is damaged, truncated or of an unsupported kind"},
        {"Format der Zwischenablage wird nicht unterst\u00fctzt",
         "The clipboard holds no picture in a supported format"},
        {"Ung\u00fcltige Gleitkommaoperation", "Invalid floating-point operation"},
    };
    return texts;
}

// Messages with one parameter, written with "%s" where it goes.
const TPairs& MessagePatterns() {
    static const TPairs patterns{
        {"Datei %s kann nicht ge\u00f6ffnet werden", "Cannot open the file %s"},
        {"Datei %s kann nicht erstellt werden", "Cannot create the file %s"},
        {"Datei %s ist zu gro\u00df f\u00fcr eine Filterdatei",
         "The file %s is too large for a filter file"},
        {"Unbekannte Bilddateierweiterung (.%s)", "Unknown image file extension (.%s)"},
        {"Der Dateiname %s hat keine Erweiterung", "The file name %s has no extension"},
        {"Bitmap ist ung\u00fcltig (%s)", "The picture is not valid (%s)"},
        {"JPEG-Fehler #%s", "JPEG error #%s"},
        {"'%s' ist kein g\u00fcltiger Integerwert", "'%s' is not a valid integer value"},
        {"Die neue Bildgr\u00f6\u00dfe %s ist zu gro\u00df", "The new image size %s is too large"},
        {"Listenindex \u00fcberschreitet das Maximum (%s)", "List index exceeds the maximum (%s)"},
        {"Wasserzeichen gefunden, %s % vollst\u00e4ndig", "Watermark found, %s % complete"},
    };
    return patterns;
}

bool Fill(std::string_view pattern, std::string_view text, std::string_view into,
          std::string& out) {
    const size_t at = pattern.find("%s");
    if (at == std::string_view::npos) return false;
    const std::string_view prefix = pattern.substr(0, at);
    const std::string_view suffix = pattern.substr(at + 2);
    if (text.size() < prefix.size() + suffix.size()) return false;
    if (text.substr(0, prefix.size()) != prefix) return false;
    if (text.substr(text.size() - suffix.size()) != suffix) return false;
    const std::string_view parameter =
        text.substr(prefix.size(), text.size() - prefix.size() - suffix.size());
    const size_t slot = into.find("%s");
    out = std::string(into.substr(0, slot));
    out += parameter;
    out += into.substr(slot + 2);
    return true;
}

} // namespace

std::string InterfaceText(int32_t language, std::string_view german) {
    if (language == 2)
        for (const auto& [de, en] : PlainTexts())
            if (de == german) return std::string(en);
    return std::string(german);
}

std::string MessageText(int32_t language, const std::string& message) {
    if (language != 2) return message;
    for (const auto& [de, en] : PlainTexts())
        if (de == message) return std::string(en);
    std::string out;
    for (const auto& [de, en] : MessagePatterns())
        if (Fill(de, message, en, out)) return out;
    return message;
}

const std::vector<std::pair<std::string_view, std::string_view>>& InterfaceTextPairs() {
    static const TPairs all = [] {
        TPairs pairs = PlainTexts();
        pairs.insert(pairs.end(), MessagePatterns().begin(), MessagePatterns().end());
        return pairs;
    }();
    return all;
}
