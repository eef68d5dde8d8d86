#include "filter/filter_list_form.h"

#include "filter/mark.h"
#include "shell/interface_texts.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>

namespace {

// Filter files are 8-bit text and may hold bytes that are no UTF-8; those
// show as Latin-1 characters rather than as replacement marks.
QString ShownLine(const std::string& line) {
    QString text = QString::fromUtf8(line.data(), qsizetype(line.size()));
    if (text.contains(QChar::ReplacementCharacter))
        text = QString::fromLatin1(line.data(), qsizetype(line.size()));
    return text;
}

// The resize dialog's mode names, by mode.
constexpr const char* kResizeModes[5] = {"Prozent", "Breite", "H\u00f6he", "Max Breite",
                                         "Max H\u00f6he"};

} // namespace

TFormProtokol::TFormProtokol(QWidget* parent) : QWidget(parent, Qt::Tool) {
    setObjectName("FormProtokol");
    setWindowTitle("Filter list");
    // Wide enough for a whole line of a saved filter beside its columns.
    resize(700, 240);
    Delete = new QPushButton("delete", this);
    Delete->setObjectName("Delete");
    Delete->setFixedSize(60, 22);
    ListBox1 = new QTreeWidget(this);
    ListBox1->setObjectName("ListBox1");
    ListBox1->setColumnCount(ColumnCount);
    ListBox1->setRootIsDecorated(false);
    ListBox1->setSortingEnabled(false);
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setTextElideMode(Qt::ElideRight);
    // Every row holds one short line; equal rows keep long lists fast.
    ListBox1->setUniformRowHeights(true);
    QHeaderView* header = ListBox1->header();
    header->setStretchLastSection(true);
    header->setSectionResizeMode(QHeaderView::Interactive);
    // Wide enough for "Screen notch" and a position on a page-sized spectrum.
    ListBox1->setColumnWidth(ColumnKind, 100);
    ListBox1->setColumnWidth(ColumnPosition, 95);
    ListBox1->setColumnWidth(ColumnSize, 70);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(8, 3, 8, 8);
    column->setSpacing(4);
    column->addWidget(Delete);
    column->addWidget(ListBox1, 1);
    SetLanguage(language_);
    connect(Delete, &QPushButton::clicked, this, &TFormProtokol::DeleteClick);
}

QString TFormProtokol::Text(const char* german) const {
    return QString::fromStdString(InterfaceText(language_, german));
}

void TFormProtokol::SetLanguage(int32_t language) {
    language_ = language;
    ListBox1->setHeaderLabels(
        {Text("Art"), Text("Position"), Text("Gr\u00f6\u00dfe"), Text("Zeile")});
    for (int row = 0; row < ListBox1->topLevelItemCount(); ++row) FillRow(row);
}

void TFormProtokol::SetSpectrumSize(int32_t width, int32_t height) {
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    for (int row = 0; row < ListBox1->topLevelItemCount(); ++row) FillRow(row);
}

void TFormProtokol::AddRow(const std::string& line) {
    auto* item = new QTreeWidgetItem(ListBox1);
    item->setText(ColumnLine, ShownLine(line));
    item->setToolTip(ColumnLine, item->text(ColumnLine));
    FillRow(ListBox1->topLevelItemCount() - 1);
}

void TFormProtokol::FillRow(int row) {
    QTreeWidgetItem* item = ListBox1->topLevelItem(row);
    if (!item || size_t(row) >= list_.EntryCount()) return;
    TFilterEntry entry{};
    bool known = true;
    try {
        entry = list_.GetEntry(size_t(row));
    } catch (const std::exception&) {
        known = false; // a resize kind without a number
    }
    QString kind = Text("unbekannt"), position, size;
    if (known && (entry.typ == kFilterRectangle || entry.typ == kFilterEllipse)) {
        kind = Text(entry.typ == kFilterRectangle ? "Rechteck" : "Ellipse");
        if (width_ > 0 && height_ > 0) {
            const int32_t x1 = CellBound(width_, entry.x1), x2 = CellBound(width_, entry.x2);
            const int32_t y1 = CellBound(height_, entry.y1), y2 = CellBound(height_, entry.y2);
            position = QString("%1, %2").arg(x1).arg(y1);
            size = QString("%1 \u00d7 %2").arg(x2 - x1).arg(y2 - y1);
        }
    } else if (known && entry.typ == kFilterNotch) {
        kind = Text("Rasterkerbe");
        if (width_ > 0 && height_ > 0) {
            const int32_t x1 = CellBound(width_, entry.x1), x2 = CellBound(width_, entry.x2);
            const int32_t y1 = CellBound(height_, entry.y1), y2 = CellBound(height_, entry.y2);
            position = QString("%1, %2").arg((x1 + x2) / 2).arg((y1 + y2) / 2);
            size = QString("%1 \u00d7 %2").arg(x2 - x1).arg(y2 - y1);
        }
    } else if (known && entry.typ == kFilterBand) {
        kind = Text("Rasterband");
        if (width_ > 0 && height_ > 0)
            position = QString("%1 \u2013 %2")
                           .arg(double(entry.x1), 0, 'f', 3)
                           .arg(double(entry.x2), 0, 'f', 3);
    } else if (known && entry.typ == kFilterRuling) {
        // The fundamental's normalised radius and the gain's power.
        kind = Text("Rasterweiten-Tiefpass");
        position = QString::number(double(entry.x1), 'f', 3);
        size = QString::number(double(entry.x2), 'g', 4);
    } else if (known && entry.typ == kFilterSidebands) {
        // The fundamental's normalised radius and the gain's power.
        kind = Text("Seitenband-D\u00e4mpfung");
        position = QString::number(double(entry.x1), 'f', 3);
        size = QString::number(double(entry.x2), 'g', 4);
    } else if (known && entry.typ >= kFilterResizeBase && entry.typ <= kFilterResizeLast) {
        kind = Text("Resize");
        position = Text(kResizeModes[entry.typ - kFilterResizeBase]);
        size = QString::number(double(entry.x1), 'g', 10) +
               (entry.typ == kFilterResizeBase ? " %" : "");
    }
    item->setText(ColumnKind, kind);
    item->setText(ColumnPosition, position);
    item->setText(ColumnSize, size);
}

void TFormProtokol::Changed() {
    modified_ = true;
    emit listChanged();
}

bool TFormProtokol::AppendEntry(int32_t typ, float x1, float x2, float y1, float y2) {
    const bool added = list_.AppendEntry(typ, x1, x2, y1, y2);
    if (added) {
        AddRow(list_.Lines().back());
        Changed();
    }
    return added;
}

void TFormProtokol::AppendLine(const std::string& line) {
    list_.AppendLine(line);
    AddRow(line);
    Changed();
}

void TFormProtokol::DeleteLastEntry() {
    if (list_.Empty()) return;
    list_.DeleteLastEntry();
    delete ListBox1->takeTopLevelItem(ListBox1->topLevelItemCount() - 1);
    Changed();
}

void TFormProtokol::Clear() {
    list_.Clear();
    ListBox1->clear();
    Changed();
}

void TFormProtokol::LoadFilterFile(const std::string& path) {
    list_.LoadFilterFile(path);
    Reload();
    modified_ = false;
    emit listChanged();
}

void TFormProtokol::SaveFilterFile(const std::string& path) {
    list_.SaveFilterFile(path);
    modified_ = false;
}

void TFormProtokol::DeleteClick() {
    const QList<QTreeWidgetItem*> chosen = ListBox1->selectedItems();
    if (chosen.isEmpty()) return;
    const int row = ListBox1->indexOfTopLevelItem(chosen.front());
    if (row < 0 || size_t(row) >= list_.EntryCount()) return;
    list_.DeleteEntry(size_t(row));
    // Taking the item also drops the selection, so a second click on Delete
    // does not remove the next line by surprise.
    delete ListBox1->takeTopLevelItem(row);
    ListBox1->clearSelection();
    Changed();
}

void TFormProtokol::Reload() {
    ListBox1->clear();
    for (const std::string& line : list_.Lines()) AddRow(line);
}
