#pragma once
// A pause of the mail check at a named step, for the tests that stop the real program at an exact
// point of a check (kill -9) and start it again. With QUILLON_HOLD_STEP naming the step and
// QUILLON_HOLD_DIR a folder, the check writes "<step>.reached" into that folder when it gets there
// and waits until "<step>.go" appears beside it (at most MaxHoldMs). Without both variables, or at
// any other step, it goes straight on.

namespace StepHold {
constexpr int MaxHoldMs = 10 * 60 * 1000;
void at(const char *step);
} // namespace StepHold
