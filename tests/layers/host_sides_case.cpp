// SPDX-License-Identifier: AGPL-3.0-or-later
// Each layer above the model is given one side of the host: compiled with
// HOST_SIDE_CASE 0, each side calls methods it names (this must
// compile); with HOST_SIDE_CASE set to a case, one side reaches for a
// method of another side, which the compiler must refuse.
#include "model/host.h"

namespace vellora {

void PluginCalls(PluginSide &side)
{
    (void)side.atomOf("Crop");
    side.progressUpdate(ProgressEvent::Begin);
#if HOST_SIDE_CASE == 1
    side.queueAnswer("Yes");  // a script's answer
#endif
}

void ScriptCalls(ScriptSide &side)
{
    side.queueAnswer("Yes");
    side.stopAfter(2);
#if HOST_SIDE_CASE == 2
    side.setLiveInput(nullptr);  // the viewer's
#endif
}

void FrontEndCalls(FrontEndSide &side)
{
    side.setLiveInput(nullptr);
    (void)side.activeWindow();
#if HOST_SIDE_CASE == 3
    (void)side.atomOf("Crop");  // the plug-in's
#elif HOST_SIDE_CASE == 4
    HostState &whole = side;  // the state behind the side
    (void)whole;
#endif
}

}  // namespace vellora
