#pragma once
// The translation walk that rewrites captions and hints from the language
// tables, over an explicit tree of components.
//
// The tree records who OWNS a component (who created it and is responsible
// for it), which is not who displays it: every control and menu item of the
// main window is owned by the main window whatever tool bar or menu holds it,
// the menu's root item (empty name) by the menu component, a picture dialog's
// preview button by the dialog, and a window by the application (empty name).
// Keys are built from the owner's name, so the window must build the tree
// from this relation, not from the toolkit's parent/child chain.
//
// Separately from ownership, a menu item lists its sub-items in menu order;
// their captions are keyed by their parent item and their index.

#include "shell/language_tables.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

enum class TComponentKind : uint8_t {
    // Visual controls whose caption is translated.
    Window, // a window other than the main window
    Label,
    PushButton, // also buttons with a picture (a preview button)
    CheckBox,
    TabPage,
    // Visual controls whose caption is never looked up (only their hint).
    MainWindow,
    ToolButton, // shows only an icon
    Control,    // any other visual control: image view, slider, tool bar, status bar, ...
    // Not visual: neither named automatically nor translated themselves.
    Menu,      // the main menu component
    MenuItem,  // a menu item, also the menu's root item
    NonVisual, // dialogs, language tables, settings storage, cipher, ...
};

// True for the kinds that are visual controls.
bool IsVisualControl(TComponentKind kind);

struct TComponent {
    std::string Name;
    TComponentKind Kind = TComponentKind::NonVisual;
    std::string Caption;
    std::string Hint;
    TComponent* Owner = nullptr;       // null only for the application
    std::vector<TComponent*> Owned;    // in creation order
    std::vector<TComponent*> SubItems; // menu items: the items below this one, in menu order
    void* Handle = nullptr;            // the host's object for this component; the walk ignores it
};

// Holds the components; addresses stay valid for the tree's lifetime.
class TComponentTree {
public:
    TComponentTree();
    TComponentTree(const TComponentTree&) = delete;
    TComponentTree& operator=(const TComponentTree&) = delete;

    // The application: empty name, owns the windows.
    TComponent& Application() { return *application_; }

    // Creates a component owned by `owner`, after everything it owned so far.
    TComponent& Add(TComponent& owner, std::string name, TComponentKind kind,
                    std::string caption = {}, std::string hint = {}, void* handle = nullptr);

    // Appends `item` to the sub-items of menu item `parent`.
    static void AddSubItem(TComponent& parent, TComponent& item);

    // The first component of that name (exact), or null. Unnamed components
    // are never found.
    TComponent* Find(const std::string& name);

    // Every component in the order of creation, the application first.
    std::vector<TComponent*> All();

private:
    std::deque<TComponent> components_;
    TComponent* application_;
};

// The walk on component C (the main window when a language is applied),
// depth first in creation order. For each component X that C owns:
//  - a visual control without a name is named "fname_" + counter (the counter
//    restarts at 0 after each named visual control and counts visual controls);
//  - a label, push button, check box, tab page or window gets the caption
//    LookupText(owner + "." + name, current caption);
//  - a visual control with a non-empty hint gets the hint
//    LookupText(owner + ".h-" + name, current hint);
//  - then the walk descends into X.
// Finally, if C is a menu item, its sub-item i gets the caption
// LookupText(C's owner + "." + C's name + i, current caption).
// Texts without a line in the table keep their current value.
void TranslateComponents(const TLanguageState& state, TComponent& c);
