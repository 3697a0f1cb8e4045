// SaveState and LoadState (SntSettings.dat and SntQMXMSG.dat) for 100, 1,000 and 5,000
// objects, every one with a message. The files go to $SENTREL_BENCH_DIR (default /tmp):
// each save is an atomic replace with fsync, so the disk under that folder decides most
// of the cost.
#include <benchmark/benchmark.h>

#include "BenchSupport.h"

namespace {

void FillMessages(CDataStore& store) {
    for (int i = 0; i < store.objectCount; ++i) {
        ObjectRecord& o = store.Object(i);
        const InboxRecord r =
            bench::PositionRecord(o.Number(), 56.8 + i * 1e-5, 60.6, DateTime(46000.5 + i));
        o.lastMessage = r.header.raw;
        o.hasMessage = kHasPosition;
        o.pathMetres = 12345.5 + i;
        o.lastMessageTime = r.header.messageTime;
        o.lastReceivedAt = r.header.receiveTime;
        o.lastEventKind = 4;
        o.lastEventTime = r.header.messageTime;
        o.lastEventText = W("Склад Сортировка");
        o.lastZoneName = o.lastEventText;
        o.hasSettings = 1;
    }
}

void BM_SaveState(benchmark::State& state) {
    FixedClock clock;
    bench::ConsoleRig rig(static_cast<int>(state.range(0)), 20, clock);
    CDataStore& store = rig.console->store;
    FillMessages(store);
    for (auto _ : state) {
        if (!store.SaveState()) {
            state.SkipWithError("SaveState failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(
        state.iterations() * state.range(0) *
        static_cast<int64_t>(CDataStore::kSettingsRecordSize + CDataStore::kMessageRecordSize));
}
BENCHMARK(BM_SaveState)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

void BM_LoadState(benchmark::State& state) {
    FixedClock clock;
    bench::ConsoleRig rig(static_cast<int>(state.range(0)), 20, clock);
    CDataStore& store = rig.console->store;
    FillMessages(store);
    store.SaveState();
    store.SaveHistory();
    for (auto _ : state)
        store.LoadState();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LoadState)
    ->Arg(100)
    ->Arg(1000)
    ->Arg(5000)
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
