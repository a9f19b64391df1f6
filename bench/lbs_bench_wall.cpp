// Wall times of the first link's busy paths, each beside its reference:
// a position reply and a 150-position batch from the framework's data
// callback to the host callback against one bare json-glib parse of the same
// text, and every request rendering against g_strdup_printf of the same
// template and values. Wall times move with the machine's load; the budgets
// are judged on instruction counts (bench/run.sh).
#include "lbs_bench_fixture.h"

#include <lbs_consumer_plugin.h>

#include <benchmark/benchmark.h>
#include <glib.h>

#include <cstdio>
#include <string>

namespace {

using namespace lbs_bench;

void reply(benchmark::State &state, const std::string &text, bool through_plugin)
{
    for (auto _ : state) {
        if (through_plugin)
            deliver(text);
        else
            benchmark::DoNotOptimize(bare_parse(text));
        // The log stand-in keeps every line; emptying it now and then keeps
        // its memory flat without costing the loop anything measurable.
        if ((state.iterations() & 1023) == 0)
            clear_log();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void render(benchmark::State &state, char *(*make)())
{
    for (auto _ : state) {
        char *text = make();
        benchmark::DoNotOptimize(text);
        g_free(text);
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

int main(int argc, char **argv)
{
    if (!bring_up_link() || !request_cases_agree())
        return 1;
    static const std::string batch = batch_reply(LBS_CONSUMER_MAX_BATCH_POSITIONS);

    benchmark::RegisterBenchmark("reply/plugin", reply, position_reply(), true);
    benchmark::RegisterBenchmark("reply/json_parser", reply, position_reply(), false);
    benchmark::RegisterBenchmark("batch150/plugin", reply, batch, true);
    benchmark::RegisterBenchmark("batch150/json_parser", reply, batch, false);
    for (const RequestCase &c : request_cases()) {
        benchmark::RegisterBenchmark((std::string("render/") + c.name).c_str(), render, c.render);
        benchmark::RegisterBenchmark((std::string("printf/") + c.name).c_str(), render, c.printf);
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    tear_down_link();
    return 0;
}
