// The watermark commands on real widgets: where the user finds them, when
// they are offered, the sign prompt, embedding and checking on the image and
// on the spectrum, the result boxes, and the error on an empty store.

#include "tests/app/main_form_fixture_test.h"

#include "app/image_view.h"
#include "spectral/display.h"
#include "watermark/watermark.h"

#include <QApplication>
#include <QLocale>
#include <QMenu>
#include <QRegularExpression>
#include <QToolBar>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace {

const QString kPrompt = "Ihr Zeichen|geben Sie bitte Ihr Zeichen ein|(c) Pixmend Software";
const QString kNotFound = "Wasserzeichen nicht gefunden";

class MainFormWatermarkTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ShowForm();
        // The prompt and results below are the German texts.
        Form->ToolDe->click();
    }
    void TearDown() override {
        QLocale::setDefault(QLocale::c());
        MainFormTest::TearDown();
    }

    // Runs a watermark menu item with the given answer to the sign prompt
    // (none: Cancel).
    void Run(QAction* item, std::optional<QString> sign) {
        Dialogs.Texts.push_back(std::move(sign));
        item->trigger();
    }
    // A photograph-like picture: soft shading with a little grain. The mark
    // needs room: below about 11000 pixels a single pass already pushes the
    // cells past the bound the check counts.
    std::string WritePhoto(const std::string& name, int32_t w, int32_t h, uint32_t seed) {
        TBitmap24 bitmap(w, h);
        std::mt19937 gen(seed);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x)
                for (int c = 0; c < 3; ++c) {
                    const double shade = 128 + 60 * std::sin(0.05 * x + c) * std::cos(0.07 * y - c);
                    const int grain = int(gen() % 9) - 4;
                    bitmap.Bytes[(size_t(y) * size_t(w) + size_t(x)) * 3 + size_t(c)] =
                        uint8_t(std::clamp(int(shade) + grain, 0, 255));
                }
        const std::string path = Files.File(name);
        WriteImageFile(path, bitmap);
        return path;
    }
    QString LastBox() const {
        return Dialogs.Informations.empty() ? QString() : Dialogs.Informations.back();
    }
};

// "Wasserzeichen gefunden, " then the percentage right-aligned in eight
// characters with one decimal, then " % vollständig".
bool IsFoundText(const QString& text, QChar decimal = '.') {
    static const QString pattern =
        QString::fromUtf8("^Wasserzeichen gefunden, ( *\\d+)\\%1\\d % vollständig$");
    const QRegularExpressionMatch m =
        QRegularExpression(pattern.arg(decimal)).match(text.section('\n', 0, 0));
    return m.hasMatch() && m.captured(1).size() + 2 == 8;
}

TEST_F(MainFormWatermarkTest, AtTheEndOfTheAdvancedMenuWithoutShortcutOrButton) {
    const QList<QAction*> actions = Form->Advanced1->actions();
    ASSERT_GE(actions.size(), 3);
    EXPECT_EQ(actions[actions.size() - 2], Form->SetWatermark1);
    EXPECT_EQ(actions[actions.size() - 1], Form->CheckWatermark1);
    EXPECT_TRUE(actions[actions.size() - 3]->isSeparator());
    for (QAction* item : {Form->SetWatermark1, Form->CheckWatermark1}) {
        EXPECT_TRUE(item->shortcut().isEmpty());
        for (QToolBar* bar : Form->findChildren<QToolBar*>())
            EXPECT_FALSE(bar->actions().contains(item)) << bar->objectName().toStdString();
    }
    // Their captions follow the interface language.
    EXPECT_EQ(Form->SetWatermark1->text(), "Wasserzeichen setzen");
    EXPECT_EQ(Form->CheckWatermark1->text(), "Wasserzeichen pr\u00fcfen");
    Form->Toolgb->click();
    EXPECT_EQ(Form->SetWatermark1->text(), "Embed watermark");
    EXPECT_EQ(Form->CheckWatermark1->text(), "Check watermark");
}

TEST_F(MainFormWatermarkTest, OfferedWhileTheStoreHoldsAnImageOrASpectrum) {
    auto offered = [this] {
        return std::pair(On(TControlId::SetWatermark1), On(TControlId::CheckWatermark1));
    };
    EXPECT_EQ(offered(), std::pair(false, false));
    OpenImage(WriteBitmap("a.bmp", 24, 16));
    EXPECT_EQ(offered(), std::pair(true, true));
    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 2);
    EXPECT_EQ(offered(), std::pair(true, true));
    Form->ToolTransform->click();
    Dialogs.Choices = {1}; // the transformed image is unsaved work: discard it
    Form->Schlieen1->trigger();
    ASSERT_EQ(Form->CommandState(), 0);
    EXPECT_EQ(offered(), std::pair(false, false));

    // A disabled item does nothing at all.
    Form->SetWatermark1->trigger();
    EXPECT_TRUE(Dialogs.Prompts.empty());
}

TEST_F(MainFormWatermarkTest, EmbedThenCheckOnALoadedImage) {
    OpenImage(WritePhoto("scan.bmp", 160, 120, 3));
    const TBitmap24 before = Form->Image1->Picture;

    Run(Form->SetWatermark1, std::nullopt); // Cancel: the default sign
    ASSERT_EQ(Dialogs.Prompts, std::vector<QString>{kPrompt});
    EXPECT_TRUE(Dialogs.Errors.empty());
    EXPECT_TRUE(Dialogs.Informations.empty()) << "embedding reports nothing";
    EXPECT_EQ(Form->CommandState(), 1);
    // The marked image is what the window now shows, and it is unsaved.
    EXPECT_NE(Form->Image1->Picture.Bytes, before.Bytes);
    EXPECT_EQ(Form->Image1->Picture.Bytes, RenderStore(Store, true, 0).Bytes);
    EXPECT_EQ(Form->Image1->ImageModified, 1);

    Run(Form->CheckWatermark1, QString::fromUtf8(kDefaultSign));
    EXPECT_EQ(Dialogs.Prompts.size(), 2u);
    EXPECT_TRUE(IsFoundText(LastBox())) << LastBox().toStdString();
    const double measure = WatermarkMeasure(Store, kDefaultSign);
    EXPECT_GT(measure, 0.995);
    EXPECT_EQ(LastBox().toStdString(),
              WatermarkResultText(measure) + "\n(in den Bildpunkten eingebettet)");

    Run(Form->CheckWatermark1, QString("(c) Somebody Else"));
    EXPECT_EQ(LastBox(), kNotFound);
    Run(Form->CheckWatermark1, QString("")); // an empty sign is a sign too
    EXPECT_EQ(LastBox(), kNotFound);
    EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(MainFormWatermarkTest, EmbeddingReportsItsPassesAndMeasureInTheStatusBar) {
    OpenImage(WritePhoto("scan.bmp", 160, 120, 3));
    Form->ToolTransform->click();
    Run(Form->SetWatermark1, std::nullopt);
    // The measure reported is that of the store as the last pass left it.
    const double measure = WatermarkMeasure(Store, kDefaultSign);
    ASSERT_GT(measure, 0.995);
    const QRegularExpressionMatch m =
        QRegularExpression(
            QString::fromUtf8("^Wasserzeichen gesetzt \\(Durchläufe: (\\d+), Maß: (.+) %\\)$"))
            .match(Form->StatusPanels[0]->text());
    ASSERT_TRUE(m.hasMatch()) << Form->StatusPanels[0]->text().toStdString();
    EXPECT_GE(m.captured(1).toInt(), 1);
    EXPECT_LE(m.captured(1).toInt(), kWatermarkPasses);
    EXPECT_EQ(m.captured(2), QString::number(measure * 100.0, 'f', 1));
    Form->Toolgb->click();
    Run(Form->SetWatermark1, std::nullopt);
    EXPECT_TRUE(Form->StatusPanels[0]->text().startsWith("Watermark embedded (passes: "))
        << Form->StatusPanels[0]->text().toStdString();
}

TEST_F(MainFormWatermarkTest, TheSignTypedIsTheSignUsed) {
    OpenImage(WritePhoto("scan.bmp", 150, 100, 9));
    Run(Form->SetWatermark1, QString::fromUtf8("Grüße von Anna"));
    Run(Form->CheckWatermark1, std::nullopt); // the default sign was not embedded
    EXPECT_EQ(LastBox(), kNotFound);
    Run(Form->CheckWatermark1, QString::fromUtf8("Grüße von Anna"));
    EXPECT_TRUE(IsFoundText(LastBox())) << LastBox().toStdString();
}

TEST_F(MainFormWatermarkTest, SavedMarkedImageIsFoundAfterReopening) {
    OpenImage(WritePhoto("scan.bmp", 160, 120, 1));
    Run(Form->SetWatermark1, std::nullopt);
    const std::string saved = Files.File("marked.bmp");
    Dialogs.Files.push_back(QString::fromStdString(saved));
    Form->ToolSave->click();
    ASSERT_EQ(Form->Image1->ImageModified, 0);

    Form->Schlieen1->trigger();
    OpenImage(saved);
    Run(Form->CheckWatermark1, std::nullopt);
    EXPECT_TRUE(IsFoundText(LastBox())) << LastBox().toStdString();
}

TEST_F(MainFormWatermarkTest, MarkedInTheSpectrumSavedAndFoundInTheSpectrumAgain) {
    OpenImage(WritePhoto("scan.bmp", 160, 120, 5));
    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 2);
    const TBitmap24 spectrumShown = Form->Image1->Picture;
    const auto plane0 = Store.Planes[0];

    Run(Form->SetWatermark1, std::nullopt);
    EXPECT_NE(Store.Planes[0], plane0);
    // Nothing else happens on the spectrum: no redraw, no state change.
    EXPECT_EQ(Form->Image1->Picture.Bytes, spectrumShown.Bytes);
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_EQ(Protokol->List().Lines().size(), 0u);
    Run(Form->CheckWatermark1, std::nullopt);
    EXPECT_TRUE(IsFoundText(LastBox())) << LastBox().toStdString();

    // The way a user keeps it: back to the image, save, and later look at
    // the spectrum of the saved file.
    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 1);
    const std::string saved = Files.File("marked.bmp");
    Dialogs.Files.push_back(QString::fromStdString(saved));
    Form->ToolSave->click();
    Form->Schlieen1->trigger();
    OpenImage(saved);
    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 2);
    Run(Form->CheckWatermark1, std::nullopt);
    EXPECT_TRUE(IsFoundText(LastBox())) << LastBox().toStdString();
    Run(Form->CheckWatermark1, QString("another sign"));
    EXPECT_EQ(LastBox(), kNotFound);
}

// A mark embedded in the spectrum is found in the picture view and one
// embedded in the pixels in the spectrum view; the check says which it found
// and leaves the view as it was.
TEST_F(MainFormWatermarkTest, EitherViewFindsAMarkOfEitherDomainAndSaysWhich) {
    OpenImage(WritePhoto("scan.bmp", 160, 120, 5));
    Form->ToolTransform->click();
    Run(Form->SetWatermark1, std::nullopt);
    Form->ToolTransform->click();
    const std::string saved = Files.File("marked.bmp");
    Dialogs.Files.push_back(QString::fromStdString(saved));
    Form->ToolSave->click();
    Form->Schlieen1->trigger();
    OpenImage(saved);
    const auto planes = std::vector{Store.Planes[0], Store.Planes[1], Store.Planes[2]};
    const std::vector<uint8_t> shown = Form->Image1->Picture.Bytes;
    Run(Form->CheckWatermark1, std::nullopt);
    EXPECT_TRUE(IsFoundText(LastBox())) << LastBox().toStdString();
    EXPECT_TRUE(LastBox().endsWith("\n(im Spektrum eingebettet)")) << LastBox().toStdString();
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_TRUE(Form->Image1->Picture.Bytes == shown);
    for (int p = 0; p < 3; ++p) EXPECT_TRUE(Store.Planes[p] == planes[size_t(p)]) << p;
    Run(Form->CheckWatermark1, QString("another sign"));
    EXPECT_EQ(LastBox(), kNotFound);

    // The other way round, and in English.
    Form->Schlieen1->trigger();
    OpenImage(WritePhoto("pixels.bmp", 160, 120, 6));
    Run(Form->SetWatermark1, std::nullopt);
    Form->ToolTransform->click();
    ASSERT_EQ(Form->CommandState(), 2);
    Form->Toolgb->click();
    Run(Form->CheckWatermark1, std::nullopt);
    EXPECT_TRUE(LastBox().startsWith("Watermark found")) << LastBox().toStdString();
    EXPECT_TRUE(LastBox().endsWith("\n(embedded in the pixels)")) << LastBox().toStdString();
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_TRUE(Dialogs.Errors.empty());
}

TEST_F(MainFormWatermarkTest, PercentageUsesTheLocaleDecimalSeparator) {
    OpenImage(WritePhoto("scan.bmp", 128, 128, 2));
    Run(Form->SetWatermark1, std::nullopt);
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    Run(Form->CheckWatermark1, std::nullopt);
    EXPECT_TRUE(IsFoundText(LastBox(), ',')) << LastBox().toStdString();
}

TEST_F(MainFormWatermarkTest, EmptyStoreGivesTheDivisionErrorAfterThePromptAndChangesNothing) {
    ASSERT_EQ(Form->CommandState(), 0);
    const TBitmap24 shown = Form->Image1->Picture;
    Dialogs.Texts.push_back(QString("sign"));
    Form->RunCommand([&] { Form->BSetWatermarkClick(Form->SetWatermark1); });
    Form->RunCommand([&] { Form->BCheckWaterClick(Form->CheckWatermark1); });
    EXPECT_EQ(Dialogs.Prompts.size(), 2u) << "the prompt comes first";
    EXPECT_EQ(Dialogs.Errors, (std::vector<QString>{"Division durch Null", "Division durch Null"}));
    EXPECT_TRUE(Dialogs.Informations.empty());
    EXPECT_EQ(Store.Cols, 0);
    EXPECT_EQ(Store.Rows, 0);
    EXPECT_EQ(Form->CommandState(), 0);
    EXPECT_EQ(Form->Image1->Picture.Bytes, shown.Bytes);
    EXPECT_EQ(Form->Image1->ImageModified, 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the wait cursor is gone again";
}

// The bits of every cell, so that NaN compares equal to itself.
bool SameBits(const TSpectrumStore& a, const TSpectrumStore& b) {
    if (a.Cols != b.Cols || a.Rows != b.Rows) return false;
    for (int p = 0; p < 3; ++p)
        if (a.Planes[p].size() != b.Planes[p].size() ||
            std::memcmp(a.Planes[p].data(), b.Planes[p].data(),
                        a.Planes[p].size() * sizeof(float)) != 0)
            return false;
    return true;
}

// An embedding that cannot count as done is an error box; the store, the
// picture shown and the unsaved mark stay as they were.
TEST_F(MainFormWatermarkTest, AFailedEmbeddingShowsWhyAndChangesNothing) {
    // Twenty passes cannot lift the measure of so small an image to the bound.
    OpenImage(WriteBitmap("tiny.bmp", 6, 4, 7));
    const TBitmap24 shown = Form->Image1->Picture;
    const TSpectrumStore image = Store;
    Run(Form->SetWatermark1, std::nullopt);
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_TRUE(Dialogs.Errors[0].startsWith(QString::fromUtf8(
        "Das Wasserzeichen ließ sich nicht einbetten: nach 20 Durchgängen ist sein Maß nur 0")))
        << Dialogs.Errors[0].toStdString();
    EXPECT_TRUE(SameBits(Store, image));
    EXPECT_EQ(Form->Image1->Picture.Bytes, shown.Bytes);
    EXPECT_EQ(Form->Image1->ImageModified, 0);
    EXPECT_EQ(Form->CommandState(), 1);
    EXPECT_EQ(Form->StatusPanels[0]->text(), "bereit") << "no pass report is left standing";

    // A spectrum holding NaN (an edited store, a damaged stored spectrum).
    OpenImage(WritePhoto("scan.bmp", 160, 120, 4));
    Form->ToolTransform->click();
    Store.At(1, 5, 6) = std::numeric_limits<float>::quiet_NaN();
    const TSpectrumStore spectrum = Store;
    const TBitmap24 spectrumShown = Form->Image1->Picture;
    const int modified = Form->Image1->ImageModified;
    Run(Form->SetWatermark1, std::nullopt);
    ASSERT_EQ(Dialogs.Errors.size(), 2u);
    EXPECT_EQ(Dialogs.Errors[1],
              QString::fromUtf8("Das Spektrum enthält Werte, die keine endlichen Zahlen sind "
                                "(NaN oder unendlich); es kann kein Wasserzeichen aufnehmen."));
    EXPECT_TRUE(SameBits(Store, spectrum));
    EXPECT_EQ(Form->Image1->Picture.Bytes, spectrumShown.Bytes);
    EXPECT_EQ(Form->Image1->ImageModified, modified);
    EXPECT_EQ(Form->CommandState(), 2);
    EXPECT_TRUE(Dialogs.Informations.empty());
}

TEST_F(MainFormWatermarkTest, InHelpModeTheItemsAskForHelpInstead) {
    OpenImage(WriteBitmap("scan.bmp", 32, 32));
    const auto plane0 = Store.Planes[0];
    for (QAction* item : {Form->SetWatermark1, Form->CheckWatermark1}) {
        const size_t boxes = Dialogs.Informations.size();
        Form->Contexthelp1->trigger();
        ASSERT_TRUE(Form->HelpMode());
        item->trigger();
        EXPECT_FALSE(Form->HelpMode());
        EXPECT_EQ(Dialogs.Informations.size(), boxes) << "its help page, no result";
        EXPECT_TRUE(Help->isVisible());
    }
    EXPECT_TRUE(Dialogs.Prompts.empty());
    EXPECT_EQ(Store.Planes[0], plane0);
}

} // namespace
