// SPDX-License-Identifier: AGPL-3.0-or-later
// File names and messages between the host's UTF-8 and the system's UTF-16
// (the window system's own conversions).
#pragma once

#include <vxwin32/wide_text.h>

#include <string>

namespace vellora::system {

using vxwin32::SystemErrorText;
using vxwin32::Utf8;
using vxwin32::Wide;

}  // namespace vellora::system
