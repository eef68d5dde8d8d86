#pragma once
// An open or save dialog for pictures with a preview of the selected file
// beside the file list, and a preview button (PreviewButton) that shows the
// picture larger in a window of its own. The preview button's hint is translated with the main
// window, so the dialog exists for the whole run and keeps its button.

#include <QFileDialog>
#include <QImage>

class QLabel;
class QPushButton;

class TPictureDialog : public QFileDialog {
    Q_OBJECT
public:
    enum class TPurpose { Open, Save };

    // name: the dialog's component name ("OpenPictureDialog", ...).
    TPictureDialog(QWidget* parent, const QString& name, TPurpose purpose);

    QPushButton* PreviewButton = nullptr;

    // The picture of the file now previewed (null when none or unreadable).
    const QImage& PreviewImage() const;
    // Shows the preview of a file, as selecting it in the list does.
    void PreviewFile(const QString& fileName);

    // The save dialog: the chosen format's extension replaces the typed one.
    void TakeFilterSuffix(const QString& filter);

private:
    void ShowFullPreview();

    QLabel* previewLabel_ = nullptr;
    QLabel* sizeLabel_ = nullptr;
    QImage preview_;
    QString previewFile_;
};
