// SPDX-License-Identifier: AGPL-3.0-or-later
// Compiles the interface headers as C++20.
#include "vellora_sdk.h"
