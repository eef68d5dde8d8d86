#pragma once
// Files handed to the main window from outside: named on the window
// program's command line, or dropped onto the window from a file manager.
// They take the same road as Open image and Open filter (the enabled step,
// the question before a changed image is replaced, the same error boxes),
// only without the file dialog.

#include <QObject>
#include <QString>
#include <QStringList>

class TForm1;

// Which of a list of files to open: the first image (any file that is not a
// filter file) and the first filter file (".flt" in any letter case). Other
// files are left alone: the window holds one image and one filter.
struct TFilesToOpen {
    QString Image;
    QString Filter;
};
TFilesToOpen ChooseFilesToOpen(const QStringList& files);

// Opens the image, then loads the filter, each as its command would; an
// error is shown in an error box and the other file is still tried.
void OpenFiles(TForm1& form, const QStringList& files);

// Makes the window accept files dropped onto it. The drop is answered at
// once and the files are opened right after it, so a question or an error
// box never holds the file manager's drag.
class TFileDrop : public QObject {
    Q_OBJECT
public:
    explicit TFileDrop(TForm1& form);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TForm1& form_;
};
