// SPDX-License-Identifier: AGPL-3.0-or-later
// The plug-in and the host together, per page: the crop tool crops every
// page of an in-memory document (the plug-in's page steps and every host
// call they make, without a trace). Google Benchmark; the per_page counter
// is the figure.
#include "script/interpreter.h"

#include <benchmark/benchmark.h>

#include <sstream>
#include <stdexcept>
#include <string>

namespace {

// Runs script lines in the interpreter; a failure ends the benchmark.
void Run(vellora::Interpreter& in, const std::string& lines, benchmark::State& state)
{
    if (in.run(lines) != 0)
        state.SkipWithError("the host script failed");
}

void CropAllPages(benchmark::State& state)
{
    const int pages = static_cast<int>(state.range(0));
    std::ostringstream out, err;
    vellora::ScriptRunOptions options;
    options.modulePath = VX_MODULE_PATH;
    options.out = &out;
    options.err = &err;
    vellora::Interpreter in("(bench)", options);
    Run(in,
        "host window 0 0 1280 800\nload\nnew doc " + std::to_string(pages) +
            "\nbutton \"ZUNO:TrimVex\"\n",
        state);
    for (auto _ : state) {
        Run(in, "pdrag 100 100 400 500\nanswer \"All Pages\"\npclick 250 300\nexpect region none\n",
            state);
    }
    state.counters["per_page"] = benchmark::Counter(
        pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    if (!err.str().empty())
        state.SetLabel(err.str().substr(0, 60));
}

BENCHMARK(CropAllPages)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond)->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();
