#include "help/version_info_form.h"

#include "help/about_texts.h"
#include "help/fitted_font.h"
#include "shell/language_tables.h"

#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextDocument>

namespace {

// Borderless, bold, in the window's background colour: the text reads as part
// of the dialog rather than as an input field.
QPlainTextEdit* MakeVersionMemo(QWidget* parent, const char* name, const std::string& text,
                                int left) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The heading's rules of "=" read as rules only on one line each: the
    // bold font is made small enough for the longest line to fit beside the
    // scroll bar (the memo wraps only what still does not fit).
    QFont font = memo->font();
    font.setBold(true);
    const int room = 393 - memo->verticalScrollBar()->sizeHint().width() -
                     2 * int(memo->document()->documentMargin()) - 4;
    memo->setFont(FontFittingLines(font, QString::fromStdString(text).split('\n'), room));
    QPalette palette = memo->palette();
    palette.setColor(QPalette::Base, parent->palette().color(QPalette::Window));
    memo->setPalette(palette);
    memo->setPlainText(QString::fromStdString(text));
    memo->setGeometry(left, 8, 393, 297);
    return memo;
}

} // namespace

TVersionInfoForm::TVersionInfoForm(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setObjectName("VersionInfoForm");
    setWindowTitle("Version-info");
    setGeometry(290, 258, 408, 345);
    setFixedSize(408, 345);

    Memo1 = MakeVersionMemo(this, "Memo1", VersionTextGerman(), 8);
    Memo2 = MakeVersionMemo(this, "Memo2", VersionTextEnglish(), 7);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), "OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(104, 320, 193, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &TVersionInfoForm::BitBtn1Click);

    ChooseText(1);
}

void TVersionInfoForm::ShowVersionInfo(int32_t language) {
    ChooseText(language);
    show();
    raise();
}

void TVersionInfoForm::BitBtn1Click() {
    hide();
}

void TVersionInfoForm::ChooseText(int32_t language) {
    Memo1->setVisible(language == lgGerman);
    Memo2->setVisible(language != lgGerman);
}
