#pragma once
// The filter list window "Filter list": holds the program's filter list for
// the whole run and shows its lines in ListBox1, one per entry; the Delete
// button removes the selected line. The list lives here, independent of any
// image, so one filter can be applied to image after image.
//
// Every change goes through this window so that ListBox1 always shows exactly
// the lines of the list; each change emits listChanged().

#include "filter/filter_list.h"

#include <QWidget>

#include <cstdint>
#include <string>

class QListWidget;
class QPushButton;

class TFormProtokol : public QWidget {
    Q_OBJECT
  public:
    explicit TFormProtokol(QWidget* parent = nullptr);

    QListWidget* ListBox1 = nullptr;
    QPushButton* Delete = nullptr;

    const TFilterList& List() const { return list_; }
    // For changes this window has no operation for; call Reload() afterwards
    // so the list box shows them.
    TFilterList& List() { return list_; }
    size_t EntryCount() const { return list_.EntryCount(); }
    // The parsed line i; throws what TFilterList::GetEntry throws.
    TFilterEntry GetEntry(size_t i) const { return list_.GetEntry(i); }

    // The list operations; each keeps ListBox1 in step with the list.
    bool AppendEntry(int32_t typ, float x1, float x2, float y1, float y2);
    void AppendLine(const std::string& line);
    void DeleteLastEntry();
    void Clear();
    // On an error the list and the list box stay as they were.
    void LoadFilterFile(const std::string& path);
    void SaveFilterFile(const std::string& path) const;
    // Shows the list's lines anew.
    void Reload();

    // The Delete button: removes the selected line, if one is selected.
    void DeleteClick();

  signals:
    void listChanged();

  private:
    TFilterList list_;
};
