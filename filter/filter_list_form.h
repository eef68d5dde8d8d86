#pragma once
// The filter list window "Filter list": holds the program's filter list for
// the whole run and shows it in ListBox1, one row per entry, in columns: the
// kind, the region's position and size in cells of the current spectrum, and
// the raw line as stored (so lines the program does not understand still
// show what they hold). The Delete button removes the selected line. The list
// lives here, independent of any image, so one filter can be applied to
// image after image.
//
// Every change goes through this window so that ListBox1 always shows exactly
// the lines of the list; each change emits listChanged().

#include "filter/filter_list.h"
#include "shell/language_tables.h"

#include <QWidget>

#include <cstdint>
#include <string>

class QTreeWidget;
class QPushButton;

class TFormProtokol : public QWidget {
    Q_OBJECT
public:
    explicit TFormProtokol(QWidget* parent = nullptr);

    // Columns of ListBox1.
    enum TColumn { ColumnKind, ColumnPosition, ColumnSize, ColumnLine, ColumnCount };

    QTreeWidget* ListBox1 = nullptr;
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
    void SaveFilterFile(const std::string& path);
    // Shows the list's lines anew.
    void Reload();

    // True when the lines changed since they were last loaded or saved (an
    // empty list counts as saved: nothing would be lost).
    bool Modified() const { return modified_ && !list_.Empty(); }

    // The spectrum the positions and sizes are shown in cells of (0 x 0:
    // none, the cell columns stay empty).
    void SetSpectrumSize(int32_t width, int32_t height);
    // The interface language of the column titles and kinds (2 English).
    void SetLanguage(int32_t language);

    // The Delete button: removes the selected line, if one is selected.
    void DeleteClick();

signals:
    void listChanged();

private:
    void AddRow(const std::string& line);
    void FillRow(int row);
    void Changed();
    QString Text(const char* german) const;

    TFilterList list_;
    bool modified_ = false;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t language_ = lgEnglish;
};
