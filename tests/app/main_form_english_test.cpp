// English throughout: every text the main window and the windows it opens
// show in English mode, checked against every German text the program has
// (the language tables, the interface texts, the commands' own texts) that
// has an English form of its own, and for letters only German uses.

#include "tests/app/main_form_fixture_test.h"

#include "app/screen_form.h"
#include "shell/command_table.h"
#include "shell/interface_texts.h"
#include "shell/language_tables.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>

#include <map>

namespace {

QString Utf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Every German text with an English form that differs, as a pattern that
// matches it whole with anything in place of its %1, %2.1f, ...
std::vector<std::pair<QRegularExpression, QString>> GermanTexts() {
    std::map<std::string, std::string> english;
    const auto split = [](const std::string& line) {
        const size_t eq = line.find('=');
        return std::pair{line.substr(0, eq), line.substr(eq + 1)};
    };
    for (const std::string& line : StrHolder2())
        if (line.find('=') != std::string::npos) english.insert(split(line));
    std::vector<std::pair<QString, QString>> pairs; // German, English
    for (const std::string& line : StrHolder1()) {
        if (line.find('=') == std::string::npos) continue;
        const auto [key, de] = split(line);
        const auto en = english.find(key);
        // A line only German has shows its interface text's English form.
        pairs.emplace_back(Utf8(de), Utf8(InterfaceText(2, en == english.end() ? de : en->second)));
    }
    for (const auto& [de, en] : InterfaceTextPairs()) pairs.emplace_back(Utf8(de), Utf8(en));
#define PIXMEND_COUNT_COMMAND(...) +1
    for (size_t i = 0; i < 0 PIXMEND_COMMANDS(PIXMEND_COUNT_COMMAND); ++i) {
        const TCommandTexts& row = CommandTexts(TCommand(i));
        pairs.emplace_back(Utf8(row.German), Utf8(row.English));
    }
    std::vector<std::pair<QRegularExpression, QString>> german;
    for (auto [de, en] : pairs) {
        de.replace("/n0d/n0a", "\r\n");
        en.replace("/n0d/n0a", "\r\n");
        // Texts that read the same in English, or say too little to tell.
        if (de == en || de.count(QRegularExpression("\\p{L}")) < 3) continue;
        QString pattern = QRegularExpression::escape(de);
        pattern.replace(QRegularExpression("%\\d+(\\\\\\.\\d+f)?"), ".*");
        german.emplace_back(QRegularExpression(QRegularExpression::anchoredPattern(pattern)), de);
    }
    return german;
}

// What a window and its parts show: titles, captions, tooltips, status
// tips, items, column titles and the descriptions a screen reader reads.
QStringList TextsOf(QWidget* window) {
    QStringList texts{window->windowTitle()};
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        texts << w->toolTip() << w->statusTip() << w->accessibleName()
              << w->accessibleDescription();
        if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
        if (auto* group = qobject_cast<QGroupBox*>(w)) texts << group->title();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) texts << edit->placeholderText();
        if (auto* menu = qobject_cast<QMenu*>(w)) texts << menu->title();
        if (auto* box = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < box->count(); ++i) texts << box->itemText(i);
        if (auto* tree = qobject_cast<QTreeWidget*>(w))
            for (int c = 0; c < tree->columnCount(); ++c) {
                texts << tree->headerItem()->text(c);
                for (int r = 0; r < tree->topLevelItemCount(); ++r)
                    texts << tree->topLevelItem(r)->text(c);
            }
        if (auto* header = qobject_cast<QHeaderView*>(w); header && header->model())
            for (int c = 0; c < header->count(); ++c)
                texts << header->model()->headerData(c, header->orientation()).toString();
    }
    for (QAction* action : window->findChildren<QAction*>())
        texts << action->text() << action->toolTip() << action->statusTip() << action->whatsThis();
    texts.removeAll(QString());
    return texts;
}

class MainFormEnglishTest : public MainFormTest {};

TEST_F(MainFormEnglishTest, NoWindowShowsAGermanTextInEnglishMode) {
    const auto german = GermanTexts();
    ASSERT_GT(german.size(), 100u);
    ShowForm();
    // What the status bar said in German it says again in English.
    Form->ToolDe->click();
    OpenImage(WriteBitmap("scan.bmp", 24, 16));
    ASSERT_EQ(Form->StatusPanels[0]->text(), "Bild geladen");
    Form->Toolgb->click();
    ASSERT_EQ(Form->LanguageState().Language, lgEnglish);
    EXPECT_EQ(Form->StatusPanels[0]->text(), "image loaded");

    // The windows a user opens before any file is chosen.
    QStringList shown = TextsOf(Form.get());
    Form->AddFilterEntry(0, 0.1f, 0.3f, 0.1f, 0.3f); // a filter: the batch can start
    Form->ToolFilter->click();
    shown << TextsOf(Protokol.get());
    shown << TextsOf(Zoom.get());
    Resize->SetLanguage(lgEnglish);
    shown << TextsOf(Resize.get());
    QTimer::singleShot(0, Batch.get(), [&] {
        shown << TextsOf(Batch.get());
        Batch->BitBtn2->click();
    });
    Form->ToolBatchrun->click();
    ASSERT_TRUE(shown.contains("Filter: unsaved, 1 entry")) << "the batch dialog was looked at";

    // And those of a picture made here: the transform's progress window and
    // status, the screen window, the sign prompt and the save question.
    const std::string path = Files.File("made.bmp");
    WriteImageFile(path, ScreenedPicture(240, 180, 3.6));
    Dialogs.Choices.push_back(0); // the filter stays for the picture
    OpenImage(path);
    Form->ToolTransform->click();
    ASSERT_NE(Form->TransformProgress(), nullptr);
    shown << TextsOf(Form->TransformProgress()) << Form->StatusPanels[0]->text();
    Form->CheckWatermark1->trigger();
    Form->ToolTransform->click();
    Form->ToolFindScreen->click();
    ASSERT_NE(Form->ScreenForm(), nullptr);
    shown << TextsOf(Form->ScreenForm());
    Form->ScreenForm()->close();
    Form->Schlieen1->trigger(); // unsaved: asked, and Cancel keeps the picture
    ASSERT_EQ(Form->CommandState(), 1);
    shown << TextsOf(Form.get());
    for (const auto* said :
         {&Dialogs.Questions, &Dialogs.Errors, &Dialogs.Informations, &Dialogs.Prompts})
        for (const QString& text : *said) shown << text;
    for (const QStringList& buttons : Dialogs.ChoiceButtons) shown << buttons;
    ASSERT_FALSE(Dialogs.Questions.empty() || Dialogs.Prompts.empty());

    int found = 0;
    for (const QString& text : shown) {
        EXPECT_FALSE(
            text.contains(QRegularExpression("[\u00e4\u00f6\u00fc\u00df\u00c4\u00d6\u00dc]")))
            << "German letters in: " << text.toStdString();
        for (const auto& [pattern, de] : german)
            if (pattern.match(text).hasMatch()) {
                ADD_FAILURE() << "German text \"" << de.toStdString()
                              << "\" shown as: " << text.toStdString();
                ++found;
            }
    }
    EXPECT_EQ(found, 0);
}

} // namespace
