#include "app/progress_form.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

TFormProgress::TFormProgress(QWidget* parent)
    : QDialog(parent), text_(new QLabel(this)), bar_(new QProgressBar(this)),
      cancel_(new QPushButton(this)) {
    setObjectName("TransformProgress");
    setWindowModality(Qt::NonModal);
    setMinimumWidth(340);
    text_->setObjectName("TransformText");
    bar_->setObjectName("TransformBar");
    bar_->setRange(0, 1000);
    bar_->setFormat("%p %");
    cancel_->setObjectName("TransformCancel");
    auto* column = new QVBoxLayout(this);
    column->addWidget(text_);
    column->addWidget(bar_);
    column->addWidget(cancel_, 0, Qt::AlignRight);
    connect(cancel_, &QPushButton::clicked, this, &TFormProgress::cancelRequested);
    connect(this, &QDialog::rejected, this, &TFormProgress::cancelRequested);
}

void TFormProgress::Begin(const QString& title, const QString& text, const QString& cancelCaption) {
    setWindowTitle(title);
    bar_->setValue(0);
    text_->setText(text);
    cancel_->setText(cancelCaption);
    cancel_->setEnabled(true);
}

void TFormProgress::SetText(const QString& text) {
    text_->setText(text);
}

void TFormProgress::SetPercent(double percent) {
    bar_->setValue(int(percent * 10.0));
}

void TFormProgress::DisableCancel() {
    cancel_->setEnabled(false);
}
