// The main window's error report: every command runs through RunCommand, and
// an error it raises ends here. The engine's errors carry their messages by
// id; the box shows them in the interface language, names the file a load or
// save was working on when the message does not already, and explains a
// codec's message number in words (the codec's own, which the image files
// put into the message). Whatever status text the failed step had set no
// longer holds, so the status bar goes back to ready.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/user_dialogs.h"
#include "shell/interface_texts.h"
#include "shell/language_tables.h"

#include <QDir>
#include <QLabel>
#include <QPointer>

#include <exception>
#include <string>

void TForm1::RunCommand(const std::function<void()>& work) {
    d->FailedFile.clear();
    // A command that waits in an event loop of its own (a big file's load, a
    // transform) may come back to a window destroyed meanwhile: it returns,
    // and nothing of the window may be touched after it.
    const QPointer<TForm1> alive(this);
    try {
        work();
    } catch (const std::exception& error) {
        if (!alive) return;
        ReportError(MessageOf(error));
    }
    // Whatever the command did, the title and the filter panel say what is unsaved.
    if (alive) ShowWorkState();
}

void TForm1::ReportError(const TMessage& message) {
    ShowStatus(LangText("standby"), 0);
    ClearPercent();
    const int32_t language = d->LanguageState.Language;
    QString text = QString::fromStdString(MessageText(language, message));
    if (message.Id == TMessageId::CodecError) {
        const std::string words = message.Args.size() > 1 ? message.Args[1] : std::string();
        if (language == lgEnglish && !words.empty())
            text += ": " + QString::fromStdString(words);
        else
            text += "\n" + QString::fromStdString(
                               MessageText(language, TMessage{TMessageId::JpegDamaged, {}, {}}));
    }
    const QString file = QDir::toNativeSeparators(d->FailedFile);
    if (!file.isEmpty() && !text.contains(d->FailedFile)) text = file + "\n\n" + text;
    d->FailedFile.clear();
    dialogs_.ShowError(this, text);
}
