// Time of load_settings() on a large settings file against a bare Expat parse of the same
// file (same 4096-byte chunks, no handlers). The reader's own work (the callbacks, the state
// machine, the text accumulator) is the difference between the two.
//
//   orvo-bench-settings-load FILE [--benchmark_... flags]
//
// scripts/bench-settings.sh generates FILE (bench/make_padded_settings.py) and runs this.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <iostream>
#include <string>

#include "bench/bare_parse.h"
#include "process/load_settings.h"

namespace {

std::string settings_file;

void set_bytes(benchmark::State& state) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(std::filesystem::file_size(settings_file)));
}

void load_settings_file(benchmark::State& state) {
    for (auto _ : state) {
        settings_record record;
        load_settings(settings_file, record);
        benchmark::DoNotOptimize(record.options.size());
    }
    set_bytes(state);
}

void bare_expat(benchmark::State& state) {
    for (auto _ : state) {
        if (!bare_expat_parse(settings_file)) {
            state.SkipWithError("the file is not well-formed");
            break;
        }
    }
    set_bytes(state);
}

} // namespace

BENCHMARK(load_settings_file)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(bare_expat)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (argc != 2) {
        std::cerr << "usage: orvo-bench-settings-load FILE [--benchmark_... flags]\n";
        return 2;
    }
    settings_file = argv[1];
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
