// The main window's error report: every command runs through RunCommand, and
// an error it raises ends here. The engine's errors carry their German
// message texts (the command-line tool and the tests rely on them); the box
// shows them in the interface language, names the file a load or save was
// working on when the message does not already, and explains a codec's
// message number in words. Whatever status text the failed step had set no
// longer holds, so the status bar goes back to ready.

#include "app/main_form.h"
#include "app/main_form_private.h"

#include "app/user_dialogs.h"
#include "shell/interface_texts.h"

#include <QDir>
#include <QLabel>

#include <cstdio>
#include <exception>
#include <new>
#include <string>

#include <jpeglib.h>

namespace {

// The codec's own words for its message number, without the numbers it
// would have filled in ("Not a JPEG file: starts with 0x%02x 0x%02x" gives
// "Not a JPEG file"); empty for a number it does not know.
std::string CodecWords(int code) {
    jpeg_error_mgr table{};
    jpeg_std_error(&table);
    if (code <= 0 || code > table.last_jpeg_message || !table.jpeg_message_table[code]) return {};
    std::string text = table.jpeg_message_table[code];
    const size_t parameter = text.find('%');
    if (parameter != std::string::npos) {
        const size_t colon = text.rfind(':', parameter);
        const size_t word = text.rfind(' ', parameter);
        text.resize(colon != std::string::npos ? colon : (word != std::string::npos ? word : 0));
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == ',' || text.back() == ':'))
        text.pop_back();
    return text;
}

// The codec's message number in a "JPEG-Fehler #n" message, or -1.
int CodecNumber(const std::string& message) {
    static const std::string prefix = "JPEG-Fehler #";
    if (message.rfind(prefix, 0) != 0) return -1;
    try {
        return std::stoi(message.substr(prefix.size()));
    } catch (const std::exception&) {
        return -1;
    }
}

} // namespace

void TForm1::RunCommand(const std::function<void()>& work) {
    d->FailedFile.clear();
    try {
        work();
    } catch (const std::bad_alloc&) {
        ReportError("Zu wenig Arbeitsspeicher");
    } catch (const std::exception& error) {
        ReportError(error.what());
    }
}

void TForm1::ReportError(const std::string& message) {
    ShowStatus(LangText("standby"), 0);
    ClearPercent();
    const int32_t language = d->LanguageState.Language;
    QString text = QString::fromStdString(MessageText(language, message));
    if (const int code = CodecNumber(message); code >= 0) {
        const std::string words = CodecWords(code);
        if (language == 2 && !words.empty())
            text += ": " + QString::fromStdString(words);
        else
            text += "\n" + Tr("Die JPEG-Daten sind besch\u00e4digt oder unvollst\u00e4ndig.");
    }
    const QString file = QDir::toNativeSeparators(d->FailedFile);
    if (!file.isEmpty() && !QString::fromStdString(message).contains(d->FailedFile))
        text = file + "\n\n" + text;
    d->FailedFile.clear();
    dialogs_.ShowError(this, text);
}
