// The main window's spectrum work: the spectrum view and its contrast
// slider, smoothing and its undo, and the Resize command.
// The computations are the engine's; here they are wired to the controls,
// the status bar and the filter list.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "app/main_form_busy.h"
#include "app/shape_mark.h"
#include "filter/filter_list_form.h"
#include "filter/mark.h"
#include "filter/smoothing.h"
#include "spectral/display.h"
#include "spectral/resize.h"
#include "spectral/resize_form.h"
#include "spectral/transform.h"

#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <algorithm>

void TForm1::Phase(const std::string& key) {
    ShowStatus(LangText(key), 0);
}

void TForm1::Percent(double percent) {
    ShowStatus(QString::fromStdString(LangTextFormat(d->LanguageState, "erledigt", percent)), 1);
}

void TForm1::ClearPercent() {
    ShowStatus(QString(), 1);
}

void TForm1::DrawStore() {
    DrawStoreRegion(0, Store.Cols - 1, 0, Store.Rows - 1);
}

void TForm1::DrawStoreRegion(int32_t x1, int32_t x2, int32_t y1, int32_t y2) {
    // Nobody looks at the spectrum of a batch run; its images are shown.
    if (d->BatchRunning && d->CommandState != csImage) return;
    if (Image1->Picture.Width != Store.Cols || Image1->Picture.Height != Store.Rows) {
        // A resize gave the store a new size: the bitmap and the view follow.
        Image1->Picture = TBitmap24(Store.Cols, Store.Rows);
        FitScrollArea();
        x1 = 0;
        x2 = Store.Cols - 1;
        y1 = 0;
        y2 = Store.Rows - 1;
    }
    // A page's spectrum is tens of millions of cells, and each cell's pixel
    // depends on that cell alone: the view draws it by bands of rows, those in
    // sight first, over as many turns of the event loop as it takes.
    const bool imageShown = d->CommandState == csImage;
    const int32_t contrast = TrackKontrast->value();
    const QRect cells(QPoint(std::max(0, x1), std::max(0, y1)),
                      QPoint(std::min(x2, Store.Cols - 1), std::min(y2, Store.Rows - 1)));
    if (cells.isEmpty()) {
        Image1->PictureChanged();
        return;
    }
    Image1->DrawLater(cells, [this, imageShown, contrast, x1 = cells.left(),
                              x2 = cells.right()](int32_t top, int32_t bottom) {
        RenderStoreRegion(Store, imageShown, contrast, x1, x2, top, bottom, Image1->Picture);
    });
}

void TForm1::TrackKontrastChange(QObject* sender) {
    if (!PassesGuard(TCommand::Contrast, sender)) return;
    // A running transform is writing the store.
    if (d->CommandState == csSpectrum && !d->Transform) DrawStore();
}

void TForm1::SmoothAndRecord(int32_t kind, float x1, float x2, float y1, float y2) {
    const int32_t W = Store.Cols, H = Store.Rows;
    const int32_t c1 = CellBound(W, x1), c2 = CellBound(W, x2);
    const int32_t r1 = CellBound(H, y1), r2 = CellBound(H, y2);
    SmoothRegion(Store, c1, c2, r1, r2, kind != kFilterRectangle, TSmoothDirection::Smooth);
    DrawStoreRegion(c1, c2, r1, r2);
    AddFilterEntry(kind, x1, x2, y1, y2);
}

void TForm1::ToolStempelClick(QObject* sender) {
    if (!PassesGuard(TCommand::SmoothArea, sender)) return;
    // Smoothing an image instead of its spectrum would be plain damage.
    if (d->CommandState != csSpectrum || Store.Cols <= 0 || Store.Rows <= 0) return;
    if (!Shape->Placed()) {
        ShowStatus(Tr("Erst einen Bereich auf dem Spektrum markieren"), 0);
        return;
    }
    TMarkRect mark = Shape->Mark();
    NormaliseMark(mark);
    Shape->SetMark(mark);
    const TNormalisedRegion region = MarkRegion(mark, Store.Cols, Store.Rows);
    const int32_t kind =
        Shape->Kind() == TShapeMark::TKind::Ellipse ? kFilterEllipse : kFilterRectangle;
    const size_t before = d->Windows.FormProtokol ? d->Windows.FormProtokol->EntryCount() : 0;
    {
        const QScopedValueRollback own(d->OwnListChange, true);
        SmoothAndRecord(kind, region.x1, region.x2, region.y1, region.y2);
        if (ToolMirror->isChecked()) {
            const TNormalisedRegion mirrored = MirroredRegion(region);
            SmoothAndRecord(kind, mirrored.x1, mirrored.x2, mirrored.y1, mirrored.y2);
        }
    }
    const size_t after = d->Windows.FormProtokol ? d->Windows.FormProtokol->EntryCount() : 0;
    if (after > before) {
        const auto& lines = d->Windows.FormProtokol->List().Lines();
        d->Undo.Record({lines.begin() + std::ptrdiff_t(before), lines.end()});
    }
    SetCommandState(csFilterEvent);
}

void TForm1::ToolundoClick(QObject* sender) {
    if (!PassesGuard(TCommand::Undo, sender)) return;
    if (!d->Windows.FormProtokol) return;
    // A new filter is taken back whatever is shown, everything else only on
    // the spectrum or the picture it was done to.
    const std::string* newFilter = d->Undo.NewFilterToUndo();
    const bool picture = d->CommandState == csImage && d->Undo.PictureToUndo();
    if (!newFilter && !picture && d->CommandState != csSpectrum) return;
    const QString filterFile = newFilter ? QString::fromStdString(*newFilter) : d->FilterFile;
    TFormLines lines(*d->Windows.FormProtokol);
    {
        const QScopedValueRollback own(d->OwnListChange, true);
        if (!d->Undo.Undo(Store, lines)) return;
    }
    d->FilterFile = filterFile;
    if (newFilter) {
        SetCommandState(csFilterEvent);
        return;
    }
    DrawStore();
    SetCommandState(csFilterEvent);
}

void TForm1::ToolRedoClick(QObject* sender) {
    if (!PassesGuard(TCommand::Redo, sender)) return;
    if (!d->Windows.FormProtokol) return;
    const bool newFilter = d->Undo.NewFilterToRedo() != nullptr;
    const bool picture = d->CommandState == csImage && d->Undo.PictureToRedo();
    if (!newFilter && !picture && d->CommandState != csSpectrum) return;
    if (newFilter) {
        TFormLines lines(*d->Windows.FormProtokol);
        const QScopedValueRollback own(d->OwnListChange, true);
        d->Undo.Redo(Store, lines, *this);
        d->FilterFile.clear();
        SetCommandState(csFilterEvent);
        return;
    }
    TFormLines lines(*d->Windows.FormProtokol);
    {
        const QScopedValueRollback own(d->OwnListChange, true);
        TBusyCursor busy;
        if (!d->Undo.Redo(Store, lines, *this)) return;
    }
    DrawStore();
    SetCommandState(csFilterEvent);
}

void TForm1::ToolResizeClick(QObject* sender) {
    if (!PassesGuard(TCommand::Resize, sender)) return;
    // The dialog is only offered on a spectrum; resizing an image's pixels
    // as if they were frequencies would ruin it.
    if (d->CommandState != csSpectrum || !d->Windows.FResize) return;
    if (!d->Windows.FResize->Execute()) return;
    const int32_t value = d->Windows.FResize->Value();
    const int32_t mode = d->Windows.FResize->Mode();
    {
        TBusyCursor busy;
        const TResizeOutcome outcome = ResizeSpectrum(Store, value, mode, *this);
        if (outcome.Changed) DrawStore();
    }
    // Recorded also when the size stayed, so that the filter repeats it.
    {
        const QScopedValueRollback own(d->OwnListChange, true);
        // Recorded first: the entry's event enables Undo for it.
        const int32_t kind = kFilterResizeBase + mode;
        if (const auto line = FormatEntryLine(kind, float(value), 0.0f, 0.0f, 0.0f))
            d->Undo.Record({*line});
        AddFilterEntry(kind, float(value), 0.0f, 0.0f, 0.0f);
    }
}
