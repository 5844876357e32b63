// SPDX-License-Identifier: AGPL-3.0-or-later
// The one place where the module's sources differ between the platforms it
// is built for.
#pragma once

#ifdef _WIN32
// The DLL's exports are listed in its module-definition file.
#define VX_MODULE_EXPORT
#else
// The shared library hides everything else (-fvisibility=hidden).
#define VX_MODULE_EXPORT __attribute__((visibility("default")))
#endif
