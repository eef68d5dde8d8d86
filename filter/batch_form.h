#pragma once
// The batch conversion dialog "Batchconversion": a fixed dialog in which the
// user picks source files and a target folder for a batch run. Left column
// "Source": the folder list DirListIn and the multi-select file list
// FileListIn with the folder's "*.bmp;*.jpg" files; right column "Target":
// the path field TargetPath, the folder list DirListout and the button
// NewFolder. This system has no drive letters, so there are no drive
// selectors; a folder list starts with ".." to go up, and a double click (or
// Enter) on a folder opens it.
//
// The target is the folder the user selected: a single click on a folder of
// DirListout makes it the target and the path field shows it; with nothing
// selected it is the folder the list shows. A path typed into the field and
// confirmed with Enter (or OK) is opened, if it is a folder. New folders are
// made inside the target and become the target.
//
// Every listed file is selected when a folder is opened; OK is off while no
// file is selected, and the note says so. Below the lists the dialog names
// the filter it will apply and offers the format of the results (the
// source's own, or one for all). OK refuses a target under which a result
// would replace one of the selected files, and the note says which.
//
// The dialog is created once at start and keeps its folders from one batch
// run to the next. It only chooses: the run itself belongs to the main window.

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TBatchFile;
class QComboBox;
class QLabel;
class QLineEdit;
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
    QLineEdit* TargetPath = nullptr;
    QListWidget* DirListIn = nullptr;
    QListWidget* FileListIn = nullptr;
    QListWidget* DirListout = nullptr;
    QPushButton* NewFolder = nullptr;
    QLabel* FilterInfo = nullptr; // the filter and its entry count
    QLabel* FormatLabel = nullptr;
    QComboBox* OutputFormat = nullptr; // as the source, or one format for all
    QLabel* Note = nullptr;            // why OK or a new folder did not go through
    QPushButton* BitBtn1 = nullptr;    // OK
    QPushButton* BitBtn2 = nullptr;    // cancel

    // The texts of the current language: the text of a full key of the
    // language tables, or the fallback. Without one the designed texts stay.
    using TTexts = std::function<QString(const std::string& fullKey, const QString& fallback)>;
    void ApplyTexts(const TTexts& texts);

    // Asks the name of a new folder (caption, prompt); none when cancelled.
    // A modal input box unless replaced (tests).
    std::function<std::optional<QString>(const QString& caption, const QString& prompt)>
        AskFolderName;

    // The filter the run will apply: its file (empty: never saved) and the
    // number of its entries.
    void SetFilter(const QString& fileName, size_t entries);

    // Shows the dialog modally; true exactly when it was closed with OK.
    bool Execute();

    // The selected files of FileListIn as full paths, in list order.
    QStringList SelectedFiles() const;
    QString SourceFolder() const { return sourceFolder_; }
    // The folder the results go to.
    QString TargetFolder() const { return targetFolder_; }
    // The extension of the chosen output format without its dot; empty for
    // the source's own.
    QString OutputExtension() const;
    // The files of the run: each selected file with its result's path.
    std::vector<TBatchFile> PlannedFiles() const;

    // Open a folder in a column (an absolute, cleaned path is kept). A folder
    // that cannot be read is still chosen; its list says why it is empty.
    void SetSourceFolder(const QString& folder);
    void SetTargetFolder(const QString& folder);
    // Lists the source folder's files and both folder lists again.
    void Refresh();
    // Makes a folder of that name inside the target and selects it; false
    // (with the reason in Note) when it cannot be made.
    bool MakeFolder(const QString& name);

    // Whether a file name matches "*.bmp;*.jpg" (letters in any case, as the
    // image reader accepts them).
    static bool IsBatchFileName(const QString& name);

    void accept() override;

private:
    QString Text(const char* key, const char* fallback) const;
    void FillFolderList(QListWidget* list, const QString& folder);
    void FillFileList();
    void OpenFolderItem(QListWidget* list, QListWidgetItem* item);
    void TargetSelectionChanged();
    // Takes the path field's text as the target; false when it is no folder.
    bool TakeTypedTarget();
    void ShowTarget();
    void NewFolderClick();
    void SelectionChanged();
    void ShowFilter();

    TTexts texts_;
    QString sourceFolder_;
    QString targetShown_; // the folder whose subfolders DirListout lists
    QString targetFolder_;
    QString filterFile_;
    size_t filterEntries_ = 0;
};
