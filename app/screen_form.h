#pragma once
// The screen window: Find screen on the picture shown. A strength control
// (0.25 to 4, as the command-line tool takes it, 1 at first) and a preview of
// the cleaned picture beside the original or split with it, at the main
// view's zoom around the middle of what the view shows. The preview is made
// on a worker thread from a copy of a region of the picture, the region
// transformed once and each strength costing only the search, the damping
// and the way back; a change of strength cancels the computation it makes
// stale. The window never touches the store or the filter: Apply hands the
// strength to the main window, Cancel, Escape and the close box leave
// everything as it was.

#include "filter/descreen_preview.h"
#include "shell/language_tables.h"
#include "spectral/bitmap.h"
#include "spectral/store.h"

#include <QImage>
#include <QPointF>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QSlider;
class QTimer;

// Where the main view looks: the cell in the middle of what it shows, and
// its zoom (screen pixels per cell).
struct TViewPlace {
    QPointF Centre;
    double Zoom = 1.0;
};

class TScreenForm final : public QWidget {
    Q_OBJECT
public:
    // store and picture: the main window's store (holding the picture) and
    // the bitmap it shows, read on the window's thread only; place: where its
    // view looks. All must outlive the window.
    TScreenForm(QWidget* parent, const TSpectrumStore& store, const TBitmap24& picture,
                std::function<TViewPlace()> place);
    ~TScreenForm() override;

    // Shows the window for the picture as it is now and starts its preview.
    void Begin();
    // The main view scrolled or zoomed: the preview follows.
    void ViewMoved();
    void SetLanguage(int32_t language);

    double Strength() const;
    void SetStrength(double strength);

    // The preview last shown: the region of the picture it covers, the
    // region cleaned, and how many entries the search found there.
    TPreviewRegion CleanedRegion() const { return shownRegion_; }
    const TBitmap24& Cleaned() const { return cleaned_; }
    size_t FoundEntries() const { return foundEntries_; }
    // Whether a computation is still to come for what the window shows.
    bool PreviewPending() const;

    QSlider* StrengthSlider = nullptr;
    QDoubleSpinBox* StrengthBox = nullptr;
    QComboBox* ModeBox = nullptr; // 0 side by side, 1 split
    QLabel* PreviewText = nullptr;
    QPushButton* ApplyButton = nullptr;
    QPushButton* CancelButton = nullptr;

signals:
    void applyRequested(double strength);
    // The window was hidden, by Apply, Cancel or the close box.
    void ended();
    // A new preview is shown.
    void previewShown();

protected:
    void closeEvent(QCloseEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    class TPane;
    struct TWorker;
    friend class TPane;

    // The region the preview needs now; a new copy only when the one it has
    // does not cover it.
    void Refresh();
    void Request(bool newRegion);
    void ShowResult(uint64_t generation, TPreviewRegion region, TDescreenPreview::TResult result);
    void ShowText();
    void ScaleImages();
    QString Text(const char* german) const;

    const TSpectrumStore& store_;
    const TBitmap24& picture_;
    std::function<TViewPlace()> place_;
    std::unique_ptr<TWorker> worker_;
    TPane* pane_ = nullptr;
    QLabel* strengthLabel_ = nullptr;
    QTimer* refresh_ = nullptr;
    int32_t language_ = lgGerman;

    // What the pane shows: the view's place at the preview's zoom, the
    // original region and the cleaned one, scaled to that zoom.
    TViewPlace shownPlace_;
    TPreviewRegion region_; // the region last handed to the worker
    TPreviewRegion shownRegion_;
    QImage original_;
    TBitmap24 cleaned_;
    QImage originalScaled_;
    QImage cleanedScaled_;
    double scaledZoom_ = 0.0;
    size_t foundEntries_ = 0;
    bool haveResult_ = false;
    uint64_t generation_ = 0;
    uint64_t shownGeneration_ = 0;
    double split_ = 0.5;
};
