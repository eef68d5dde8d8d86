#pragma once
// The filter list window "Filter list": holds the program's filter list for
// the whole run and shows its lines in ListBox1, one per entry; the Delete
// button removes the selected line. The list lives here, independent of any
// image, so one filter can be applied to image after image.

#include "filter/filter_list.h"

#include <QWidget>

class QListWidget;
class QPushButton;

class TFormProtokol : public QWidget {
    Q_OBJECT
public:
    explicit TFormProtokol(QWidget* parent = nullptr);

    QListWidget* ListBox1 = nullptr;
    QPushButton* Delete = nullptr;

    const TFilterList& List() const { return list_; }
    size_t EntryCount() const { return list_.EntryCount(); }

    // The list operations; each keeps ListBox1 in step with the list.
    bool AppendEntry(int32_t typ, float x1, float x2, float y1, float y2);
    void DeleteLastEntry();
    void LoadFilterFile(const std::string& path);
    void SaveFilterFile(const std::string& path) const;

    // The Delete button: removes the selected line, if one is selected.
    void DeleteClick();

private:
    void ShowLines();

    TFilterList list_;
};
