// The resize dialog on real widgets: its controls and texts, Execute closed
// by ok and by cancel (values read in both cases), values kept from one use
// to the next, the full 32-bit range, and texts that are no whole number.

#include "spectral/resize_form.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <climits>
#include <functional>

namespace {

// Runs Execute, doing `inside` while the dialog is shown modally.
bool ExecuteWith(TFResize& dialog, std::function<void()> inside) {
    QTimer::singleShot(0, &dialog, [&dialog, inside] {
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.isModal());
        inside();
    });
    return dialog.Execute();
}

QRadioButton* ModeButton(TFResize& dialog, int index) {
    return dialog.RadioGroup1->findChildren<QRadioButton*>().at(index);
}

void TypeIntoSpin(TFResize& dialog, const QString& text) {
    QLineEdit* edit = dialog.SpinEdit1->findChild<QLineEdit*>();
    ASSERT_NE(edit, nullptr);
    edit->setText(text);
}

TEST(ResizeFormTest, HasItsControlsAndFixedTexts) {
    TFResize dialog;
    EXPECT_EQ(dialog.windowTitle(), "Resize");
    EXPECT_EQ(dialog.size(), QSize(157, 194));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_EQ(dialog.Label1->text(), "Wert");
    EXPECT_EQ(dialog.RadioGroup1->title(), "Resize Modus");
    const QList<QRadioButton*> modes = dialog.RadioGroup1->findChildren<QRadioButton*>();
    ASSERT_EQ(modes.size(), 5);
    const QStringList names = {"Prozent", "Breite", QString::fromUtf8("H\xc3\xb6he"), "Max Breite",
                               QString::fromUtf8("Max H\xc3\xb6he")};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(modes[i]->text(), names[i]);
    EXPECT_TRUE(modes[0]->isChecked());
    EXPECT_EQ(dialog.Bok->text(), "ok");
    EXPECT_EQ(dialog.Bcancel->text(), "cancel");
    EXPECT_EQ(dialog.SpinEdit1->minimum(), INT_MIN);
    EXPECT_EQ(dialog.SpinEdit1->maximum(), INT_MAX);
    EXPECT_EQ(dialog.Value(), 100);
    EXPECT_EQ(dialog.Mode(), 0);
    for (QWidget* w : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        EXPECT_TRUE(dialog.rect().contains(w->geometry())) << w->objectName().toStdString();
    }
}

TEST(ResizeFormTest, OkReturnsTrueAndTheValuesStayForTheNextUse) {
    TFResize dialog;
    EXPECT_TRUE(ExecuteWith(dialog, [&] {
        dialog.SpinEdit1->setValue(640);
        ModeButton(dialog, 3)->click();
        dialog.Bok->click();
    }));
    EXPECT_EQ(dialog.Value(), 640);
    EXPECT_EQ(dialog.Mode(), 3);
    // Shown again, it offers what was chosen last.
    EXPECT_TRUE(ExecuteWith(dialog, [&] {
        EXPECT_EQ(dialog.SpinEdit1->value(), 640);
        EXPECT_TRUE(ModeButton(dialog, 3)->isChecked());
        dialog.Bok->click();
    }));
    EXPECT_EQ(dialog.Value(), 640);
    EXPECT_EQ(dialog.Mode(), 3);
}

TEST(ResizeFormTest, CancelAndCloseReturnFalseButTheValuesAreStillRead) {
    TFResize dialog;
    EXPECT_FALSE(ExecuteWith(dialog, [&] {
        dialog.SpinEdit1->setValue(-7);
        ModeButton(dialog, 4)->click();
        dialog.Bcancel->click();
    }));
    EXPECT_EQ(dialog.Value(), -7);
    EXPECT_EQ(dialog.Mode(), 4);
    EXPECT_FALSE(ExecuteWith(dialog, [&] { dialog.reject(); })) << "the close box";
    EXPECT_FALSE(ExecuteWith(dialog, [&] { dialog.accept(); })) << "only Bok counts as ok";
    // A cancel after an ok does not inherit the ok.
    EXPECT_TRUE(ExecuteWith(dialog, [&] { dialog.Bok->click(); }));
    EXPECT_FALSE(ExecuteWith(dialog, [&] { dialog.Bcancel->click(); }));
}

TEST(ResizeFormTest, TakesTheWholeSignedRange) {
    TFResize dialog;
    for (const int value : {INT_MIN, -1, 0, 1, 100, 65536, INT_MAX}) {
        EXPECT_TRUE(ExecuteWith(dialog, [&] {
            TypeIntoSpin(dialog, QString::number(value));
            dialog.Bok->click();
        }));
        EXPECT_EQ(dialog.Value(), value);
    }
}

TEST(ResizeFormTest, TextThatIsNoWholeNumberReadsAsZero) {
    TFResize dialog;
    for (const QString& text : {QString(), QString("-"), QString("+"), QString(" ")}) {
        dialog.SpinEdit1->setValue(55);
        EXPECT_TRUE(ExecuteWith(dialog, [&] {
            dialog.SpinEdit1->setFocus();
            TypeIntoSpin(dialog, text);
            // Leaving the field must not bring the old value back.
            dialog.Bok->setFocus();
            QApplication::processEvents();
            dialog.Bok->click();
        }));
        EXPECT_EQ(dialog.Value(), 0) << "'" << text.toStdString() << "'";
        EXPECT_EQ(dialog.SpinEdit1->value(), 0) << "the field shows what was read";
    }
}

} // namespace
