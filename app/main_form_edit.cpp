// Editing aids of the main window: undo by user action rather than by filter
// line, and the comparison of the filtered picture with the picture as it
// was loaded.
//
// A mirrored smoothing records two filter lines (the file format has one line
// per region), but the user did one thing; UndoSteps remembers how many
// lines each action on the spectrum shown recorded, so Undo takes back
// exactly one action. Lines that came from elsewhere (a filter file, the
// list's Delete button, an earlier spectrum) were never applied to this
// spectrum and are not undone: multiplying them in would raise the region
// instead of restoring it.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/image_view.h"
#include "filter/filter_list_form.h"

#include <QScrollArea>
#include <QToolButton>

#include <utility>

void TForm1::FilterListChanged() {
    if (d->OwnListChange || d->UndoSteps.empty()) return;
    d->UndoSteps.clear();
    d->ScreenUndo.clear();
    SetCommandState(3);
}

void TForm1::ShowBeforeFilter(bool before) {
    if (before == d->Comparing) return;
    if (before && (!d->BeforeFilter || d->CommandState != 1)) {
        ToolCompare->setChecked(false);
        return;
    }
    // Swapping keeps both pictures without a copy; the view keeps its place,
    // so the same part of the picture stays under the user's eyes.
    std::swap(Image1->Picture, *d->BeforeFilter);
    d->Comparing = before;
    if (Image1->size() != QSize(Image1->Picture.Width, Image1->Picture.Height)) {
        Image1->resize(Image1->Picture.Width, Image1->Picture.Height);
        FitScrollArea();
    }
    Image1->PictureChanged();
    ToolCompare->setChecked(before);
    ShowStatus(Tr(before ? "Original" : "Gefiltert"), 0);
}

void TForm1::ToolCompareClick(QObject* sender) {
    const bool wanted = ToolCompare->isChecked();
    if (d->HelpMode) {
        ToolCompare->setChecked(d->Comparing);
        ShowElementHelp(sender);
        return;
    }
    if (!ToolCompare->isEnabled()) return;
    // The key flips as the button does.
    ShowBeforeFilter(sender == ToolCompare ? wanted : !d->Comparing);
}
