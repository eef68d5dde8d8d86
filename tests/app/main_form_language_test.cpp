// Languages and the settings file of the main window: the first run, the
// English and German texts and the way back, what is written at close and
// what reading makes of every kind of file.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/picture_dialog.h"
#include "shell/settings.h"

#include <QLayout>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>

#include <filesystem>
#include <fstream>
#include <map>

namespace {

class MainFormLanguageTest : public MainFormTest {
protected:
    void WriteSettingsText(const std::string& text) {
        std::ofstream(Config.File("Pixmend"), std::ios::binary) << text;
    }

    // Every caption and hint the translation walk can touch.
    std::map<std::string, QString> Texts() const {
        std::map<std::string, QString> texts;
        for (QObject* object : Form->findChildren<QObject*>()) {
            const std::string name = object->objectName().toStdString();
            if (name.empty()) continue;
            if (auto* action = qobject_cast<QAction*>(object))
                texts[name + ".caption"] = action->text();
            if (auto* menu = qobject_cast<QMenu*>(object)) texts[name + ".title"] = menu->title();
            if (auto* button = qobject_cast<QAbstractButton*>(object))
                texts[name + ".caption"] = button->text();
            texts[name + ".hint"] = object->property("Hint").toString();
            if (auto* widget = qobject_cast<QWidget*>(object))
                texts[name + ".tip"] = widget->toolTip();
        }
        texts["title"] = Form->windowTitle();
        return texts;
    }

    QStringList FileMenu() const {
        QStringList items;
        for (QAction* action : Form->File1->actions()) items << action->text();
        return items;
    }
};

TEST_F(MainFormLanguageTest, FirstRunOpensMaximisedInEnglish) {
    ShowForm();
    EXPECT_TRUE(Form->isMaximized());
    EXPECT_EQ(Form->LanguageState().Language, 2);
    EXPECT_TRUE(Form->Toolgb->isChecked());
    EXPECT_FALSE(Form->ToolDe->isChecked());
    EXPECT_EQ(Form->ToolHelp->toolTip(),
              "Context-sensitive help\r\n(click on the item you want more information about)");
    EXPECT_EQ(Form->ToolOpen->toolTip(), "Open image file (F2)");
    EXPECT_EQ(Form->ToolLoadFilter->toolTip(), "Open filter ");
    EXPECT_EQ(Form->TrackKontrast->toolTip(), "Contrast");
    EXPECT_EQ(Form->Image1->property("Hint").toString(), "Double click to apply");
    EXPECT_TRUE(Form->Image1->toolTip().isEmpty()) << "the view's hint is never shown";
    EXPECT_EQ(Form->ToolResize->property("Hint").toString(), "Resize");
    EXPECT_EQ(Form->ToolResize->toolTip(), "Resize") << "every tool button explains itself";
    EXPECT_EQ(Form->File1->title(), "&File");
    EXPECT_EQ(FileMenu(), (QStringList{"Open", "Recent files", "Save", "Close", "Quit"}));
    EXPECT_EQ(Form->Help1->actions()[0]->text(), "Context-sensitive help");
    EXPECT_EQ(Form->Advanced1->title(), "&Advanced");
    EXPECT_EQ(Form->OpenPictureDialog->PreviewButton->toolTip(), "Preview");
    EXPECT_EQ(Form->SavePictureDialog->PreviewButton->toolTip(), "Preview");
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) ")
        << "the title is never translated";
    EXPECT_EQ(Form->LangText("beenden"), "Do you really want to quit Pixmend?");
    EXPECT_FALSE(Form->EmptyView()->objectName().isEmpty()) << "the walk names the unnamed view";
}

TEST_F(MainFormLanguageTest, EnglishAndBackRestoresEveryGermanText) {
    const auto designed = Texts();
    EXPECT_EQ(designed.at("ToolHelp.tip"),
              "Kontexthilfe\r\n(Klicken Sie auf das Element zu dem Sie Hilfe benötigen)");
    ShowForm();
    ASSERT_EQ(Form->LanguageState().Language, 2);
    Form->ToolDe->click();
    EXPECT_EQ(Form->LanguageState().Language, 1);
    EXPECT_TRUE(Form->ToolDe->isChecked());
    EXPECT_FALSE(Form->Toolgb->isChecked());
    auto german = Texts();
    german.erase("EmptyView.hint");
    for (const auto& [key, text] : designed) {
        if (!german.count(key)) continue;
        EXPECT_EQ(german.at(key), text) << key;
    }
    EXPECT_EQ(Form->File1->title(), "&Datei");
    EXPECT_EQ(FileMenu(),
              (QStringList{"Öffnen", "Zuletzt geöffnet", "Speichern", "Schließen", "Beenden"}));
    EXPECT_EQ(Form->OpenPictureDialog->PreviewButton->toolTip(), "Vorschau");
    EXPECT_EQ(Form->LangText("aktuellesBildüberschreiben"),
              "Soll das aktuelle Bild überschrieben werden?");

    // Clicking the button of the active language keeps it down.
    Form->ToolDe->click();
    EXPECT_TRUE(Form->ToolDe->isChecked());
    EXPECT_EQ(Form->LanguageState().Language, 1);
    // The other windows keep their texts.
    EXPECT_EQ(Zoom->windowTitle(), "zoom");
    EXPECT_EQ(Protokol->windowTitle(), "Filter list");
    EXPECT_EQ(Protokol->Delete->text(), "delete");
}

TEST_F(MainFormLanguageTest, CloseWritesTheSettingsInOrder) {
    ShowForm();
    Form->close();
    EXPECT_EQ(QuitCalls, 1) << "the close box ends the program";
    const std::string text = SettingsText();
    const char* keys[] = {"[TForm1]",         "FormVersion=0",
                          "Flags=",           "ShowCmd=3",
                          "PixelsPerInch=",   "MinMaxPos=",
                          "NormPos=",         "Visible=0",
                          "ToolBar_Left=",    "ToolBar1_Left=",
                          "ToolBar2_Left=",   "ToolLanguage_Left=",
                          "ToolShape_Left=",  "ToolMirror_Down=True",
                          "Toolgb_Down=True", "ToolDe_Down=False",
                          "[Prefs]",          "Lang=2"};
    size_t at = 0;
    for (const char* key : keys) {
        const size_t found = text.find(key, at);
        ASSERT_NE(found, std::string::npos) << key << " in\n" << text;
        at = found + 1;
    }
    // Destroying the window afterwards does not write again.
    const auto stamp = std::filesystem::last_write_time(Config.File("Pixmend"));
    std::filesystem::remove(Config.File("Pixmend"));
    Form.reset();
    EXPECT_FALSE(std::filesystem::exists(Config.File("Pixmend")));
    (void)stamp;
}

TEST_F(MainFormLanguageTest, QuitWritesWhenTheWindowIsDestroyed) {
    ShowForm();
    Form->ToolDe->click();
    Form->ToolMirror->click(); // up
    // Ending the event loop closes the windows before the main window is
    // destroyed; the settings still come from the destruction.
    Form->QuitApplication = [this] { Form->close(); };
    Dialogs.Answers = {true};
    Form->Beenden1->trigger();
    EXPECT_FALSE(Form->isVisible());
    Form.reset();
    const std::string text = SettingsText();
    EXPECT_NE(text.find("Visible=1"), std::string::npos) << text;
    EXPECT_NE(text.find("ToolMirror_Down=False"), std::string::npos);
    EXPECT_NE(text.find("ToolDe_Down=True"), std::string::npos);
    EXPECT_NE(text.find("Lang=1"), std::string::npos);
}

TEST_F(MainFormLanguageTest, WrittenSettingsAreReadBack) {
    WriteSettingsText(
        "[TForm1]\nFormVersion=0\nFlags=0\nShowCmd=1\nPixelsPerInch=\nMinMaxPos=-1,-1,-1,-1\n"
        "NormPos=30,40,830,640\nVisible=0\nToolBar_Left=11\nToolBar1_Left=482\nToolBar2_Left=390\n"
        "ToolLanguage_Left=5\nToolShape_Left=124\nToolMirror_Down=False\nToolgb_Down=True\nToolDe_"
        "Down=False\n"
        "[Prefs]\nLang=1\n");
    ShowForm();
    EXPECT_FALSE(Form->isMaximized());
    EXPECT_EQ(Form->geometry(), QRect(30, 40, 800, 600));
    EXPECT_FALSE(Form->ToolMirror->isChecked());
    EXPECT_EQ(Form->LanguageState().Language, 1);
    EXPECT_TRUE(Form->ToolDe->isChecked()) << "the language replaces the stored button states";
    EXPECT_FALSE(Form->Toolgb->isChecked());
    EXPECT_EQ(Form->ToolOpen->toolTip(), "Bild öffnen (F2)");
    // The language bar stored leftmost comes first in the strip.
    Form->layout()->activate();
    EXPECT_LT(Form->ToolLanguage->x(), Form->ToolBar->x());

    // Written again, the placement comes out as it went in.
    Form->close();
    EXPECT_NE(SettingsText().find("NormPos=30,40,830,640"), std::string::npos) << SettingsText();
    EXPECT_NE(SettingsText().find("ShowCmd=1"), std::string::npos);
}

TEST_F(MainFormLanguageTest, ANegativeFormVersionReadsNothing) {
    WriteSettingsText("[TForm1]\nFormVersion=-1\nShowCmd=1\n[Prefs]\nLang=2\n");
    ShowForm();
    EXPECT_EQ(Form->LanguageState().Language, 0);
    EXPECT_EQ(Form->LanguageState().LanguageTable, nullptr);
    EXPECT_EQ(Form->ToolOpen->toolTip(), "Bild öffnen (F2)");
    EXPECT_EQ(Form->File1->title(), "&Datei");
}

TEST_F(MainFormLanguageTest, AnOddLanguageSelectsGermanAndKeepsTheButtons) {
    WriteSettingsText("[TForm1]\nToolgb_Down=True\nToolDe_Down=True\n[Prefs]\nLang=7\n");
    ShowForm();
    EXPECT_EQ(Form->LanguageState().Language, 7);
    EXPECT_EQ(Form->ToolOpen->toolTip(), "Bild öffnen (F2)");
    EXPECT_TRUE(Form->ToolDe->isChecked());
    EXPECT_TRUE(Form->Toolgb->isChecked());
}

TEST_F(MainFormLanguageTest, BadLanguageNumberMeansEnglish) {
    WriteSettingsText("[Prefs]\nLang=abc\n");
    ShowForm();
    EXPECT_EQ(Form->LanguageState().Language, 2);
    EXPECT_EQ(Form->File1->title(), "&File");
}

TEST_F(MainFormLanguageTest, AnUnreadableSettingsFileIsReportedAndStartGoesOn) {
    std::filesystem::create_directory(Config.File("Pixmend"));
    ShowForm();
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_NE(Dialogs.Errors[0].indexOf("kann nicht geöffnet werden"), -1)
        << Dialogs.Errors[0].toStdString();
    EXPECT_EQ(Form->LanguageState().Language, 2);
    EXPECT_TRUE(Form->isMaximized());
    // Writing into the folder's place fails too: reported, the close goes on.
    Form->close();
    EXPECT_EQ(Dialogs.Errors.size(), 2u);
    EXPECT_EQ(QuitCalls, 1);
    EXPECT_TRUE(std::filesystem::is_directory(Config.File("Pixmend")));
}

TEST_F(MainFormLanguageTest, AWindowNeverShownWritesNothing) {
    WriteSettingsText("[Prefs]\nLang=1\n");
    Form.reset();
    EXPECT_EQ(SettingsText(), "[Prefs]\nLang=1\n");
}

} // namespace
