#pragma once
// The batch conversion dialog "Batchconversion": a fixed dialog in which the
// user picks source files and a target folder for a batch run. Left column
// "Source": the folder list DirListIn and the multi-select file list
// FileListIn with the folder's "*.bmp;*.jpg" files; right column "Target":
// the folder list DirListout. This system has no drive letters, so there are
// no drive selectors; a folder list starts with ".." to go up, and a double
// click (or Enter) on a folder opens it.
//
// The dialog is created once at start and keeps its folders from one batch
// run to the next. It only chooses: the run itself belongs to the main window.

#include <QDialog>
#include <QString>
#include <QStringList>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

class TFormBatch : public QDialog {
    Q_OBJECT
  public:
    explicit TFormBatch(QWidget* parent = nullptr);

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* SourcePath = nullptr;
    QLabel* TargetPath = nullptr;
    QListWidget* DirListIn = nullptr;
    QListWidget* FileListIn = nullptr;
    QListWidget* DirListout = nullptr;
    QPushButton* BitBtn1 = nullptr; // OK
    QPushButton* BitBtn2 = nullptr; // cancel

    // Shows the dialog modally; true exactly when it was closed with OK.
    bool Execute();

    // The selected files of FileListIn as full paths, in list order.
    QStringList SelectedFiles() const;
    QString SourceFolder() const { return sourceFolder_; }
    QString TargetFolder() const { return targetFolder_; }

    // Open a folder in a column (an absolute, cleaned path is kept). A folder
    // that cannot be read is still chosen; its list says why it is empty.
    void SetSourceFolder(const QString& folder);
    void SetTargetFolder(const QString& folder);
    // Lists the source folder's files and both folder lists again.
    void Refresh();

    // Whether a file name matches "*.bmp;*.jpg" (letters in any case, as the
    // image reader accepts them).
    static bool IsBatchFileName(const QString& name);

  private:
    void FillFolderList(QListWidget* list, QLabel* path, const QString& folder);
    void FillFileList();
    void OpenFolderItem(QListWidget* list, QListWidgetItem* item);

    QString sourceFolder_;
    QString targetFolder_;
};
