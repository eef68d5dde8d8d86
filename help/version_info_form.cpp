#include "help/version_info_form.h"

TVersionInfoForm::TVersionInfoForm(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::WindowStaysOnTopHint) {
    setObjectName("VersionInfoForm");
    setWindowTitle("Version-info");
    setGeometry(290, 258, 408, 345);
    setFixedSize(408, 345);
}
