#include "app/picture_dialog.h"

#include "imagefile/image_file.h"
#include "imagefile/image_file_qt.h"
#include "spectral/errors.h"

#include <QDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

#include <exception>

namespace {

constexpr int kPreviewSide = 160;
// The preview decodes small pictures with the program's own decoders (which
// know every bitmap format); larger files only through the platform reader,
// which can scale while decoding, so browsing a folder of scans stays quick.
constexpr qint64 kOwnDecoderLimit = 64ll << 20;

QImage LoadPreview(const QString& fileName) {
    // Only the reader of the file's own format: left to guess from the bytes,
    // Qt would try each of its plugins on whatever the folder holds.
    const QByteArray format = QFileInfo(fileName).suffix().toLower().toLatin1();
    // A few bytes of TIFF can ask libtiff for gigabytes, on a mere click.
    if ((format == "tif" || format == "tiff") && !TiffFileFitsItsPixels(fileName.toStdString()))
        return {};
    QImageReader reader(fileName, format);
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(false);
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > 4 * kPreviewSide || size.height() > 4 * kPreviewSide))
        reader.setScaledSize(size.scaled(4 * kPreviewSide, 4 * kPreviewSide, Qt::KeepAspectRatio));
    QImage image = reader.read();
    if (!image.isNull()) return image;
    if (QFileInfo(fileName).size() > kOwnDecoderLimit) return {};
    try {
        const TBitmap24 bitmap = ReadImageFile(fileName.toStdString());
        return ToQImage(bitmap);
    } catch (const std::exception&) {
        return {}; // not a picture we can show: the preview stays empty
    }
}

} // namespace

TPictureDialog::TPictureDialog(QWidget* parent, const QString& name, TPurpose purpose)
    : QFileDialog(parent) {
    setObjectName(name);
    // The preview needs the dialog's own widgets.
    setOption(QFileDialog::DontUseNativeDialog, true);
    // Show the filters by their names; the patterns carry upper-case variants
    // as well, since scanners often write ".JPG" and ".BMP".
    setOption(QFileDialog::HideNameFilterDetails, true);
    if (purpose == TPurpose::Open) {
        setAcceptMode(QFileDialog::AcceptOpen);
        setFileMode(QFileDialog::ExistingFile);
        // Every format the program reads, also under its other extensions.
        setNameFilters({"Images (*.bmp *.jpg *.jpeg *.png *.tif *.tiff *.BMP *.JPG *.JPEG *.PNG "
                        "*.TIF *.TIFF)",
                        "Bitmaps (*.bmp) (*.bmp *.BMP)", "Jpeg (*.jpg) (*.jpg *.jpeg *.JPG *.JPEG)",
                        "PNG (*.png) (*.png *.PNG)", "TIFF (*.tif) (*.tif *.tiff *.TIF *.TIFF)"});
    } else {
        setAcceptMode(QFileDialog::AcceptSave);
        setFileMode(QFileDialog::AnyFile);
        // The typed name alone decides the format: no extension is added.
        // The window asks before a file is replaced, in its own words.
        setDefaultSuffix(QString());
        setOption(QFileDialog::DontConfirmOverwrite, true);
        setNameFilters({"Bitmaps (*.bmp) (*.bmp *.BMP)", "Jpeg (*.jpg) (*.jpg *.jpeg *.JPG *.JPEG)",
                        "PNG (*.png) (*.png *.PNG)", "TIFF (*.tif) (*.tif *.tiff *.TIF *.TIFF)"});
        // Choosing a format puts its extension on the name in the field, so
        // the name the user sees is the one that decides.
        connect(this, &QFileDialog::filterSelected, this, &TPictureDialog::TakeFilterSuffix);
    }

    auto* panel = new QWidget(this);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(6, 0, 0, 0);
    previewLabel_ = new QLabel(panel);
    previewLabel_->setFixedSize(kPreviewSide, kPreviewSide);
    previewLabel_->setAlignment(Qt::AlignCenter);
    previewLabel_->setFrameShape(QFrame::StyledPanel);
    sizeLabel_ = new QLabel(panel);
    sizeLabel_->setAlignment(Qt::AlignCenter);
    PreviewButton = new QPushButton(panel);
    PreviewButton->setObjectName("PreviewButton");
    PreviewButton->setIcon(QIcon(":/icons/04_zoom.png"));
    // The hint is translated with the main window (see TranslateComponents).
    PreviewButton->setProperty("Hint", "Vorschau");
    PreviewButton->setToolTip("Vorschau");
    PreviewButton->setEnabled(false);
    column->addWidget(previewLabel_);
    column->addWidget(sizeLabel_);
    column->addWidget(PreviewButton, 0, Qt::AlignHCenter);
    column->addStretch(1);
    if (auto* grid = qobject_cast<QGridLayout*>(layout()))
        grid->addWidget(panel, 0, grid->columnCount(), grid->rowCount(), 1);

    connect(this, &QFileDialog::currentChanged, this, &TPictureDialog::PreviewFile);
    connect(PreviewButton, &QPushButton::clicked, this, &TPictureDialog::ShowFullPreview);
    resize(860, 500);
    // Room for the places list and for whole names, sizes and dates.
    if (auto* splitter = findChild<QSplitter*>("splitter")) splitter->setSizes({150, 560});
    if (auto* details = findChild<QTreeView*>("treeView")) {
        details->header()->resizeSection(0, 230);
        details->header()->resizeSection(1, 90);
        details->header()->resizeSection(2, 110);
    }
}

void TPictureDialog::TakeFilterSuffix(const QString& filter) {
    auto* edit = findChild<QLineEdit*>("fileNameEdit");
    const qsizetype star = filter.lastIndexOf("(*.");
    if (!edit || star < 0) return;
    const QString suffix = filter.mid(star + 3).section(' ', 0, 0).section(')', 0, 0);
    const QString name = edit->text().trimmed();
    if (name.isEmpty() || suffix.isEmpty()) return;
    const QFileInfo typed(name);
    const QString base =
        typed.suffix().isEmpty() ? name : name.left(name.size() - typed.suffix().size() - 1);
    edit->setText(base + "." + suffix);
}

const QImage& TPictureDialog::PreviewImage() const {
    return preview_;
}

void TPictureDialog::PreviewFile(const QString& fileName) {
    previewFile_ = fileName;
    const QFileInfo info(fileName);
    preview_ = info.isFile() ? LoadPreview(fileName) : QImage();
    if (preview_.isNull()) {
        previewLabel_->clear();
        sizeLabel_->clear();
        PreviewButton->setEnabled(false);
        return;
    }
    previewLabel_->setPixmap(QPixmap::fromImage(preview_.scaled(
        kPreviewSide - 4, kPreviewSide - 4, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    const QSize full = QImageReader(fileName).size();
    const QSize shown = full.isValid() ? full : preview_.size();
    sizeLabel_->setText(QString("%1 x %2").arg(shown.width()).arg(shown.height()));
    PreviewButton->setEnabled(true);
}

void TPictureDialog::ShowFullPreview() {
    if (preview_.isNull()) return;
    QDialog window(this);
    window.setWindowTitle(QFileInfo(previewFile_).fileName());
    auto* scroll = new QScrollArea(&window);
    auto* picture = new QLabel;
    picture->setPixmap(QPixmap::fromImage(preview_));
    scroll->setWidget(picture);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(scroll);
    window.resize(std::min(preview_.width() + 40, 900), std::min(preview_.height() + 40, 700));
    window.exec();
}
