#include "help/about_texts.h"
#include "shell/language_tables.h"

namespace {

const char* const kGermanTerms =
    "Lizenzbedingungen für Pixmend (Standard-Edition)\n"
    "\n"
    "1. Nutzungsrecht\n"
    "Sie dürfen Pixmend auf beliebig vielen Rechnern installieren und für private\n"
    "und berufliche Zwecke nutzen, auch zur Bearbeitung von Bildern, die Sie\n"
    "veröffentlichen oder verkaufen.\n"
    "\n"
    "2. Weitergabe\n"
    "Sie dürfen das Programm unverändert und vollständig weitergeben, sofern Sie\n"
    "dafür kein Entgelt verlangen und diese Lizenzbedingungen beilegen.\n"
    "Veränderte Fassungen dürfen nicht unter dem Namen Pixmend verbreitet werden.\n"
    "\n"
    "3. Ihre Bilder und Filter\n"
    "Alle Bilder, Filterdateien und Wasserzeichen, die Sie mit Pixmend erstellen,\n"
    "gehören Ihnen. Pixmend überträgt keine Daten an Dritte; die Online-Hilfe\n"
    "ruft lediglich Hilfeseiten vom eingestellten Hilfe-Server ab.\n"
    "\n"
    "4. Gewährleistung\n"
    "Pixmend wurde sorgfältig erstellt und geprüft. Es wird jedoch ohne\n"
    "Gewähr für die Eignung zu einem bestimmten Zweck überlassen. Bewahren Sie\n"
    "von wichtigen Vorlagen stets eine Sicherungskopie auf.\n"
    "\n"
    "5. Haftung\n"
    "Für Schäden, die aus der Nutzung des Programms entstehen, wird nur bei\n"
    "Vorsatz und grober Fahrlässigkeit gehaftet, soweit gesetzlich zulässig.\n"
    "\n"
    "6. Schlussbestimmungen\n"
    "Es gilt deutsches Recht. Sollte eine dieser Bestimmungen unwirksam sein,\n"
    "bleiben die übrigen Bestimmungen davon unberührt.\n";

const char* const kEnglishHeading =
    "Licence terms of Pixmend (Standard Edition)\n"
    "\n"
    "Note: the licence terms below are given in German and only the German\n"
    "text is legally binding. In short: you may install and use Pixmend on any\n"
    "number of computers, pass it on unchanged and free of charge together with\n"
    "these terms, and everything you create with it belongs to you. The program\n"
    "comes without any warranty of fitness for a particular purpose.\n"
    "\n"
    "----------------------------------------------------------------------\n"
    "\n";

const char* const kVersionGerman =
    "==========================================\n"
    "   Pixmend (Standard-Edition)  Version 1.0\n"
    "==========================================\n"
    "\n"
    "Neueste Änderungen:\n"
    "+ elliptische Markierungsformen zum Glätten\n"
    "+ Markierungen lassen sich verschieben und in der Größe ändern\n"
    "+ neue Menüpunkte: Schließen, Beenden und Versionsinfo\n"
    "\n"
    "Weitere Änderungen:\n"
    "+ Tastenkürzel für die meistbenutzten Funktionen\n"
    "+ schnellere Batchläufe über Bildarchive\n";

const char* const kVersionEnglish = "==========================================\n"
                                    "   Pixmend (Standard Edition)  Version 1.2\n"
                                    "==========================================\n"
                                    "\n"
                                    "Latest changes:\n"
                                    "+ elliptic marking shapes for smoothing\n"
                                    "+ marks can be moved and resized\n"
                                    "+ new menu items: Close, Quit and Version info\n"
                                    "+ spectral resize of images\n"
                                    "\n"
                                    "Further changes:\n"
                                    "+ keyboard shortcuts for the most used functions\n"
                                    "+ faster batch runs over picture archives\n";

} // namespace

const std::string& LicenceTextGerman() {
    static const std::string text = kGermanTerms;
    return text;
}

const std::string& LicenceTextEnglish() {
    static const std::string text = std::string(kEnglishHeading) + kGermanTerms;
    return text;
}

const std::string& VersionTextGerman() {
    static const std::string text = kVersionGerman;
    return text;
}

const std::string& VersionTextEnglish() {
    static const std::string text = kVersionEnglish;
    return text;
}

const std::string& LicenceText(int32_t language) {
    return language == lgGerman ? LicenceTextGerman() : LicenceTextEnglish();
}

const std::string& VersionText(int32_t language) {
    return language == lgGerman ? VersionTextGerman() : VersionTextEnglish();
}
