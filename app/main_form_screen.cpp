// Find screen: the screen finder on the spectrum shown. What it finds is
// applied at once and recorded in the filter list as one undo step, so the
// user sees the damped spots in the spectrum, can look at the entries, save
// them as a filter or take them back with one Undo. The dampings adapt to
// the values, so unlike smoothings they cannot be reversed from their
// entries: the step keeps the planes as they were.

#include "app/main_form.h"
#include "app/main_form_busy.h"
#include "app/main_form_private.h"
#include "filter/apply_filter.h"
#include "filter/descreen.h"
#include "filter/filter_list_form.h"
#include "help/help_topics.h"

#include <QScopedValueRollback>
#include <QToolButton>

#include <algorithm>
#include <cstddef>

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
    if (d->CommandState != csSpectrum || !d->Windows.FormProtokol) return;
    TBusyCursor busy;
    ReplaceLastFindScreen();
    ShowStatus(Tr("Raster suchen \u2026"), 0);
    const TFilterList found = DetectScreen(Store);
    if (found.Empty()) {
        ShowStatus(Tr("Kein Raster gefunden"), 0);
        return;
    }
    TPlanes before{Store.Planes[0], Store.Planes[1], Store.Planes[2]};
    ApplyFilterEntries(Store, found, *this);
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
    ShowStatus(Tr("Raster gefunden und ged\u00e4mpft: %1 Eintr\u00e4ge").arg(found.EntryCount()),
               0);
}
