#include "help/about_form.h"

#include "shell/interface_texts.h"

#include "help/about_texts.h"
#include "help/fitted_font.h"

#include <QLabel>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QStringList>

namespace {

// The terms are written with hard line breaks for a wide box. In the narrow
// memo they read better wrapped by the memo: a break after a full-length line
// inside a paragraph becomes a blank; headings, short last lines of
// paragraphs and blank lines stay as they are.
QString Reflowed(const std::string& text) {
    constexpr int kFullLine = 50;
    const QStringList lines = QString::fromStdString(text).split('\n');
    QString out;
    for (int i = 0; i < lines.size(); ++i) {
        out += lines[i];
        if (i + 1 == lines.size()) break;
        const bool joins = lines[i].size() >= kFullLine && !lines[i + 1].trimmed().isEmpty() &&
                           !lines[i].trimmed().startsWith("---");
        out += joins ? QChar(' ') : QChar('\n');
    }
    return out;
}

QPlainTextEdit* MakeLicenceMemo(QWidget* parent, const char* name, const std::string& text,
                                int top) {
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(name);
    memo->setReadOnly(true);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setPlainText(Reflowed(text));
    memo->setGeometry(256, top, 409, 361);
    memo->hide();
    return memo;
}

} // namespace

// The picture is compiled into this static library; naming its resource keeps
// the linker from dropping it.
static void InitHelpResources() {
    Q_INIT_RESOURCE(help);
}

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    InitHelpResources();
    setObjectName("FormAbout");
    setWindowTitle("About");
    setFixedSize(665, 362);

    Image1 = new QLabel(this);
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 665, 362);
    Image1->setPixmap(QPixmap(":/help/about.png"));

    BitBtn1 = new QPushButton(this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(400, 216, 153, 25);
    SetLanguage(lgGerman);
    connect(BitBtn1, &QPushButton::clicked, this, &TFormAbout::BitBtn1Click);

    Memo1 = MakeLicenceMemo(this, "Memo1", LicenceTextGerman(), 0);
    Memo2 = MakeLicenceMemo(this, "Memo2", LicenceTextEnglish(), 1);
}

void TFormAbout::SetLanguage(int32_t language) {
    language_ = language;
    // Like the licence text it opens: German only for German.
    BitBtn1->setText(QString::fromStdString(
        InterfaceText(language == lgGerman ? lgGerman : lgEnglish, "Lizenzbedingungen ansehen")));
    // The German caption is long for the button's designed width: a smaller
    // font keeps it whole instead of clipping both ends.
    BitBtn1->setFont(FontFittingLines(font(), {BitBtn1->text()}, 153 - 12));
}

int TFormAbout::ShowAbout(int32_t language) {
    SetLanguage(language);
    HideLicenceTexts();
    return exec();
}

void TFormAbout::BitBtn1Click() {
    const bool german = language_ == lgGerman;
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
