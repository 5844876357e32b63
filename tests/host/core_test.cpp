#include "core/atoms.h"
#include "core/callbacks.h"
#include "core/fixed_math.h"
#include "core/fixed_text.h"
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
    EXPECT_EQ(VersionsUpTo(VX_VERSION(2, 3)),
              (std::set<uint32_t>{0x20000, 0x20001, 0x20002, 0x20003}));
}

// Through the plug-in's own door: the core table, traced.
TEST(Tables, CoreGetTableAnswersExactVersionsAndTraces) {
    std::ostringstream out, err;
    HostConfig config;
    config.tableVersions["Viewer"] = {VX_VERSION(2, 2)};
    config.tableVersions["Support"] = {};
    Host host(config, out, err, "", false);
    PublishTables(host);
    const CoreTable& core = CoreTableInstance();
    Atom viewer = core.AtomFromString("Viewer");
    EXPECT_EQ(core.GetTable(viewer, VX_VERSION(2, 3)), nullptr);
    EXPECT_EQ(core.GetTable(viewer, VX_VERSION(2, 2)), reinterpret_cast<const HostTable*>(&ViewerTableInstance()));
    EXPECT_EQ(core.GetTable(core.AtomFromString("Support"), VX_VERSION(2, 2)), nullptr);
    EXPECT_EQ(core.GetTable(core.AtomFromString("Model"), VX_VERSION(2, 3)),
              reinterpret_cast<const HostTable*>(&ModelTableInstance()));
    EXPECT_EQ(host.trace.count("Core.GetTable"), 4);
    EXPECT_FALSE(host.takePluginError());
    // An atom never given out is the plug-in's error, answered with none.
    EXPECT_EQ(core.GetTable(4000, VX_VERSION(2, 2)), nullptr);
    EXPECT_TRUE(host.takePluginError());
}

TEST(FixedMath, DivisionRoundsToNearestAndSaturates) {
    EXPECT_EQ(RoundedFixedDiv(612 * 65536, 2 * 65536), 306 * 65536);
    EXPECT_EQ(RoundedFixedDiv(1, 2 * 65536), 1);    // 0.5 unit rounds away from zero
    EXPECT_EQ(RoundedFixedDiv(-1, 2 * 65536), -1);
    EXPECT_EQ(RoundedFixedDiv(1, 3 * 65536), 0);    // a third of a unit rounds down
    EXPECT_EQ(RoundedFixedDiv(2, 3 * 65536), 1);
    EXPECT_EQ(RoundedFixedDiv(65536, 3 * 65536), 21845);  // 0.33333 -> 21845.33
    EXPECT_EQ(RoundedFixedDiv(-65536, 3 * 65536), -21845);
    EXPECT_EQ(RoundedFixedDiv(5, 0), INT32_MAX);
    EXPECT_EQ(RoundedFixedDiv(-5, 0), INT32_MIN);
    EXPECT_EQ(RoundedFixedDiv(INT32_MAX, 1), INT32_MAX);
    EXPECT_EQ(RoundedFixedDiv(INT32_MIN, 1), INT32_MIN);
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
    EXPECT_FALSE(FixedFromText("1e3"));
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
