#!/usr/bin/env bash
# The layering check against one-include trees: each case is a file, the header it includes,
# and whether the check must accept it.
# Usage: tests/tools/check_layering_cases.sh <path of tools/check-layering>
set -uo pipefail
check=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cases=(
  "controller/a.cpp   platform/platform.h        accept"
  "transfer/a.h       controller/command.h       accept"
  "settings/a.cpp     firmware/image_header.h    accept"
  "frontend/a.cpp     diagnostics/statistics.h   accept"
  "app/a.cpp          frontend/startup.h         accept"
  "sim/a.cpp          controller/registers.h     accept"
  "sim/tool/a.cpp     sim/sim.h                  accept"
  "platform/a.cpp     controller/command.h       refuse"
  "platform/hosted/a.cpp sim/sim.h               refuse"
  "platform/uefi/a.cpp frontend/exit_codes.h     refuse"
  "controller/a.cpp   transfer/prompts.h         refuse"
  "transfer/a.cpp     settings/module_area.h     refuse"
  "firmware/a.h       frontend/feature_set.h     refuse"
  "frontend/a.cpp     app/main.h                 refuse"
  "frontend/a.cpp     sim/sim.h                  refuse"
  "app/a.cpp          sim/sim.h                  refuse"
  "sim/a.cpp          transfer/prompts.h         refuse"
  "controller/a.cpp   tests/support/x.h          refuse"
  # The simulator's own floors: core < devices < commands, defaults; the tool and the bindings.
  "sim/core/a.cpp     sim/sim.h                  accept"
  "sim/core/a.cpp     sim/core/machine.h         accept"
  "sim/devices/a.cpp  sim/core/command_call.h    accept"
  "sim/commands/a.cpp sim/devices/fpga_module.h  accept"
  "sim/defaults/a.cpp sim/devices/fpga_image.h   accept"
  "sim/tool/a.cpp     sim/devices/fpga_image.h   accept"
  "sim/hosted/a.cpp   platform/hosted/x.h        accept"
  "sim/core/a.cpp     sim/devices/fpga_module.h  refuse"
  "sim/core/a.cpp     sim/commands/commands.h    refuse"
  "sim/core/a.cpp     sim/defaults/x.h           refuse"
  "sim/devices/a.cpp  sim/commands/commands.h    refuse"
  "sim/devices/a.cpp  sim/defaults/x.h           refuse"
  "sim/commands/a.cpp sim/defaults/x.h           refuse"
  "sim/defaults/a.cpp sim/commands/commands.h    refuse"
  "sim/commands/a.cpp sim/tool/tool.h            refuse"
  "sim/core/a.cpp     sim/hosted/x.h             refuse"
  "sim/tool/a.cpp     sim/core/machine.h         refuse"
  "sim/tool/a.cpp     sim/commands/commands.h    refuse"
  "sim/hosted/a.cpp   sim/core/machine.h         refuse"
  "sim/uefi/a.cpp     sim/devices/fpga_image.h   refuse"
  "sim/a.h            sim/core/machine.h         refuse"
  "sim/commands/a.cpp transfer/prompts.h         refuse"
  "app/a.cpp          sim/core/machine.h         refuse"
)

failures=0
for entry in "${cases[@]}"; do
  read -r file header expected <<<"$entry"
  tree="$work/tree"
  rm -rf "$tree"
  mkdir -p "$tree/$(dirname "$file")"
  printf '#include <cstdint>\n#include "%s"\n' "$header" >"$tree/$file"
  if "$check" "$tree" >/dev/null 2>&1; then got=accept; else got=refuse; fi
  if [ "$got" != "$expected" ]; then
    echo "FAIL: $file including $header: expected $expected, got $got"
    failures=$((failures + 1))
  fi
done
echo "layering check cases: ${#cases[@]} cases, $failures failed"
[ $failures -eq 0 ]
