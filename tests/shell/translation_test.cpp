// The translation walk over a tree shaped like the main window: which texts
// change in English and German, which keys it derives from owners, how it
// names unnamed controls, and what it never reaches.
#include "shell/translation.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

using K = TComponentKind;

const std::string kToolHelpDe =
    "Kontexthilfe\r\n(Klicken Sie auf das Element zu dem Sie Hilfe ben\xC3\xB6tigen)";

// The main window's components in their designed order and German texts,
// with the owners the window gives them.
struct MainWindowTree {
    TComponentTree Tree;
    TComponent* Form1 = nullptr;
    TComponent* FormZoom = nullptr;

    MainWindowTree() {
        TComponent& app = Tree.Application();
        Form1 = &Tree.Add(app, "Form1", K::MainWindow, "Pixmend (Standard-Edition) ");
        TComponent& f = *Form1;
        Tree.Add(f, "ControlBar1", K::Control);
        Tree.Add(f, "ToolBar", K::Control);
        Tree.Add(f, "ToolOpen", K::ToolButton, "ToolOpen",
                 "Bild \xC3\xB6"
                 "ffnen");
        Tree.Add(f, "ToolSave", K::ToolButton, "ToolSave", "Bild speichern");
        Tree.Add(f, "ToolButton3", K::ToolButton);
        Tree.Add(f, "ToolCopy", K::ToolButton, "", "Kopieren in die Zwischenablage");
        Tree.Add(f, "ToolPaste", K::ToolButton, "", "Einf\xC3\xBCgen aus der Zwischenablage");
        Tree.Add(f, "ToolShape", K::Control);
        Tree.Add(f, "ToolTransform", K::ToolButton, "", "Umwandel");
        Tree.Add(f, "Toolundo", K::ToolButton, "",
                 "Letze Gl\xC3\xA4ttung zur\xC3\xBC"
                 "cknehmen");
        Tree.Add(f, "ToolRec", K::ToolButton, "", "mit Rechteck gl\xC3\xA4tten");
        Tree.Add(f, "ToolElipse", K::ToolButton, "", "mit Ellipse gl\xC3\xA4tten");
        Tree.Add(f, "ToolStempel", K::ToolButton, "", "Gl\xC3\xA4ttung anwenden");
        Tree.Add(f, "ToolMirror", K::ToolButton);
        Tree.Add(f, "ToolResize", K::ToolButton, "", "Resize");
        Tree.Add(f, "ToolBar2", K::Control);
        Tree.Add(f, "ToolZoom", K::ToolButton, "", "Zoom");
        Tree.Add(f, "ToolHelp", K::ToolButton, "", kToolHelpDe);
        Tree.Add(f, "ToolBar1", K::Control);
        Tree.Add(f, "Toolapply", K::ToolButton, "", "Filter anwenden");
        Tree.Add(f, "ToolBatchrun", K::ToolButton, "", "Batchlauf");
        Tree.Add(f, "ToolFilter", K::ToolButton, "", "Filter ansehen und bearbeiten");
        Tree.Add(f, "ToolLoadFilter", K::ToolButton, "",
                 "Filter \xC3\xB6"
                 "ffnen");
        Tree.Add(f, "ToolSaveFilter", K::ToolButton, "", "Filter speichern");
        Tree.Add(f, "ToolLanguage", K::Control);
        Tree.Add(f, "ToolDe", K::ToolButton);
        Tree.Add(f, "Toolgb", K::ToolButton);
        Tree.Add(f, "ScrollBox1", K::Control);
        Tree.Add(f, "Image2", K::Control);
        Tree.Add(f, "Image1", K::Control, "", "Doppelklick zum Anwenden");
        Tree.Add(f, "Shape", K::Control);
        Tree.Add(f, "TrackKontrast", K::Control, "", "kontrast");
        Tree.Add(f, "StatusBar", K::Control);
        Tree.Add(f, "GradientCaption1", K::NonVisual, "Pixmend");

        TComponent& menu = Tree.Add(f, "MainMenu1", K::Menu);
        TComponent& root = Tree.Add(menu, "", K::MenuItem);
        const std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>
            menus{
                {"&Datei",
                 {{"Open1", "\xC3\x96"
                            "ffnen"},
                  {"Save1", "Speichern"},
                  {"Schlieen1", "Schlie\xC3\x9F"
                                "en"},
                  {"Beenden1", "Beenden"}}},
                {"&Bearbeiten",
                 {{"Copy1", "Kopieren"},
                  {"Paste1", "Einf\xC3\xBCgen"},
                  {"Transform1", "Umwandeln"},
                  {"Bereichgltten1", "Bereich gl\xC3\xA4tten"}}},
                {"&Werkzeuge",
                 {{"Zoom1", "Zoom"}, {"Rechteck1", "Rechteck"}, {"Kreis1", "Ellipse"}}},
                {"&Erweitert",
                 {{"ApplyFilter1", "Filter anwenden"},
                  {"Batchrun1", "Batchlauf"},
                  {"OpenFilter1", "Filter \xC3\xB6"
                                  "ffnen"},
                  {"SaveFilter1", "Filter speichern"},
                  {"Filteransehen1", "Filter ansehen"}}},
                {"&Hilfe",
                 {{"Contexthelp1", "Kontexthilfe"},
                  {"versioninfo1", "version-info"},
                  {"about1", "\xC3\x9C"
                             "ber uns"}}},
            };
        const char* menuNames[] = {"File1", "Edit1", "Tools1", "Advanced1", "Help1"};
        for (size_t m = 0; m < menus.size(); ++m) {
            TComponent& top = Tree.Add(f, menuNames[m], K::MenuItem, menus[m].first);
            TComponentTree::AddSubItem(root, top);
            for (const auto& [name, caption] : menus[m].second)
                TComponentTree::AddSubItem(top, Tree.Add(f, name, K::MenuItem, caption));
        }
        for (const char* dialog : {"OpenPictureDialog", "SavePictureDialog"}) {
            TComponent& d = Tree.Add(f, dialog, K::NonVisual);
            Tree.Add(d, "PreviewButton", K::PushButton, "", "Vorschau");
        }
        Tree.Add(f, "OpenFilter", K::NonVisual);
        Tree.Add(f, "SaveFilter", K::NonVisual);
        Tree.Add(f, "StrHolder1", K::NonVisual);
        Tree.Add(f, "StrHolder2", K::NonVisual);
        Tree.Add(f, "FormStorage1", K::NonVisual);
        Tree.Add(f, "CipherManager", K::NonVisual);
        Tree.Add(f, "", K::Control); // EmptyView: created last, without a name

        FormZoom = &Tree.Add(app, "FormZoom", K::Window, "zoom-designed");
        Tree.Add(*FormZoom, "Label1", K::Label, "Zoomfaktor");
    }

    std::string CaptionOf(const std::string& name) { return Tree.Find(name)->Caption; }
    std::string HintOf(const std::string& name) { return Tree.Find(name)->Hint; }
    TComponent& Root() { return *Tree.Find("MainMenu1")->Owned.at(0); }

    std::map<TComponent*, std::pair<std::string, std::string>> Texts() {
        std::map<TComponent*, std::pair<std::string, std::string>> texts;
        for (TComponent* c : Tree.All()) texts[c] = {c->Caption, c->Hint};
        return texts;
    }
};

void Apply(TComponent& c, int32_t language) {
    TLanguageState s;
    s.Language = language;
    SelectLanguageTable(s, language);
    TranslateComponents(s, c);
}

TEST(TranslateComponents, EnglishHintsAndTheTwoLineHelpHint) {
    MainWindowTree w;
    Apply(*w.Form1, 2);
    EXPECT_EQ(w.HintOf("ToolHelp"),
              "Context-sensitive help\r\n(click on the item you want more information about)");
    EXPECT_EQ(w.HintOf("ToolOpen"), "Open image file");
    EXPECT_EQ(w.HintOf("ToolLoadFilter"), "Open filter ");
    EXPECT_EQ(w.HintOf("Image1"), "Double click to apply");
    EXPECT_EQ(w.HintOf("TrackKontrast"), "Contrast");
    EXPECT_EQ(w.HintOf("ToolResize"), "Resize") << "no table has a line for it";
    // Tool buttons show icons only; their captions are never looked up.
    EXPECT_EQ(w.CaptionOf("ToolOpen"), "ToolOpen");
    // Controls without a hint do not get one, although the key exists.
    EXPECT_EQ(w.HintOf("ToolMirror"), "");
    // The preview buttons are owned by their dialogs.
    for (const char* dialog : {"OpenPictureDialog", "SavePictureDialog"})
        EXPECT_EQ(w.Tree.Find(dialog)->Owned.at(0)->Hint, "Preview") << dialog;
}

TEST(TranslateComponents, FileMenuInEnglish) {
    MainWindowTree w;
    Apply(*w.Form1, 2);
    EXPECT_EQ(w.CaptionOf("File1"), "&File");
    EXPECT_EQ(w.CaptionOf("Open1"), "Open");
    EXPECT_EQ(w.CaptionOf("Save1"), "Save");
    EXPECT_EQ(w.CaptionOf("Schlieen1"), "Close");
    EXPECT_EQ(w.CaptionOf("Beenden1"), "Quit");
    EXPECT_EQ(w.CaptionOf("Edit1"), "&Edit");
    EXPECT_EQ(w.CaptionOf("Paste1"), "Paste");
    EXPECT_EQ(w.CaptionOf("Advanced1"), "&Advanced");
    EXPECT_EQ(w.CaptionOf("Filteransehen1"), "View filter");
    EXPECT_EQ(w.CaptionOf("Help1"), "&Help");
    EXPECT_EQ(w.CaptionOf("Contexthelp1"), "Context-sensitive help");
    EXPECT_EQ(w.CaptionOf("about1"), "About us");
}

TEST(TranslateComponents, RoundTripBackToGermanRestoresEveryText) {
    MainWindowTree w;
    const auto designed = w.Texts();
    Apply(*w.Form1, 2);
    EXPECT_NE(w.Texts(), designed);
    Apply(*w.Form1, 1);
    // The walk names the unnamed EmptyView; texts are what matter here.
    EXPECT_EQ(w.Texts(), designed);
    EXPECT_EQ(w.HintOf("ToolHelp"), kToolHelpDe);
    EXPECT_EQ(w.CaptionOf("Schlieen1"), "Schlie\xC3\x9F"
                                        "en");
    // The title and the other windows are never reached.
    EXPECT_EQ(w.Form1->Caption, "Pixmend (Standard-Edition) ");
    EXPECT_EQ(w.FormZoom->Caption, "zoom-designed");
    EXPECT_EQ(w.CaptionOf("Label1"), "Zoomfaktor");
    EXPECT_EQ(w.CaptionOf("GradientCaption1"), "Pixmend");
}

TEST(TranslateComponents, WithoutATableNothingChanges) {
    MainWindowTree w;
    const auto designed = w.Texts();
    TranslateComponents(TLanguageState{}, *w.Form1);
    EXPECT_EQ(w.Texts(), designed);
}

TEST(TranslateComponents, UnnamedControlsAreNamedOnceByTheCounter) {
    TComponentTree t;
    TComponent& form = t.Add(t.Application(), "F", K::MainWindow);
    TComponent& a = t.Add(form, "", K::Control);
    TComponent& b = t.Add(form, "", K::Label);
    t.Add(form, "", K::NonVisual); // not visual: neither named nor counted
    t.Add(form, "Named", K::Control);
    TComponent& c = t.Add(form, "", K::Control);
    TComponent& d = t.Add(form, "", K::ToolButton);
    TComponent& inner = t.Add(d, "", K::Control); // its own walk, its own counter
    TranslateComponents(TLanguageState{}, form);
    EXPECT_EQ(a.Name, "fname_0");
    EXPECT_EQ(b.Name, "fname_1");
    EXPECT_EQ(c.Name, "fname_1");
    EXPECT_EQ(d.Name, "fname_2");
    EXPECT_EQ(inner.Name, "fname_0");
    EXPECT_EQ(t.Find("fname_2"), &d);
    // A second walk keeps the names: each is now a named control.
    TranslateComponents(TLanguageState{}, form);
    EXPECT_EQ(a.Name, "fname_0");
    EXPECT_EQ(c.Name, "fname_1");
    EXPECT_EQ(d.Name, "fname_2");

    MainWindowTree w;
    TComponent* emptyView = w.Form1->Owned.back();
    ASSERT_TRUE(emptyView->Name.empty());
    Apply(*w.Form1, 2);
    EXPECT_EQ(emptyView->Name, "fname_1") << "counted from the last named control";
}

TEST(TranslateComponents, KeysFollowOwnersKindsAndMenuIndexes) {
    const TLanguageTable table{
        "",
        "F.Lbl=label",
        "F.h-Lbl=label hint",
        "F.Btn=button",
        "F.Chk=check",
        "F.Tab=tab",
        "F.Tool=tool caption",
        "F.h-Tool=tool hint",
        "F.Img=image caption",
        "F.h-Img=image hint",
        "F.h-NoHint=never",
        "F.NV=nonvisual",
        "F.h-NV=nonvisual hint",
        ".W=window",
        "W.Inner=inner",
        "Dlg.Prev=preview",
        "Dlg.h-Prev=preview hint",
        "F.Big10=ten",
        "F.Big11=eleven",
        "F.Big0=sub zero",
        "Menu.0=root zero",
    };
    TLanguageState s;
    s.Language = 1;
    s.LanguageTable = &table;

    TComponentTree t;
    TComponent& form = t.Add(t.Application(), "F", K::MainWindow, "form");
    TComponent& lbl = t.Add(form, "Lbl", K::Label, "l", "lh");
    TComponent& btn = t.Add(form, "Btn", K::PushButton, "b");
    TComponent& chk = t.Add(form, "Chk", K::CheckBox, "c");
    TComponent& tab = t.Add(form, "Tab", K::TabPage, "t");
    TComponent& tool = t.Add(form, "Tool", K::ToolButton, "tc", "th");
    TComponent& img = t.Add(form, "Img", K::Control, "ic", "ih");
    TComponent& noHint = t.Add(form, "NoHint", K::Control);
    TComponent& nv = t.Add(form, "NV", K::NonVisual, "nc", "nh");
    TComponent& dlg = t.Add(form, "Dlg", K::NonVisual);
    TComponent& prev = t.Add(dlg, "Prev", K::PushButton, "p", "ph");
    TComponent& menu = t.Add(form, "Menu", K::Menu);
    TComponent& root = t.Add(menu, "", K::MenuItem);
    TComponent& big = t.Add(form, "Big", K::MenuItem, "big");
    TComponentTree::AddSubItem(root, big);
    std::vector<TComponent*> items;
    for (int i = 0; i < 12; ++i) {
        items.push_back(&t.Add(form, "Item" + std::to_string(i), K::MenuItem, "item"));
        TComponentTree::AddSubItem(big, *items.back());
    }
    TComponent& window = t.Add(t.Application(), "W", K::Window, "w");
    TComponent& inner = t.Add(window, "Inner", K::Label, "i");

    TranslateComponents(s, form);
    EXPECT_EQ(lbl.Caption, "label");
    EXPECT_EQ(lbl.Hint, "label hint");
    EXPECT_EQ(btn.Caption, "button");
    EXPECT_EQ(chk.Caption, "check");
    EXPECT_EQ(tab.Caption, "tab");
    EXPECT_EQ(tool.Caption, "tc");
    EXPECT_EQ(tool.Hint, "tool hint");
    EXPECT_EQ(img.Caption, "ic");
    EXPECT_EQ(img.Hint, "image hint");
    EXPECT_EQ(noHint.Hint, "");
    EXPECT_EQ(nv.Caption, "nc");
    EXPECT_EQ(nv.Hint, "nh");
    EXPECT_EQ(prev.Caption, "preview");
    EXPECT_EQ(prev.Hint, "preview hint");
    EXPECT_EQ(big.Caption, "root zero");
    EXPECT_EQ(items[0]->Caption, "sub zero");
    EXPECT_EQ(items[1]->Caption, "item");
    EXPECT_EQ(items[10]->Caption, "ten") << "index 10 is written in full";
    EXPECT_EQ(items[11]->Caption, "eleven");
    EXPECT_EQ(form.Caption, "form");
    EXPECT_EQ(window.Caption, "w");
    EXPECT_EQ(inner.Caption, "i");

    // A window is keyed by its owner, the application, whose name is empty.
    TranslateComponents(s, t.Application());
    EXPECT_EQ(window.Caption, "window");
    EXPECT_EQ(inner.Caption, "inner");
}

TEST(TranslateComponents, MissingLinesKeepThePreviousLanguage) {
    MainWindowTree w;
    Apply(*w.Form1, 2);
    const TLanguageTable partial{"",
                                 "Form1.h-ToolOpen=Bild \xC3\xB6"
                                 "ffnen",
                                 "Form1.h-ToolSave=", "MainMenu1.0=&Datei"};
    TLanguageState s;
    s.Language = 1;
    s.LanguageTable = &partial;
    TranslateComponents(s, *w.Form1);
    EXPECT_EQ(w.HintOf("ToolOpen"), "Bild \xC3\xB6"
                                    "ffnen");
    EXPECT_EQ(w.HintOf("ToolSave"), "Save image file") << "an empty value counts as missing";
    EXPECT_EQ(w.CaptionOf("File1"), "&Datei");
    EXPECT_EQ(w.CaptionOf("Open1"), "Open");
}

TEST(ComponentTree, OwnershipAndLookup) {
    MainWindowTree w;
    const std::vector<TComponent*> all = w.Tree.All();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.front(), &w.Tree.Application());
    EXPECT_EQ(w.Tree.Application().Owned.size(), 2u);
    for (TComponent* c : all) {
        if (c == &w.Tree.Application()) continue;
        ASSERT_NE(c->Owner, nullptr);
        int found = 0;
        for (TComponent* o : c->Owner->Owned) found += o == c;
        EXPECT_EQ(found, 1) << c->Name;
    }
    EXPECT_EQ(w.Root().Owner, w.Tree.Find("MainMenu1"));
    EXPECT_EQ(w.Root().SubItems.size(), 5u);
    EXPECT_EQ(w.Tree.Find("Open1")->Owner, w.Form1);
    EXPECT_EQ(w.Tree.Find(""), nullptr);
    EXPECT_EQ(w.Tree.Find("Nothing"), nullptr);
    EXPECT_TRUE(IsVisualControl(K::ToolButton));
    EXPECT_TRUE(IsVisualControl(K::Window));
    EXPECT_FALSE(IsVisualControl(K::MenuItem));
    EXPECT_FALSE(IsVisualControl(K::Menu));
    EXPECT_FALSE(IsVisualControl(K::NonVisual));
    int handle = 0;
    EXPECT_EQ(w.Tree.Add(*w.Form1, "X", K::Control, "", "", &handle).Handle, &handle);
}

} // namespace
