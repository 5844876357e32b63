// Ctrl-C on the command line: the first is the user's stop request, which
// the plug-in honours at its next cancel check; a second ends the process at
// once, removing the half-made output file.
#pragma once

namespace vellora::cli {

void InstallInterruptHandler();

// The file to remove if the process is ended by a second Ctrl-C; null for
// none. The text must outlive the registration.
void SetInterruptCleanup(const char* path);

}  // namespace vellora::cli
