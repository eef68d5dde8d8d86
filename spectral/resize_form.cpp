#include "spectral/resize_form.h"

#include "shell/interface_texts.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>
#include <cstdint>

namespace {

// An integer spin field in which a text that is no whole number counts as 0
// (the spin box would otherwise fall back to its previous value when it
// loses focus with, say, an empty field).
class TIntSpinEdit : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

    // Plain digits: the locale's grouping would turn the text into one that
    // is no whole number (the spin box groups the lowest int32 even with
    // grouping off).
    QString textFromValue(int value) const override { return QString::number(value); }

    void fixup(QString& input) const override {
        QSpinBox::fixup(input);
        bool whole = false;
        input.trimmed().toInt(&whole, 10);
        if (!whole) input = QStringLiteral("0");
    }
};

// The captions as designed, German.
constexpr const char* kModeNames[5] = {"Prozent", "Breite", "Höhe", "Max Breite", "Max Höhe"};

} // namespace

TFResize::TFResize(QWidget* parent) : QDialog(parent) {
    setObjectName("FResize");
    setWindowTitle("Resize");
    setFixedSize(157, 194);
    Label1 = new QLabel("Wert", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 10, 40, 20);
    SpinEdit1 = new TIntSpinEdit(this);
    SpinEdit1->setObjectName("SpinEdit1");
    // The value has no limit of its own; the resize checks what it can do.
    SpinEdit1->setRange(INT_MIN, INT_MAX);
    SpinEdit1->setValue(100);
    SpinEdit1->setGeometry(52, 8, 97, 22);
    RadioGroup1 = new QGroupBox("Resize Modus", this);
    RadioGroup1->setObjectName("RadioGroup1");
    RadioGroup1->setGeometry(8, 36, 141, 118);
    modes_ = new QButtonGroup(this);
    auto* column = new QVBoxLayout(RadioGroup1);
    column->setContentsMargins(6, 2, 6, 2);
    column->setSpacing(0);
    for (int i = 0; i < 5; ++i) {
        auto* button = new QRadioButton(QString::fromUtf8(kModeNames[i]), RadioGroup1);
        modes_->addButton(button, i);
        column->addWidget(button);
    }
    modes_->button(0)->setChecked(true);
    Bok = new QPushButton("ok", this);
    Bok->setObjectName("Bok");
    Bok->setGeometry(8, 162, 68, 24);
    Bcancel = new QPushButton("cancel", this);
    Bcancel->setObjectName("Bcancel");
    Bcancel->setGeometry(81, 162, 68, 24);
    Bok->setDefault(true);
    connect(Bok, &QPushButton::clicked, this, &TFResize::BokClick);
    connect(Bcancel, &QPushButton::clicked, this, &TFResize::BcancelClick);
}

bool TFResize::Execute() {
    closedWithOk_ = false;
    exec();
    // Show what will be read, so an unreadable text becomes the 0 it counts as.
    SpinEdit1->setValue(Value());
    return closedWithOk_;
}

void TFResize::BokClick() {
    closedWithOk_ = true;
    accept();
}

void TFResize::BcancelClick() {
    closedWithOk_ = false;
    reject();
}

int32_t TFResize::Value() const {
    bool whole = false;
    const qlonglong value = SpinEdit1->cleanText().trimmed().toLongLong(&whole, 10);
    if (!whole || value < INT32_MIN || value > INT32_MAX) return 0;
    return int32_t(value);
}

int32_t TFResize::Mode() const {
    const int mode = modes_->checkedId();
    return mode < 0 ? 0 : mode;
}

void TFResize::SetLanguage(int32_t language) {
    auto text = [language](const char* german) {
        return QString::fromStdString(InterfaceText(language, german));
    };
    Label1->setText(text("Wert"));
    RadioGroup1->setTitle(text("Resize Modus"));
    for (int i = 0; i < 5; ++i) modes_->button(i)->setText(text(kModeNames[i]));
}
