#pragma once
// What every benchmark program's main does once its application object exists:
// the benchmarks named on the command line.
#include <benchmark/benchmark.h>

namespace corvix::bench {

inline int RunBenchmarks(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace corvix::bench
