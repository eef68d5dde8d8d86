#pragma once
// The main window's controls and commands, each written down once. The
// command states (command_state.cpp) expand these lists into the control ids,
// the names, the menu mirroring and the guards; the window (main_form.cpp)
// expands the same rows into its controls, their texts, icons, keys, help
// topics and the connections to the handlers. A new command is one row here
// plus its handler.

// Every control whose enabled state the command states touch or that the
// dispatch tests, named as the window names its field and object:
//   X(field)
// The tool buttons in the order of the tool bars, the contrast slider, then
// the menu items in the order of the menu.
#define PIXMEND_CONTROLS(X)                                                                        \
    X(ToolOpen)                                                                                    \
    X(ToolSave)                                                                                    \
    X(ToolCopy)                                                                                    \
    X(ToolPaste)                                                                                   \
    X(ToolTransform)                                                                               \
    X(Toolundo)                                                                                    \
    X(ToolRec)                                                                                     \
    X(ToolElipse)                                                                                  \
    X(ToolStempel)                                                                                 \
    X(ToolMirror)                                                                                  \
    X(ToolResize)                                                                                  \
    X(ToolZoom)                                                                                    \
    X(ToolHelp)                                                                                    \
    X(Toolapply)                                                                                   \
    X(ToolBatchrun)                                                                                \
    X(ToolFilter)                                                                                  \
    X(ToolLoadFilter)                                                                              \
    X(ToolSaveFilter)                                                                              \
    X(ToolCompare)                                                                                 \
    X(ToolFindScreen)                                                                              \
    X(ToolDe)                                                                                      \
    X(Toolgb)                                                                                      \
    X(TrackKontrast)                                                                               \
    X(Open1)                                                                                       \
    X(Save1)                                                                                       \
    X(Schlieen1)                                                                                   \
    X(Beenden1)                                                                                    \
    X(Copy1)                                                                                       \
    X(Paste1)                                                                                      \
    X(Transform1)                                                                                  \
    X(Bereichgltten1)                                                                              \
    X(FastTransform1)                                                                              \
    X(Undo1)                                                                                       \
    X(Redo1)                                                                                       \
    X(ZoomIn1)                                                                                     \
    X(ZoomOut1)                                                                                    \
    X(FitWindow1)                                                                                  \
    X(ActualSize1)                                                                                 \
    X(Zoom1)                                                                                       \
    X(Rechteck1)                                                                                   \
    X(Kreis1)                                                                                      \
    X(ApplyFilter1)                                                                                \
    X(Batchrun1)                                                                                   \
    X(OpenFilter1)                                                                                 \
    X(SaveFilter1)                                                                                 \
    X(NewFilter1)                                                                                  \
    X(Filteransehen1)                                                                              \
    X(FindScreen1)                                                                                 \
    X(SetWatermark1)                                                                               \
    X(CheckWatermark1)                                                                             \
    X(Contexthelp1)                                                                                \
    X(versioninfo1)                                                                                \
    X(about1)

// The commands, one row each:
//   X(command, tool button, its help topic, menu item, its help topic,
//     handler, guard steps, guard control, busy rule, key, icon,
//     designed hint of the button, designed caption of the menu item,
//     text outside the language tables in German, and in English)
// None where a command has no button, no menu item or no guard control; a
// topic of 0 has no help page (the kTopic constants are those of
// help/help_topics.h). A command with a button and a menu item mirrors
// them: the item is enabled exactly when the button is. The guard steps are
// those of TDispatchSteps; the enabled step tests the guard control. Close
// tests its own menu item, so it acts on the image and on the spectrum alike.
// The busy rule says whether the command may run while a transform or a
// batch run is going on (Blocked: it would change or read what they work on).
// The keys are the command's shortcuts as the key names spell them, the
// first one named in the tooltip. The icon is
// a picture of app/icons by its name, or one the window paints ("painted:").
// The designed hint and caption are the German texts the language tables
// translate by the control's name; commands added since have their texts in
// the last two columns instead, shown as the button's tooltip and the menu
// item's caption. The rows with neither button nor menu item (the slider,
// the picture, the status bar) are connected to their own signals.
#define PIXMEND_COMMANDS(X)                                                                        \
    X(OpenImage, ToolOpen, kTopicToolOpen, Open1, 0, BopenClick, HelpThenEnabled, ToolOpen,        \
      Blocked, "F2;Ctrl+O", "02_open", "Bild öffnen", "Öffnen", "", "")                            \
    X(SaveImage, ToolSave, kTopicSave, Save1, kTopicSave, BsaveClick, HelpThenEnabled, ToolSave,   \
      Blocked, "F3;Ctrl+S;Ctrl+Shift+S", "03_save", "Bild speichern", "Speichern", "", "")         \
    X(CloseImage, None, 0, Schlieen1, 0, Schlieen1Click, HelpThenEnabled, Schlieen1, Blocked,      \
      "F4;Ctrl+W", "", "", "Schließen", "", "")                                                    \
    X(Quit, None, 0, Beenden1, 0, Beenden1Click, HelpOnly, None, Free, "Ctrl+Q", "", "",           \
      "Beenden", "", "")                                                                           \
    X(Copy, ToolCopy, kTopicCopy, Copy1, kTopicCopy, ToolCopyClick, HelpThenEnabled, ToolCopy,     \
      Blocked, "Ctrl+C", "05_copy", "Kopieren in die Zwischenablage", "Kopieren", "", "")          \
    X(Paste, ToolPaste, kTopicPaste, Paste1, kTopicPaste, ToolPasteClick, HelpThenEnabled,         \
      ToolPaste, Blocked, "Ctrl+V", "06_paste", "Einfügen aus der Zwischenablage", "Einfügen", "", \
      "")                                                                                          \
    X(Transform, ToolTransform, kTopicTransform, Transform1, kTopicTransform, ToolTransformClick,  \
      HelpThenEnabled, ToolTransform, Blocked, "F5", "01_transform", "Umwandel", "Umwandeln", "",  \
      "")                                                                                          \
    X(SmoothArea, ToolStempel, kTopicSmooth, Bereichgltten1, 0, ToolStempelClick, HelpOnly, None,  \
      Blocked, "", "13_smoothing", "Glättung anwenden", "Bereich glätten", "", "")                 \
    X(Undo, Toolundo, kTopicUndo, Undo1, kTopicUndo, ToolundoClick, HelpOnly, None, Blocked,       \
      "Ctrl+Z", "10_undo", "Letze Glättung zurücknehmen", "", "Rückgängig", "Undo")                \
    X(Redo, None, 0, Redo1, 0, ToolRedoClick, HelpOnly, None, Blocked, "Ctrl+Shift+Z;Ctrl+Y", "",  \
      "", "", "Wiederholen", "Redo")                                                               \
    X(ZoomIn, None, 0, ZoomIn1, 0, ZoomInClick, HelpThenEnabled, ZoomIn1, Free,                    \
      "Ctrl++;+;Ctrl+=", "", "", "", "Vergrößern", "Zoom in")                                      \
    X(ZoomOut, None, 0, ZoomOut1, 0, ZoomOutClick, HelpThenEnabled, ZoomOut1, Free, "Ctrl+-;-",    \
      "", "", "", "Verkleinern", "Zoom out")                                                       \
    X(FitWindow, None, 0, FitWindow1, 0, FitWindowClick, HelpThenEnabled, FitWindow1, Free,        \
      "Ctrl+0", "", "", "", "An Fenster anpassen", "Fit to window")                                \
    X(ActualSize, None, 0, ActualSize1, 0, ActualSizeClick, HelpThenEnabled, ActualSize1, Free,    \
      "Ctrl+1", "", "", "", "Originalgröße (100 %)", "Actual size (100 %)")                        \
    X(ZoomWindow, ToolZoom, kTopicZoom, Zoom1, 0, ToolZoomClick, EnabledThenHelp, ToolZoom, Free,  \
      "", "04_zoom", "Zoom", "Zoom", "", "")                                                       \
    X(Rectangle, ToolRec, kTopicRectangle, Rechteck1, kTopicRectangle, ToolRecClick, HelpOnly,     \
      None, Blocked, "", "11_rectangle", "mit Rechteck glätten", "Rechteck", "", "")               \
    X(Ellipse, ToolElipse, kTopicEllipse, Kreis1, kTopicEllipse, ToolElipseClick, HelpOnly, None,  \
      Blocked, "", "12_ellipse", "mit Ellipse glätten", "Ellipse", "", "")                         \
    X(Resize, ToolResize, kTopicResize, None, 0, ToolResizeClick, HelpOnly, None, Blocked, "",     \
      "17_resize", "Resize", "", "Resize", "Resize")                                               \
    X(ApplyFilter, Toolapply, kTopicApplyFilter, ApplyFilter1, kTopicApplyFilter, ToolapplyClick,  \
      HelpThenEnabled, Toolapply, Blocked, "F6", "08_apply_filter", "Filter anwenden",             \
      "Filter anwenden", "", "")                                                                   \
    X(BatchRun, ToolBatchrun, kTopicBatchRun, Batchrun1, kTopicBatchRun, ToolBatchrunClick,        \
      HelpThenEnabled, ToolBatchrun, Blocked, "F7", "07_batch_run", "Batchlauf", "Batchlauf", "",  \
      "")                                                                                          \
    X(ViewFilter, ToolFilter, kTopicViewFilter, Filteransehen1, kTopicViewFilter, ToolFilterClick, \
      HelpThenEnabled, ToolFilter, Free, "", "09_view_filter", "Filter ansehen und bearbeiten",    \
      "Filter ansehen", "", "")                                                                    \
    X(OpenFilter, ToolLoadFilter, kTopicOpenFilter, OpenFilter1, kTopicOpenFilter,                 \
      ToolLoadfilterClick, HelpThenEnabled, ToolLoadFilter, Free, "", "02_open", "Filter öffnen",  \
      "Filter öffnen", "", "")                                                                     \
    X(SaveFilter, ToolSaveFilter, kTopicSaveFilter, SaveFilter1, kTopicSaveFilter,                 \
      ToolSaveFilterClick, HelpThenEnabled, ToolSaveFilter, Free, "", "03_save",                   \
      "Filter speichern", "Filter speichern", "", "")                                              \
    X(FindScreen, ToolFindScreen, kTopicFindScreen, FindScreen1, kTopicFindScreen,                 \
      ToolFindScreenClick, HelpThenEnabled, ToolFindScreen, Blocked, "", "painted:find_screen",    \
      "", "", "Raster finden", "Find screen")                                                      \
    X(Compare, ToolCompare, kTopicCompare, None, 0, ToolCompareClick, HelpThenEnabled,             \
      ToolCompare, Blocked, "F8", "painted:compare", "", "", "Vorher und nachher",                 \
      "Before and after")                                                                          \
    X(FastTransform, None, 0, FastTransform1, kTopicFastTransform, FastTransform1Click, HelpOnly,  \
      None, Free, "", "", "", "", "Schnelle Umwandlung (nicht bitgenau)",                          \
      "Fast transform (not bit-exact)")                                                            \
    X(ContextHelp, ToolHelp, kTopicContextHelp, Contexthelp1, kTopicContextHelp, ToolHelpClick,    \
      HelpOnly, None, Free, "", "00_context_help",                                                 \
      "Kontexthilfe\r\n(Klicken Sie auf das Element zu dem Sie Hilfe benötigen)", "Kontexthilfe",  \
      "", "")                                                                                      \
    X(VersionInfo, None, 0, versioninfo1, 0, versioninfo1Click, None, None, Free, "", "", "",      \
      "version-info", "", "")                                                                      \
    X(About, None, 0, about1, 0, about1Click, None, None, Free, "F1", "", "", "Über uns", "", "")  \
    X(German, ToolDe, kTopicLanguage, None, 0, ToolDeClick, HelpOnly, None, Free, "", "16_german", \
      "", "", "Deutsch", "Deutsch")                                                                \
    X(English, Toolgb, kTopicLanguage, None, 0, ToolgbClick, HelpOnly, None, Free, "",             \
      "15_english", "", "", "English", "English")                                                  \
    X(Contrast, None, 0, None, 0, TrackKontrastChange, HelpOnly, None, Free, "", "", "", "", "",   \
      "")                                                                                          \
    X(ImageClick, None, 0, None, 0, Image1Click, HelpOnly, None, Free, "", "", "", "", "", "")     \
    X(StatusBarClick, None, 0, None, 0, StatusBarClick, HelpOnly, None, Free, "", "", "", "", "",  \
      "")                                                                                          \
    X(SetWatermark, None, 0, SetWatermark1, kTopicWatermark, BSetWatermarkClick, HelpOnly, None,   \
      Blocked, "", "", "", "", "Wasserzeichen setzen", "Embed watermark")                          \
    X(CheckWatermark, None, 0, CheckWatermark1, kTopicWatermark, BCheckWaterClick, HelpOnly, None, \
      Blocked, "", "", "", "", "Wasserzeichen prüfen", "Check watermark")                          \
    X(NewFilter, None, 0, NewFilter1, 0, ToolNewFilterClick, HelpOnly, None, Blocked, "", "", "",  \
      "", "Neuer Filter", "New filter")
