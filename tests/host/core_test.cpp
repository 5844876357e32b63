// SPDX-License-Identifier: AGPL-3.0-or-later
#include "core/atoms.h"
#include "core/box_settings.h"
#include "core/callbacks.h"
#include "core/fixed_math.h"
#include "core/fixed_text.h"
#include "core/message_text.h"
#include "core/table_registry.h"
#include "interface/tables.h"
#include "model/host.h"

#include <gtest/gtest.h>

#include <climits>
#include <sstream>

namespace vellora {
namespace {

extern "C" void RoutineA(void) {}
extern "C" void RoutineB(void) {}

TEST(Callbacks, EveryWrapIsAFreshHandle) {
    CallbackRegistry registry;
    HostCallback first = registry.make(7, &RoutineA);
    HostCallback second = registry.make(7, &RoutineA);
    HostCallback third = registry.make(7, &RoutineB);
    EXPECT_NE(first, VX_NO_CALLBACK);
    EXPECT_NE(first, second);
    EXPECT_NE(second, third);
    EXPECT_EQ(registry.routine(first), &RoutineA);
    EXPECT_EQ(registry.routine(second), &RoutineA);
    EXPECT_EQ(registry.routine(third), &RoutineB);
    EXPECT_THROW(registry.routine(VX_NO_CALLBACK), HostError);
    EXPECT_THROW(registry.routine(third + 1), HostError);
}

TEST(Atoms, SameTextSameAtom) {
    AtomTable atoms;
    Atom a = atoms.intern("CanEdit");
    EXPECT_NE(a, 0);
    EXPECT_EQ(atoms.intern("CanEdit"), a);
    EXPECT_NE(atoms.intern("canedit"), a);
    EXPECT_EQ(atoms.text(a), "CanEdit");
    EXPECT_THROW(atoms.text(999), HostError);
}

TEST(Tables, FoundOnlyAtAPublishedVersion) {
    TableRegistry tables;
    HostTable model{4};
    tables.publish("Model", &model, {VX_VERSION(2, 2)});
    EXPECT_EQ(tables.find("Model", VX_VERSION(2, 2)), &model);
    EXPECT_EQ(tables.find("Model", VX_VERSION(2, 3)), nullptr);
    EXPECT_EQ(tables.find("Model", VX_VERSION(2, 1)), nullptr);
    EXPECT_EQ(tables.find("Viewer", VX_VERSION(2, 2)), nullptr);
    EXPECT_EQ(VersionsUpTo(VX_VERSION(2, 3)), (std::set<uint32_t>{0x20000, 0x20001, 0x20002, 0x20003}));
}

// Through the plug-in's own door: the core table, traced.
TEST(Tables, CoreGetTableAnswersExactVersionsAndTraces) {
    std::ostringstream err;
    HostConfig config;
    config.tableVersions["Viewer"] = {VX_VERSION(2, 2)};
    config.tableVersions["Support"] = {};
    Host host(config, err, "", false);
    PublishTables(host);
    const CoreTable& core = CoreTableInstance();
    Atom viewer = core.AtomFromString("Viewer");
    EXPECT_EQ(core.GetTable(viewer, VX_VERSION(2, 3)), nullptr);
    EXPECT_EQ(core.GetTable(viewer, VX_VERSION(2, 2)), reinterpret_cast<const HostTable*>(&ViewerTableInstance()));
    EXPECT_EQ(core.GetTable(core.AtomFromString("Support"), VX_VERSION(2, 2)), nullptr);
    EXPECT_EQ(core.GetTable(core.AtomFromString("Model"), VX_VERSION(2, 3)),
              reinterpret_cast<const HostTable*>(&ModelTableInstance()));
    EXPECT_EQ(host.callCount("Core.GetTable"), 4);
    EXPECT_FALSE(host.takePluginError());
    // An atom never given out is the plug-in's error, answered with none.
    EXPECT_EQ(core.GetTable(4000, VX_VERSION(2, 2)), nullptr);
    EXPECT_TRUE(host.takePluginError());
}

// The one reading of --margin and --ink-threshold, for the command line and
// the viewer alike: the values, and each refusal in the words both print.
TEST(BoxSettingOptions, ValuesAndRefusals) {
    constexpr Fixed kPt = VX_FIXED_ONE;
    const BoxMargin one = MarginOption("2.5");
    EXPECT_EQ(one.left, 2 * kPt + kPt / 2);
    EXPECT_EQ(one.bottom, one.left);
    EXPECT_EQ(one.right, one.left);
    EXPECT_EQ(one.top, one.left);
    const BoxMargin four = MarginOption("1,0,3e1,0.5");
    EXPECT_EQ(four.left, kPt);
    EXPECT_EQ(four.bottom, 0);
    EXPECT_EQ(four.right, 30 * kPt);
    EXPECT_EQ(four.top, kPt / 2);
    EXPECT_EQ(InkThresholdOption("0"), 0);
    EXPECT_EQ(InkThresholdOption("99.5"), 99 * kPt + kPt / 2);
    const std::pair<std::string, std::string> refused[] = {
        {"", "--margin: '' is not a number of points from 0"},
        {"1,,2,3", "--margin: '' is not a number of points from 0"},
        {"1,2,3,", "--margin: '' is not a number of points from 0"},
        {"1,-2,3,4", "--margin: '-2' is not a number of points from 0"},
        {"1 2 3 4", "--margin: '1 2 3 4' is not a number of points from 0"},
        {"1,2", "--margin: '1,2' is not one number or four L,B,R,T"},
        {"1,2,3,4,5", "--margin: '1,2,3,4,5' is not one number or four L,B,R,T"},
    };
    for (const auto& [text, message] : refused) {
        try {
            (void)MarginOption(text);
            ADD_FAILURE() << "--margin " << text << " accepted";
        } catch (const UsageError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
    for (const char* text : {"-0.5", "100", "1e9", "x", ""}) {
        try {
            (void)InkThresholdOption(text);
            ADD_FAILURE() << "--ink-threshold " << text << " accepted";
        } catch (const UsageError& e) {
            EXPECT_EQ(std::string(e.what()),
                      "--ink-threshold: '" + std::string(text) + "' is not a percentage from 0 to below 100");
        }
    }
}

TEST(FixedMath, DivisionRoundsToNearestAndSaturates) {
    EXPECT_EQ(RoundedFixedDiv(612 * 65536, 2 * 65536), 306 * 65536);
    EXPECT_EQ(RoundedFixedDiv(1, 2 * 65536), 1);  // 0.5 unit rounds away from zero
    EXPECT_EQ(RoundedFixedDiv(-1, 2 * 65536), -1);
    EXPECT_EQ(RoundedFixedDiv(1, 3 * 65536), 0);  // a third of a unit rounds down
    EXPECT_EQ(RoundedFixedDiv(2, 3 * 65536), 1);
    EXPECT_EQ(RoundedFixedDiv(65536, 3 * 65536), 21845);  // 0.33333 -> 21845.33
    EXPECT_EQ(RoundedFixedDiv(-65536, 3 * 65536), -21845);
    EXPECT_EQ(RoundedFixedDiv(5, 0), INT32_MAX);
    EXPECT_EQ(RoundedFixedDiv(-5, 0), INT32_MIN);
    EXPECT_EQ(RoundedFixedDiv(INT32_MAX, 1), INT32_MAX);
    EXPECT_EQ(RoundedFixedDiv(INT32_MIN, 1), INT32_MIN);
}

TEST(MessageText, ControlBytesAreShownAsEscapes) {
    EXPECT_EQ(PrintableText("plain text, 72 pt"), "plain text, 72 pt");
    EXPECT_EQ(PrintableText("\x1b[2J\x1b]0;t\x07"), "\\x1b[2J\\x1b]0;t\\x07");
    EXPECT_EQ(PrintableText(std::string_view("a\0b\nc\rd\te\x7f", 10)), "a\\0b\\nc\\rd\\te\\x7f");
    // Well-formed UTF-8 passes; broken sequences and controls beyond ASCII do not.
    EXPECT_EQ(PrintableText("Gr\xC3\xB6\xC3\x9F"
                            "e \xE2\x82\xAC \xF0\x9F\x93\x84"),
              "Gr\xC3\xB6\xC3\x9F"
              "e \xE2\x82\xAC \xF0\x9F\x93\x84");
    EXPECT_EQ(PrintableText("\xff\xC3"), "\\xff\\xc3");
    EXPECT_EQ(PrintableText("\xC0\xAF"), "\\xc0\\xaf");           // an overlong slash
    EXPECT_EQ(PrintableText("\xED\xA0\x80"), "\\xed\\xa0\\x80");  // a surrogate
    EXPECT_EQ(PrintableText("\xC2\x9B"
                            "2J"),
              "\\u009b2J");  // C1 control sequence introducer
    EXPECT_EQ(PrintableText("abc\xE2\x80\xAE"
                            "fdp.exe"),
              "abc\\u202efdp.exe");  // right-to-left override
    // Escaping what is escaped already changes nothing.
    const std::string once = PrintableText("\x1b\\x1b\\");
    EXPECT_EQ(PrintableText(once), once);
    std::ostringstream out;
    PrintMessage(out, "line\nbreak");
    EXPECT_EQ(out.str(), "line\\nbreak\n");
}

TEST(FixedText, ReadsDecimalsExactlyAndWritesThemBack) {
    EXPECT_EQ(FixedFromText("72"), 0x480000);
    EXPECT_EQ(FixedFromText("-0.5"), -0x8000);
    EXPECT_EQ(FixedFromText("0.0000152587890625"), 1);
    EXPECT_EQ(FixedFromText("0.00000762939453125"), 1);  // half a unit rounds away from zero
    EXPECT_EQ(FixedFromText("0.0000076293945312"), 0);
    EXPECT_EQ(FixedFromText("32767.9999847412109375"), INT32_MAX);
    EXPECT_EQ(FixedFromText("-32768"), INT32_MIN);
    EXPECT_FALSE(FixedFromText("32768"));
    // Numbers as people write them: exponents, a bare point at either end.
    EXPECT_EQ(FixedFromText("7e2"), 700 * 65536);
    EXPECT_EQ(FixedFromText("7.5E+2"), 750 * 65536);
    EXPECT_EQ(FixedFromText("-25e-1"), -(5 * 65536) / 2);
    EXPECT_EQ(FixedFromText("0.327679999847412109375e5"), INT32_MAX);
    EXPECT_EQ(FixedFromText("1e-30"), 0);
    EXPECT_EQ(FixedFromText("0e999999999999"), 0);
    EXPECT_EQ(FixedFromText(".5"), 0x8000);
    EXPECT_EQ(FixedFromText("5."), 5 * 65536);
    EXPECT_EQ(FixedFromText("000072"), 0x480000);
    EXPECT_FALSE(FixedFromText("3.3e4"));
    EXPECT_FALSE(FixedFromText("1e999999999999"));
    for (const char* refused : {"1e", "1e+", "e3", "nan", "inf", "-infinity", "0x10", " 5", "5 ", "1e3.5"})
        EXPECT_FALSE(FixedFromText(refused)) << refused;
    EXPECT_FALSE(FixedFromText("."));
    EXPECT_FALSE(FixedFromText(""));
    EXPECT_FALSE(FixedFromText("12abc"));
    for (Fixed v : {0, 1, -1, 0x47FFFF, 0x480000, 123456789, INT32_MAX, INT32_MIN})
        EXPECT_EQ(FixedFromText(FixedToText(v)), v) << FixedToText(v);
    EXPECT_EQ(FixedToText(0x480000), "72");
    EXPECT_EQ(FixedToText(0x8000), "0.5");
}

}  // namespace
}  // namespace vellora
