// trap_probe CASE [COUNT]: port accesses of every kind, right and wrong, for the harness's
// tests. Without the harness each port instruction would kill it.
//   idle       no port access at all (can the program be traced here?)
//   block      the register block granted: prints the identification register, writes a byte
//              into the large window and reads it back
//   count N    N reads of the identification register (the cost of a trapped access)
//   range      asks for ports 0x4000-0x41ff
//   word       inw %dx,%ax inside the block
//   immediate  inb $0x80,%al
//   outside    inb %dx,%al at 0x3ff0
//   crash      a write through a null pointer: the program's own fault, not a port access
#include <sys/io.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint16_t kIdentification = 0x4100;
constexpr uint16_t kLargeWindow = 0x4000;

bool GetBlock() {
  if (::ioperm(0x4000, 0x194, 1) != 0) {
    std::perror("ioperm");
    return false;
  }
  return true;
}

uint8_t In(uint16_t port) {
  uint8_t value = 0;
  asm volatile("inb %1, %0" : "=a"(value) : "d"(port));
  return value;
}

void Out(uint16_t port, uint8_t value) {
  asm volatile("outb %0, %1" : : "a"(value), "d"(port));
}

int Block() {
  uint32_t id = 0;
  for (int i = 0; i < 4; ++i) {
    id |= uint32_t(In(kIdentification + i)) << (8 * i);
  }
  Out(kLargeWindow, 0x5a);
  std::printf("identification 0x%08x, window 0x%02x\n", unsigned(id), unsigned(In(kLargeWindow)));
  return 0;
}

int Count(long count) {
  unsigned sum = 0;
  for (long i = 0; i < count; ++i) {
    sum += In(kIdentification);
  }
  std::printf("%ld reads, sum %u\n", count, sum);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const char* test = argc > 1 ? argv[1] : "";
  if (std::strcmp(test, "idle") == 0) {
    return 0;
  }
  if (std::strcmp(test, "range") == 0) {
    return ::ioperm(0x4000, 0x200, 1) == 0 ? 0 : 1;
  }
  if (!GetBlock()) {
    return 1;
  }
  if (std::strcmp(test, "block") == 0) {
    return Block();
  }
  if (std::strcmp(test, "count") == 0 && argc > 2) {
    return Count(std::atol(argv[2]));
  }
  if (std::strcmp(test, "word") == 0) {
    uint16_t value = 0;
    asm volatile("inw %1, %0" : "=a"(value) : "d"(kIdentification));
    return value;
  }
  if (std::strcmp(test, "immediate") == 0) {
    uint8_t value = 0;
    asm volatile("inb $0x80, %0" : "=a"(value));
    return value;
  }
  if (std::strcmp(test, "outside") == 0) {
    return In(0x3ff0);
  }
  if (std::strcmp(test, "crash") == 0) {
    *static_cast<volatile int*>(nullptr) = 1;
  }
  std::fprintf(stderr, "unknown case %s\n", test);
  return 2;
}
