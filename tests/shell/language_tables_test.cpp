// The two language tables line by line, and the lookup with its fallbacks,
// letter-case rules, line breaks and the progress format.
#include "shell/interface_texts.h"
#include "shell/language_tables.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

std::string KeyOf(const std::string& line) {
    return line.substr(0, line.find('='));
}

TLanguageState Active(int32_t language) {
    TLanguageState s;
    s.Language = language;
    SelectLanguageTable(s, language);
    return s;
}

TLanguageState WithTable(const TLanguageTable& table) {
    TLanguageState s;
    s.Language = 1;
    s.LanguageTable = &table;
    return s;
}

// The German-only lines: the captions of the other windows and the second
// overwrite question.
const std::set<std::string> kGermanOnlyKeys{
    ".FormZoom",         ".FormHelp",        ".FormProtokol",    "FormProtokol.Delete",
    ".FormBatch",        "FormBatch.Label1", "FormBatch.Label2", "FormBatch.BitBtn1",
    "FormBatch.BitBtn2", ".FormAbout",       "FormAbout.BitBtn1"};

TEST(LanguageTables, SizesAndLandmarkLines) {
    const TLanguageTable& de = StrHolder1();
    const TLanguageTable& en = StrHolder2();
    // The fixed tables, the batch run's texts and the watermark's status
    // and error texts.
    ASSERT_EQ(de.size(), 102u);
    ASSERT_EQ(en.size(), 90u);
    for (const TLanguageTable* t : {&de, &en}) {
        EXPECT_EQ((*t)[0], "");
        EXPECT_EQ((*t)[1], ".Form1=Pixmend");
        EXPECT_EQ(KeyOf((*t)[2]), "Form1.h-Image1");
        EXPECT_EQ(KeyOf((*t)[19]), "Form1.h-ToolHelp");
        EXPECT_EQ((*t)[20].substr(0, 34), "OpenPictureDialog.h-PreviewButton=");
        EXPECT_EQ((*t)[22], "Form1.GradientCaption1=Pixmend");
        EXPECT_EQ(KeyOf((*t)[23]), "MainMenu1.0");
        EXPECT_EQ(KeyOf((*t)[46]), "Form1.Help12");
    }
    EXPECT_EQ(de[23], "MainMenu1.0=&Datei");
    EXPECT_EQ(en[23], "MainMenu1.0=&File");
    EXPECT_EQ(de[47], ".FormZoom=zoom");
    EXPECT_EQ(de[55], "FormBatch.BitBtn2=Abbrechen");
    EXPECT_EQ(de[57], "FormAbout.BitBtn1=Lizenzbedingungen ansehen");
    EXPECT_EQ(de[58], "##Red1##=Rot (1)");
    EXPECT_EQ(en[47], "##Red1##=red (1)");
    EXPECT_EQ(de[75], "##beenden##=Sind Sie sicher, dass Sie Pixmend schon beenden m\xC3\xB6"
                      "chten?");
    EXPECT_EQ(en[63], "##beenden##=Do you really want to quit Pixmend?");
    // The duplicate sits between "standby" and the untitled name.
    EXPECT_EQ(de[71], "##standby##=bereit");
    EXPECT_EQ(de[72], "##aktuellesBild\xC3\xBC"
                      "berschreiben##=soll das aktuelle Bild \xC3\xBC"
                      "berschrieben werden?");
    EXPECT_EQ(de[73], "##PixmendUntitled.bmp##=Pixmend unbenannt.bmp");
}

TEST(LanguageTables, BlanksAndFormatsAreKeptByteForByte) {
    const TLanguageTable& de = StrHolder1();
    const TLanguageTable& en = StrHolder2();
    EXPECT_EQ(en[16], "Form1.h-ToolLoadFilter=Open filter ");
    EXPECT_EQ(en[17], "Form1.h-ToolSaveFilter=Save filter ");
    EXPECT_EQ(de[67], "##Keine24bitGrafik##= dies ist keine 24bit Grafik");
    EXPECT_EQ(de[74], "##erledigt##=%2.1f  Prozent erledigt");
    EXPECT_EQ(en[62], "##erledigt##=%2.1f  percent ...");
    EXPECT_EQ(en[19], "Form1.h-ToolHelp=Context-sensitive help/n0d/n0a(click on the item you want "
                      "more information about)");
    // Umlauts are stored precomposed (NFC): "Öffnen" starts with C3 96.
    EXPECT_EQ(de[28], "Form1.File10=\xC3\x96"
                      "ffnen");
    EXPECT_EQ(de[46], "Form1.Help12=\xC3\x9C"
                      "ber uns");
    EXPECT_EQ(de[30], "Form1.File12=Schlie\xC3\x9F"
                      "en");
}

TEST(LanguageTables, BothTablesShareTheirKeysInTheSameOrder) {
    std::vector<std::string> deKeys;
    bool duplicateSeen = false;
    for (size_t i = 1; i < StrHolder1().size(); ++i) {
        const std::string& line = StrHolder1()[i];
        ASSERT_NE(line.find('='), std::string::npos) << line;
        ASSERT_FALSE(KeyOf(line).empty()) << line;
        const std::string key = KeyOf(line);
        if (kGermanOnlyKeys.count(key) != 0) continue;
        if (key == "##aktuellesBild\xC3\xBC"
                   "berschreiben##" &&
            duplicateSeen)
            continue;
        if (key == "##aktuellesBild\xC3\xBC"
                   "berschreiben##")
            duplicateSeen = true;
        deKeys.push_back(key);
    }
    std::vector<std::string> enKeys;
    for (size_t i = 1; i < StrHolder2().size(); ++i) {
        ASSERT_NE(StrHolder2()[i].find('='), std::string::npos);
        enKeys.push_back(KeyOf(StrHolder2()[i]));
    }
    EXPECT_EQ(deKeys, enKeys);
    EXPECT_EQ(std::set<std::string>(enKeys.begin(), enKeys.end()).size(), enKeys.size())
        << "a key twice";
}

TEST(LangText, MessagesOfThePartExamples) {
    const TLanguageState none;
    const TLanguageState de = Active(1);
    const TLanguageState en = Active(2);
    EXPECT_EQ(LangText(none, "beenden"), "beenden");
    EXPECT_EQ(LangText(en, "beenden"), "Do you really want to quit Pixmend?");
    EXPECT_EQ(LangText(de, "beenden"), "Sind Sie sicher, dass Sie Pixmend schon beenden m\xC3\xB6"
                                       "chten?");
    EXPECT_EQ(LangText(de, "aktuellesBild\xC3\xBC"
                           "berschreiben"),
              "Soll das aktuelle Bild \xC3\xBC"
              "berschrieben werden?");
    EXPECT_EQ(LangText(en, "aktuellesBild\xC3\xBC"
                           "berschreiben"),
              "overwrite this image?");
    for (const TLanguageState* s : {&de, &en}) {
        EXPECT_EQ(LangText(*s, "ReInitializing"), "ReInitializing");
        EXPECT_EQ(LangText(*s, "standby"), "bereit");
    }
    EXPECT_EQ(LangText(de, "PixmendUntitled.bmp"), "Pixmend unbenannt.bmp");
    EXPECT_EQ(LangText(en, "PixmendUntitled.bmp"), "Pixmend untitled.bmp");
    EXPECT_EQ(LangText(de, "Keine24bitGrafik"), " dies ist keine 24bit Grafik");
    EXPECT_EQ(LangText(en, "Green1"), "green (1)");
    EXPECT_EQ(LangText(de, "Green2"), "Gr\xC3\xBCn (2)");
    // Only message keys are wrapped in "##": a hint key is no message.
    EXPECT_EQ(LangText(en, "Form1.h-ToolOpen"), "Form1.h-ToolOpen");
}

TEST(LookupText, LetterCaseIsIgnoredAlsoForUmlauts) {
    const TLanguageState en = Active(2);
    EXPECT_EQ(LookupText(en, "##BEENDEN##", "x"), "Do you really want to quit Pixmend?");
    EXPECT_EQ(LookupText(en, "form1.H-TOOLOPEN", "x"), "Open image file");
    EXPECT_EQ(LookupText(en,
                         "##AKTUELLESBILD\xC3\x9C"
                         "BERSCHREIBEN##",
                         "x"),
              "overwrite this image?");
    EXPECT_EQ(LookupText(Active(1), "FORM1.FILE12", "x"), "Schlie\xC3\x9F"
                                                          "en");
    // Near misses do not match.
    EXPECT_EQ(LookupText(en, "##beenden#", "x"), "x");
    EXPECT_EQ(LookupText(en, "##beenden## ", "x"), "x");
    EXPECT_EQ(LookupText(en, "##aktuellesBildueberschreiben##", "x"), "x");
    EXPECT_EQ(LookupText(en, "", "x"), "x");
    // Bytes that are no UTF-8 compare as themselves, never as letters.
    const TLanguageTable table{"", "a\xFF=ff", "b\xC3=cut", "\xED\xA0\x80=surrogate",
                               "\xC3\x9C=UE"};
    const TLanguageState s = WithTable(table);
    EXPECT_EQ(LookupText(s, "A\xFF", "x"), "ff");
    EXPECT_EQ(LookupText(s, "a\xDF", "x"), "x");
    EXPECT_EQ(LookupText(s, "a\xC3\xBF", "x"), "x");
    EXPECT_EQ(LookupText(s, "B\xC3", "x"), "cut");
    EXPECT_EQ(LookupText(s, "b\xE3", "x"), "x");
    EXPECT_EQ(LookupText(s, "\xED\xA0\x80", "x"), "surrogate");
    EXPECT_EQ(LookupText(s, "\xC3\xBC", "x"), "UE");
    EXPECT_EQ(LookupText(s, "\xC3", "x"), "x");
}

TEST(LookupText, LineBreaksBecomeCarriageReturnLineFeed) {
    EXPECT_EQ(LookupText(Active(2), "Form1.h-ToolHelp", "x"),
              "Context-sensitive help\r\n(click on the item you want more information about)");
    EXPECT_EQ(LookupText(Active(1), "Form1.h-ToolHelp", "x"),
              "Kontexthilfe\r\n(Klicken Sie auf das Element zu dem Sie Hilfe ben\xC3\xB6tigen)");
    const TLanguageTable table{"", "a=/n0d/n0a/n0d/n0ax/n0d/n0a", "b=/N0D/N0A", "c=/n0d/n0",
                               "d=x/n0d/n0d/n0a"};
    const TLanguageState s = WithTable(table);
    EXPECT_EQ(LookupText(s, "a", "-"), "\r\n\r\nx\r\n");
    EXPECT_EQ(LookupText(s, "b", "-"), "/N0D/N0A");
    EXPECT_EQ(LookupText(s, "c", "-"), "/n0d/n0");
    EXPECT_EQ(LookupText(s, "d", "-"), "x/n0d\r\n");
}

TEST(LookupText, FallbacksAndFirstLineWins) {
    EXPECT_EQ(LookupText(TLanguageState{}, "Form1.h-ToolOpen",
                         "Bild \xC3\xB6"
                         "ffnen"),
              "Bild \xC3\xB6"
              "ffnen");
    EXPECT_EQ(LookupText(Active(2), "Form1.h-ToolResize", "Resize"), "Resize");
    const TLanguageTable table{"",        "plain",   "empty=", "empty=late", "eq=a=b=",
                               "dup=one", "DUP=two", "=nokey", " sp = v ",   "x"};
    const TLanguageState s = WithTable(table);
    EXPECT_EQ(LookupText(s, "plain", "fb"), "fb"); // a line without "=" never matches
    EXPECT_EQ(LookupText(s, "empty", "fb"), "fb"); // the first match is empty: fallback
    EXPECT_EQ(LookupText(s, "eq", "fb"), "a=b=");  // the key ends at the first "="
    EXPECT_EQ(LookupText(s, "dup", "fb"), "one");
    EXPECT_EQ(LookupText(s, "", "fb"), "nokey");
    EXPECT_EQ(LookupText(s, " sp ", "fb"), " v "); // blanks belong to key and value
    EXPECT_EQ(LookupText(s, "sp", "fb"), "fb");
    EXPECT_EQ(LookupText(s, "x", "fb"), "fb");
    EXPECT_EQ(LangText(s, "nothing"), "nothing");
}

TEST(SelectLanguageTable, TwoIsEnglishEverythingElseGerman) {
    for (int32_t language : {-1, 0, 1, 3, 2, 100}) {
        TLanguageState s;
        s.Language = 77;
        SelectLanguageTable(s, language);
        EXPECT_EQ(s.LanguageTable, language == 2 ? &StrHolder2() : &StrHolder1()) << language;
        EXPECT_EQ(s.Language, 77) << "the caller owns Language";
    }
}

TEST(LangTextFormat, ProgressTextInBothLanguages) {
    EXPECT_EQ(LangTextFormat(Active(1), "erledigt", 42.5), "42.5  Prozent erledigt");
    EXPECT_EQ(LangTextFormat(Active(2), "erledigt", 3.14159), "3.1  percent ...");
    EXPECT_EQ(LangTextFormat(Active(2), "erledigt", 0.0), "0.0  percent ...");
    EXPECT_EQ(LangTextFormat(Active(1), "erledigt", 99.96), "100.0  Prozent erledigt");
    EXPECT_EQ(LangTextFormat(TLanguageState{}, "erledigt", 50.0), "erledigt");
}

TEST(LangTextFormat, OnlyOneFloatConversionIsHonoured) {
    const TLanguageTable table{"", "##a##=%s %d %n %x %p|%5.2f|%f %%", "##b##=%-6.1f|",
                               "##c##=%999f %.999f %1.2", "##d##=100%"};
    const TLanguageState s = WithTable(table);
    EXPECT_EQ(LangTextFormat(s, "a", 1.5), "%s %d %n %x %p| 1.50|%f %");
    EXPECT_EQ(LangTextFormat(s, "b", 2.0), "2.0   |");
    EXPECT_EQ(LangTextFormat(s, "c", 2.0), "%999f %.999f %1.2");
    EXPECT_EQ(LangTextFormat(s, "d", 2.0), "100%");
}

TEST(TextInLanguage, CarriesWhatStoodInThePlaceholdersOver) {
    EXPECT_EQ(TextInLanguage(lgGerman, lgEnglish, "Bild geladen"), "image loaded");
    EXPECT_EQ(TextInLanguage(lgEnglish, lgGerman, "ready"), "bereit");
    EXPECT_EQ(TextInLanguage(lgGerman, lgEnglish,
                             "Raster gefunden und ged\xC3\xA4mpft: 12 Eintr\xC3\xA4ge"),
              "Screen found and damped: 12 entries");
    EXPECT_EQ(TextInLanguage(lgEnglish, lgGerman, "12.5  percent ..."), "12.5  Prozent erledigt");
    EXPECT_EQ(TextInLanguage(lgEnglish, lgGerman, "File 2 of 7: a.bmp"), "Datei 2 von 7: a.bmp");
    EXPECT_EQ(TextInLanguage(lgGerman, lgEnglish, "scan.bmp"), "") << "no text of the program";
    EXPECT_EQ(TextInLanguage(lgEnglish, lgEnglish, "ready"), "");
}

} // namespace
