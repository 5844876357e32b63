// File names and messages between the host's UTF-8 and the system's UTF-16
// (the conversions are the window system's own).
#pragma once

#include <vxwin32/wide_text.h>

#include <string>

namespace vellora::system {

using vxwin32::Utf8;
using vxwin32::Wide;

// The system's message for an error code, without its line break.
std::string SystemErrorText(unsigned long code);

}  // namespace vellora::system
