// The window program: sets the application title, creates the eight windows
// in their fixed order (only the main window is shown) and runs the event
// loop. It takes no arguments.

#include "app/application_form.h"
#include "app/main_form.h"
#include "app/user_dialogs_form.h"
#include "filter/batch_form.h"
#include "filter/filter_list_form.h"
#include "filter/zoom_form.h"
#include "help/about_form.h"
#include "help/help_form.h"
#include "help/version_info_form.h"
#include "spectral/resize_form.h"
#include "spectral/store.h"

#include <memory>

int main(int argc, char** argv) {
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
    form1->SetOtherWindows({formZoom.get(), formHelp.get(), formProtokol.get(), formBatch.get(), formAbout.get(),
                            versionInfoForm.get(), fResize.get()});

    form1->show();
    // Keys work at once, also where no window manager hands out the focus.
    form1->activateWindow();
    const int result = app.exec();
    // The main window goes first: destroying it writes the settings (after
    // Quit) while every other window still exists.
    form1.reset();
    return result;
}
