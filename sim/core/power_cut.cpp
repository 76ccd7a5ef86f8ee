// A power cut at a command: the memories keep what they hold at that moment (the blocks
// written so far), the machine starts again when the power returns, and the program that sent
// the command ends on the spot, before it can release or finish anything.
#include <cstring>

#include "sim/core/machine.h"

namespace sim::internal {

void CutPower(Machine& machine, const LogEntry& command) {
  LogEntry cut = command;
  cut.state = kStateWorking;  // the command never finished
  cut.errorByte = 0;
  AppendLog(machine, cut);
  // Registers die with the power: the host's lock, the command state, the windows and the
  // panel registers come back in their reset state.
  machine.statusLow = 0;
  machine.commandLatch = 0;
  machine.panelSelect = 0;
  std::memset(machine.panelIndirectIndex, 0, sizeof machine.panelIndirectIndex);
  machine.windowWritesBeforeCommand = 0;
  machine.replyBeingFetched = false;
  machine.replyBytes = 0;
  PowerCycleAll();
  machine.stateDirty = true;
  EndRunAfterPowerCut();
}

}  // namespace sim::internal
