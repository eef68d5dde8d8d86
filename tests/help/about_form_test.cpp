// The about dialog and the version-information window on real widgets.
#include "help/about_form.h"
#include "help/version_info_form.h"

#include "help/about_texts.h"

#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

// The words of a text, whatever its line breaks.
QStringList Words(const QString& s) {
    return s.split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
}

TEST(AboutForm, AsDesignedWithThePicture) {
    TFormAbout about;
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.size(), QSize(665, 362));
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.BitBtn1->text(), "Lizenzbedingungen ansehen");
    EXPECT_EQ(about.BitBtn1->geometry(), QRect(400, 216, 153, 25));
    EXPECT_EQ(about.Memo1->geometry(), QRect(256, 0, 409, 361));
    EXPECT_EQ(about.Memo2->geometry(), QRect(256, 1, 409, 361));
    EXPECT_LE(QFontMetrics(about.BitBtn1->font()).horizontalAdvance(about.BitBtn1->text()),
              153 - 12)
        << "the caption is not clipped";
    EXPECT_TRUE(about.Memo1->isReadOnly());
    EXPECT_TRUE(about.Memo2->isReadOnly());

    // The picture is the shipped one, pixel for pixel.
    const QImage shown = about.Image1->pixmap().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage file =
        QImage(PIXMEND_SOURCE_DIR "/help/about.png").convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(file.isNull());
    EXPECT_EQ(shown.size(), QSize(665, 362));
    EXPECT_TRUE(shown == file);
    EXPECT_EQ(about.Image1->geometry(), QRect(0, 0, 665, 362));

    // And it is what the window shows: a corner away from the button.
    about.show();
    const QImage grabbed = about.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(grabbed.pixel(10, 10), file.pixel(10, 10));
    EXPECT_EQ(grabbed.pixel(600, 340), file.pixel(600, 340));
}

TEST(AboutForm, LicenceButtonShowsTheTextOfTheLanguage) {
    TFormAbout about;
    about.show();
    EXPECT_FALSE(about.Memo1->isVisible());
    EXPECT_FALSE(about.Memo2->isVisible());

    about.SetLanguage(1);
    QTest::mouseClick(about.BitBtn1, Qt::LeftButton);
    EXPECT_TRUE(about.Memo1->isVisible());
    EXPECT_FALSE(about.Memo2->isVisible());
    // The whole text, only its paragraphs rewrapped for the memo; headings
    // keep their own lines.
    EXPECT_EQ(Words(about.Memo1->toPlainText()), Words(Text(LicenceTextGerman())));
    EXPECT_TRUE(about.Memo1->toPlainText().contains("\n1. Nutzungsrecht\n"));

    about.SetLanguage(2);
    about.BitBtn1Click();
    EXPECT_FALSE(about.Memo1->isVisible());
    EXPECT_TRUE(about.Memo2->isVisible());
    EXPECT_EQ(Words(about.Memo2->toPlainText()), Words(Text(LicenceTextEnglish())));
    // The English text: its heading first, the German terms below its note.
    EXPECT_TRUE(
        about.Memo2->toPlainText().startsWith(Text(LicenceTextEnglish()).section('\n', 0, 0)));
    EXPECT_TRUE(about.Memo2->toPlainText().contains(about.Memo1->toPlainText()));
    EXPECT_NE(about.Memo2->toPlainText(), about.Memo1->toPlainText());

    // Any language other than German is English.
    about.SetLanguage(0);
    about.BitBtn1Click();
    EXPECT_TRUE(about.Memo2->isVisible());
}

TEST(AboutForm, EveryOpeningStartsWithThePictureAlone) {
    for (int32_t language : {1, 2}) {
        TFormAbout about;
        about.SetLanguage(language);
        about.show();
        about.BitBtn1Click();
        EXPECT_TRUE(about.Memo1->isVisible() || about.Memo2->isVisible());
        about.close();
        about.show();
        EXPECT_FALSE(about.Memo1->isVisible()) << language;
        EXPECT_FALSE(about.Memo2->isVisible()) << language;
    }
}

TEST(AboutForm, AboutCommandIsModalAndEndsWhenClosed) {
    TFormAbout about;
    about.SetLanguage(1);
    about.show();
    about.BitBtn1Click();
    about.hide();

    bool modalWhileOpen = false;
    bool pictureAlone = false;
    bool englishShown = false;
    QTimer::singleShot(0, &about, [&] {
        modalWhileOpen = about.isModal() && about.isVisible();
        pictureAlone = !about.Memo1->isVisible() && !about.Memo2->isVisible();
        about.BitBtn1Click();
        englishShown = about.Memo2->isVisible() && !about.Memo1->isVisible();
        about.close();
    });
    about.ShowAbout(2);
    EXPECT_TRUE(modalWhileOpen);
    EXPECT_TRUE(pictureAlone);
    EXPECT_TRUE(englishShown);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.Language(), 2);
}

TEST(VersionInfoForm, AsDesigned) {
    TVersionInfoForm info;
    EXPECT_EQ(info.windowTitle(), "Version-info");
    EXPECT_EQ(info.size(), QSize(408, 345));
    EXPECT_TRUE(info.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(info.isVisible());
    EXPECT_FALSE(info.isModal());
    EXPECT_EQ(info.BitBtn1->text(), "OK");
    EXPECT_FALSE(info.BitBtn1->icon().isNull());
    EXPECT_EQ(info.BitBtn1->geometry(), QRect(104, 320, 193, 25));
    EXPECT_EQ(info.Memo1->geometry(), QRect(8, 8, 393, 297));
    EXPECT_EQ(info.Memo2->geometry(), QRect(7, 8, 393, 297));
    info.show(); // lays out the memos' viewports
    for (QPlainTextEdit* memo : {info.Memo1, info.Memo2}) {
        memo->show();
        EXPECT_TRUE(memo->isReadOnly());
        EXPECT_TRUE(memo->font().bold());
        EXPECT_EQ(memo->frameShape(), QFrame::NoFrame);
        EXPECT_EQ(memo->palette().color(QPalette::Base), info.palette().color(QPalette::Window));
        // The heading's rules of "=" stay one line each.
        const QFontMetrics metrics(memo->font());
        for (const QString& line : memo->toPlainText().split('\n'))
            EXPECT_LT(metrics.horizontalAdvance(line), memo->viewport()->width() + 8)
                << line.toStdString();
    }
    EXPECT_EQ(info.Memo1->toPlainText(), Text(VersionTextGerman()));
    EXPECT_EQ(info.Memo2->toPlainText(), Text(VersionTextEnglish()));
}

TEST(VersionInfoForm, TextOfTheLanguageOkHidesReopeningShows) {
    TVersionInfoForm info;
    info.ShowVersionInfo(1);
    EXPECT_TRUE(info.isVisible());
    EXPECT_TRUE(info.Memo1->isVisible());
    EXPECT_FALSE(info.Memo2->isVisible());
    EXPECT_TRUE(info.Memo1->toPlainText().contains("1.0"));

    // Run again while shown: stays shown with the new choice.
    info.ShowVersionInfo(2);
    EXPECT_TRUE(info.isVisible());
    EXPECT_FALSE(info.Memo1->isVisible());
    EXPECT_TRUE(info.Memo2->isVisible());
    EXPECT_TRUE(info.Memo2->toPlainText().contains("1.2"));

    QTest::mouseClick(info.BitBtn1, Qt::LeftButton);
    EXPECT_FALSE(info.isVisible());

    info.ShowVersionInfo(1);
    EXPECT_TRUE(info.isVisible());
    EXPECT_TRUE(info.Memo1->isVisible());
    EXPECT_FALSE(info.Memo2->isVisible());
    info.BitBtn1Click();
    EXPECT_FALSE(info.isVisible());
    // Language 0 (before the settings are read) is not German.
    info.ShowVersionInfo(0);
    EXPECT_TRUE(info.Memo2->isVisible());
}

} // namespace
