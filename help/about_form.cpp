#include "help/about_form.h"

#include <QPushButton>

TFormAbout::TFormAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("FormAbout");
    setWindowTitle("About");
    setFixedSize(665, 362);
    BitBtn1 = new QPushButton("Lizenzbedingungen ansehen", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(400, 216, 153, 25);
}
