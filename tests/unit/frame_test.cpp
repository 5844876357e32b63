// SPDX-License-Identifier: AGPL-3.0-or-later
// The start-up conversation: agreed versions, the service tables' version
// fallbacks, the handshake record, and the read-only host.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "module/module_state.h"
#include "tool/crop_tool.h"

extern "C" HostBool PlugInMain(uint32_t hostVersion, uint32_t *agreedVersion, SetupProc *setupOut,
                               const StartRecord *start);

namespace {

// A core table that publishes each table at the versions a test chooses
// and logs every request.
struct FakeCore {
    std::map<std::string, std::set<uint32_t>> published;
    std::vector<std::string> requests;  // "Model 0x20003"
    std::vector<std::string> atoms;     // texts, in order of interning
    std::vector<std::string> notes;
    int toolsRegistered = 0;
    int32_t canEdit = 1;
    std::vector<HostProc> routines;  // callback n is routines[n - 1]
};

FakeCore fakeCore;
HostTable anyTable = {sizeof(HostTable)};
ViewerTable fakeViewer;

// The routine behind a callback, with the signature of its slot.
template <typename Proc>
Proc Routine(HostCallback callback)
{
    return reinterpret_cast<Proc>(fakeCore.routines.at(callback - 1u));
}

const std::string &AtomText(Atom atom)
{
    return fakeCore.atoms.at(atom - 1u);
}

std::string Hex(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", value);
    return text;
}

const CoreTable kCore = {
    sizeof(CoreTable),
    [](const char *text) -> Atom {
        fakeCore.atoms.push_back(text);
        return static_cast<Atom>(fakeCore.atoms.size());
    },
    [](ExtensionId, HostProc routine) -> HostCallback {
        fakeCore.routines.push_back(routine);
        return static_cast<HostCallback>(fakeCore.routines.size());
    },
    [](Atom name, uint32_t version) -> const HostTable * {
        const std::string &text = AtomText(name);
        fakeCore.requests.push_back(text + " " + Hex(version));
        if (fakeCore.published[text].count(version) == 0) return nullptr;
        if (text == VX_TABLE_VIEWER) return reinterpret_cast<const HostTable *>(&fakeViewer);
        return &anyTable;
    },
    [](Atom key) -> int32_t { return AtomText(key) == "CanEdit" ? fakeCore.canEdit : 0; },
};

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeCore = FakeCore{};
        fakeCore.published = {
            {VX_TABLE_SUPPORT, {0x20002}},  {VX_TABLE_OBJECT, {0x20002}},
            {VX_TABLE_MODEL, {0x20003}},    {VX_TABLE_VIEWER, {0x20003}},
            {VX_TABLE_PLATFORM, {0x20002}},
        };
        fakeViewer = ViewerTable{};
        fakeViewer.AlertNote = [](const char *text) { fakeCore.notes.push_back(text); };
        fakeViewer.RegisterTool = [](ToolRecord *) { ++fakeCore.toolsRegistered; };
        host = HostTables{};
        acceptedVersions = AcceptedVersions{};
    }

    SetupProc Start(uint32_t hostVersion = 0x20000)
    {
        uint32_t agreed = 0;
        SetupProc setup = nullptr;
        StartRecord start = {};
        EXPECT_EQ(VX_TRUE, PlugInMain(hostVersion, &agreed, &setup, &start));
        return setup;
    }

    HostBool Setup(SetupRecord *record = nullptr)
    {
        SetupRecord local = {0x20000, 7, &kCore, 0};
        return Start()(0x20000, record != nullptr ? record : &local);
    }
};

TEST_F(Startup, PlugInMainAgreesOnTheLowerVersionAndKeepsTheStartRecord)
{
    const struct {
        uint32_t offered, agreed;
    } cases[] = {{0x30000, 0x20000}, {0x20000, 0x20000}, {0x20001, 0x20000}, {0x10000, 0x10000}};
    for (const auto &c : cases) {
        uint32_t agreed = 0;
        SetupProc setup = nullptr;
        StartRecord start = {reinterpret_cast<HostWindowHandle>(0x1000),
                             reinterpret_cast<HostModuleHandle>(0x2000)};
        EXPECT_EQ(VX_TRUE, PlugInMain(c.offered, &agreed, &setup, &start));
        EXPECT_EQ(c.agreed, agreed);
        EXPECT_NE(nullptr, setup);
        EXPECT_EQ(start.mainWindow, hostMainWindow);
        EXPECT_EQ(start.moduleInstance, moduleInstance);
    }
}

TEST_F(Startup, SetupRefusesAnyHandshakeVersionButTwoPointZero)
{
    SetupRecord record = {0x10000, 7, &kCore, 0};
    EXPECT_EQ(VX_FALSE, Setup(&record));
    record.handshakeVersion = 0x20000;
    EXPECT_EQ(VX_FALSE, Start()(0x10000, &record));
    EXPECT_TRUE(fakeCore.requests.empty());
    EXPECT_EQ(0u, record.handshake);
}

TEST_F(Startup, TablesAreAskedForInOrderWithAFreshAtomEachTime)
{
    SetupRecord record = {0x20000, 7, &kCore, 0};
    EXPECT_EQ(VX_TRUE, Setup(&record));
    EXPECT_EQ((std::vector<std::string>{"Support 0x20002", "Object 0x20002", "Model 0x20003",
                                        "Viewer 0x20003", "Platform 0x20002"}),
              fakeCore.requests);
    EXPECT_EQ(fakeCore.requests.size(), fakeCore.atoms.size());
    EXPECT_NE(0u, record.handshake);
    EXPECT_EQ(7u, extensionId);
    EXPECT_EQ(&kCore, host.core);
}

TEST_F(Startup, LowerVersionsAreTriedDownToTheLowestListed)
{
    fakeCore.published[VX_TABLE_MODEL] = {0x20002};
    fakeCore.published[VX_TABLE_VIEWER] = {0x20002, 0x20003};
    fakeCore.published[VX_TABLE_PLATFORM] = {0x20000};
    EXPECT_EQ(VX_TRUE, Setup());
    EXPECT_EQ((std::vector<std::string>{"Support 0x20002", "Object 0x20002", "Model 0x20003",
                                        "Model 0x20002", "Viewer 0x20003", "Platform 0x20002",
                                        "Platform 0x20001", "Platform 0x20000"}),
              fakeCore.requests);
    EXPECT_EQ(fakeCore.requests.size(), fakeCore.atoms.size());
    EXPECT_EQ(0x20002u, acceptedVersions.model);
    EXPECT_EQ(0x20003u, acceptedVersions.viewer);
    EXPECT_EQ(0x20000u, acceptedVersions.platform);
}

TEST_F(Startup, TheFirstTableRefusedAtEveryVersionEndsTheSetup)
{
    const struct {
        const char *table;
        std::set<uint32_t> versions;
        size_t requests;
    } cases[] = {
        {VX_TABLE_SUPPORT, {0x20001}, 1},        {VX_TABLE_OBJECT, {}, 2},
        {VX_TABLE_MODEL, {0x20001, 0x20004}, 4}, {VX_TABLE_VIEWER, {0x20000}, 5},
        {VX_TABLE_PLATFORM, {0x20003}, 7},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.table);
        SetUp();
        fakeCore.published[c.table] = c.versions;
        SetupRecord record = {0x20000, 7, &kCore, 0};
        EXPECT_EQ(VX_FALSE, Setup(&record));
        EXPECT_EQ(c.requests, fakeCore.requests.size());
        EXPECT_EQ(0u, record.handshake);
    }
}

TEST_F(Startup, HandshakeFillsItsEntriesAndLeavesTheHostsBytes)
{
    SetupRecord setup = {0x20000, 7, &kCore, 0};
    ASSERT_EQ(VX_TRUE, Setup(&setup));
    const HandshakeProc handshake = Routine<HandshakeProc>(setup.handshake);

    HandshakeRecord record;
    std::memset(&record, 0xA5, sizeof record);
    EXPECT_EQ(VX_FALSE, handshake(0x20001, &record));
    EXPECT_EQ(0xA5A5u, record.extensionName);

    EXPECT_EQ(VX_TRUE, handshake(0x20000, &record));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(0xA5, record.hostReserved[i]);
    EXPECT_EQ("ZUNO_TrimVex", AtomText(record.extensionName));
    EXPECT_EQ(0u, record.exportEntry);
    EXPECT_EQ(0u, record.importEntry);
    EXPECT_NE(0u, record.initialize);
    EXPECT_EQ(0u, record.unload);
}

TEST_F(Startup, ReadOnlyHostGetsOneNoteAndNoTool)
{
    SetupRecord setup = {0x20000, 7, &kCore, 0};
    ASSERT_EQ(VX_TRUE, Setup(&setup));
    HandshakeRecord record = {};
    ASSERT_EQ(VX_TRUE, Routine<HandshakeProc>(setup.handshake)(0x20000, &record));

    fakeCore.canEdit = 0;
    EXPECT_EQ(VX_TRUE, Routine<InitializeProc>(record.initialize)());
    EXPECT_EQ((std::vector<std::string>{"Trim Vex only works with the Vellora Fornix program."}),
              fakeCore.notes);
    EXPECT_EQ(0, fakeCore.toolsRegistered);
}

}  // namespace
