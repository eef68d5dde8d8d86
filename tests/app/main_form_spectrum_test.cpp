// The main window's spectrum work on real widgets: Transform in both
// directions, the spectrum view and its contrast slider, smoothing and undo,
// the Resize command, and the filter file commands with the window's lines.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "app/shape_mark.h"
#include "filter/filter_list.h"
#include "filter/smoothing.h"
#include "spectral/display.h"
#include "spectral/errors.h"
#include "spectral/resize.h"
#include "spectral/transform.h"

#include <QApplication>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include <cmath>

namespace {

class MainFormSpectrumTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm(); // English, as on a first run
    }

    QString Status(int panel = 0) const { return Form->StatusPanels[size_t(panel)]->text(); }
    std::vector<std::string> Lines() const { return Protokol->List().Lines(); }
};

bool SamePlanes(const TSpectrumStore& a, const TSpectrumStore& b) {
    for (int p = 0; p < 3; ++p)
        if (a.Planes[p] != b.Planes[p]) return false;
    return true;
}

// The view shows exactly what the display makes of the store.
void ExpectViewShows(const TForm1& form, const TSpectrumStore& store, bool imageShown,
                     int32_t contrast) {
    const TBitmap24 expected = RenderStore(store, imageShown, contrast);
    ASSERT_EQ(form.Image1->Picture.Width, expected.Width);
    ASSERT_EQ(form.Image1->Picture.Height, expected.Height);
    EXPECT_TRUE(form.Image1->Picture.Bytes == expected.Bytes);
}

TEST_F(MainFormSpectrumTest, TransformForwardShowsTheSpectrumWithThePresetContrast) {
    const std::string path = WriteBitmap("scan.bmp", 37, 23, 5);
    TSpectrumStore expected;
    {
        TNoProgress quiet;
        const TBitmap24 bitmap = ReadImageFile(path);
        expected.Rows = 23;
        expected.Cols = 37;
        expected.WorkPlane.assign(37 * 23, 0.0f);
        for (auto& plane : expected.Planes) plane.assign(37 * 23, 0.0f);
        const TTransformResult r =
            TransformStore(expected, TTransformDirection::Forward, &bitmap, quiet);
        ASSERT_LT(r.ContrastPreset, 0) << "a patterned image has large coefficients";
    }
    OpenImage(path);
    Form->ToolTransform->click();

    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_EQ(Form->CommandState(), 2);
    for (int p = 0; p < 3; ++p)
        EXPECT_TRUE(Store.Planes[size_t(p)] == expected.Planes[size_t(p)])
            << "plane " << p << " bit for bit";
    const int32_t preset = ContrastPresetFor([&] {
        TNoProgress quiet;
        TSpectrumStore again;
        const TBitmap24 bitmap = ReadImageFile(path);
        again.Rows = 23;
        again.Cols = 37;
        again.WorkPlane.assign(37 * 23, 0.0f);
        for (auto& plane : again.Planes) plane.assign(37 * 23, 0.0f);
        return TransformStore(again, TTransformDirection::Forward, &bitmap, quiet).Maximum;
    }());
    EXPECT_EQ(Form->TrackKontrast->value(), preset);
    EXPECT_FALSE(Form->TrackKontrast->isHidden());
    EXPECT_TRUE(Form->Shape->isHidden()) << "no mark until the user draws one";
    EXPECT_FALSE(Form->Image1->isHidden());
    EXPECT_EQ(Form->Image1->ImageModified, 1);
    EXPECT_EQ(Status(0), "Transformed");
    EXPECT_EQ(Status(1), "");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor ends";
    ExpectViewShows(*Form, Store, false, preset);
    // The spectrum state's commands.
    EXPECT_FALSE(On(TControlId::Toolundo)) << "nothing to undo yet";
    EXPECT_TRUE(On(TControlId::ToolStempel));
    EXPECT_TRUE(On(TControlId::ToolResize));
    EXPECT_FALSE(On(TControlId::ToolOpen));
    EXPECT_FALSE(On(TControlId::ToolSave));
}

TEST_F(MainFormSpectrumTest, StateSequenceThroughSmoothUndoResizeAndBack) {
    OpenSpectrum(60, 40, 9);
    Form->ToolMirror->setChecked(false);
    Form->Shape->SetMark({10, 5, 12, 8});
    Form->ToolStempel->click();
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_EQ(Protokol->EntryCount(), 1u);
    EXPECT_TRUE(On(TControlId::ToolBatchrun)) << "event 3 in state 2 enables the batch run";
    EXPECT_FALSE(On(TControlId::Toolapply));
    EXPECT_TRUE(On(TControlId::ToolFilter));
    EXPECT_TRUE(On(TControlId::ToolSaveFilter));

    Form->Toolundo->click();
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_EQ(Protokol->EntryCount(), 0u);

    QTimer::singleShot(0, Resize.get(), [this] {
        Resize->SpinEdit1->setValue(50);
        Resize->RadioGroup1->findChildren<QRadioButton*>().at(0)->setChecked(true);
        Resize->Bok->click();
    });
    Form->ToolResize->click();
    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_EQ(Store.Cols, 30);
    EXPECT_EQ(Store.Rows, 20);
    EXPECT_EQ(Lines(), std::vector<std::string>{
                           "typ=resize100,x1=5000.00000,x2=0.00000,y1=0.00000,y2=0.00000"});
    ExpectViewShows(*Form, Store, false, Form->TrackKontrast->value());

    Form->ToolTransform->click();
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Form->TrackKontrast->value(), 0);
    EXPECT_TRUE(Form->TrackKontrast->isHidden());
    EXPECT_TRUE(Form->Shape->isHidden());
    EXPECT_EQ(Form->Image1->size(), QSize(30, 20)) << "the view follows the resized image";
    ExpectViewShows(*Form, Store, true, 0);
    EXPECT_TRUE(On(TControlId::Toolapply)) << "state 1 with a filter";
    EXPECT_TRUE(On(TControlId::ToolSave));
}

TEST_F(MainFormSpectrumTest, InverseAfterForwardGivesTheImageBack) {
    const std::string path = WriteBitmap("scan.bmp", 31, 17, 3);
    OpenImage(path);
    const TBitmap24 original = Form->Image1->Picture;
    Form->ToolTransform->click();
    Form->ToolTransform->click();
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Form->Image1->ImageModified, 1);
    // Rounding may move a pixel by one step, never more.
    ASSERT_EQ(Form->Image1->Picture.Bytes.size(), original.Bytes.size());
    for (size_t i = 0; i < original.Bytes.size(); ++i)
        ASSERT_LE(std::abs(int(Form->Image1->Picture.Bytes[i]) - int(original.Bytes[i])), 1)
            << "byte " << i;
}

TEST_F(MainFormSpectrumTest, ProgressTextsInTheCurrentLanguage) {
    Form->Percent(0.0);
    EXPECT_EQ(Status(1), "0.0  percent ...");
    Form->Phase("Red1");
    EXPECT_EQ(Status(0), "red (1)");
    Form->ToolDe->click();
    Form->Percent(66.6);
    EXPECT_EQ(Status(1), "66.6  Prozent erledigt");
    Form->Phase("Red2");
    EXPECT_EQ(Status(0), "Rot (2)");
    Form->ClearPercent();
    EXPECT_EQ(Status(1), "");
}

// Records the texts a status panel is painted with.
class TPaintedTexts : public QObject {
public:
    explicit TPaintedTexts(QLabel* label) : label_(label), before_(label->text()) {
        label->installEventFilter(this);
    }
    std::vector<QString> Texts;
    bool eventFilter(QObject*, QEvent* event) override {
        // The window repaints while a transform runs: the text that stood
        // there before may be painted again before the first new one.
        if (Texts.empty() && label_->text() == before_) return false;
        if (event->type() == QEvent::Paint && (Texts.empty() || Texts.back() != label_->text()))
            Texts.push_back(label_->text());
        return false;
    }

private:
    QLabel* label_;
    QString before_;
};

TEST_F(MainFormSpectrumTest, TransformShowsItsPhasesAndProgressWhileItRuns) {
    OpenImage(WriteBitmap("scan.bmp", 150, 120, 1));
    // A window not yet exposed paints nothing: under load the first reports
    // would be lost to that, not to the window.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    TPaintedTexts phases(Form->StatusPanels[0]);
    TPaintedTexts progress(Form->StatusPanels[1]);
    Form->ToolTransform->click();
    EXPECT_EQ(phases.Texts, (std::vector<QString>{"red (1)", "red (2)", "green (1)", "green (2)",
                                                  "blue (1)", "blue (2)", "Transformed"}));
    // Rows 0 and 100 (r/H * 50/3 + p * 33.3), columns 0 and 100
    // ((c/W * 50 + 50)/3 + p * 33.3) of each plane, then emptied.
    EXPECT_EQ(
        progress.Texts,
        (std::vector<QString>{"0.0  percent ...", "13.9  percent ...", "16.7  percent ...",
                              "27.8  percent ...", "33.3  percent ...", "47.2  percent ...",
                              "50.0  percent ...", "61.1  percent ...", "66.6  percent ...",
                              "80.5  percent ...", "83.3  percent ...", "94.4  percent ...", ""}));
}

TEST_F(MainFormSpectrumTest, TransformLengthErrorLeavesTheWindowUsable) {
    // 2 * 10006 - 1 has a prime factor beyond what the FFT takes.
    OpenImage(WriteBitmap("wide.bmp", 10006, 1));
    const TSpectrumStore before = Store;
    const TBitmap24 shown = Form->Image1->Picture;
    Form->ToolTransform->click();

    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_EQ(Dialogs.Errors[0].toStdString(), TransformLengthMessage(10006, 1));
    EXPECT_EQ(Form->CommandState(), 1) << "the image state is back";
    EXPECT_TRUE(On(TControlId::ToolOpen));
    EXPECT_TRUE(On(TControlId::ToolSave));
    EXPECT_FALSE(On(TControlId::ToolStempel));
    EXPECT_TRUE(Form->TrackKontrast->isHidden());
    EXPECT_TRUE(Form->Shape->isHidden());
    EXPECT_FALSE(Form->Image1->isHidden()) << "the view shows again";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor ends";
    EXPECT_TRUE(SamePlanes(Store, before)) << "the store is unchanged";
    EXPECT_TRUE(Form->Image1->Picture.Bytes == shown.Bytes);
    EXPECT_EQ(Form->Image1->ImageModified, 0);

    // And it goes on working: another image opens and transforms.
    OpenImage(WriteBitmap("small.bmp", 8, 8));
    Form->ToolTransform->click();
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_EQ(Dialogs.Errors.size(), 1u);
}

TEST_F(MainFormSpectrumTest, RegionRedrawTouchesOnlyTheRegion) {
    OpenSpectrum(40, 30, 1);
    TBitmap24& view = Form->Image1->Picture;
    std::fill(view.Bytes.begin(), view.Bytes.end(), uint8_t(0x5A));
    const TBitmap24 full = RenderStore(Store, false, Form->TrackKontrast->value());
    Form->DrawStoreRegion(3, 9, 4, 11);
    for (int32_t r = 0; r < 30; ++r)
        for (int32_t c = 0; c < 40; ++c)
            for (int b = 0; b < 3; ++b) {
                const bool inside = c >= 3 && c <= 9 && r >= 4 && r <= 11;
                const uint8_t want = inside ? full.Pixel(c, r)[b] : uint8_t(0x5A);
                ASSERT_EQ(view.Pixel(c, r)[b], want) << c << "," << r << " byte " << b;
            }
    // Bounds beyond the store are cut to it; reversed bounds draw nothing.
    Form->DrawStoreRegion(35, 100, -5, 2);
    EXPECT_EQ(view.Pixel(39, 0)[0], full.Pixel(39, 0)[0]);
    std::fill(view.Bytes.begin(), view.Bytes.end(), uint8_t(0x5A));
    Form->DrawStoreRegion(9, 3, 0, 29);
    EXPECT_TRUE(
        std::all_of(view.Bytes.begin(), view.Bytes.end(), [](uint8_t b) { return b == 0x5A; }));
}

TEST_F(MainFormSpectrumTest, ContrastSliderRedrawsOnlyTheSpectrum) {
    OpenSpectrum(40, 30, 2);
    for (int position : {-50, -10, 0, 5, 50}) {
        Form->TrackKontrast->setValue(position);
        ExpectViewShows(*Form, Store, false, position);
    }
    Form->TrackKontrast->setValue(200);
    EXPECT_EQ(Form->TrackKontrast->value(), 50) << "the slider keeps its range";

    // In the image state moving the slider changes nothing.
    Form->ToolTransform->click();
    const TBitmap24 image = Form->Image1->Picture;
    Form->TrackKontrast->setValue(20);
    EXPECT_TRUE(Form->Image1->Picture.Bytes == image.Bytes);
}

TEST_F(MainFormSpectrumTest, MirroredSmoothingOn800x600RecordsBothRegions) {
    OpenImage(WriteBitmap("big.bmp", 800, 600));
    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 2);
    for (auto& plane : Store.Planes) std::fill(plane.begin(), plane.end(), 1000.0f);
    Form->DrawStore();
    const TSpectrumStore before = Store;
    ASSERT_TRUE(Form->ToolMirror->isChecked()) << "the mirror is down by design";
    Form->Shape->SetMark({100, 50, 40, 20});
    Form->ToolStempel->click();

    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"typ=rec,x1=12.50000,x2=17.50000,y1=8.33333,y2=11.66667",
                                        "typ=rec,x1=8.33333,x2=11.66667,y1=12.50000,y2=17.50000"}));
    // Columns 100..140 x rows 50..70, and the mirrored 67..93 x 75..105.
    auto inFirst = [](int c, int r) { return c > 100 && c < 140 && r > 50 && r < 70; };
    auto inMirror = [](int c, int r) { return c > 67 && c < 93 && r > 75 && r < 105; };
    for (int r = 0; r < 600; r += 1)
        for (int c = 0; c < 800; c += (r % 7 == 0 ? 1 : 13)) {
            const bool changed = Store.At(1, c, r) != before.At(1, c, r);
            ASSERT_EQ(changed, inFirst(c, r) || inMirror(c, r)) << c << "," << r;
        }
    EXPECT_EQ(Store.At(0, 120, 60),
              float(1000.0f / SmoothingFactor(800, 600, 100, 140, 50, 70, false, 120, 60)));
    EXPECT_EQ(Store.At(2, 80, 90),
              float(1000.0f / SmoothingFactor(800, 600, 67, 93, 75, 105, false, 80, 90)));
    ExpectViewShows(*Form, Store, false, Form->TrackKontrast->value());

    // One undo reverses the whole mirrored smoothing.
    Form->Toolundo->click();
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < Store.Planes[size_t(p)].size(); i += 97)
            ASSERT_NEAR(Store.Planes[size_t(p)][i], 1000.0f, 1e-3f);
    ExpectViewShows(*Form, Store, false, Form->TrackKontrast->value());
    Form->Toolundo->click(); // an empty list: nothing
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(MainFormSpectrumTest, SmoothingUsesTheEllipseAndANormalisedMark) {
    OpenSpectrum(64, 64, 4);
    Form->ToolMirror->setChecked(false);
    Form->ToolElipse->click();
    // Drawn up and to the left: normalised before use, on screen too.
    Form->Shape->SetMark({30, 40, -10, -20});
    Form->ToolStempel->click();
    EXPECT_EQ(Form->Shape->Mark(), (TMarkRect{20, 20, 10, 20}));
    EXPECT_EQ(Form->Shape->geometry(), QRect(20, 20, 10, 20));
    EXPECT_EQ(Lines(),
              std::vector<std::string>{"typ=ell,x1=31.25000,x2=46.87500,y1=31.25000,y2=62.50000"});
}

TEST_F(MainFormSpectrumTest, UndoOfAResizeEntryOnlyRemovesIt) {
    OpenSpectrum(40, 40, 4);
    // "Max Breite" beyond the width: recorded, the size stays.
    Resize->SpinEdit1->setValue(5000000);
    Resize->RadioGroup1->findChildren<QRadioButton*>().at(3)->setChecked(true);
    QTimer::singleShot(0, [this] { Resize->Bok->click(); });
    Form->ToolResize->click();
    ASSERT_EQ(Protokol->EntryCount(), 1u);
    const TSpectrumStore before = Store;
    Form->Toolundo->click();
    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    EXPECT_TRUE(SamePlanes(Store, before));
}

TEST_F(MainFormSpectrumTest, CancelledResizeChangesAndRecordsNothing) {
    OpenSpectrum(40, 40, 4);
    const TSpectrumStore before = Store;
    QTimer::singleShot(0, Resize.get(), [this] { Resize->Bcancel->click(); });
    Form->ToolResize->click();
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    EXPECT_TRUE(SamePlanes(Store, before));
    EXPECT_EQ(Store.Cols, 40);
}

TEST_F(MainFormSpectrumTest, ResizeThatChangesNothingStillRecordsItsEntry) {
    OpenSpectrum(40, 40, 4);
    const TSpectrumStore before = Store;
    QTimer::singleShot(0, Resize.get(), [this] {
        Resize->SpinEdit1->setValue(1);
        Resize->Bok->click();
    });
    Form->ToolResize->click();
    EXPECT_TRUE(SamePlanes(Store, before));
    EXPECT_EQ(Lines(), std::vector<std::string>{
                           "typ=resize100,x1=100.00000,x2=0.00000,y1=0.00000,y2=0.00000"});
}

TEST_F(MainFormSpectrumTest, FilterSaveAndOpenRoundTripTheWindowsLines) {
    OpenSpectrum(64, 48, 4);
    Form->Shape->SetMark({8, 6, 10, 12});
    Form->ToolStempel->click();
    const std::vector<std::string> recorded = Lines();
    ASSERT_EQ(recorded.size(), 2u);

    const std::string path = Files.File("screen.flt");
    Dialogs.Files.push_back(QString::fromStdString(path));
    Form->ToolSaveFilter->click();
    EXPECT_EQ(Dialogs.FileDialogs.back(), "SaveFilter");
    const auto bytes = ReadFileBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), recorded[0] + "\r\n" + recorded[1] + "\r\n");

    Protokol->Clear();
    Dialogs.Files.push_back(QString::fromStdString(path));
    Form->ToolLoadFilter->click();
    EXPECT_EQ(Dialogs.FileDialogs.back(), "OpenFilter");
    EXPECT_EQ(Lines(), recorded);
    EXPECT_EQ(Form->OpenFilter->nameFilters(), QStringList{"Filter (*.flt)"});
    EXPECT_EQ(Form->SaveFilter->nameFilters(), QStringList{"filter (*.flt)"});
    EXPECT_EQ(Form->OpenFilter->defaultSuffix(), "flt");

    Form->ToolFilter->click();
    EXPECT_TRUE(Protokol->isVisible()) << "View filter shows the list window";
}

TEST_F(MainFormSpectrumTest, HelpBaseReadAtStartIsWrittenBack) {
    Form.reset();
    {
        const std::string text = "[TForm1]\r\nFormVersion=-1\r\n[Prefs]\r\nLang=1\r\nHelpBase=http:"
                                 "//help.example:81/pages/\r\n";
        std::FILE* f = std::fopen(Config.File("Pixmend").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }
    Form = std::make_unique<TForm1>(Store, Dialogs);
    Form->QuitApplication = [] {};
    Form->show();
    EXPECT_EQ(Form->HelpBase(), "http://help.example:81/pages/");
    Form.reset();
    const std::string text = SettingsText();
    const size_t at = text.find("\nHelpBase=http://help.example:81/pages/");
    ASSERT_NE(at, std::string::npos) << text;
    const size_t end = at + std::string("\nHelpBase=http://help.example:81/pages/").size();
    ASSERT_LT(end, text.size());
    EXPECT_TRUE(text[end] == '\r' || text[end] == '\n') << "the whole value, nothing appended";
}

} // namespace

TEST_F(MainFormSpectrumTest, RedoRepeatsWhatUndoTookBackFromTheEditMenuAndItsKeys) {
    OpenSpectrum(40, 40, 4);
    Form->Shape->SetMark(TMarkRect{5, 5, 12, 12});
    Form->ToolStempel->click();
    const size_t entries = Protokol->EntryCount();
    ASSERT_GT(entries, 0u);
    const TSpectrumStore smoothed = Store;
    EXPECT_FALSE(Form->Redo1->isEnabled()) << "nothing undone yet";
    ASSERT_TRUE(Form->Undo1->isEnabled()) << "the menu item follows the Undo button";
    Form->Undo1->trigger();
    EXPECT_EQ(Protokol->EntryCount(), 0u);
    ASSERT_TRUE(Form->Redo1->isEnabled());
    Form->Redo1->trigger();
    EXPECT_EQ(Protokol->EntryCount(), entries);
    // Smoothed again from the restored values: equal up to the restoration's rounding.
    for (int p = 0; p < 3; ++p)
        for (size_t i = 0; i < Store.Planes[p].size(); ++i)
            ASSERT_NEAR(Store.Planes[p][i], smoothed.Planes[p][i],
                        1e-4f * (1.0f + std::abs(smoothed.Planes[p][i])));
    EXPECT_FALSE(Form->Redo1->isEnabled());

    // The standard keys sit beside the designed ones.
    EXPECT_TRUE(Form->Undo1->shortcuts().contains(QKeySequence("Ctrl+Z")));
    EXPECT_TRUE(Form->Redo1->shortcuts().contains(QKeySequence("Ctrl+Shift+Z")));
    EXPECT_TRUE(Form->Redo1->shortcuts().contains(QKeySequence("Ctrl+Y")));
    EXPECT_TRUE(Form->Open1->shortcuts().contains(QKeySequence(Qt::Key_F2)));
    EXPECT_TRUE(Form->Open1->shortcuts().contains(QKeySequence("Ctrl+O")));
    EXPECT_TRUE(Form->Beenden1->shortcuts().contains(QKeySequence("Ctrl+Q")));
}
