// SPDX-License-Identifier: AGPL-3.0-or-later
#include "fake_host.h"

#include <cstdlib>

#include "crop/crop_run.h"
#include "crop/crop_selection.h"
#include "module/module_state.h"

namespace fake {

State state;

namespace {

DocWindow TheWindow()
{
    return reinterpret_cast<DocWindow>(&state);
}

Document TheDocument()
{
    return reinterpret_cast<Document>(&state.pages);
}

PageView TheView()
{
    return reinterpret_cast<PageView>(&state.currentPage);
}

FakePage &PageOf(Page page)
{
    return *reinterpret_cast<FakePage *>(page);
}

// The data word the cancel check and the monitor give out, and expect back.
void *const kSlotData = &state.progress;

void CheckData(void *data)
{
    if (data != kSlotData) ++state.wrongData;
}

ProgressMonitor monitor = {
    sizeof(ProgressMonitor),
    [](void *data) {
        CheckData(data);
        state.progress.push_back("begin");
    },
    [](void *data) {
        CheckData(data);
        state.progress.push_back("end");
    },
    [](int32_t n, void *data) {
        CheckData(data);
        state.progress.push_back("duration " + std::to_string(n));
    },
    [](int32_t v, void *data) {
        CheckData(data);
        state.progress.push_back("value " + std::to_string(v));
    },
};

SupportTable support;
ModelTable model;
ViewerTable viewer;

}  // namespace

Fixed FixedDiv(Fixed a, Fixed b)
{
    const long long n = static_cast<long long>(a) * 65536;
    const long long q = (n + (n >= 0 ? b / 2 : -b / 2)) / b;
    return static_cast<Fixed>(q);
}

void Install(std::vector<FakePage> pages)
{
    state = State{};
    state.pages = std::move(pages);

    support = SupportTable{};
    support.size = sizeof support;
    support.FixedDiv = FixedDiv;
    support.Allocate = [](uint32_t bytes) -> void * {
        if (state.refuseAllocate) return nullptr;
        ++state.allocations;
        return std::malloc(bytes);
    };
    support.Free = [](void *block) {
        --state.allocations;
        std::free(block);
    };

    model = ModelTable{};
    model.size = sizeof model;
    model.PageCount = [](Document) { return static_cast<int32_t>(state.pages.size()); };
    model.AcquirePage = [](Document, int32_t index) {
        ++state.acquired;
        return reinterpret_cast<Page>(&state.pages.at(static_cast<size_t>(index)));
    };
    model.ReleasePage = [](Page) { --state.acquired; };
    model.PageRotation = [](Page p) { return PageOf(p).rotation; };
    model.GetMediaBox = [](Page p, FixedRect *r) { *r = PageOf(p).media; };
    model.GetCropBox = [](Page p, FixedRect *r) { *r = PageOf(p).crop; };
    model.GetBoundingBox = [](Page p, FixedRect *r) { *r = PageOf(p).bbox; };
    model.SetCropBox = [](Page p, Fixed l, Fixed t, Fixed r, Fixed b) {
        PageOf(p).crop = FixedRect{l, t, r, b};
        ++PageOf(p).setCount;
    };
    model.NotifyPageChanged = [](Page) { ++state.notified; };

    viewer = ViewerTable{};
    viewer.size = sizeof viewer;
    viewer.Alert = [](int16_t, const char *message, const char *, const char *, const char *,
                      HostBool) {
        state.questions.push_back(message);
        if (state.answers.empty()) return 0;
        const int32_t answer = state.answers.front();
        state.answers.pop_front();
        return answer;
    };
    viewer.AlertNote = [](const char *message) { state.notes.push_back(message); };
    viewer.GetCancelCheck = [](void **data) -> CancelCheckProc {
        *data = kSlotData;
        return [](void *data) -> HostBool {
            CheckData(data);
            ++state.polls;
            return state.stopFromPoll != 0 && state.polls >= state.stopFromPoll;
        };
    };
    viewer.GetProgressMonitor = [](void **data) -> const ProgressMonitor * {
        *data = kSlotData;
        return state.monitor ? &monitor : nullptr;
    };
    viewer.GetActiveDocWindow = [] { return TheWindow(); };
    viewer.DocumentOf = [](DocWindow) { return TheDocument(); };
    viewer.PageViewOf = [](DocWindow) { return TheView(); };
    viewer.PageNumberOf = [](PageView) { return static_cast<int32_t>(state.currentPage); };

    host = HostTables{};
    host.support = &support;
    host.model = &model;
    host.viewer = &viewer;

    CropSelection = CropSelectionState{};
    OrientationPolicy = OrientationPolicyValue::Unset;
}

}  // namespace fake
