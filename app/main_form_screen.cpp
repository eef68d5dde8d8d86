// Find screen. On the spectrum shown, what the screen finder finds is applied
// at once and recorded in the filter list as one undo step, so the user sees
// the damped spots in the spectrum, can look at the entries, save them as a
// filter or take them back with one Undo. On the picture shown, the screen
// window comes first: a strength and a preview of the cleaned picture; Apply
// transforms, finds and damps the screen and transforms back, so the command
// ends on the cleaned picture, again one undo step. The dampings adapt to the
// values, so unlike smoothings they cannot be reversed from their entries:
// the step keeps the planes as they were.
//
// While the screen window is open the commands that would change the picture
// are blocked, as during a transform: what the preview shows is what Apply
// will work on. Zoom and scrolling go on, and the preview follows them.

#include "app/image_view.h"
#include "app/main_form.h"
#include "app/main_form_busy.h"
#include "app/main_form_private.h"
#include "app/screen_form.h"
#include "app/view_area.h"
#include "filter/apply_filter.h"
#include "filter/descreen.h"
#include "filter/filter_list_form.h"
#include "help/help_topics.h"

#include <QAction>
#include <QScopeGuard>
#include <QScopedValueRollback>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>
#include <cstddef>

QString TForm1::FoundText(size_t entries) const {
    return entries == 1 ? Tr("Raster gefunden und ged\u00e4mpft: 1 Eintrag")
                        : Tr("Raster gefunden und ged\u00e4mpft: %1 Eintr\u00e4ge").arg(entries);
}

void TForm1::ReplaceLastFindScreen() {
    // A second run replaces what the last one recorded instead of adding a
    // second set. Still the last step on this spectrum, it is taken back
    // whole (the dampings with their entries), so the new run starts from
    // the same values; else its entries leave the filter, where they still
    // stand, and the steps below can no longer be taken back one by one.
    TFormProtokol& list = *d->Windows.FormProtokol;
    const std::vector<std::string> last = std::move(d->FindScreenLines);
    d->FindScreenLines.clear();
    const std::vector<std::string>& lines = list.List().Lines();
    const size_t first = d->FindScreenFirst;
    if (last.empty() || first + last.size() > lines.size() ||
        !std::equal(last.begin(), last.end(), lines.begin() + std::ptrdiff_t(first)))
        return;
    const QScopedValueRollback own(d->OwnListChange, true);
    if (first + last.size() == lines.size() && d->Undo.UndoCount() == d->FindScreenUndoCount &&
        d->Undo.RedoCount() == 0) {
        TFormLines filterLines(list);
        d->Undo.Undo(Store, filterLines);
        return;
    }
    for (size_t i = 0; i < last.size(); ++i) list.List().DeleteEntry(first);
    list.Reload();
    d->Undo.Clear();
}

void TForm1::ToolFindScreenClick(QObject* sender) {
    if (!PassesGuard(TCommand::FindScreen, sender)) return;
    if (d->CommandState == csImage) {
        OpenScreenForm();
        return;
    }
    if (d->CommandState != csSpectrum || !d->Windows.FormProtokol) return;
    TBusyCursor busy;
    ReplaceLastFindScreen();
    ShowStatus(Tr("Raster suchen \u2026"), 0);
    // Finding does not change the planes, and damping follows it at once on
    // what finding measured.
    TPlanes before{Store.Planes[0], Store.Planes[1], Store.Planes[2]};
    const TFilterList found = DescreenSpectrum(Store, *this);
    if (found.Empty()) {
        ShowStatus(Tr("Kein Raster gefunden"), 0);
        return;
    }
    {
        const QScopedValueRollback own(d->OwnListChange, true);
        d->FindScreenFirst = d->Windows.FormProtokol->EntryCount();
        for (const std::string& line : found.Lines()) d->Windows.FormProtokol->AppendLine(line);
        d->Undo.Record(found.Lines(), std::move(before));
        d->FindScreenLines = found.Lines();
        d->FindScreenUndoCount = d->Undo.UndoCount();
    }
    SetCommandState(csFilterEvent);
    DrawStore();
    ShowStatus(FoundText(found.EntryCount()), 0);
}

TScreenForm* TForm1::ScreenForm() const {
    return d->ScreenForm;
}

void TForm1::OpenScreenForm() {
    if (!d->Windows.FormProtokol || Store.Empty()) return;
    if (!d->ScreenForm) {
        const auto place = [this] {
            // The cell in the middle of what the view shows, at its zoom.
            QWidget* port = ScrollBox1->viewport();
            const QPoint middle = Image1->CellAt(Image1->mapFrom(port, port->rect().center()));
            return TViewPlace{QPointF(std::clamp(middle.x(), 0, std::max(0, Store.Cols - 1)),
                                      std::clamp(middle.y(), 0, std::max(0, Store.Rows - 1))),
                              Image1->Zoom().Factor()};
        };
        d->ScreenForm = new TScreenForm(this, Store, Image1->Picture, place);
        connect(d->ScreenForm, &TScreenForm::ended, this, [this] { EndScreenForm(); });
        connect(d->ScreenForm, &TScreenForm::applyRequested, this, [this](double strength) {
            RunCommand([this, strength] { FindScreenOnPicture(strength); });
        });
        for (QScrollBar* bar : {ScrollBox1->horizontalScrollBar(), ScrollBox1->verticalScrollBar()})
            connect(bar, &QScrollBar::valueChanged, d->ScreenForm, &TScreenForm::ViewMoved);
        connect(Image1, &TImageView::zoomChanged, d->ScreenForm, &TScreenForm::ViewMoved);
    }
    d->ScreenForm->SetLanguage(d->LanguageState.Language);
    PlaceBeside(d->ScreenForm);
    d->ScreenPreviewOpen = true;
    SetCommandState(uint8_t(255)); // no row: blocks the commands that would change the picture
    d->ScreenForm->Begin();
}

void TForm1::EndScreenForm() {
    if (!d->ScreenPreviewOpen) return;
    d->ScreenPreviewOpen = false;
    SetCommandState(d->CommandState);
}

void TForm1::FindScreenOnPicture(double strength) {
    if (d->CommandState != csImage || !d->Windows.FormProtokol || Busy() || Store.Empty()) return;
    TPlanes before{Store.Planes[0], Store.Planes[1], Store.Planes[2]};
    // Whatever stops the run half-way gives the picture back as it was.
    bool windowGone = false, done = false;
    const auto restore = qScopeGuard([&] {
        if (windowGone || done) return;
        for (size_t p = 0; p < 3; ++p) Store.Planes[p] = before[p];
    });
    std::optional<TBitmap24> loaded;
    if (d->PictureAsLoaded) loaded = Image1->Picture;
    const TBitmap24* source = nullptr;
    if (Image1->ImageModified != 1 && Image1->Picture.Width == Store.Cols &&
        Image1->Picture.Height == Store.Rows)
        source = &Image1->Picture;
    TTransformOptions options;
    options.Fast = FastTransform1->isChecked();
    const auto transform = [&](bool forward, const TBitmap24* from) {
        // The planes kept for the undo step give the store back: the
        // transforms need no copy of their own.
        const TTransformEnd end = RunTransform(forward, from, options, TCancelBy::Caller);
        windowGone = end.WindowGone;
        if (end.WindowGone) return false;
        if (end.Cancelled) {
            ShowStatus(Tr("Umwandlung abgebrochen"), 0);
            return false;
        }
        if (end.Error) std::rethrow_exception(end.Error);
        return true;
    };
    if (!transform(true, source)) return;
    ShowStatus(Tr("Raster suchen \u2026"), 0);
    TDescreenOptions descreen;
    descreen.Strength = strength;
    descreen.Transform = options;
    TFilterList found;
    {
        TBusyCursor busy;
        found = DescreenSpectrum(Store, *this, descreen);
    }
    if (found.Empty()) {
        ShowStatus(Tr("Kein Raster gefunden"), 0);
        return;
    }
    if (!transform(false, nullptr)) return;
    done = true;
    if (loaded) {
        d->BeforeFilter = std::move(*loaded);
        d->PictureAsLoaded = false;
    }
    {
        const QScopedValueRollback own(d->OwnListChange, true);
        for (const std::string& line : found.Lines()) d->Windows.FormProtokol->AppendLine(line);
        d->Undo.RecordOnPicture(found.Lines(), std::move(before), options);
    }
    // Baked into the picture, these entries are no longer a run that the
    // next one on a spectrum could replace.
    d->FindScreenLines.clear();
    Image1->ImageModified = 1;
    DrawStore();
    ClearPercent();
    SetCommandState(csFilterEvent);
    ShowStatus(FoundText(found.EntryCount()), 0);
}
