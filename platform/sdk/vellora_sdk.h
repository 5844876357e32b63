// SPDX-License-Identifier: AGPL-3.0-or-later
/* Vellora plug-in interface: everything a plug-in module includes. */
#ifndef VELLORA_SDK_H
#define VELLORA_SDK_H

#include "vx_tables.h"
#include "vx_types.h"

#endif
