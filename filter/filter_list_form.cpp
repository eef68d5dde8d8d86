#include "filter/filter_list_form.h"

#include <QListWidget>
#include <QPushButton>

namespace {

// Filter files are 8-bit text and may hold bytes that are no UTF-8; those
// show as Latin-1 characters rather than as replacement marks.
QString ShownLine(const std::string& line) {
    QString text = QString::fromUtf8(line.data(), qsizetype(line.size()));
    if (text.contains(QChar::ReplacementCharacter))
        text = QString::fromLatin1(line.data(), qsizetype(line.size()));
    return text;
}

} // namespace

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
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    // Every row holds one short line; equal rows keep long lists fast.
    ListBox1->setUniformItemSizes(true);
    connect(Delete, &QPushButton::clicked, this, &TFormProtokol::DeleteClick);
}

bool TFormProtokol::AppendEntry(int32_t typ, float x1, float x2, float y1, float y2) {
    const bool added = list_.AppendEntry(typ, x1, x2, y1, y2);
    if (added) {
        ListBox1->addItem(ShownLine(list_.Lines().back()));
        emit listChanged();
    }
    return added;
}

void TFormProtokol::AppendLine(const std::string& line) {
    list_.AppendLine(line);
    ListBox1->addItem(ShownLine(line));
    emit listChanged();
}

void TFormProtokol::DeleteLastEntry() {
    if (list_.Empty()) return;
    list_.DeleteLastEntry();
    delete ListBox1->takeItem(ListBox1->count() - 1);
    emit listChanged();
}

void TFormProtokol::Clear() {
    list_.Clear();
    ListBox1->clear();
    emit listChanged();
}

void TFormProtokol::LoadFilterFile(const std::string& path) {
    list_.LoadFilterFile(path);
    Reload();
    emit listChanged();
}

void TFormProtokol::SaveFilterFile(const std::string& path) const {
    list_.SaveFilterFile(path);
}

void TFormProtokol::DeleteClick() {
    const QList<QListWidgetItem*> chosen = ListBox1->selectedItems();
    if (chosen.isEmpty()) return;
    const int row = ListBox1->row(chosen.front());
    if (row < 0 || size_t(row) >= list_.EntryCount()) return;
    list_.DeleteEntry(size_t(row));
    // Taking the item also drops the selection, so a second click on Delete
    // does not remove the next line by surprise.
    delete ListBox1->takeItem(row);
    ListBox1->clearSelection();
    emit listChanged();
}

void TFormProtokol::Reload() {
    ListBox1->clear();
    QStringList lines;
    lines.reserve(qsizetype(list_.EntryCount()));
    for (const std::string& line : list_.Lines())
        lines.append(ShownLine(line));
    ListBox1->addItems(lines);
}
