// The window program: sets the application title, creates the eight windows
// in their fixed order (only the main window is shown) and runs the event
// loop. An image file named on the command line is opened, and a filter
// file named with it loaded, as soon as the window is up.

#include "app/application.h"
#include "app/file_drop.h"
#include "app/main_form.h"
#include "app/user_dialogs.h"
#include "filter/batch_form.h"
#include "filter/filter_list_form.h"
#include "filter/zoom_form.h"
#include "help/about_form.h"
#include "help/help_form.h"
#include "help/version_info_form.h"
#include "spectral/resize_form.h"
#include "spectral/store.h"

#include <QStringList>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char* const kUsage =
    "usage: pixmend [IMAGE [FILTER.flt]]\n"
    "\n"
    "Removes halftone screens from scanned pictures in the frequency domain.\n"
    "Opens IMAGE (.bmp, .jpg, .jpeg, .png, .tif, .tiff) and loads FILTER.flt as the filter.\n"
    "\n"
    "  -h, --help     show this text\n"
    "  -v, --version  show the version\n"
    "\n"
    "The command-line tool pixmend-cli does the same work without a window.\n";

// Answers --help and --version before any window system is needed; false
// when the program should start.
bool AnsweredWithoutWindow(int argc, char** argv, int& status) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--") == 0) break;
        if (std::strcmp(a, "-h") == 0 || std::strcmp(a, "--help") == 0) {
            std::fputs(kUsage, stdout);
            status = 0;
            return true;
        }
        if (std::strcmp(a, "-v") == 0 || std::strcmp(a, "--version") == 0) {
            std::printf("pixmend %s\n", PIXMEND_VERSION);
            status = 0;
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    if (int status = 0; AnsweredWithoutWindow(argc, argv, status)) return status;
    TUserDialogs dialogs;
    TPixmendApplication app(argc, argv, dialogs);
    QApplication::setApplicationName("Pixmend");
    // The program ends with its main window (Quit or the close box), not
    // when the last of its windows happens to close.
    QApplication::setQuitOnLastWindowClosed(false);

    // The one spectrum store of the run.
    static TSpectrumStore store;

    auto form1 = std::make_unique<TForm1>(store, dialogs);
    form1->QuitApplication = [] { QApplication::quit(); };
    auto formZoom = std::make_unique<TFormZoom>();
    auto formHelp = std::make_unique<TFormHelp>();
    auto formProtokol = std::make_unique<TFormProtokol>();
    auto formBatch = std::make_unique<TFormBatch>();
    auto formAbout = std::make_unique<TFormAbout>();
    auto versionInfoForm = std::make_unique<TVersionInfoForm>();
    auto fResize = std::make_unique<TFResize>();
    form1->SetOtherWindows({formZoom.get(), formHelp.get(), formProtokol.get(), formBatch.get(),
                            formAbout.get(), versionInfoForm.get(), fResize.get()});

    new TFileDrop(*form1);

    form1->show();
    // Keys work at once, also where no window manager hands out the focus.
    form1->activateWindow();
    // Files named on the command line open once the event loop runs, so the
    // settings and the language are applied and an error box has its window.
    QStringList files = QApplication::arguments().mid(1);
    files.removeAll("--");
    if (!files.isEmpty())
        QTimer::singleShot(0, form1.get(), [&form1, files] { OpenFiles(*form1, files); });
    const int result = app.exec();
    // The main window goes first: destroying it writes the settings (after
    // Quit) while every other window still exists.
    form1.reset();
    return result;
}
