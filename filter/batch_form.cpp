#include "filter/batch_form.h"

#include "filter/batch_runner.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>
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

QString CleanFolder(const QString& folder) {
    return QDir::cleanPath(QDir(folder).absolutePath());
}

} // namespace

TFormBatch::TFormBatch(QWidget* parent) : QDialog(parent) {
    setObjectName("FormBatch");
    setWindowTitle("Batchconversion");
    setFixedSize(413, 376);

    Label1 = new QLabel("Source", this);
    Label1->setObjectName("Label1");
    Label1->setGeometry(8, 6, 193, 16);
    SourcePath = new QLabel(this);
    SourcePath->setObjectName("SourcePath");
    SourcePath->setGeometry(8, 24, 193, 18);
    DirListIn = new QListWidget(this);
    DirListIn->setObjectName("DirListIn");
    DirListIn->setGeometry(8, 46, 193, 110);
    FileListIn = new QListWidget(this);
    FileListIn->setObjectName("FileListIn");
    FileListIn->setGeometry(8, 162, 193, 126);
    FileListIn->setSelectionMode(QAbstractItemView::ExtendedSelection);

    Label2 = new QLabel("Target", this);
    Label2->setObjectName("Label2");
    Label2->setGeometry(212, 6, 193, 16);
    TargetPath = new QLineEdit(this);
    TargetPath->setObjectName("TargetPath");
    TargetPath->setGeometry(212, 22, 193, 22);
    DirListout = new QListWidget(this);
    DirListout->setObjectName("DirListout");
    DirListout->setGeometry(212, 46, 193, 214);
    NewFolder = new QPushButton("New folder", this);
    NewFolder->setObjectName("NewFolder");
    NewFolder->setGeometry(212, 264, 193, 24);
    NewFolder->setAutoDefault(false);

    FilterInfo = new QLabel(this);
    FilterInfo->setObjectName("FilterInfo");
    FilterInfo->setGeometry(8, 294, 193, 22);
    FormatLabel = new QLabel("Format", this);
    FormatLabel->setObjectName("FormatLabel");
    FormatLabel->setGeometry(212, 294, 56, 22);
    OutputFormat = new QComboBox(this);
    OutputFormat->setObjectName("OutputFormat");
    OutputFormat->setGeometry(270, 294, 135, 22);
    OutputFormat->addItem("as the source", QString());
    for (const auto& [caption, extension] : {std::pair("BMP", "bmp"), std::pair("JPEG", "jpg"),
                                             std::pair("PNG", "png"), std::pair("TIFF", "tif")})
        OutputFormat->addItem(caption, QString(extension));
    FormatLabel->setBuddy(OutputFormat);

    Note = new QLabel(this);
    Note->setObjectName("Note");
    Note->setGeometry(8, 320, 222, 52);
    Note->setWordWrap(true);
    Note->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    BitBtn1 = new QPushButton("OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setGeometry(236, 342, 80, 26);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton("Cancel", this);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setGeometry(325, 342, 80, 26);
    BitBtn2->setAutoDefault(false);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(NewFolder, &QPushButton::clicked, this, [this] { NewFolderClick(); });

    for (QListWidget* list : {DirListIn, DirListout})
        connect(list, &QListWidget::itemActivated, this,
                [this, list](QListWidgetItem* item) { OpenFolderItem(list, item); });
    connect(DirListout, &QListWidget::itemSelectionChanged, this,
            [this] { TargetSelectionChanged(); });
    connect(FileListIn, &QListWidget::itemSelectionChanged, this, [this] { SelectionChanged(); });
    connect(TargetPath, &QLineEdit::editingFinished, this, [this] {
        if (TargetPath->text() != QDir::toNativeSeparators(targetFolder_)) TakeTypedTarget();
    });

    AskFolderName = [this](const QString& caption,
                           const QString& prompt) -> std::optional<QString> {
        bool ok = false;
        const QString name =
            QInputDialog::getText(this, caption, prompt, QLineEdit::Normal, {}, &ok);
        if (!ok) return std::nullopt;
        return name;
    };

    const QString start = QDir::currentPath();
    SetSourceFolder(start);
    SetTargetFolder(start);
}

QString TFormBatch::Text(const char* key, const char* fallback) const {
    const QString english = QString::fromUtf8(fallback);
    return texts_ ? texts_(key, english) : english;
}

void TFormBatch::ApplyTexts(const TTexts& texts) {
    texts_ = texts;
    setWindowTitle(Text(".FormBatch", "Batchconversion"));
    Label1->setText(Text("FormBatch.Label1", "Source"));
    Label2->setText(Text("FormBatch.Label2", "Target"));
    BitBtn1->setText(Text("FormBatch.BitBtn1", "OK"));
    BitBtn2->setText(Text("FormBatch.BitBtn2", "Cancel"));
    NewFolder->setText(Text("##BatchNewFolder##", "New folder"));
    TargetPath->setToolTip(Text("##BatchTargetHint##", "The folder the results are written to"));
    FormatLabel->setText(Text("##BatchFormat##", "Format"));
    OutputFormat->setItemText(0, Text("##BatchAsSource##", "as the source"));
    Note->clear();
    ShowFilter();
    Refresh();
}

bool TFormBatch::Execute() {
    // The folders may have changed since the last run.
    Note->clear();
    Refresh();
    return exec() == QDialog::Accepted;
}

void TFormBatch::SetFilter(const QString& fileName, size_t entries) {
    filterFile_ = fileName;
    filterEntries_ = entries;
    ShowFilter();
}

void TFormBatch::ShowFilter() {
    const QString name = filterFile_.isEmpty() ? Text("##BatchFilterUnsaved##", "unsaved")
                                               : QFileInfo(filterFile_).fileName();
    const QString text =
        filterEntries_ == 1
            ? Text("##BatchFilterOne##", "Filter: %1, 1 entry").arg(name)
            : Text("##BatchFilter##", "Filter: %1, %2 entries").arg(name).arg(filterEntries_);
    FilterInfo->setText(
        FilterInfo->fontMetrics().elidedText(text, Qt::ElideMiddle, FilterInfo->width()));
    FilterInfo->setToolTip(filterFile_.isEmpty() ? text : QDir::toNativeSeparators(filterFile_));
}

QString TFormBatch::OutputExtension() const {
    return OutputFormat->currentData().toString();
}

std::vector<TBatchFile> TFormBatch::PlannedFiles() const {
    std::vector<std::string> sources;
    for (const QString& path : SelectedFiles())
        sources.push_back(QFile::encodeName(path).toStdString());
    return PlanBatchFiles(sources, QFile::encodeName(targetFolder_).toStdString(), {}, false,
                          OutputExtension().toStdString());
}

void TFormBatch::SelectionChanged() {
    const bool any = !FileListIn->selectedItems().isEmpty();
    BitBtn1->setEnabled(any);
    const QString need = Text("##BatchSelectFiles##", "Select the files to convert.");
    if (!any)
        Note->setText(need);
    else if (Note->text() == need)
        Note->clear();
}

void TFormBatch::accept() {
    if (TargetPath->text() != QDir::toNativeSeparators(targetFolder_) && !TakeTypedTarget()) return;
    if (!QFileInfo(targetFolder_).isDir()) {
        Note->setText(Text("##BatchNoFolder##", "The target folder %1 does not exist.")
                          .arg(QDir::toNativeSeparators(targetFolder_)));
        return;
    }
    if (SelectedFiles().isEmpty()) {
        SelectionChanged();
        return;
    }
    if (const auto replaced = FindReplacedSource(PlannedFiles())) {
        Note->setText(
            Text("##BatchReplacesSource##",
                 "%1 would replace the source %2: choose another target folder or format.")
                .arg(QFileInfo(QFile::decodeName(replaced->Target.c_str())).fileName(),
                     QFileInfo(QFile::decodeName(replaced->Source.c_str())).fileName()));
        return;
    }
    QDialog::accept();
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
    SourcePath->setText(SourcePath->fontMetrics().elidedText(
        QDir::toNativeSeparators(sourceFolder_), Qt::ElideLeft, SourcePath->width()));
    SourcePath->setToolTip(QDir::toNativeSeparators(sourceFolder_));
    FillFolderList(DirListIn, sourceFolder_);
    FillFileList();
}

void TFormBatch::SetTargetFolder(const QString& folder) {
    targetShown_ = targetFolder_ = CleanFolder(folder);
    {
        const QSignalBlocker quiet(DirListout);
        FillFolderList(DirListout, targetShown_);
    }
    ShowTarget();
}

void TFormBatch::Refresh() {
    SetSourceFolder(sourceFolder_);
    // A selected subfolder stays the target if it is still listed.
    const QString selected = targetFolder_;
    SetTargetFolder(targetShown_);
    const QSignalBlocker quiet(DirListout);
    for (int row = 0; row < DirListout->count(); ++row) {
        QListWidgetItem* item = DirListout->item(row);
        if (item->text() != QStringLiteral("..") && item->data(kPathRole).toString() == selected) {
            DirListout->setCurrentItem(item);
            targetFolder_ = selected;
            ShowTarget();
        }
    }
}

void TFormBatch::ShowTarget() {
    TargetPath->setText(QDir::toNativeSeparators(targetFolder_));
    TargetPath->setCursorPosition(int(TargetPath->text().size()));
}

void TFormBatch::TargetSelectionChanged() {
    const QList<QListWidgetItem*> selected = DirListout->selectedItems();
    const QVariant path = selected.isEmpty() ? QVariant() : selected.front()->data(kPathRole);
    targetFolder_ = path.isValid() ? path.toString() : targetShown_;
    Note->clear();
    SelectionChanged();
    ShowTarget();
}

bool TFormBatch::TakeTypedTarget() {
    const QString typed = QDir::fromNativeSeparators(TargetPath->text().trimmed());
    const QString folder = CleanFolder(QDir(targetShown_).absoluteFilePath(typed));
    if (typed.isEmpty() || !QFileInfo(folder).isDir()) {
        Note->setText(Text("##BatchNoFolder##", "The target folder %1 does not exist.")
                          .arg(QDir::toNativeSeparators(typed.isEmpty() ? folder : typed)));
        return false;
    }
    Note->clear();
    SetTargetFolder(folder);
    return true;
}

bool TFormBatch::MakeFolder(const QString& name) {
    const QString clean = name.trimmed();
    const QString path = QDir(targetFolder_).filePath(clean);
    std::error_code error;
    if (clean.isEmpty() || clean == QStringLiteral(".") || clean == QStringLiteral("..") ||
        clean.contains(QLatin1Char('/')))
        error = std::make_error_code(std::errc::invalid_argument);
    else if (!fs::create_directory(FsPath(path), error) && !error)
        error = std::make_error_code(std::errc::file_exists);
    if (error) {
        Note->setText(
            Text("##BatchCannotCreate##", "Folder %1 cannot be created (%2)")
                .arg(QDir::toNativeSeparators(path), QString::fromStdString(error.message())));
        return false;
    }
    // Listed among its siblings and selected, so it is the target.
    SetTargetFolder(targetFolder_);
    const QList<QListWidgetItem*> found = DirListout->findItems(clean, Qt::MatchExactly);
    if (!found.isEmpty()) DirListout->setCurrentItem(found.front());
    return true;
}

void TFormBatch::NewFolderClick() {
    // A path typed but not yet confirmed is where the folder goes.
    if (TargetPath->text() != QDir::toNativeSeparators(targetFolder_) && !TakeTypedTarget()) return;
    const QString caption = Text("##BatchNewFolder##", "New folder");
    const std::optional<QString> name =
        AskFolderName
            ? AskFolderName(caption, Text("##BatchFolderName##", "Name of the new folder:"))
            : std::nullopt;
    if (name) MakeFolder(*name);
}

bool TFormBatch::IsBatchFileName(const QString& name) {
    return name.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive) ||
           name.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive);
}

void TFormBatch::FillFolderList(QListWidget* list, const QString& folder) {
    list->clear();
    const QString parent = QFileInfo(folder).absolutePath();
    if (parent != folder) {
        auto* up = new QListWidgetItem(QStringLiteral(".."), list);
        up->setData(kPathRole, parent);
    }
    std::error_code error;
    const QStringList names = FolderEntries(folder, true, error);
    if (error) {
        AddNotice(list, Text("##BatchCannotRead##", "Folder %1 cannot be read (%2)")
                            .arg(QDir::toNativeSeparators(folder),
                                 QString::fromStdString(error.message())));
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
        AddNotice(FileListIn, Text("##BatchCannotRead##", "Folder %1 cannot be read (%2)")
                                  .arg(QDir::toNativeSeparators(sourceFolder_),
                                       QString::fromStdString(error.message())));
        SelectionChanged();
        return;
    }
    for (const QString& name : names)
        if (IsBatchFileName(name)) FileListIn->addItem(name);
    // Every file of a folder just opened is meant, until the user says otherwise.
    FileListIn->selectAll();
    SelectionChanged();
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
