#pragma once
// The main window's controls and commands, each written down once. The
// command states (command_state.cpp) expand these lists into the control ids,
// the names, the menu mirroring and the guards; the window (main_form.cpp)
// expands the same rows into its controls, their help topics and the
// connections to the handlers. A new command is one row here plus its
// handler.

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
    X(Zoom1)                                                                                       \
    X(Rechteck1)                                                                                   \
    X(Kreis1)                                                                                      \
    X(ApplyFilter1)                                                                                \
    X(Batchrun1)                                                                                   \
    X(OpenFilter1)                                                                                 \
    X(SaveFilter1)                                                                                 \
    X(Filteransehen1)                                                                              \
    X(SetWatermark1)                                                                               \
    X(CheckWatermark1)                                                                             \
    X(Contexthelp1)                                                                                \
    X(versioninfo1)                                                                                \
    X(about1)

// The commands, one row each:
//   X(command, tool button, its help topic, menu item, its help topic,
//     handler, guard steps, guard control)
// None where a command has no button, no menu item or no guard control; a
// topic of 0 has no help page (the kTopic constants
// are those of help/help_topics.h). A command with a button and a menu item
// mirrors them: the item is enabled exactly when the button is. The guard
// steps are those of TDispatchSteps; the enabled step tests the guard
// control. Close tests its own menu item, so it acts on the image and on the
// spectrum alike. The rows with neither button nor menu item (the slider,
// the picture, the status bar) are connected to their own signals.
#define PIXMEND_COMMANDS(X)                                                                        \
    X(OpenImage, ToolOpen, kTopicToolOpen, Open1, 0, BopenClick, HelpThenEnabled, ToolOpen)        \
    X(SaveImage, ToolSave, kTopicSave, Save1, kTopicSave, BsaveClick, HelpThenEnabled, ToolSave)   \
    X(CloseImage, None, 0, Schlieen1, 0, Schlieen1Click, HelpThenEnabled, Schlieen1)               \
    X(Quit, None, 0, Beenden1, 0, Beenden1Click, HelpOnly, None)                                   \
    X(Copy, ToolCopy, kTopicCopy, Copy1, kTopicCopy, ToolCopyClick, HelpThenEnabled, ToolCopy)     \
    X(Paste, ToolPaste, kTopicPaste, Paste1, kTopicPaste, ToolPasteClick, HelpThenEnabled,         \
      ToolPaste)                                                                                   \
    X(Transform, ToolTransform, kTopicTransform, Transform1, kTopicTransform, ButtonfftClick,      \
      HelpThenEnabled, ToolTransform)                                                              \
    X(SmoothArea, ToolStempel, kTopicSmooth, Bereichgltten1, 0, ToolStempelClick, HelpOnly, None)  \
    X(Undo, Toolundo, kTopicUndo, None, 0, ToolundoClick, HelpOnly, None)                          \
    X(ZoomWindow, ToolZoom, kTopicZoom, Zoom1, 0, ToolZoomClick, EnabledThenHelp, ToolZoom)        \
    X(Rectangle, ToolRec, kTopicRectangle, Rechteck1, kTopicRectangle, ToolRecClick, HelpOnly,     \
      None)                                                                                        \
    X(Ellipse, ToolElipse, kTopicEllipse, Kreis1, kTopicEllipse, ToolElipseClick, HelpOnly, None)  \
    X(Resize, ToolResize, 0, None, 0, BWatermarkClick, None, None)                                 \
    X(ApplyFilter, Toolapply, kTopicApplyFilter, ApplyFilter1, kTopicApplyFilter, ToolapplyClick,  \
      HelpThenEnabled, Toolapply)                                                                  \
    X(BatchRun, ToolBatchrun, kTopicBatchRun, Batchrun1, kTopicBatchRun, ToolBatchrunClick,        \
      HelpThenEnabled, ToolBatchrun)                                                               \
    X(ViewFilter, ToolFilter, kTopicViewFilter, Filteransehen1, kTopicViewFilter, ToolFilterClick, \
      HelpThenEnabled, ToolFilter)                                                                 \
    X(OpenFilter, ToolLoadFilter, kTopicOpenFilter, OpenFilter1, kTopicOpenFilter,                 \
      ToolLoadfilterClick, HelpThenEnabled, ToolLoadFilter)                                        \
    X(SaveFilter, ToolSaveFilter, kTopicSaveFilter, SaveFilter1, kTopicSaveFilter,                 \
      ToolSaveFilterClick, HelpThenEnabled, ToolSaveFilter)                                        \
    X(ContextHelp, ToolHelp, kTopicContextHelp, Contexthelp1, kTopicContextHelp, ToolHelpClick,    \
      HelpOnly, None)                                                                              \
    X(VersionInfo, None, 0, versioninfo1, 0, versioninfo1Click, None, None)                        \
    X(About, None, 0, about1, 0, about1Click, None, None)                                          \
    X(German, ToolDe, kTopicLanguage, None, 0, ToolDeClick, HelpOnly, None)                        \
    X(English, Toolgb, kTopicLanguage, None, 0, ToolgbClick, HelpOnly, None)                       \
    X(Contrast, None, 0, None, 0, TrackKontrastChange, HelpOnly, None)                             \
    X(ImageClick, None, 0, None, 0, Image1Click, HelpOnly, None)                                   \
    X(StatusBarClick, None, 0, None, 0, StatusBarClick, HelpOnly, None)                            \
    X(SetWatermark, None, 0, SetWatermark1, 0, BSetWatermarkClick, HelpOnly, None)                 \
    X(CheckWatermark, None, 0, CheckWatermark1, 0, BCheckWaterClick, HelpOnly, None)
