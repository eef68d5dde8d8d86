#include "spectral/resize_form.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>

TFResize::TFResize(QWidget* parent) : QDialog(parent) {
    setObjectName("FResize");
    setWindowTitle("Resize");
    setFixedSize(157, 194);
    Label1 = new QLabel("Wert", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 10, 40, 20);
    SpinEdit1 = new QSpinBox(this);
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
    const char* names[] = {"Prozent", "Breite", "Höhe", "Max Breite", "Max Höhe"};
    for (int i = 0; i < 5; ++i) {
        auto* button = new QRadioButton(QString::fromUtf8(names[i]), RadioGroup1);
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
    connect(Bok, &QPushButton::clicked, this, &QDialog::accept);
    connect(Bcancel, &QPushButton::clicked, this, &QDialog::reject);
}

int TFResize::Value() const { return SpinEdit1->value(); }

int TFResize::Mode() const { return modes_->checkedId(); }
