// The window as a user relies on it: questions before work is lost, one undo
// per action, the save dialog where the image is, before and after, error
// boxes that name the file, and one language throughout.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/picture_dialog.h"
#include "app/shape_mark.h"
#include "shell/interface_texts.h"
#include "shell/language_tables.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGroupBox>
#include <QHeaderView>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <fstream>
#include <set>

namespace {

class MainFormEditTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm(); // English, as on a first run
    }
    QString Status() const { return Form->StatusPanels[0]->text(); }
    // A smoothing of the mark where it is, with the mirror switch as given.
    void Smooth(bool mirrored) {
        Form->ToolMirror->setChecked(mirrored);
        Form->Shape->SetMark(TMarkRect{3, 2, 6, 5});
        Form->ToolStempel->click();
    }
};

TEST_F(MainFormEditTest, CloseAsksLikeOpenWhenTheWorkIsUnsaved) {
    OpenImage(WriteBitmap("scan.bmp", 16, 12));
    Form->Schlieen1->trigger();
    EXPECT_TRUE(Dialogs.Questions.empty()) << "an image as loaded loses nothing";
    EXPECT_EQ(Form->CommandState(), 0);

    OpenSpectrum(16, 12);
    Dialogs.Choices = {2};
    Form->Schlieen1->trigger();
    ASSERT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Dialogs.Questions[0], "Save the changes to scan.bmp?");
    EXPECT_EQ(Form->CommandState(), 2) << "Cancel keeps the spectrum";
    Dialogs.Choices = {1};
    Form->Schlieen1->trigger();
    EXPECT_EQ(Form->CommandState(), 0);
    EXPECT_TRUE(Form->Shape->isHidden());
    EXPECT_FALSE(Form->Image1->HasPicture());
}

TEST_F(MainFormEditTest, OpenFilterAsksBeforeReplacingUnsavedEntries) {
    OpenSpectrum(16, 12);
    Smooth(false);
    const size_t dialogs = Dialogs.FileDialogs.size();
    Form->ToolLoadFilter->click();
    ASSERT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Dialogs.FileDialogs.size(), dialogs) << "No: the open dialog is not even shown";
    EXPECT_EQ(Protokol->EntryCount(), 1u);

    Dialogs.Files.push_back(QString::fromStdString(Files.File("kept.flt")));
    Form->ToolSaveFilter->click();
    Dialogs.Files.push_back(QString::fromStdString(Files.File("kept.flt")));
    Form->ToolLoadFilter->click();
    EXPECT_EQ(Dialogs.Questions.size(), 1u) << "saved entries are replaced without a question";
    EXPECT_EQ(Protokol->EntryCount(), 1u);
}

TEST_F(MainFormEditTest, OneUndoTakesBackOneActionAndNothingElse) {
    OpenSpectrum(16, 12);
    EXPECT_FALSE(Form->Toolundo->isEnabled()) << "nothing done yet";
    const std::vector<float> before = Store.Planes[1];
    Smooth(false);
    const std::vector<float> afterFirst = Store.Planes[1];
    Smooth(true);
    EXPECT_EQ(Protokol->EntryCount(), 3u);
    EXPECT_TRUE(Form->Toolundo->isEnabled());

    Form->Toolundo->click();
    EXPECT_EQ(Protokol->EntryCount(), 1u) << "the mirrored smoothing goes with one click";
    for (size_t i = 0; i < before.size(); ++i)
        ASSERT_NEAR(Store.Planes[1][i], afterFirst[i], 1e-3f) << i;
    Form->Toolundo->click();
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    for (size_t i = 0; i < before.size(); ++i)
        ASSERT_NEAR(Store.Planes[1][i], before[i], 1e-3f) << i;
    EXPECT_FALSE(Form->Toolundo->isEnabled());

    // Lines from a file were never applied to this spectrum: nothing to undo.
    Protokol->AppendLine("typ=rec,x1=10.00000,x2=50.00000,y1=10.00000,y2=50.00000");
    Form->SetCommandState(3);
    EXPECT_FALSE(Form->Toolundo->isEnabled());
}

TEST_F(MainFormEditTest, SaveDialogStartsInTheImagesFolderUnderANameOfItsOwn) {
    OpenImage(WriteBitmap("scan.bmp", 8, 8));
    Form->ToolSave->click();
    EXPECT_EQ(Form->SavePictureDialog->directory().absolutePath(),
              QFileInfo(QString::fromStdString(Files.Path())).absoluteFilePath());
    ASSERT_FALSE(Form->SavePictureDialog->selectedFiles().isEmpty());
    EXPECT_EQ(QFileInfo(Form->SavePictureDialog->selectedFiles().front()).fileName(),
              "scan-clean.bmp");
}

TEST_F(MainFormEditTest, EveryToolButtonExplainsItselfInBothLanguages) {
    for (int language : {2, 1}) {
        (language == 1 ? Form->ToolDe : Form->Toolgb)->click();
        std::set<QString> tips;
        for (QToolButton* button : Form->findChildren<QToolButton*>()) {
            if (button->objectName().isEmpty() || button->objectName().startsWith("qt_")) continue;
            EXPECT_FALSE(button->toolTip().trimmed().isEmpty())
                << button->objectName().toStdString();
            tips.insert(button->toolTip());
        }
        EXPECT_EQ(tips.count(QString::fromStdString(
                      InterfaceText(language, "Auch den an der Diagonale "
                                              "gespiegelten Bereich gl\u00e4tten"))),
                  1u);
    }
}

TEST_F(MainFormEditTest, BeforeAndAfterFlipsThePictureInPlace) {
    const std::string path = WriteBitmap("scan.bmp", 96, 64, 4);
    OpenImage(path);
    const TBitmap24 loaded = Form->Image1->Picture;
    EXPECT_FALSE(Form->ToolCompare->isEnabled()) << "nothing filtered yet";
    Form->ToolTransform->click();
    Smooth(true);
    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 1);
    ASSERT_TRUE(Form->ToolCompare->isEnabled());
    const TBitmap24 filtered = Form->Image1->Picture;
    ASSERT_NE(filtered.Bytes, loaded.Bytes);
    // The view scrolled away from its corner in a small window.
    Form->showNormal();
    Form->resize(400, 300);
    Form->ScrollBox1->SetZoom({8, 1});
    QApplication::processEvents();
    Form->ScrollBox1->verticalScrollBar()->setValue(40);
    ASSERT_EQ(Form->ScrollBox1->verticalScrollBar()->value(), 40);

    Form->ToolCompare->click();
    EXPECT_EQ(Form->Image1->Picture.Bytes, loaded.Bytes);
    EXPECT_EQ(Form->ScrollBox1->verticalScrollBar()->value(), 40) << "same place";
    Form->ToolCompare->click();
    EXPECT_EQ(Form->Image1->Picture.Bytes, filtered.Bytes) << "and back";
    Form->ToolCompare->click();

    // Any command works on the filtered picture, never on the one compared.
    Dialogs.Files.push_back(QString::fromStdString(Files.File("out.bmp")));
    Form->ToolSave->click();
    EXPECT_FALSE(Form->ToolCompare->isChecked());
    EXPECT_EQ(ReadImageFile(Files.File("out.bmp")).Bytes, filtered.Bytes);
}

TEST_F(MainFormEditTest, ErrorsInGermanKeepTheirTextsAndNameTheFile) {
    Form->ToolDe->click();
    std::ofstream(Files.File("cut.jpg"), std::ios::binary) << "\xFF\xD8\xFF\xE0";
    Open(Files.File("cut.jpg"));
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    const QStringList lines = Dialogs.Errors[0].split('\n');
    EXPECT_EQ(lines.front(), QString::fromStdString(Files.File("cut.jpg")));
    EXPECT_TRUE(lines.filter(QRegularExpression("^JPEG-Fehler #\\d+$")).size() == 1)
        << lines.join('|').toStdString();
    EXPECT_EQ(lines.back(), "Die JPEG-Daten sind besch\u00e4digt oder unvollst\u00e4ndig.");
    EXPECT_EQ(Status(), "bereit");

    Form->Toolgb->click();
    Open(Files.File("cut.jpg"));
    EXPECT_TRUE(QRegularExpression("\\nJPEG error #\\d+: \\w+").match(Dialogs.Errors[1]).hasMatch())
        << "the codec's number comes with its words: " << Dialogs.Errors[1].toStdString();
}

TEST_F(MainFormEditTest, YesAndNoFollowTheProgramsLanguage) {
    TUserDialogs real;
    for (int language : {1, 2}) {
        real.SetLanguage(language);
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (QAbstractButton* button : box->buttons()) shown.append(button->text());
            box->button(QMessageBox::No)->click();
        });
        EXPECT_FALSE(real.Confirm(nullptr, "?"));
        shown.sort();
        EXPECT_EQ(shown, language == 1 ? QStringList({"Ja", "Nein"}) : QStringList({"No", "Yes"}));
    }
}

TEST_F(MainFormEditTest, ABoxWhoseWindowIsTakenDownAnswersAsEscapeWould) {
    // The window is deleted while its box waits for an answer, as when the
    // program is quit from outside: the box goes with it, once, and the
    // question reads as declined.
    TUserDialogs real;
    auto* window = new QWidget;
    window->show();
    const auto takeDown = [&] {
        QTimer::singleShot(0, [&] {
            ASSERT_NE(QApplication::activeModalWidget(), nullptr);
            delete window;
        });
    };
    takeDown();
    EXPECT_FALSE(real.Confirm(window, "?"));
    window = new QWidget;
    window->show();
    takeDown();
    EXPECT_EQ(real.Choose(window, "?", {"Save", "Discard", "Cancel"}), 2);
    window = new QWidget;
    window->show();
    takeDown();
    EXPECT_EQ(real.AskText(window, "Name", "?", "x"), std::nullopt);
    window = new QWidget;
    window->show();
    takeDown();
    real.ShowError(window, "!");
}

// Lower-case words of a text, letters only.
std::set<QString> Words(const QString& text) {
    std::set<QString> words;
    for (const QString& word :
         text.toLower().split(QRegularExpression("[^\\p{L}]+"), Qt::SkipEmptyParts))
        words.insert(word);
    return words;
}

// The words only the German interface uses: those of the German texts that
// no English text has.
std::set<QString> GermanOnlyWords() {
    std::set<QString> german, english;
    auto value = [](const std::string& line) {
        return QString::fromStdString(line.substr(line.find('=') + 1));
    };
    std::set<std::string> englishKeys;
    for (const std::string& line : StrHolder2())
        if (line.find('=') != std::string::npos) {
            englishKeys.insert(line.substr(0, line.find('=')));
            for (const QString& w :
                 Words(QString::fromStdString(InterfaceText(2, value(line).toStdString()))))
                english.insert(w);
        }
    for (const std::string& line : StrHolder1())
        if (line.find('=') != std::string::npos &&
            englishKeys.count(line.substr(0, line.find('='))))
            for (const QString& w : Words(value(line))) german.insert(w);
    for (const auto& [de, en] : InterfaceTextPairs()) {
        for (const QString& w : Words(QString::fromUtf8(de.data(), qsizetype(de.size()))))
            german.insert(w);
        for (const QString& w : Words(QString::fromUtf8(en.data(), qsizetype(en.size()))))
            english.insert(w);
    }
    std::set<QString> only;
    for (const QString& w : german)
        if (!english.count(w)) only.insert(w);
    return only;
}

// Every text a widget or action shows: captions, titles, tooltips, column
// titles and rows.
QStringList VisibleTexts() {
    QStringList texts;
    for (QWidget* widget : QApplication::allWidgets()) {
        if (widget->isWindow()) texts << widget->windowTitle();
        texts << widget->toolTip();
        if (auto* label = qobject_cast<QLabel*>(widget)) texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) texts << button->text();
        if (auto* group = qobject_cast<QGroupBox*>(widget)) texts << group->title();
        if (auto* tree = qobject_cast<QTreeWidget*>(widget)) {
            for (int c = 0; c < tree->columnCount(); ++c) texts << tree->headerItem()->text(c);
            for (int r = 0; r < tree->topLevelItemCount(); ++r)
                for (int c = 0; c < tree->columnCount(); ++c)
                    texts << tree->topLevelItem(r)->text(c);
        }
        if (auto* menu = qobject_cast<QMenu*>(widget)) {
            texts << menu->title();
            for (QAction* action : menu->actions()) texts << action->text() << action->toolTip();
        }
    }
    return texts;
}

TEST_F(MainFormEditTest, EnglishShowsNoGermanOnlyWordAnywhere) {
    const std::set<QString> germanOnly = GermanOnlyWords();
    ASSERT_TRUE(germanOnly.count("bild") && germanOnly.count("bereit") && germanOnly.count("wert"))
        << "the check knows the German words it looks for";
    QStringList shown;
    auto status = [&] { shown << Form->StatusPanels[0]->text() << Form->StatusPanels[1]->text(); };

    // Through every command that speaks: questions, errors, prompts, results,
    // status texts, and the other windows with their contents.
    Form->Beenden1->trigger();
    std::ofstream(Files.File("bad.bmp"), std::ios::binary) << "BM";
    Open(Files.File("bad.bmp"));
    status();
    OpenSpectrum(40, 30);
    status();
    Smooth(true);
    QTimer::singleShot(0, [this] { Resize->Bok->click(); });
    Form->ToolResize->click();
    status();
    Dialogs.Texts.push_back(QString("sign"));
    Form->CheckWatermark1->trigger();
    Form->ToolLoadFilter->click();
    Form->Schlieen1->trigger();
    Protokol->AppendLine("typ=unknown");
    Protokol->show();
    VersionInfo->ShowVersionInfo(Form->LanguageState().Language);
    QTimer::singleShot(0, [this] {
        About->BitBtn1->click();
        About->close();
    });
    Form->about1->trigger();

    shown << VisibleTexts();
    for (const std::vector<QString>* said :
         {&Dialogs.Questions, &Dialogs.Errors, &Dialogs.Informations, &Dialogs.Prompts})
        for (const QString& text : *said) shown << text;
    ASSERT_GE(Dialogs.Questions.size(), 3u);
    ASSERT_GE(Dialogs.Errors.size(), 1u);
    for (const QString& text : shown)
        for (const QString& word : Words(text))
            EXPECT_FALSE(germanOnly.count(word))
                << "\"" << word.toStdString() << "\" in: " << text.toStdString();
}

} // namespace
