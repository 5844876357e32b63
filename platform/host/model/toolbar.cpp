// SPDX-License-Identifier: AGPL-3.0-or-later
#include "model/toolbar.h"

#include <algorithm>

namespace vellora {

ButtonObj& Toolbar::newButton(Atom name, const std::string& nameText) {
    all_.push_back(ButtonObj{});
    all_.back().name = name;
    all_.back().nameText = nameText;
    return all_.back();
}

void Toolbar::add(ButtonObj& button, bool before, ButtonObj* other) {
    std::erase(order_, &button);
    auto at = std::find(order_.begin(), order_.end(), other);
    if (other == nullptr || at == order_.end())
        order_.push_back(&button);
    else
        order_.insert(before ? at : at + 1, &button);
    button.placed = true;
}

ButtonObj* Toolbar::find(Atom name) {
    for (ButtonObj* b : order_)
        if (b->name == name) return b;
    return nullptr;
}

ButtonObj* Toolbar::find(const std::string& name) {
    for (ButtonObj* b : order_)
        if (b->nameText == name) return b;
    return nullptr;
}

bool Toolbar::owns(const ButtonObj* button) const {
    return std::any_of(all_.begin(), all_.end(), [&](const ButtonObj& b) { return &b == button; });
}

}  // namespace vellora
