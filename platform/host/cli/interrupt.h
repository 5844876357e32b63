// SPDX-License-Identifier: AGPL-3.0-or-later
// Ctrl-C on the command line: the first is the user's stop request, which
// the plug-in honours at its next cancel check; a second ends the process at
// once; the output being written goes with it (see files/replacement_file.h).
#pragma once

namespace vellora::cli {

void InstallInterruptHandler();

}  // namespace vellora::cli
