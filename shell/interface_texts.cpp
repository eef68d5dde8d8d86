#include "shell/interface_texts.h"
#include "shell/language_tables.h"

#include <map>
#include <optional>

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
        // The view.
        {"&Ansicht", "&View"},
        {"Kontrast", "Contrast"},
        // The transform's passes in its progress window.
        {"Rote Ebene, Zeilen", "Red plane, rows"},
        {"Gr\u00fcne Ebene, Zeilen", "Green plane, rows"},
        {"Blaue Ebene, Zeilen", "Blue plane, rows"},
        {"Rote Ebene, Spalten", "Red plane, columns"},
        {"Gr\u00fcne Ebene, Spalten", "Green plane, columns"},
        {"Blaue Ebene, Spalten", "Blue plane, columns"},
        {"Bild \u00f6ffnen (Strg+O) oder hierher ziehen",
         "Open an image (Ctrl+O) or drop one here"},
        {"%1 wird ge\u00f6ffnet \u2026", "Opening %1 \u2026"},
        {"%1 \u00d7 %2 Zyklen/Pixel, Abstand %3 Zellen",
         "%1 \u00d7 %2 cycles/pixel, distance %3 cells"},
        {"Erst einen Bereich auf dem Spektrum markieren", "Draw a mark on the spectrum first"},
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
        {"Wasserzeichen gesetzt (Durchl\u00e4ufe: %1, Ma\u00df: %2 %)",
         "Watermark embedded (passes: %1, measure: %2 %)"},
        {"(im Spektrum eingebettet)", "(embedded in the spectrum)"},
        {"(in den Bildpunkten eingebettet)", "(embedded in the pixels)"},
        // Find screen.
        {"Raster suchen …", "Looking for a screen …"},
        {"Kein Raster gefunden", "No screen found"},
        {"Raster gefunden und gedämpft: %1 Einträge", "Screen found and damped: %1 entries"},
        {"Raster gefunden und ged\u00e4mpft: 1 Eintrag", "Screen found and damped: 1 entry"},
        // The screen window of Find screen on the picture.
        {"Raster entfernen", "Remove screen"},
        {"St\u00e4rke", "Strength"},
        {"Ab 1 findet die Suche schw\u00e4chere Spitzen und d\u00e4mpft breiter, darunter "
         "umgekehrt (0,25 bis 4)",
         "Above 1 the search finds weaker peaks and damps wider, below 1 the opposite (0.25 to "
         "4)"},
        {"Nebeneinander", "Side by side"},
        {"Geteilt", "Split"},
        {"Anwenden", "Apply"},
        {"Ohne Raster", "Screen removed"},
        {"Vorschau wird berechnet \u2026", "Computing the preview \u2026"},
        {"Raster gefunden: %1 Eintr\u00e4ge", "Screen found: %1 entries"},
        {"Raster gefunden: 1 Eintrag", "Screen found: 1 entry"},
        {"Vorschau bei %1 %", "Preview at %1 %"},
        // The Transform command's progress window and its fast mode.
        {"Umwandeln", "Transform"},
        {"Restzeit wird gesch\u00e4tzt \u2026", "Estimating the time left \u2026"},
        {"Noch etwa %1", "About %1 left"},
        {"Wird abgebrochen \u2026", "Cancelling \u2026"},
        {"Abbrechen nicht m\u00f6glich: zu wenig Arbeitsspeicher",
         "Cannot cancel: not enough memory"},
        {"Umwandlung abgebrochen", "Transform cancelled"},
        {"Umwandlung fertig (schnell)", "Transformed (fast)"},
        // Unsaved work: the save question, replacing a file, the filter.
        {"\u00c4nderungen an %1 speichern?", "Save the changes to %1?"},
        {"\u00c4nderungen am neuen Filter speichern?", "Save the changes to the new filter?"},
        {"Speichern", "Save"},
        {"Verwerfen", "Discard"},
        {"%1 existiert bereits. Soll die Datei ersetzt werden?", "%1 already exists. Replace it?"},
        {"%1 ist die ge\u00f6ffnete Vorlage. Soll sie wirklich durch das Ergebnis ersetzt werden?",
         "%1 is the scan you opened. Replace the original with the result?"},
        {"Der Filter enth\u00e4lt %1 nicht gespeicherte Eintr\u00e4ge. Sollen sie f\u00fcr das "
         "neue Bild bleiben, oder soll ein neuer Filter beginnen?",
         "The filter holds %1 unsaved entries. Keep them for the new picture, or start a new "
         "filter?"},
        {"Der Filter enth\u00e4lt einen nicht gespeicherten Eintrag. Soll er f\u00fcr das neue "
         "Bild bleiben, oder soll ein neuer Filter beginnen?",
         "The filter holds 1 unsaved entry. Keep it for the new picture, or start a new filter?"},
        {"Behalten", "Keep"},
        {"Neuer Filter", "New filter"},
        {"Filter: %1, %2", "Filter: %1, %2"},
        {"ungespeichert", "unsaved"},
        {"1 Eintrag", "1 entry"},
        {"%1 Eintr\u00e4ge", "%1 entries"},
        {"Zuletzt ge\u00f6ffnet", "Recent files"},
        {"Die Datei %1 gibt es nicht mehr.", "The file %1 no longer exists."},
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
        {"Seitenband-D\u00e4mpfung", "Screen sideband damping"},
        {"Ellipse", "Ellipse"},
        {"unbekannt", "unknown"},
        // Questions.
        {"Die Filtereintr\u00e4ge sind nicht gespeichert. Sollen sie ersetzt werden?",
         "The filter entries are not saved. Replace them?"},
    };
    return texts;
}

} // namespace

std::string InterfaceText(int32_t language, std::string_view german) {
    if (language == lgEnglish)
        for (const auto& [de, en] : PlainTexts())
            if (de == german) return std::string(en);
    return std::string(german);
}

std::string MessageText(int32_t language, const TMessage& message) {
    return RenderMessage(message,
                         language == lgEnglish ? TMessageForm::English : TMessageForm::German);
}

const std::vector<std::pair<std::string_view, std::string_view>>& InterfaceTextPairs() {
    static const TPairs all = [] {
        TPairs pairs = PlainTexts();
        for (size_t id = 0; id < size_t(TMessageId::Count); ++id) {
            const TMessageRow* row = FindMessageRow(TMessageId(id));
            pairs.emplace_back(row->German, row->English);
        }
        return pairs;
    }();
    return all;
}

namespace {

// A text's pieces: the literal runs, with the placeholder between each two.
struct TFormatPieces {
    std::vector<std::string_view> Literals;
    std::vector<std::string_view> Holes;
};

TFormatPieces Pieces(std::string_view format) {
    TFormatPieces pieces;
    size_t start = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        size_t end = i + 1;
        while (end < format.size() && format[end] >= '0' && format[end] <= '9') ++end;
        if (end == i + 1) continue;
        // A number's width and precision: "%2.1f".
        if (end < format.size() && format[end] == '.') {
            size_t f = end + 1;
            while (f < format.size() && format[f] >= '0' && format[f] <= '9') ++f;
            if (f < format.size() && format[f] == 'f') end = f + 1;
        }
        pieces.Literals.push_back(format.substr(start, i - start));
        pieces.Holes.push_back(format.substr(i, end - i));
        start = end;
        i = end - 1;
    }
    pieces.Literals.push_back(format.substr(start));
    return pieces;
}

// What stood in each placeholder of `format` when it gave `shown`; none
// when it did not give it.
std::optional<std::map<std::string_view, std::string_view>> Fill(std::string_view format,
                                                                 std::string_view shown) {
    const TFormatPieces p = Pieces(format);
    if (p.Holes.empty()) {
        if (format != shown) return std::nullopt;
        return std::map<std::string_view, std::string_view>{};
    }
    const std::string_view first = p.Literals.front(), last = p.Literals.back();
    if (shown.size() < first.size() + last.size() || shown.substr(0, first.size()) != first ||
        shown.substr(shown.size() - last.size()) != last)
        return std::nullopt;
    std::map<std::string_view, std::string_view> filled;
    size_t at = first.size();
    const size_t end = shown.size() - last.size();
    for (size_t h = 0; h < p.Holes.size(); ++h) {
        size_t next = end;
        if (h + 1 < p.Holes.size()) {
            next = shown.find(p.Literals[h + 1], at);
            if (next == std::string_view::npos || next > end) return std::nullopt;
        }
        filled[p.Holes[h]] = shown.substr(at, next - at);
        at = next + (h + 1 < p.Holes.size() ? p.Literals[h + 1].size() : 0);
    }
    return filled;
}

// The message texts of both tables as the window shows them, German first.
const std::vector<std::pair<std::string, std::string>>& MessagePairs() {
    static const std::vector<std::pair<std::string, std::string>> pairs = [] {
        TLanguageState de, en;
        SelectLanguageTable(de, lgGerman);
        SelectLanguageTable(en, lgEnglish);
        std::vector<std::pair<std::string, std::string>> all;
        for (const std::string& line : StrHolder1()) {
            const size_t equals = line.find('=');
            if (line.rfind("##", 0) != 0 || equals == std::string::npos) continue;
            const std::string key = line.substr(0, equals);
            all.emplace_back(LookupText(de, key, ""),
                             InterfaceText(lgEnglish, LookupText(en, key, "")));
        }
        for (const auto& [g, e] : InterfaceTextPairs()) all.emplace_back(g, e);
        return all;
    }();
    return pairs;
}

} // namespace

std::string TextInLanguage(int32_t from, int32_t to, std::string_view shown) {
    if (from == to || shown.empty()) return {};
    const bool toEnglish = to == lgEnglish;
    // Whole texts first; a format only where its own words tell it apart.
    for (const bool formats : {false, true})
        for (const auto& [de, en] : MessagePairs()) {
            const std::string_view source = toEnglish ? de : en, target = toEnglish ? en : de;
            const TFormatPieces pieces = Pieces(source);
            if (pieces.Holes.empty() == formats || source.empty() || target.empty()) continue;
            size_t words = 0;
            for (const std::string_view literal : pieces.Literals) words += literal.size();
            if (formats && words < 4) continue;
            const auto filled = Fill(source, shown);
            if (!filled) continue;
            const TFormatPieces out = Pieces(target);
            std::string text(out.Literals.front());
            bool complete = true;
            for (size_t h = 0; h < out.Holes.size(); ++h) {
                const auto value = filled->find(out.Holes[h]);
                if (value == filled->end()) complete = false;
                if (!complete) break;
                text += value->second;
                text += out.Literals[h + 1];
            }
            if (complete) return text;
        }
    return {};
}
