// Units of the controller's statistics counters: times in quarter hours, temperatures as a
// 10-bit two's-complement value in steps of a quarter degree.
#pragma once

#include <cstdint>

namespace drux {

struct HoursAndMinutes {
  unsigned long hours;
  unsigned long minutes;
};

constexpr HoursAndMinutes QuarterHoursToTime(uint32_t quarterHours) {
  return {quarterHours / 4, (quarterHours % 4) * 15};
}

// The sensor reading sits in bits 6-15; bits 0-5 carry no value.
constexpr double TemperatureCelsius(uint16_t word) {
  // Arithmetic shift: the sign of the 16-bit word carries over to the 10-bit value.
  return (static_cast<int16_t>(word) >> 6) / 4.0;
}

}  // namespace drux
