#include "app/screen_form.h"

#include "app/queued_relay.h"
#include "shell/interface_texts.h"
#include "spectral/transform.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

namespace {

// The region is at least this many cells a side, so that its spectrum shows
// the screen's peaks as the page's does, and at most this many, so that a
// change of strength is shown well within a second on two cores. Below the
// zoom at which the preview would show more, it shows at that zoom.
constexpr int32_t kMinCells = 512;
constexpr int32_t kMaxCells = 1024;
// The slider runs over the logarithm of the strength: 1 in the middle.
constexpr int kSliderSteps = 100;
constexpr double kMinStrength = 0.25;
constexpr double kMaxStrength = 4.0;

int SliderOf(double strength) {
    return int(std::lround(std::log(strength) / std::log(kMaxStrength) * kSliderSteps));
}

double StrengthOf(int position) {
    return std::pow(kMaxStrength, double(position) / kSliderSteps);
}

} // namespace

// One thread that computes the latest request; a newer one cancels the
// damping and the way back of the one it makes stale (the region's own
// transform goes on when only the strength changed, since it is needed still).
struct TScreenForm::TWorker {
    explicit TWorker(TScreenForm* owner) : form(owner), relay(owner) {
        thread = std::thread([this] { Run(); });
    }
    ~TWorker() {
        {
            const std::lock_guard lock(mutex);
            stop = true;
            cancel = true;
        }
        wake.notify_one();
        thread.join();
    }
    void Post(std::optional<TSpectrumStore> picture, TPreviewRegion region, double strength,
              uint64_t generation) {
        {
            const std::lock_guard lock(mutex);
            if (picture) {
                pendingPicture = std::move(picture);
                pendingRegion = region;
            }
            pendingStrength = strength;
            pendingGeneration = generation;
            pending = true;
            if (pendingPicture || !transforming) cancel = true;
        }
        wake.notify_one();
    }
    void Run() {
        TDescreenPreview preview;
        TPreviewRegion region;
        for (;;) {
            std::optional<TSpectrumStore> picture;
            double strength = 1.0;
            uint64_t generation = 0;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stop || pending; });
                if (stop) return;
                picture = std::move(pendingPicture);
                pendingPicture.reset();
                if (picture) region = pendingRegion;
                strength = pendingStrength;
                generation = pendingGeneration;
                pending = false;
                cancel = false;
                transforming = picture.has_value();
            }
            try {
                if (picture) preview.SetPicture(std::move(*picture), &cancel);
                {
                    const std::lock_guard lock(mutex);
                    transforming = false;
                }
                if (!preview.HasPicture()) continue;
                TDescreenPreview::TResult result = preview.Clean(strength, &cancel);
                relay.Post([form = form, generation, region,
                            result = std::make_shared<TDescreenPreview::TResult>(
                                std::move(result))]() mutable {
                    form->ShowResult(generation, region, std::move(*result));
                });
            } catch (const ETransformCancelled&) {
            } catch (const std::exception&) {
                // Memory refused for the preview: the window shows none, the
                // command itself can still run.
            }
        }
    }

    TScreenForm* form;
    TQueuedRelay relay;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable wake;
    std::atomic<bool> cancel{false};
    bool stop = false;
    bool pending = false;
    bool transforming = false;
    std::optional<TSpectrumStore> pendingPicture;
    TPreviewRegion pendingRegion;
    double pendingStrength = 1.0;
    uint64_t pendingGeneration = 0;
};

// The preview: side by side, the original on the left and the cleaned
// picture on the right, each around the view's middle; or split, one picture
// whose part left of a line (dragged with the mouse) is the original.
class TScreenForm::TPane final : public QWidget {
public:
    explicit TPane(TScreenForm* form) : QWidget(form), form_(form) {
        setMinimumSize(480, 320);
        setMouseTracking(false);
    }
    bool Split() const { return form_->ModeBox->currentIndex() == 1; }
    // The screen area of one picture of the preview.
    QSize AreaSize() const { return Split() ? size() : QSize(width() / 2 - 2, height()); }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(96, 96, 96));
        const TScreenForm& f = *form_;
        if (f.originalScaled_.isNull()) return;
        const auto draw = [&](const QRect& area, const QImage& image, const QRect& clip) {
            const double z = f.scaledZoom_;
            const QPointF topLeft(
                area.center().x() + (f.shownRegion_.Left - f.shownPlace_.Centre.x()) * z,
                area.center().y() + (f.shownRegion_.Top - f.shownPlace_.Centre.y()) * z);
            painter.save();
            painter.setClipRect(clip);
            painter.drawImage(topLeft.toPoint(), image);
            painter.restore();
        };
        const QImage& cleaned = f.cleanedScaled_.isNull() ? f.originalScaled_ : f.cleanedScaled_;
        const QString left = f.Text("Original");
        const QString right = f.Text("Ohne Raster");
        if (Split()) {
            const int x = int(std::lround(f.split_ * width()));
            draw(rect(), f.originalScaled_, QRect(0, 0, x, height()));
            draw(rect(), cleaned, QRect(x, 0, width() - x, height()));
            painter.setPen(QPen(QColor(255, 200, 0), 2));
            painter.drawLine(x, 0, x, height());
            Label(painter, QPoint(x - 8, 8), left, true);
            Label(painter, QPoint(x + 8, 8), right, false);
        } else {
            const int half = width() / 2;
            const QRect a(0, 0, half - 2, height()), b(half + 2, 0, width() - half - 2, height());
            draw(a, f.originalScaled_, a);
            draw(b, cleaned, b);
            Label(painter, QPoint(8, 8), left, false);
            Label(painter, QPoint(b.left() + 8, 8), right, false);
        }
    }
    void mousePressEvent(QMouseEvent* event) override { Drag(event); }
    void mouseMoveEvent(QMouseEvent* event) override { Drag(event); }

private:
    static void Label(QPainter& painter, QPoint at, const QString& text, bool rightAligned) {
        const QRect box = painter.fontMetrics().boundingRect(text).adjusted(-4, -2, 4, 2);
        QRect r(at, box.size());
        if (rightAligned) r.moveRight(at.x());
        painter.fillRect(r, QColor(0, 0, 0, 160));
        painter.setPen(Qt::white);
        painter.drawText(r, Qt::AlignCenter, text);
    }
    void Drag(QMouseEvent* event) {
        if (!Split() || !(event->buttons() & Qt::LeftButton) || width() <= 0) return;
        form_->split_ = std::clamp(event->position().x() / width(), 0.0, 1.0);
        update();
    }

    TScreenForm* form_;
};

TScreenForm::TScreenForm(QWidget* parent, const TSpectrumStore& store, const TBitmap24& picture,
                         std::function<TViewPlace()> place)
    : QWidget(parent, Qt::Tool), store_(store), picture_(picture), place_(std::move(place)) {
    setObjectName("ScreenForm");
    pane_ = new TPane(this);
    pane_->setObjectName("ScreenPreview");
    StrengthSlider = new QSlider(Qt::Horizontal, this);
    StrengthSlider->setObjectName("StrengthSlider");
    StrengthSlider->setRange(SliderOf(kMinStrength), SliderOf(kMaxStrength));
    StrengthBox = new QDoubleSpinBox(this);
    StrengthBox->setObjectName("StrengthBox");
    StrengthBox->setRange(kMinStrength, kMaxStrength);
    StrengthBox->setDecimals(2);
    StrengthBox->setSingleStep(0.05);
    ModeBox = new QComboBox(this);
    ModeBox->setObjectName("ModeBox");
    ModeBox->addItems({QString(), QString()});
    // Its texts change with the language: "Nebeneinander" needs more room
    // than "Side by side".
    ModeBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    PreviewText = new QLabel(this);
    PreviewText->setObjectName("PreviewText");
    ApplyButton = new QPushButton(this);
    ApplyButton->setObjectName("ApplyButton");
    ApplyButton->setDefault(true);
    CancelButton = new QPushButton(this);
    CancelButton->setObjectName("CancelButton");
    strengthLabel_ = new QLabel(this);

    auto* controls = new QHBoxLayout;
    controls->addWidget(strengthLabel_);
    controls->addWidget(StrengthSlider, 1);
    controls->addWidget(StrengthBox);
    controls->addSpacing(12);
    controls->addWidget(ModeBox);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(PreviewText, 1);
    buttons->addWidget(ApplyButton);
    buttons->addWidget(CancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(pane_, 1);
    layout->addLayout(buttons);
    resize(860, 560);

    refresh_ = new QTimer(this);
    refresh_->setSingleShot(true);
    refresh_->setInterval(60);
    connect(refresh_, &QTimer::timeout, this, [this] { Refresh(); });
    connect(StrengthSlider, &QSlider::valueChanged, this, [this](int position) {
        const QSignalBlocker quiet(StrengthBox);
        StrengthBox->setValue(StrengthOf(position));
        Request(false);
    });
    connect(StrengthBox, &QDoubleSpinBox::valueChanged, this, [this](double value) {
        const QSignalBlocker quiet(StrengthSlider);
        StrengthSlider->setValue(SliderOf(value));
        Request(false);
    });
    connect(ModeBox, &QComboBox::currentIndexChanged, this, [this] { ViewMoved(); });
    connect(ApplyButton, &QPushButton::clicked, this, [this] {
        const double strength = Strength();
        hide();
        emit applyRequested(strength);
    });
    connect(CancelButton, &QPushButton::clicked, this, [this] { hide(); });
    SetStrength(1.0);
    SetLanguage(lgGerman);
}

TScreenForm::~TScreenForm() = default;

void TScreenForm::Begin() {
    region_ = {};
    shownRegion_ = {};
    haveResult_ = false;
    original_ = QImage();
    originalScaled_ = QImage();
    cleanedScaled_ = QImage();
    cleaned_ = TBitmap24();
    foundEntries_ = 0;
    show();
    raise();
    Refresh();
}

void TScreenForm::ViewMoved() {
    if (isVisible()) refresh_->start();
}

double TScreenForm::Strength() const {
    return StrengthBox->value();
}

void TScreenForm::SetStrength(double strength) {
    StrengthBox->setValue(std::clamp(strength, kMinStrength, kMaxStrength));
}

bool TScreenForm::PreviewPending() const {
    return isVisible() && (refresh_->isActive() || shownGeneration_ != generation_);
}

QString TScreenForm::Text(const char* german) const {
    return QString::fromStdString(InterfaceText(language_, german));
}

void TScreenForm::SetLanguage(int32_t language) {
    language_ = language;
    setWindowTitle(Text("Raster entfernen"));
    strengthLabel_->setText(Text("St\u00e4rke"));
    const QString tip = Text("Ab 1 findet die Suche schw\u00e4chere Spitzen und d\u00e4mpft "
                             "breiter, darunter umgekehrt (0,25 bis 4)");
    StrengthSlider->setToolTip(tip);
    StrengthBox->setToolTip(tip);
    // The strength is typed the way the interface language writes numbers:
    // "1,5" in German, "1.5" in English.
    StrengthBox->setLocale(QLocale(language_ == lgGerman ? QLocale::German : QLocale::English));
    ModeBox->setItemText(0, Text("Nebeneinander"));
    ModeBox->setItemText(1, Text("Geteilt"));
    ApplyButton->setText(Text("Anwenden"));
    CancelButton->setText(Text("Abbrechen"));
    ShowText();
    pane_->update();
}

void TScreenForm::Refresh() {
    if (!isVisible() || store_.Empty() || picture_.Width != store_.Cols ||
        picture_.Height != store_.Rows)
        return;
    TViewPlace place = place_();
    const QSize area = pane_->AreaSize().expandedTo(QSize(1, 1));
    // Zoomed out so far that the preview would show more than its region can
    // hold, it shows at the zoom where it fits.
    place.Zoom = std::max(place.Zoom, double(std::max(area.width(), area.height())) / kMaxCells);
    const auto need = [&](int pixels, int32_t cells) {
        return std::min(cells, int32_t(std::ceil(pixels / place.Zoom)) + 2);
    };
    const int32_t wantCols = need(area.width(), store_.Cols);
    const int32_t wantRows = need(area.height(), store_.Rows);
    const auto start = [](double centre, int32_t size, int32_t total) {
        return std::clamp(int32_t(std::floor(centre - size / 2.0)), 0, total - size);
    };
    const TPreviewRegion want{start(place.Centre.x(), wantCols, store_.Cols),
                              start(place.Centre.y(), wantRows, store_.Rows), wantCols, wantRows};
    shownPlace_ = place;
    const bool covered = region_.Cols > 0 && want.Left >= region_.Left && want.Top >= region_.Top &&
                         want.Left + want.Cols <= region_.Left + region_.Cols &&
                         want.Top + want.Rows <= region_.Top + region_.Rows;
    if (!covered) {
        const int32_t cols = std::min(store_.Cols, std::clamp(wantCols, kMinCells, kMaxCells));
        const int32_t rows = std::min(store_.Rows, std::clamp(wantRows, kMinCells, kMaxCells));
        region_ = {start(place.Centre.x(), cols, store_.Cols),
                   start(place.Centre.y(), rows, store_.Rows), cols, rows};
        Request(true);
    }
    ScaleImages();
    pane_->update();
}

void TScreenForm::Request(bool newRegion) {
    if (!isVisible() || region_.Cols <= 0) return;
    if (!worker_) worker_ = std::make_unique<TWorker>(this);
    std::optional<TSpectrumStore> copy;
    if (newRegion) copy = CopyStoreRegion(store_, region_);
    worker_->Post(std::move(copy), region_, Strength(), ++generation_);
    ShowText();
}

void TScreenForm::ShowResult(uint64_t generation, TPreviewRegion region,
                             TDescreenPreview::TResult result) {
    // A stale result still shows what the window has, until the next comes.
    if (generation < shownGeneration_ || !isVisible()) return;
    shownGeneration_ = generation;
    shownRegion_ = region;
    const QImage whole(picture_.Bytes.data(), picture_.Width, picture_.Height,
                       qsizetype(picture_.RowBytes()), QImage::Format_BGR888);
    original_ = whole.copy(region.Left, region.Top, region.Cols, region.Rows);
    cleaned_ = std::move(result.Picture);
    foundEntries_ = result.Entries;
    haveResult_ = true;
    scaledZoom_ = 0.0;
    ScaleImages();
    ShowText();
    pane_->update();
    emit previewShown();
}

void TScreenForm::ScaleImages() {
    if (!haveResult_ || scaledZoom_ == shownPlace_.Zoom) return;
    scaledZoom_ = shownPlace_.Zoom;
    const QImage cleaned(cleaned_.Bytes.data(), cleaned_.Width, cleaned_.Height,
                         qsizetype(cleaned_.RowBytes()), QImage::Format_BGR888);
    const QSize size(std::max(1, int(std::lround(original_.width() * scaledZoom_))),
                     std::max(1, int(std::lround(original_.height() * scaledZoom_))));
    // Shrunk, each pixel is the mean of its cells, so that the screen does
    // not fold into false patterns; enlarged, each cell a square.
    const Qt::TransformationMode mode =
        scaledZoom_ < 1.0 ? Qt::SmoothTransformation : Qt::FastTransformation;
    originalScaled_ =
        scaledZoom_ == 1.0 ? original_ : original_.scaled(size, Qt::IgnoreAspectRatio, mode);
    cleanedScaled_ =
        scaledZoom_ == 1.0 ? cleaned.copy() : cleaned.scaled(size, Qt::IgnoreAspectRatio, mode);
}

void TScreenForm::ShowText() {
    QString text;
    if (shownGeneration_ != generation_ || !haveResult_)
        text = Text("Vorschau wird berechnet \u2026");
    else if (foundEntries_ == 0)
        text = Text("Kein Raster gefunden");
    else
        text = foundEntries_ == 1 ? Text("Raster gefunden: 1 Eintrag")
                                  : Text("Raster gefunden: %1 Eintr\u00e4ge").arg(foundEntries_);
    const double wanted = place_ ? place_().Zoom : 1.0;
    if (haveResult_ && shownPlace_.Zoom > wanted * 1.001)
        text += "  \u2013  " + Text("Vorschau bei %1 %").arg(std::lround(shownPlace_.Zoom * 100));
    PreviewText->setText(text);
}

void TScreenForm::closeEvent(QCloseEvent* event) {
    event->accept();
    hide();
}

void TScreenForm::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // A computation for a window no one looks at is wasted.
    worker_.reset();
    shownGeneration_ = generation_;
    emit ended();
}

void TScreenForm::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
