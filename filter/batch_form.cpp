#include "filter/batch_form.h"

#include <QLabel>

TFormBatch::TFormBatch(QWidget* parent) : QDialog(parent) {
    setObjectName("FormBatch");
    setWindowTitle("Batchconversion");
    setFixedSize(413, 332);
    Label1 = new QLabel("Source", this);
    Label1->setObjectName("Label1");
    Label1->move(8, 8);
    Label2 = new QLabel("Target", this);
    Label2->setObjectName("Label2");
    Label2->move(212, 8);
}
