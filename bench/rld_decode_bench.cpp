// Decoding the carried picture, against a memset of the same number of
// bytes: the ratio says how far RldDecode is from plain memory bandwidth.
#include "data/background_picture.h"
#include "data/rld_decode.h"

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const size_t PictureBytes = 600 * 450 * 4;

void BM_RldDecodeBackground(benchmark::State& State) {
    std::vector<uint8_t> Pixels(PictureBytes);
    const uint8_t* Stream = Velmora::BackgroundPicture + Velmora::RldHeaderSize;
    const size_t Length = Velmora::BackgroundPictureSize - Velmora::RldHeaderSize;
    uint32_t Written = 0;
    for (auto _ : State) {
        Written = Velmora::RldDecode(Stream, Length, Pixels.data(), Pixels.size());
        benchmark::DoNotOptimize(Pixels.data());
        benchmark::ClobberMemory();
    }
    if (Written != PictureBytes) {
        State.SkipWithError("the carried picture did not decode to 600 x 450 pixels");
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(PictureBytes));
}
BENCHMARK(BM_RldDecodeBackground);

void BM_MemsetSameSize(benchmark::State& State) {
    std::vector<uint8_t> Pixels(PictureBytes);
    int Value = 0;
    for (auto _ : State) {
        std::memset(Pixels.data(), Value++ & 0xFF, Pixels.size());
        benchmark::DoNotOptimize(Pixels.data());
        benchmark::ClobberMemory();
    }
    State.SetBytesProcessed(int64_t(State.iterations()) * int64_t(PictureBytes));
}
BENCHMARK(BM_MemsetSameSize);

// Prints as the console reporter does and keeps each benchmark's median
// time per iteration (or its single run's time) for the summary line.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> Nanoseconds;

    // Colours only for a terminal.
    RecordingReporter() : ConsoleReporter(isatty(fileno(stdout)) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& Reports) override {
        for (const Run& Report : Reports) {
            if (Report.error_occurred || Report.iterations <= 0) {
                continue;
            }
            const std::string Name = Report.run_name.function_name;
            if (Report.run_type == Run::RT_Aggregate && Report.aggregate_name == "median") {
                Nanoseconds[Name] = Report.GetAdjustedCPUTime();
            } else if (Report.run_type == Run::RT_Iteration && Report.repetitions <= 1) {
                Nanoseconds[Name] = Report.GetAdjustedCPUTime();
            }
        }
        ConsoleReporter::ReportRuns(Reports);
    }
};

} // namespace

int main(int ArgumentCount, char** Arguments) {
    // Repeated runs, medians reported, unless the caller asks otherwise.
    std::vector<char*> Options(Arguments, Arguments + ArgumentCount);
    bool Repetitions = false;
    for (int Index = 1; Index < ArgumentCount; ++Index) {
        Repetitions |= std::strncmp(Arguments[Index], "--benchmark_repetitions", 23) == 0;
    }
    char RepeatOption[] = "--benchmark_repetitions=15";
    char AggregatesOption[] = "--benchmark_report_aggregates_only=true";
    char InterleaveOption[] = "--benchmark_enable_random_interleaving=true";
    if (!Repetitions) {
        Options.push_back(RepeatOption);
        Options.push_back(AggregatesOption);
        Options.push_back(InterleaveOption);
    }
    int OptionCount = int(Options.size());
    Options.push_back(nullptr);
    benchmark::Initialize(&OptionCount, Options.data());
    if (benchmark::ReportUnrecognizedArguments(OptionCount, Options.data())) {
        return 1;
    }
    RecordingReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    benchmark::Shutdown();

    auto Decode = Reporter.Nanoseconds.find("BM_RldDecodeBackground");
    auto Memset = Reporter.Nanoseconds.find("BM_MemsetSameSize");
    if (Decode == Reporter.Nanoseconds.end() || Memset == Reporter.Nanoseconds.end()) {
        return 0; // filtered out or failed: nothing to compare
    }
    std::printf("Encoded picture: %u bytes; decoded: %zu bytes\n",
                unsigned(Velmora::BackgroundPictureSize), PictureBytes);
    std::printf("RldDecode: %.1f us, memset: %.1f us (medians of CPU time)\n",
                Decode->second / 1000, Memset->second / 1000);
    std::printf("RldDecode / memset ratio: %.2f\n", Decode->second / Memset->second);
    return 0;
}
