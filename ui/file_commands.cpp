// SPDX-License-Identifier: AGPL-3.0-or-later
#include "ui/file_commands.h"

#include "module/module_state.h"

void ShowAboutNote(void *)
{
    host.viewer->AlertNote("");
}

HostBool RevertEnabledTest(void *)
{
    const DocWindow window = host.viewer->GetActiveDocWindow();
    if (window == nullptr) {
        return VX_FALSE;
    }
    const Document doc = host.viewer->DocumentOf(window);
    if ((host.model->DocumentFlags(doc) & VX_DOC_MODIFIED) == 0) {
        return VX_FALSE;
    }
    return host.model->DocumentFile(doc) != nullptr ? VX_TRUE : VX_FALSE;
}

void RevertFile(void *)
{
    if (!host.viewer->AlertConfirm("Are you sure you want to revert to last saved version?")) {
        return;
    }
    // The enabled test guarantees a window; a host that runs the item
    // regardless gets nothing done rather than a call with no window.
    const DocWindow window = host.viewer->GetActiveDocWindow();
    if (window == nullptr) {
        return;
    }
    const HostFile file = host.model->DocumentFile(host.viewer->DocumentOf(window));
    // The path is taken before the window closes; it outlives the document.
    const HostPath path = file != nullptr ? host.support->AcquireFilePath(file) : nullptr;
    if (path == nullptr) {
        host.viewer->AlertNote("Unable to revert since path to file is bad.");
        return;
    }
    if (!host.viewer->CloseDocWindow(window, VX_TRUE)) {
        host.viewer->AlertNote("Unable to close the file.");
        host.support->ReleaseFilePath(path);
        return;
    }
    host.viewer->OpenDocFromFile(path, host.support->DefaultFileSystem(), nullptr);
    host.support->ReleaseFilePath(path);
}
