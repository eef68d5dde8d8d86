#include "help/about_form.h"

#include "help/about_texts.h"

#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>

namespace {

QPlainTextEdit* MakeLicenceMemo(QWidget* parent, const char* name, const std::string& text, int top) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setPlainText(QString::fromStdString(text));
    memo->setGeometry(256, top, 409, 361);
    memo->hide();
    return memo;
}

} // namespace

// The picture is compiled into this static library; naming its resource keeps
// the linker from dropping it.
static void InitHelpResources() { Q_INIT_RESOURCE(help); }

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    InitHelpResources();
    setObjectName("FormAbout");
    setWindowTitle("About");
    setFixedSize(665, 362);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 665, 362);
    Image1->setPixmap(QPixmap(":/help/about.png"));

    BitBtn1 = new QPushButton("Lizenzbedingungen ansehen", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(400, 216, 153, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &TFormAbout::BitBtn1Click);

    Memo1 = MakeLicenceMemo(this, "Memo1", LicenceTextGerman(), 0);
    Memo2 = MakeLicenceMemo(this, "Memo2", LicenceTextEnglish(), 1);
}

int TFormAbout::ShowAbout(int32_t language) {
    SetLanguage(language);
    HideLicenceTexts();
    return exec();
}

void TFormAbout::BitBtn1Click() {
    const bool german = language_ == 1;
    Memo1->setVisible(german);
    Memo2->setVisible(!german);
    (german ? Memo1 : Memo2)->raise();
}

void TFormAbout::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) HideLicenceTexts();
    QDialog::showEvent(event);
}

void TFormAbout::HideLicenceTexts() {
    Memo1->hide();
    Memo2->hide();
}
