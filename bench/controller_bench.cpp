// Bulk read throughput of the controller interface against an in-memory simulated EX64:
// 16 MiB through ReadArea in 256-byte blocks (command 0xE0). Reports the port accesses per
// payload byte (the cost that matters on real hardware) and the host time per block.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "controller/block_access.h"
#include "sim/sim.h"

namespace {

constexpr uint32_t kTransferBytes = 16u << 20;
constexpr uint32_t kBlockSize = 256;
constexpr uint32_t kChunkBytes = 10240;  // the transfer engine's chunk

void BM_ReadAreaLargeBlocks(benchmark::State& state) {
  sim::MachineConfig config = sim::DefaultMachineConfig();
  config.pcType = 18;  // EX64
  sim::StartInMemory(config);
  const uint32_t flashSize = uint32_t(sim::AreaSize(sim::Area::Flash));
  const uint32_t usable = flashSize - flashSize % kChunkBytes;
  std::vector<uint8_t> buffer(kChunkBytes);

  uint64_t accesses = 0;
  uint64_t payload = 0;
  for (auto _ : state) {
    sim::ClearPortAccessCount();
    sim::ClearLog();  // keep the in-memory log from growing over the iterations
    uint32_t offset = 0;
    for (uint32_t moved = 0; moved < kTransferBytes; moved += kChunkBytes) {
      drux::MemoryArea area{};
      area.command = 0xE0;
      area.start = offset;
      area.size = kTransferBytes - moved < kChunkBytes ? kTransferBytes - moved : kChunkBytes;
      area.size -= area.size % kBlockSize;
      area.largeBlocks = 1;
      uint8_t errorByte = 0;
      if (drux::ReadArea(area, buffer.data(), &errorByte) != 0) {
        state.SkipWithError("ReadArea failed");
        return;
      }
      payload += area.size;
      offset = (offset + kChunkBytes) % usable;
    }
    accesses += sim::PortAccessCount();
    benchmark::DoNotOptimize(buffer.data());
  }
  const double blocks = double(payload) / kBlockSize;
  state.SetBytesProcessed(int64_t(payload));
  state.counters["accesses_per_byte"] = benchmark::Counter(double(accesses) / double(payload));
  state.counters["accesses_per_block"] = benchmark::Counter(double(accesses) / blocks);
  state.counters["time_per_block"] =
      benchmark::Counter(blocks, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ReadAreaLargeBlocks)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
