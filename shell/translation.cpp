#include "shell/translation.h"

bool IsVisualControl(TComponentKind kind) {
    switch (kind) {
    case TComponentKind::Menu:
    case TComponentKind::MenuItem:
    case TComponentKind::NonVisual:
        return false;
    default:
        return true;
    }
}

namespace {

bool HasTranslatedCaption(TComponentKind kind) {
    switch (kind) {
    case TComponentKind::Window:
    case TComponentKind::Label:
    case TComponentKind::PushButton:
    case TComponentKind::CheckBox:
    case TComponentKind::TabPage:
        return true;
    default:
        return false;
    }
}

const std::string& OwnerName(const TComponent& c) {
    static const std::string kNone;
    return c.Owner != nullptr ? c.Owner->Name : kNone;
}

} // namespace

TComponentTree::TComponentTree() {
    components_.emplace_back();
    application_ = &components_.back();
    application_->Kind = TComponentKind::NonVisual;
}

TComponent& TComponentTree::Add(TComponent& owner, std::string name, TComponentKind kind,
                                std::string caption, std::string hint, void* handle) {
    TComponent& c = components_.emplace_back();
    c.Name = std::move(name);
    c.Kind = kind;
    c.Caption = std::move(caption);
    c.Hint = std::move(hint);
    c.Owner = &owner;
    c.Handle = handle;
    owner.Owned.push_back(&c);
    return c;
}

void TComponentTree::AddSubItem(TComponent& parent, TComponent& item) {
    parent.SubItems.push_back(&item);
}

TComponent* TComponentTree::Find(const std::string& name) {
    if (name.empty()) return nullptr;
    for (TComponent& c : components_)
        if (c.Name == name) return &c;
    return nullptr;
}

std::vector<TComponent*> TComponentTree::All() {
    std::vector<TComponent*> all;
    all.reserve(components_.size());
    for (TComponent& c : components_) all.push_back(&c);
    return all;
}

void TranslateComponents(const TLanguageState& state, TComponent& c) {
    // Counts the visual controls since the last named one, so that unnamed
    // controls get names that are stable from one walk to the next.
    int counter = 0;
    for (TComponent* x : c.Owned) {
        if (IsVisualControl(x->Kind)) {
            if (x->Name.empty())
                x->Name = "fname_" + std::to_string(counter);
            else
                counter = 0;
            ++counter;
            if (HasTranslatedCaption(x->Kind))
                x->Caption = LookupText(state, OwnerName(*x) + "." + x->Name, x->Caption);
            if (!x->Hint.empty())
                x->Hint = LookupText(state, OwnerName(*x) + ".h-" + x->Name, x->Hint);
        }
        TranslateComponents(state, *x);
    }
    if (c.Kind == TComponentKind::MenuItem) {
        const std::string prefix = OwnerName(c) + "." + c.Name;
        for (size_t i = 0; i < c.SubItems.size(); ++i) {
            TComponent& item = *c.SubItems[i];
            item.Caption = LookupText(state, prefix + std::to_string(i), item.Caption);
        }
    }
}
