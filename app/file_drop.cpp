#include "app/file_drop.h"

#include "app/main_form.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QToolButton>
#include <QUrl>

namespace {

bool IsFilterFile(const QString& name) {
    return QFileInfo(name).suffix().compare("flt", Qt::CaseInsensitive) == 0;
}

QStringList LocalFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

} // namespace

TFilesToOpen ChooseFilesToOpen(const QStringList& files) {
    TFilesToOpen chosen;
    for (const QString& f : files) {
        QString& slot = IsFilterFile(f) ? chosen.Filter : chosen.Image;
        if (slot.isEmpty()) slot = f;
    }
    return chosen;
}

namespace {

// The enabled steps of Open image and Open filter: nothing replaces the
// spectrum while it is shown, or the image during a batch run.
bool CanOpenImage(const TForm1& form, const TFilesToOpen& chosen) {
    return !chosen.Image.isEmpty() && form.ToolOpen->isEnabled();
}
bool CanOpenFilter(const TForm1& form, const TFilesToOpen& chosen) {
    return !chosen.Filter.isEmpty() && form.ToolLoadFilter->isEnabled();
}

} // namespace

void OpenFiles(TForm1& form, const QStringList& files) {
    const TFilesToOpen chosen = ChooseFilesToOpen(files);
    // A big picture loads in an event loop of its own, during which the
    // window may be destroyed: the filter then has nowhere to go.
    const QPointer<TForm1> alive(&form);
    if (CanOpenImage(form, chosen)) form.RunCommand([&] { form.OpenImage(chosen.Image); });
    if (alive && CanOpenFilter(form, chosen))
        form.RunCommand([&] { form.OpenFilterFile(chosen.Filter); });
}

TFileDrop::TFileDrop(TForm1& form) : QObject(&form), form_(form) {
    form.setAcceptDrops(true);
    form.installEventFilter(this);
}

bool TFileDrop::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        // The pointer shows at once whether the window would take the files.
        auto* drag = static_cast<QDragMoveEvent*>(event);
        const TFilesToOpen chosen = ChooseFilesToOpen(LocalFiles(drag->mimeData()));
        if (CanOpenImage(form_, chosen) || CanOpenFilter(form_, chosen))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = LocalFiles(drop->mimeData());
        if (files.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->acceptProposedAction();
        QMetaObject::invokeMethod(
            &form_, [form = &form_, files] { OpenFiles(*form, files); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
