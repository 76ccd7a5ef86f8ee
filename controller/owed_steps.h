// Steps the program owes the controller before the run may end: once an update has lifted the
// write protection of a panel's flash, the protection must be set again, interrupt or not.
#pragma once

namespace drux {

// From BeginOwedSteps to EndOwedSteps a Ctrl-C (SIGINT, SIGTERM) does not end the run: the
// ordinary commands after it fail at once (as after a time-out), the owed ones still run, and
// EndOwedSteps then ends the run with "ERROR: Interrupted." and 7. BeginOwedSteps first acts
// on an interrupt that came before it, while nothing is owed yet. The scopes nest.
void BeginOwedSteps();
void EndOwedSteps();
bool StepsOwed();

// Ends the run with "ERROR: Interrupted." and 7 when the user asked to stop and nothing is
// owed to the controller; otherwise returns. Exit removes files still being written.
void EndRunIfInterrupted();

}  // namespace drux
