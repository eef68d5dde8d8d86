// The main window's client area and what the status bar says about it: the
// view on its neutral background with the contrast slider beside the
// spectrum tools, the zoom commands, and the panels for the picture's size,
// the zoom and the pointer's cell.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "app/shape_mark.h"
#include "app/view_area.h"
#include "help/help_topics.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QSlider>
#include <QStatusBar>
#include <QToolBar>

#include <cmath>

namespace {

// Shows a caption exactly while the control it names is shown.
class TShownWith final : public QObject {
public:
    TShownWith(QWidget* control, QWidget* caption) : QObject(control), caption_(caption) {
        control->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ShowToParent) caption_->show();
        if (event->type() == QEvent::HideToParent) caption_->hide();
        return false;
    }

private:
    QWidget* caption_;
};

} // namespace

void TForm1::CreateClientArea() {
    ScrollBox1 = new TViewArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    // The designed background picture is gone; its control stays, empty and
    // hidden, for the translation walk that knows it.
    Image2 = new QLabel(ScrollBox1->widget());
    Image2->setObjectName("Image2");
    Image2->hide();
    Image1 = new TImageView;
    Image1->setObjectName("Image1");
    Image1->setGeometry(0, 0, 737, 705);
    Image1->setProperty("HideHint", true);
    SetHint(Image1, "Doppelklick zum Anwenden");
    ScrollBox1->SetView(Image1);
    Shape = new TShapeMark(Image1);
    Shape->setObjectName("Shape");
    Shape->SetMark(TMarkRect{80, 272, 89, 89});
    Shape->Forget();
    connect(Image1, &TImageView::zoomChanged, Shape, [this] { Shape->SetZoom(Image1->Zoom()); });
    connect(ScrollBox1, &TViewArea::zoomChanged, this, &TForm1::ShowViewPanels);
    setCentralWidget(ScrollBox1);

    // The contrast acts on the spectrum only: it sits with the spectrum's
    // tools, shown while the spectrum is.
    auto* contrast = new QWidget(ToolShape);
    contrast->setObjectName("KontrastBox");
    auto* row = new QHBoxLayout(contrast);
    row->setContentsMargins(8, 0, 4, 0);
    row->setSpacing(4);
    KontrastLabel = new QLabel(contrast);
    KontrastLabel->setObjectName("KontrastLabel");
    TrackKontrast = new QSlider(Qt::Horizontal, contrast);
    TrackKontrast->setObjectName("TrackKontrast");
    TrackKontrast->setRange(-50, 50);
    TrackKontrast->setValue(0);
    TrackKontrast->setTickInterval(5);
    TrackKontrast->setTickPosition(QSlider::TicksBelow);
    TrackKontrast->setFixedWidth(140);
    TrackKontrast->setProperty("Tag", kTopicContrast);
    SetHint(TrackKontrast, "kontrast");
    new TShownWith(TrackKontrast, KontrastLabel);
    row->addWidget(KontrastLabel);
    row->addWidget(TrackKontrast);
    ToolShape->addWidget(contrast);
}

void TForm1::FitScrollArea() {
    ScrollBox1->PictureResized();
    ShowViewPanels();
}

void TForm1::CreateViewPanels() {
    const char* names[] = {"PictureSizePanel", "ZoomPanel", "PointerPanel"};
    for (size_t i = 0; i < ViewPanels.size(); ++i) {
        auto* panel = new QLabel(StatusBar);
        panel->setObjectName(names[i]);
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        StatusBar->addPermanentWidget(panel);
        ViewPanels[i] = panel;
    }
    // Wide enough for their longest texts, so the bar does not jump as the
    // pointer moves.
    const QFontMetrics metrics = ViewPanels[0]->fontMetrics();
    ViewPanels[0]->setMinimumWidth(metrics.horizontalAdvance("00000 \u00d7 00000 px") + 8);
    ViewPanels[1]->setMinimumWidth(metrics.horizontalAdvance("0000 %") + 8);
    ViewPanels[2]->setMinimumWidth(
        metrics.horizontalAdvance("x 00000  y 00000   0.00000 \u00d7 0.00000 cycles/pixel, "
                                  "distance 00000.0 cells") +
        8);
    ShowViewPanels();
}

void TForm1::ShowViewPanels() {
    // Without a picture there is nothing to tell.
    for (QLabel* panel : ViewPanels) panel->setVisible(Image1->HasPicture());
    if (!Image1->HasPicture()) return;
    ViewPanels[0]->setText(
        QString("%1 \u00d7 %2 px").arg(Image1->Picture.Width).arg(Image1->Picture.Height));
    ViewPanels[1]->setText(QString("%1 %").arg(ScrollBox1->Zoom().Percent()));
}

void TForm1::ShowPointer(std::optional<QPoint> viewPos) {
    const int32_t W = Image1->Picture.Width, H = Image1->Picture.Height;
    if (!viewPos || d->CommandState == csNoImage || viewPos->x() < 0 || viewPos->y() < 0 ||
        viewPos->x() >= W || viewPos->y() >= H) {
        ViewPanels[2]->clear();
        return;
    }
    const int32_t c = viewPos->x(), r = viewPos->y();
    QString text = QString("x %1  y %2").arg(c).arg(r);
    if (d->CommandState == csSpectrum) {
        // Cell c of the cosine-type spectrum of W cells is c / 2W cycles per
        // pixel; the constant term is cell (0, 0).
        QLocale numbers(d->LanguageState.Language == lgEnglish ? QLocale::English
                                                               : QLocale::German);
        numbers.setNumberOptions(QLocale::OmitGroupSeparator);
        text += "   " + Tr("%1 \u00d7 %2 Zyklen/Pixel, Abstand %3 Zellen")
                            .arg(numbers.toString(c / (2.0 * W), 'f', 5),
                                 numbers.toString(r / (2.0 * H), 'f', 5),
                                 numbers.toString(std::hypot(double(c), double(r)), 'f', 1));
    }
    ViewPanels[2]->setText(text);
}

void TForm1::ZoomInClick(QObject* sender) {
    if (!PassesGuard(TCommand::ZoomIn, sender)) return;
    if (Image1->HasPicture()) ScrollBox1->StepZoom(true);
}

void TForm1::ZoomOutClick(QObject* sender) {
    if (!PassesGuard(TCommand::ZoomOut, sender)) return;
    if (Image1->HasPicture()) ScrollBox1->StepZoom(false);
}

void TForm1::FitWindowClick(QObject* sender) {
    if (!PassesGuard(TCommand::FitWindow, sender)) return;
    if (Image1->HasPicture()) ScrollBox1->FitToWindow();
}

void TForm1::ActualSizeClick(QObject* sender) {
    if (!PassesGuard(TCommand::ActualSize, sender)) return;
    if (Image1->HasPicture()) ScrollBox1->SetZoom(kActualSize);
}
