// SPDX-License-Identifier: AGPL-3.0-or-later
// The toolbar: named buttons in order, and whether it has room for more.
#pragma once

#include "model/hook.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace vellora {

struct ButtonObj {
    Atom name = 0;
    std::string nameText;
    void* icon = nullptr;
    Hook execute, enabledTest, markedTest;
    std::string helpText;
    std::function<void()> hostAction;
    std::function<bool()> hostEnabled;
    bool placed = false;
};

class Toolbar {
public:
    ButtonObj& newButton(Atom name, const std::string& nameText);
    // before: just before `other`; otherwise just after it; no other: at the end.
    void add(ButtonObj& button, bool before, ButtonObj* other);
    ButtonObj* find(Atom name);
    ButtonObj* find(const std::string& name);
    const std::vector<ButtonObj*>& buttons() const { return order_; }
    bool owns(const ButtonObj* button) const;

    bool room = true;

private:
    std::deque<ButtonObj> all_;
    std::vector<ButtonObj*> order_;
};

}  // namespace vellora
