// SPDX-License-Identifier: AGPL-3.0-or-later
// Dialog templates as resources store them: DLGTEMPLATE with its item
// templates, or the extended DLGTEMPLATEEX form.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vxwin32::detail {

constexpr uint32_t kDsSetFont = 0x40;

struct ControlTemplate {
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    int id = 0;
    std::string className;  // upper case for the predefined classes
    std::string text;       // "#n" when the template gives a resource number
};

struct DialogTemplate {
    bool extended = false;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    std::string title;
    bool hasFont = false;
    uint16_t pointSize = 0;
    std::string fontFace;
    std::vector<ControlTemplate> controls;
};

// nullopt for a truncated or malformed template, or one naming a
// predefined control class that does not exist.
std::optional<DialogTemplate> ParseDialogTemplate(std::span<const uint8_t> bytes);

}  // namespace vxwin32::detail
