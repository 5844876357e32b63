// SPDX-License-Identifier: AGPL-3.0-or-later
// A small in-process stand-in for the host's tables, enough to run the crop
// engine's page logic without loading the module: pages with boxes, queued
// answers to questions, a stop request after N polls, and a log of what the
// engine told the user and the progress monitor.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "vellora_sdk.h"

namespace fake {

constexpr Fixed Pt(double points)
{
    return static_cast<Fixed>(points * 65536.0);
}

inline FixedRect Rect(double left, double top, double right, double bottom)
{
    return FixedRect{Pt(left), Pt(top), Pt(right), Pt(bottom)};
}

struct FakePage {
    FixedRect media;
    FixedRect crop;
    FixedRect bbox;
    int16_t rotation;
    int setCount;  // Model.SetCropBox calls
};

struct State {
    std::vector<FakePage> pages;
    int currentPage = 0;
    std::deque<int32_t> answers;     // Viewer.Alert answers, in order
    std::vector<std::string> notes;  // Viewer.AlertNote texts
    std::vector<std::string> questions;
    int stopFromPoll = 0;  // 0: never; N: the N-th poll and later say stop
    int polls = 0;
    bool monitor = true;
    bool refuseAllocate = false;
    std::vector<std::string> progress;  // "begin", "duration 5", "value 2", "end"
    int acquired = 0;                   // pages acquired and not yet released
    int notified = 0;
    int allocations = 0;  // blocks not yet freed
    int wrongData = 0;    // cancel check or monitor calls without the data word they gave out
};

extern State state;

// Installs fresh fake tables into the module state and clears the module's
// own state (selection, orientation policy).
void Install(std::vector<FakePage> pages);

// 16.16 division rounded to nearest, as the host's.
Fixed FixedDiv(Fixed a, Fixed b);

}  // namespace fake
