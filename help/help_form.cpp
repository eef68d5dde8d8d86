#include "help/help_form.h"

TFormHelp::TFormHelp(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName("FormHelp");
    setWindowTitle("Help");
    resize(790, 605);
}
