#include "filter/batch_form.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Folder entries carry their full path; the entry ".." the parent's.
constexpr int kPathRole = Qt::UserRole;

// File names go through the system's file name encoding both ways, so a
// name that is not valid UTF-8 still leads back to its file.
fs::path FsPath(const QString& folder) {
    return fs::path(QFile::encodeName(folder).toStdString());
}

// Names in a folder of one kind (folders or regular files), sorted the way
// a reader expects (case-insensitive, then exact). Sets `error` when the
// folder cannot be read; entries that vanish meanwhile are skipped.
QStringList FolderEntries(const QString& folder, bool folders, std::error_code& error) {
    QStringList names;
    fs::directory_iterator it(FsPath(folder), fs::directory_options::skip_permission_denied, error);
    if (error) return names;
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error) return names;
        std::error_code typeError;
        // Follows links: a link to a folder is a folder, to a file a file.
        const fs::file_status status = it->status(typeError);
        if (typeError) continue;
        const bool isFolder = fs::is_directory(status);
        if (folders ? !isFolder : !fs::is_regular_file(status)) continue;
        names.append(QFile::decodeName(it->path().filename().string().c_str()));
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    return names;
}

// A list line that says why a folder shows nothing; it cannot be selected.
void AddNotice(QListWidget* list, const QString& text) {
    auto* item = new QListWidgetItem(text, list);
    item->setFlags(Qt::NoItemFlags);
}

QString CannotReadText(const QString& folder, const std::error_code& error) {
    return QStringLiteral("Ordner %1 kann nicht gelesen werden (%2)")
        .arg(QDir::toNativeSeparators(folder), QString::fromStdString(error.message()));
}

QString CleanFolder(const QString& folder) {
    return QDir::cleanPath(QDir(folder).absolutePath());
}

} // namespace

TFormBatch::TFormBatch(QWidget* parent) : QDialog(parent) {
    setObjectName("FormBatch");
    setWindowTitle("Batchconversion");
    setFixedSize(413, 332);

    Label1 = new QLabel("Source", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 6, 193, 16);
    SourcePath = new QLabel(this);
    SourcePath->setObjectName("SourcePath");
    SourcePath->setGeometry(8, 24, 193, 16);
    DirListIn = new QListWidget(this);
    DirListIn->setObjectName("DirListIn");
    DirListIn->setGeometry(8, 42, 193, 112);
    FileListIn = new QListWidget(this);
    FileListIn->setObjectName("FileListIn");
    FileListIn->setGeometry(8, 160, 193, 128);
    FileListIn->setSelectionMode(QAbstractItemView::ExtendedSelection);

    Label2 = new QLabel("Target", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(212, 6, 193, 16);
    TargetPath = new QLabel(this);
    TargetPath->setObjectName("TargetPath");
    TargetPath->setGeometry(212, 24, 193, 16);
    DirListout = new QListWidget(this);
    DirListout->setObjectName("DirListout");
    DirListout->setGeometry(212, 42, 193, 246);

    BitBtn1 = new QPushButton("OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(236, 298, 80, 26);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton("Cancel", this);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setGeometry(325, 298, 80, 26);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    for (QListWidget* list : {DirListIn, DirListout})
        connect(list, &QListWidget::itemActivated, this,
                [this, list](QListWidgetItem* item) { OpenFolderItem(list, item); });

    const QString start = QDir::currentPath();
    SetSourceFolder(start);
    SetTargetFolder(start);
}

bool TFormBatch::Execute() {
    // The folders may have changed since the last run.
    Refresh();
    return exec() == QDialog::Accepted;
}

QStringList TFormBatch::SelectedFiles() const {
    QStringList paths;
    const QDir folder(sourceFolder_);
    for (int row = 0; row < FileListIn->count(); ++row) {
        const QListWidgetItem* item = FileListIn->item(row);
        if (item->isSelected() && (item->flags() & Qt::ItemIsSelectable))
            paths.append(folder.filePath(item->text()));
    }
    return paths;
}

void TFormBatch::SetSourceFolder(const QString& folder) {
    sourceFolder_ = CleanFolder(folder);
    FillFolderList(DirListIn, SourcePath, sourceFolder_);
    FillFileList();
}

void TFormBatch::SetTargetFolder(const QString& folder) {
    targetFolder_ = CleanFolder(folder);
    FillFolderList(DirListout, TargetPath, targetFolder_);
}

void TFormBatch::Refresh() {
    FillFolderList(DirListIn, SourcePath, sourceFolder_);
    FillFileList();
    FillFolderList(DirListout, TargetPath, targetFolder_);
}

bool TFormBatch::IsBatchFileName(const QString& name) {
    return name.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive) ||
           name.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive);
}

void TFormBatch::FillFolderList(QListWidget* list, QLabel* path, const QString& folder) {
    list->clear();
    path->setText(path->fontMetrics().elidedText(QDir::toNativeSeparators(folder), Qt::ElideLeft,
                                                 path->width()));
    path->setToolTip(QDir::toNativeSeparators(folder));
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder) {
        auto* up = new QListWidgetItem(QStringLiteral(".."), list);
        up->setData(kPathRole, parent);
    }
    std::error_code error;
    const QStringList names = FolderEntries(folder, true, error);
    if (error) {
        AddNotice(list, CannotReadText(folder, error));
        return;
    }
    const QDir dir(folder);
    for (const QString& name : names) {
        auto* item = new QListWidgetItem(name, list);
        item->setData(kPathRole, dir.filePath(name));
    }
}

void TFormBatch::FillFileList() {
    FileListIn->clear();
    std::error_code error;
    const QStringList names = FolderEntries(sourceFolder_, false, error);
    if (error) {
        AddNotice(FileListIn, CannotReadText(sourceFolder_, error));
        return;
    }
    for (const QString& name : names)
        if (IsBatchFileName(name)) FileListIn->addItem(name);
}

void TFormBatch::OpenFolderItem(QListWidget* list, QListWidgetItem* item) {
    if (!item) return;
    const QVariant path = item->data(kPathRole);
    if (!path.isValid()) return;
    if (list == DirListIn)
        SetSourceFolder(path.toString());
    else
        SetTargetFolder(path.toString());
}
