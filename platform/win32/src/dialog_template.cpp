// SPDX-License-Identifier: AGPL-3.0-or-later
#include "dialog_template.h"

#include "resource_id.h"

#include <array>

namespace vxwin32::detail {
namespace {

constexpr uint16_t kExtendedSignature = 0xFFFF;

// The predefined control classes, by their ordinals 0x80..0x85.
constexpr std::array<const char*, 6> kPredefinedClasses{"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};

std::string OrdinalText(uint16_t ordinal) { return "#" + std::to_string(ordinal); }

std::optional<std::string> ReadClass(ByteReader& r) {
    const ResourceId id = ReadResourceId(r);
    if (!id.isOrdinal) {
        // Class names compare without case; keep one spelling of the
        // predefined ones.
        for (size_t i = 0; i < kPredefinedClasses.size(); ++i) {
            const std::string name = kPredefinedClasses[i];
            if (SameResourceId(ResourceId{false, 0, std::u16string(name.begin(), name.end())}, id)) return name;
        }
        return NarrowText(id.name);
    }
    if (id.ordinal < 0x80 || id.ordinal >= 0x80 + kPredefinedClasses.size()) return std::nullopt;
    return kPredefinedClasses[id.ordinal - 0x80];
}

void ReadRect(ByteReader& r, int16_t& x, int16_t& y, int16_t& cx, int16_t& cy) {
    x = r.I16();
    y = r.I16();
    cx = r.I16();
    cy = r.I16();
}

std::optional<ControlTemplate> ReadControl(ByteReader& r, bool extended) {
    r.Align(4);
    ControlTemplate control;
    if (extended) {
        r.Skip(4);  // help id
        control.exStyle = r.U32();
        control.style = r.U32();
    } else {
        control.style = r.U32();
        control.exStyle = r.U32();
    }
    ReadRect(r, control.x, control.y, control.cx, control.cy);
    control.id = extended ? static_cast<int>(static_cast<int32_t>(r.U32())) : r.U16();
    auto className = ReadClass(r);
    if (!className) return std::nullopt;
    control.className = *className;
    const ResourceId text = ReadResourceId(r);
    control.text = text.isOrdinal ? OrdinalText(text.ordinal) : NarrowText(text.name);
    r.Skip(r.U16());  // creation data for the control, unused here
    if (!r.ok()) return std::nullopt;
    return control;
}

}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(std::span<const uint8_t> bytes) {
    ByteReader r(bytes);
    DialogTemplate dialog;
    r.Skip(2);
    dialog.extended = r.U16() == kExtendedSignature;
    r.Seek(0);
    if (dialog.extended) {
        r.Skip(4 + 4);  // version and signature, help id
        dialog.exStyle = r.U32();
        dialog.style = r.U32();
    } else {
        dialog.style = r.U32();
        dialog.exStyle = r.U32();
    }
    const uint16_t count = r.U16();
    ReadRect(r, dialog.x, dialog.y, dialog.cx, dialog.cy);
    ReadResourceId(r);  // menu: the stand-in's dialogs have none
    ReadResourceId(r);  // window class: always the dialog class here
    dialog.title = NarrowText(r.Utf16z());
    if (dialog.style & kDsSetFont) {
        dialog.hasFont = true;
        dialog.pointSize = r.U16();
        if (dialog.extended) r.Skip(2 + 1 + 1);  // weight, italic, character set
        dialog.fontFace = NarrowText(r.Utf16z());
    }
    if (!r.ok()) return std::nullopt;
    for (uint16_t i = 0; i < count; ++i) {
        auto control = ReadControl(r, dialog.extended);
        if (!control) return std::nullopt;
        dialog.controls.push_back(std::move(*control));
    }
    return dialog;
}

}  // namespace vxwin32::detail
