// Editing aids of the main window: undo by user action rather than by filter
// line, and the comparison of the filtered picture with the picture as it
// was loaded.
//
// What an undo step is and why lines from elsewhere end the steps is the
// stack's business (filter/undo.h); the window only keeps the filter list's
// rows in step and clears the stack when the list changes under it.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "filter/filter_list_form.h"

#include <QScrollArea>
#include <QToolButton>

#include <utility>

void TForm1::FilterListChanged() {
    ShowWorkState();
    if (d->OwnListChange || d->Undo.UndoCount() + d->Undo.RedoCount() == 0) return;
    d->Undo.Clear();
    SetCommandState(csFilterEvent);
}

void TForm1::ShowBeforeFilter(bool before) {
    if (before == d->Comparing) return;
    if (before && (!d->BeforeFilter || d->CommandState != csImage)) {
        ToolCompare->setChecked(false);
        return;
    }
    Image1->FinishDrawing();
    // The picture shown goes aside as the other comes back; the view keeps
    // its place, so the same part of the picture stays under the user's eyes.
    d->BeforeFilter.SwapWith(Image1->Picture);
    d->Comparing = before;
    Image1->PictureChanged();
    FitScrollArea();
    ToolCompare->setChecked(before);
    ShowStatus(Tr(before ? "Original" : "Gefiltert"), 0);
}

void TForm1::ToolCompareClick(QObject* sender) {
    const bool wanted = ToolCompare->isChecked();
    if (!PassesGuard(TCommand::Compare, sender)) {
        ToolCompare->setChecked(d->Comparing);
        return;
    }
    // The key flips as the button does.
    ShowBeforeFilter(sender == ToolCompare ? wanted : !d->Comparing);
}
