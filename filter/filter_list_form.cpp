#include "filter/filter_list_form.h"

#include <QListWidget>
#include <QPushButton>

TFormProtokol::TFormProtokol(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName("FormProtokol");
    setWindowTitle("Filter list");
    resize(255, 211);
    Delete = new QPushButton("delete", this);
    Delete->setObjectName("Delete");
    Delete->setGeometry(8, 3, 42, 17);
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setGeometry(8, 24, 241, 177);
    ListBox1->setSortingEnabled(false);
    connect(Delete, &QPushButton::clicked, this, &TFormProtokol::DeleteClick);
}

bool TFormProtokol::AppendEntry(int32_t typ, float x1, float x2, float y1, float y2) {
    const bool added = list_.AppendEntry(typ, x1, x2, y1, y2);
    if (added) ListBox1->addItem(QString::fromStdString(list_.Lines().back()));
    return added;
}

void TFormProtokol::DeleteLastEntry() {
    list_.DeleteLastEntry();
    ShowLines();
}

void TFormProtokol::LoadFilterFile(const std::string& path) {
    list_.LoadFilterFile(path);
    ShowLines();
}

void TFormProtokol::SaveFilterFile(const std::string& path) const { list_.SaveFilterFile(path); }

void TFormProtokol::DeleteClick() {
    const int row = ListBox1->currentRow();
    if (row < 0 || !ListBox1->currentItem() || !ListBox1->currentItem()->isSelected()) return;
    list_.DeleteEntry(size_t(row));
    ShowLines();
}

void TFormProtokol::ShowLines() {
    ListBox1->clear();
    for (const std::string& line : list_.Lines()) ListBox1->addItem(QString::fromStdString(line));
}
