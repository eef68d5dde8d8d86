// The main window as built: start state, command states with the menu
// mirroring, the dispatch guards, help mode, Close, Quit, the general error
// handler, and the other windows.

#include "tests/app/main_form_fixture_test.h"

#include "app/application.h"
#include "app/image_view.h"
#include "app/picture_dialog.h"
#include "app/shape_mark.h"
#include "filter/batch_form.h"
#include "help/help_form.h"
#include "spectral/errors.h"
#include "spectral/resize_form.h"

#include <QApplication>
#include <QClipboard>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

#include <fstream>
#include <memory>
#include <set>

namespace {

using C = TControlId;

std::set<C> EnabledSet(const MainFormTest& t, bool (MainFormTest::*on)(C) const) {
    std::set<C> enabled;
    for (size_t i = 0; i < kControlCount; ++i)
        if (C(i) != C::TrackKontrast && (t.*on)(C(i))) enabled.insert(C(i));
    return enabled;
}

class MainFormStateTest : public MainFormTest {
public:
    using MainFormTest::On;
    std::set<C> Enabled() const { return EnabledSet(*this, &MainFormStateTest::On); }

    // Every menu item paired with a tool button has the button's state.
    void ExpectMirrored() {
        for (const TMenuMirror& pair : MenuMirrorPairs())
            EXPECT_EQ(On(pair.MenuItem), On(pair.Button))
                << ControlName(pair.Button) << " / " << ControlName(pair.MenuItem);
    }

    std::string FilterFile(const std::string& text) {
        const std::string path = Files.File("screen.flt");
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};

TEST_F(MainFormStateTest, StartsInStateZeroWithExactlyTheStartCommands) {
    EXPECT_EQ(Form->windowTitle(), "Pixmend (Standard-Edition) ");
    EXPECT_EQ(Form->CaptionBase(), "Pixmend (Standard-Edition) ");
    EXPECT_EQ(Form->CommandState(), 0);
    EXPECT_FALSE(Form->BatchRunning());
    EXPECT_FALSE(Form->HelpMode());
    EXPECT_EQ(Form->ShapeLastLeft(), 80);
    EXPECT_EQ(Form->ShapeLastTop(), 272);
    EXPECT_EQ(Form->ShapeHoverZone(), 0);
    EXPECT_EQ(Form->ShapeGrabZone(), 0);
    EXPECT_EQ(Form->LanguageState().Language, 0);
    EXPECT_EQ(Form->LanguageState().LanguageTable, nullptr);
    EXPECT_EQ(Form->Image1->ImageModified, 0);

    const std::set<C> expected = {C::ToolOpen,     C::ToolPaste,   C::ToolLoadFilter, C::ToolHelp,
                                  C::ToolMirror,   C::ToolDe,      C::Toolgb,         C::Open1,
                                  C::Paste1,       C::OpenFilter1, C::Contexthelp1,   C::Beenden1,
                                  C::versioninfo1, C::about1,      C::FastTransform1};
    EXPECT_EQ(Enabled(), expected);
    EXPECT_FALSE(On(C::Schlieen1));
    EXPECT_TRUE(Form->TrackKontrast->isHidden());
    ExpectMirrored();
    // Messages before any language is applied are the bare keys.
    EXPECT_EQ(Form->LangText("beenden"), "beenden");
}

TEST_F(MainFormStateTest, ShapeButtonsAreOneGroupAndEveryButtonGreysOut) {
    EXPECT_TRUE(Form->ToolRec->isChecked());
    Form->ToolElipse->setEnabled(true);
    Form->ToolElipse->click();
    EXPECT_FALSE(Form->ToolRec->isChecked()) << "rectangle and ellipse are one group";
    // A disabled button looks different from an enabled one.
    for (QToolButton* b : Form->findChildren<QToolButton*>()) {
        if (b->objectName().startsWith("qt_")) continue;
        const QImage normal = b->icon().pixmap(16, 16, QIcon::Normal).toImage();
        const QImage greyed = b->icon().pixmap(16, 16, QIcon::Disabled).toImage();
        EXPECT_EQ(normal.size(), QSize(16, 16)) << b->objectName().toStdString();
        EXPECT_NE(normal, greyed) << b->objectName().toStdString();
        // A screen of two device pixels a point gets our icons drawn for it,
        // not the small ones smoothed up.
        if (!b->objectName().startsWith("Tool")) continue;
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled})
            EXPECT_TRUE(b->icon().availableSizes(mode).contains(QSize(32, 32)))
                << b->objectName().toStdString();
    }
}

// The keys the README promises, pressed as a user presses them.
TEST_F(MainFormStateTest, EveryKeyRunsItsCommand) {
    ShowForm();
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    auto press = [&](QKeySequence key) { QTest::keySequence(Form.get(), key); };
    // The modal window a key brings up, closed again at once.
    auto modalOf = [&](QKeySequence key) {
        auto shown = std::make_shared<QWidget*>(nullptr);
        QTimer::singleShot(0, [shown] {
            *shown = QApplication::activeModalWidget();
            if (*shown) (*shown)->close();
        });
        press(key);
        return *shown;
    };
    Dialogs.Files.push_back(QString::fromStdString(WriteBitmap("k.bmp", 16, 8)));
    press(Qt::Key_F2);
    EXPECT_EQ(Form->CommandState(), 1) << "F2 opens";
    press(Qt::Key_F3);
    EXPECT_EQ(Dialogs.FileDialogs.back(), "SavePictureDialog") << "F3 saves";
    press(QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_FALSE(QApplication::clipboard()->image().isNull()) << "Ctrl+C copies";
    press(Qt::Key_F5);
    EXPECT_EQ(Form->CommandState(), 2) << "F5 transforms";
    press(Qt::Key_F5);
    EXPECT_EQ(Form->CommandState(), 1) << "and back";
    Protokol->AppendLine("typ=rec,x1=10,x2=20,y1=10,y2=20");
    Form->SetCommandState(3);
    press(Qt::Key_F6);
    EXPECT_TRUE(Form->ToolCompare->isEnabled()) << "F6 applies the filter";
    press(Qt::Key_F8);
    EXPECT_TRUE(Form->ToolCompare->isChecked()) << "F8 shows the picture before";
    press(Qt::Key_F8);
    EXPECT_FALSE(Form->ToolCompare->isChecked());
    Dialogs.Choices = {1, 0}; // discard the picture, keep the filter for the pasted one
    press(Qt::Key_F4);
    EXPECT_EQ(Form->CommandState(), 0) << "F4 closes after asking";
    press(QKeySequence(Qt::CTRL | Qt::Key_V));
    EXPECT_EQ(Form->CommandState(), 1) << "Ctrl+V pastes";
    EXPECT_EQ(modalOf(Qt::Key_F7), Batch.get()) << "F7 offers the batch run";
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    EXPECT_EQ(modalOf(Qt::Key_F1), About.get()) << "F1 shows About";
}

TEST_F(MainFormStateTest, EveryStateMirrorsTheMenu) {
    const uint8_t sequence[] = {1, 2, 3, 1, 3, 0, 3, 2, 0, 1};
    for (uint8_t state : sequence) {
        Form->SetCommandState(state);
        SCOPED_TRACE(int(state));
        ExpectMirrored();
        // Items without a button keep their state; Close follows the table.
        EXPECT_TRUE(On(C::Beenden1));
        EXPECT_TRUE(On(C::versioninfo1));
        EXPECT_TRUE(On(C::about1));
        EXPECT_EQ(Form->TrackKontrast->isHidden(), Form->CommandState() != 2);
    }
}

TEST_F(MainFormStateTest, StatesFollowTheTable) {
    Form->SetCommandState(1);
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_TRUE(On(C::ToolSave) && On(C::ToolCopy) && On(C::ToolTransform) && On(C::ToolZoom) &&
                On(C::ToolBatchrun) && On(C::Schlieen1));
    EXPECT_FALSE(On(C::Toolapply)) << "the filter list is empty";
    EXPECT_FALSE(On(C::ToolResize));

    Form->SetCommandState(2);
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_TRUE(On(C::ToolResize) && On(C::ToolRec) && On(C::ToolStempel));
    EXPECT_FALSE(On(C::Toolundo)) << "nothing done on this spectrum yet";
    EXPECT_FALSE(On(C::ToolOpen) || On(C::ToolSave) || On(C::ToolPaste) || On(C::ToolBatchrun));
    EXPECT_FALSE(Form->TrackKontrast->isHidden());

    // A smoothing in state 2: batch run comes on, apply stays off.
    Form->AddFilterEntry(kFilterRectangle, 0.1f, 0.2f, 0.1f, 0.2f);
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_TRUE(On(C::ToolBatchrun));
    EXPECT_FALSE(On(C::Toolapply));
    EXPECT_EQ(Protokol->EntryCount(), 1u);

    // State 0 switches Resize off although it was on.
    ASSERT_TRUE(On(C::ToolResize));
    Form->SetCommandState(0);
    EXPECT_FALSE(On(C::ToolResize));
}

TEST_F(MainFormStateTest, OpeningAFilterInStateZeroAndOne) {
    const std::string path =
        FilterFile("typ=rec,x1=10,x2=20,y1=10,y2=20\r\ntyp=ell,x1=1,x2=2,y1=3,y2=4\r\n");
    Dialogs.Files.push_back(QString::fromStdString(path));
    Form->ToolLoadFilter->click();
    EXPECT_EQ(Dialogs.FileDialogs, std::vector<QString>{"OpenFilter"});
    EXPECT_EQ(Protokol->EntryCount(), 2u);
    EXPECT_EQ(Protokol->ListBox1->topLevelItemCount(), 2);
    EXPECT_EQ(Form->CommandState(), 0);
    EXPECT_TRUE(On(C::ToolBatchrun) && On(C::ToolFilter) && On(C::ToolSaveFilter));
    EXPECT_TRUE(On(C::Batchrun1) && On(C::Filteransehen1) && On(C::SaveFilter1));
    EXPECT_FALSE(On(C::Toolapply));
    EXPECT_FALSE(On(C::ApplyFilter1));

    // With an image shown, the same load also enables Apply filter.
    Form->SetCommandState(1);
    EXPECT_TRUE(On(C::Toolapply)) << "state 1 with a non-empty list";
    Form->SetCommandState(0);
    Dialogs.Files.push_back(QString::fromStdString(path));
    Form->SetCommandState(1);
    Form->OpenFilter1->trigger();
    EXPECT_TRUE(On(C::Toolapply));
    EXPECT_TRUE(On(C::ApplyFilter1));

    // View filter shows the list window.
    Form->ToolFilter->click();
    EXPECT_TRUE(Protokol->isVisible());
}

TEST_F(MainFormStateTest, AFailedFilterLoadChangesNothing) {
    Dialogs.Files.push_back(QString::fromStdString(Files.File("missing.flt")));
    Form->ToolLoadFilter->click();
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_NE(Dialogs.Errors[0].indexOf("kann nicht geöffnet werden"), -1)
        << Dialogs.Errors[0].toStdString();
    EXPECT_FALSE(On(C::ToolBatchrun));
    EXPECT_FALSE(On(C::ToolFilter));
    // Cancelling the dialog changes nothing either.
    Form->ToolLoadFilter->click();
    EXPECT_FALSE(On(C::ToolFilter));
}

TEST_F(MainFormStateTest, CloseInStateOneEmptiesTheView) {
    Dialogs.Files.push_back(QString::fromStdString(WriteBitmap("a.bmp", 40, 30)));
    Form->ToolOpen->click();
    ASSERT_EQ(Form->CommandState(), 1);
    Form->Image1->ImageModified = 1;
    Form->Image1->move(5, 6);

    Dialogs.Choices = {1}; // discard
    Form->Schlieen1->trigger();
    EXPECT_EQ(Dialogs.Questions.size(), 1u) << "unsaved work: Close asks first";
    EXPECT_EQ(Form->CommandState(), 0);
    EXPECT_EQ(Form->Image1->geometry(), QRect(0, 0, 737, 705));
    EXPECT_FALSE(Form->Image1->HasPicture());
    EXPECT_EQ(Form->Image1->ImageModified, 0);
    EXPECT_EQ(Form->windowTitle(), Form->CaptionBase());
    for (C off :
         {C::ToolSave, C::ToolCopy, C::ToolTransform, C::ToolZoom, C::ToolResize, C::Schlieen1})
        EXPECT_FALSE(On(off)) << ControlName(off);
    EXPECT_TRUE(On(C::ToolOpen));
    EXPECT_TRUE(On(C::ToolPaste));
    // The store stays as it was.
    EXPECT_EQ(Store.Cols, 40);
    EXPECT_EQ(Store.Rows, 30);
}

TEST_F(MainFormStateTest, CloseInStateTwoAnsweredNoKeepsTheSpectrum) {
    Dialogs.Files.push_back(QString::fromStdString(WriteBitmap("a.bmp", 8, 8)));
    Form->ToolOpen->click();
    Form->ToolTransform->click();
    ASSERT_TRUE(On(C::Schlieen1));
    Form->Schlieen1->trigger();
    EXPECT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_TRUE(Form->Image1->HasPicture());
    EXPECT_NE(Form->windowTitle(), Form->CaptionBase());
}

TEST_F(MainFormStateTest, QuitAnsweredNoChangesNothing) {
    ShowForm();
    Dialogs.Answers = {false};
    Form->Beenden1->trigger();
    ASSERT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(Dialogs.Questions[0], "Do you really want to quit Pixmend?");
    EXPECT_EQ(QuitCalls, 0);
    EXPECT_TRUE(Form->isVisible());
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(Config.File("Pixmend"))));

    Form->ToolDe->click();
    Dialogs.Answers = {true};
    Form->Beenden1->trigger();
    EXPECT_EQ(Dialogs.Questions.back(), "Sind Sie sicher, dass Sie Pixmend schon beenden möchten?");
    EXPECT_EQ(QuitCalls, 1);
}

TEST_F(MainFormStateTest, HelpModeTakesTheClickInstead) {
    Form->ToolHelp->click();
    EXPECT_TRUE(Form->HelpMode());
    EXPECT_TRUE(Form->ToolHelp->isDown());
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WhatsThisCursor);

    // Open in help mode: no dialog, help mode ends; the shipped page is
    // shown, also on this machine without a network address.
    Form->ToolOpen->click();
    EXPECT_TRUE(Dialogs.FileDialogs.empty());
    EXPECT_TRUE(Dialogs.Informations.empty());
    EXPECT_TRUE(Help->isVisible());
    EXPECT_TRUE(Help->CurrentAddress().fileName().startsWith("pixmend_help_829470095_"));
    Help->hide();
    EXPECT_FALSE(Form->HelpMode());
    EXPECT_FALSE(Form->ToolHelp->isDown());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // A check button's toggle is undone in help mode.
    Form->ToolHelp->click();
    Form->ToolDe->click();
    EXPECT_TRUE(Form->ToolDe->isChecked());
    EXPECT_FALSE(Form->HelpMode());
    EXPECT_EQ(Form->LanguageState().Language, 0) << "no language was applied";

    // About runs in help mode and leaves help mode on.
    Form->Contexthelp1->trigger();
    ASSERT_TRUE(Form->HelpMode());
    bool aboutShownModally = false;
    QTimer::singleShot(0, About.get(), [&] {
        aboutShownModally = About->isVisible() && About->isModal();
        About->close();
    });
    Form->about1->trigger(); // returns once the dialog is closed
    EXPECT_TRUE(aboutShownModally);
    EXPECT_FALSE(About->isVisible());
    EXPECT_TRUE(Form->HelpMode());
    Form->versioninfo1->trigger();
    EXPECT_TRUE(VersionInfo->isVisible());
    EXPECT_TRUE(Form->HelpMode());

    // The context help command in help mode ends it.
    Form->ToolHelp->click();
    EXPECT_FALSE(Form->HelpMode());
}

TEST_F(MainFormStateTest, ZoomFollowsItsButton) {
    Form->SetCommandState(1);
    Form->ToolZoom->click();
    EXPECT_TRUE(Zoom->isVisible());
    // The menu item leaves the button down and the window shown.
    Form->Zoom1->trigger();
    EXPECT_TRUE(Form->ToolZoom->isChecked());
    EXPECT_TRUE(Zoom->isVisible());
    Form->ToolZoom->click();
    EXPECT_FALSE(Zoom->isVisible());
    // Disabled (state 0): the handler does nothing, even when called.
    Form->SetCommandState(0);
    Form->ToolZoom->setChecked(true);
    Form->ToolZoomClick(Form->ToolZoom);
    EXPECT_FALSE(Zoom->isVisible());
}

TEST_F(MainFormStateTest, DisabledCommandsDoNothingWhenCalled) {
    // Menu items and shortcuts run the same handler; the guard tests the
    // tool button, not the item.
    Form->BsaveClick(Form->Save1);
    Form->ToolCopyClick(Form->Copy1);
    EXPECT_TRUE(Dialogs.FileDialogs.empty());
    Form->SetCommandState(2);
    Form->BopenClick(Form->Open1);
    Form->ToolPasteClick(Form->Paste1);
    EXPECT_TRUE(Dialogs.FileDialogs.empty());
    EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(MainFormStateTest, StatusTextsAreSetAndCleared) {
    Form->ShowStatus("Bild wird geladen ...", 0);
    Form->ShowStatus("12.5  Prozent erledigt", 1);
    EXPECT_EQ(Form->StatusPanels[0]->text(), "Bild wird geladen ...");
    EXPECT_EQ(Form->StatusPanels[1]->text(), "12.5  Prozent erledigt");
    Form->ShowStatus("", 1);
    EXPECT_EQ(Form->StatusPanels[1]->text(), "");
    Form->ShowStatus("ignored", 2);
    EXPECT_EQ(Form->StatusPanels[0]->text(), "Bild wird geladen ...");
}

TEST_F(MainFormStateTest, CopyImageViewCopiesEverything) {
    TImageView source, target;
    source.setGeometry(3, 4, 5, 6);
    source.ImageModified = 1;
    source.Picture = TBitmap24(5, 6);
    source.Picture.Bytes[7] = 99;
    CopyImageView(target, source);
    EXPECT_EQ(target.geometry(), QRect(3, 4, 5, 6));
    EXPECT_EQ(target.ImageModified, 1);
    EXPECT_EQ(target.Picture.Bytes, source.Picture.Bytes);
    source.Picture.Bytes[7] = 1;
    EXPECT_EQ(target.Picture.Bytes[7], 99) << "an independent copy";
}

TEST_F(MainFormStateTest, ACommandsErrorIsShownAndTheWindowGoesOn) {
    Form->RunCommand([] { throw EFileError("Datei x kann nicht geöffnet werden"); });
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_EQ(Dialogs.Errors[0], "Datei x kann nicht geöffnet werden");
    EXPECT_FALSE(ShowErrorsOf(Dialogs, nullptr, [] { throw std::runtime_error("plain"); }));
    EXPECT_EQ(Dialogs.Errors.back(), "plain");
    EXPECT_TRUE(ShowErrorsOf(Dialogs, nullptr, [] {}));
    EXPECT_EQ(Dialogs.Errors.size(), 2u);
}

TEST(OtherWindowsTest, AreCreatedHiddenWithCaptionAndSize) {
    TFormZoom zoom;
    TFormHelp help;
    TFormProtokol protokol;
    TFormBatch batch;
    TFormAbout about;
    TVersionInfoForm versionInfo;
    TFResize resize;
    const std::vector<std::tuple<QWidget*, QString, QString, QSize>> windows = {
        {&zoom, "FormZoom", "zoom", QSize(192, 192)},
        {&help, "FormHelp", "Help", QSize(790, 605)},
        {&batch, "FormBatch", "Batchconversion", QSize(413, 376)},
        {&about, "FormAbout", "About", QSize(665, 362)},
        {&versionInfo, "VersionInfoForm", "Version-info", QSize(408, 345)},
        {&resize, "FResize", "Resize", QSize(157, 194)},
    };
    for (const auto& [window, name, caption, size] : windows) {
        EXPECT_EQ(window->objectName(), name);
        EXPECT_EQ(window->windowTitle(), caption);
        EXPECT_EQ(window->size(), size) << name.toStdString();
        EXPECT_TRUE(window->isHidden());
    }
    EXPECT_TRUE(zoom.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(versionInfo.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(resize.Value(), 100);
    EXPECT_EQ(resize.Mode(), 0);
}

TEST(FilterListWindowTest, DeletesOnlyTheSelectedLine) {
    TFormProtokol protokol;
    protokol.AppendEntry(kFilterRectangle, 0.125f, 0.175f, 0.083333336f, 0.11666667f);
    protokol.AppendEntry(kFilterEllipse, 0.0f, 0.0f, 0.0f, 0.0f);
    EXPECT_FALSE(protokol.AppendEntry(2, 0, 0, 0, 0));
    ASSERT_EQ(protokol.ListBox1->topLevelItemCount(), 2);
    EXPECT_EQ(protokol.ListBox1->topLevelItem(0)->text(TFormProtokol::ColumnLine),
              "typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667");
    protokol.DeleteClick();
    EXPECT_EQ(protokol.EntryCount(), 2u) << "nothing selected";
    protokol.ListBox1->setCurrentItem(protokol.ListBox1->topLevelItem(0));
    protokol.Delete->click();
    EXPECT_EQ(protokol.EntryCount(), 1u);
    EXPECT_EQ(protokol.ListBox1->topLevelItem(0)->text(TFormProtokol::ColumnLine).left(7),
              "typ=ell");
}

} // namespace

TEST_F(MainFormStateTest, ToolWindowsOpenBesideTheWindowNotOverItsBars) {
    Form->show();
    Form->setGeometry(20, 30, 420, 320);
    OpenImage(WriteBitmap("p.bmp", 40, 30, 1));
    // The menu and tool bars of the main window, on the screen.
    const QRect bars(Form->geometry().topLeft(), QSize(Form->width(), Form->centralWidget()->y()));
    Form->ToolZoom->click();
    ASSERT_TRUE(Zoom->isVisible());
    EXPECT_FALSE(Zoom->frameGeometry().intersects(bars)) << "zoom window over the bars";
    // Moved by the user, it stays where it was put.
    Zoom->move(5, 400);
    Form->ToolZoom->click();
    Form->ToolZoom->click();
    EXPECT_EQ(Zoom->pos(), QPoint(5, 400));
}
