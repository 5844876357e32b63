// SPDX-License-Identifier: AGPL-3.0-or-later
// The module's names the host keeps (core/plugin_names.h), checked against
// the module itself: its button and menu items as it registers them, its
// cursor resources, and the question its crop run asks.
#include "core/plugin_names.h"

#include "host/run_script.h"

#include <gtest/gtest.h>

#include <vxwin32/standin.h>

using namespace vellora;

namespace {

const std::string kLoad = std::string("load \"") + VX_MODULE_PATH + "\"\n";

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

TEST(PluginNames, ButtonAndMenuItemsAreTheOnesTheModuleRegisters) {
    const ScriptResult r = RunScript(kLoad + "new doc 2\n" +                                         //
                                     "expect enabled " + Quoted(plugin::kCropToolButton) + " 1\n" +  //
                                     "expect enabled " + Quoted(plugin::kBBoxItem) + " 1\n" +        //
                                     "expect enabled " + Quoted(plugin::kMediaBoxItem) + " 1\n" +    //
                                     "expect enabled " + Quoted(plugin::kShowMediaBoxItem) + " 1\n" + "menu " +
                                     Quoted(plugin::kShowMediaBoxItem) + "\n" +  //
                                     "expect enabled " + Quoted(plugin::kHideMediaBoxItem) + " 1\n");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(PluginNames, CursorsAreTheModulesResources) {
    const HINSTANCE module = vxwin32::RegisterModuleFile(VX_MODULE_PATH);
    ASSERT_NE(module, nullptr);
    constexpr uint16_t kGroupCursor = 12;
    EXPECT_TRUE(vxwin32::FindResource(module, kGroupCursor, plugin::kCropCursorId));
    EXPECT_TRUE(vxwin32::FindResource(module, kGroupCursor, plugin::kScissorsCursorId));
    // And the tool shows them where the host's expectations say.
    const ScriptResult r = RunScript(kLoad + "new doc 1\nbutton " + Quoted(plugin::kCropToolButton) +
                                     "\nhover 300 300\nexpect cursor crop\npdrag 100 100 400 500\n"
                                     "phover 250 300\nexpect cursor scissors\n");
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(PluginNames, OrientationQuestionIsTheOneTheCropRunAsks) {
    const ScriptResult r = RunScript(kLoad + "new doc 3\npage 2 rotate 90\nbutton " + Quoted(plugin::kCropToolButton) +
                                     "\npdrag 100 100 400 500\nanswer \"All Pages\"\n"
                                     "answer-when " +
                                     Quoted(plugin::kOrientationQuestion) + " Skip\npclick 200 200\nexpect alert " +
                                     Quoted(plugin::kOrientationQuestion) + "\n");
    EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
