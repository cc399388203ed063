// FrameClock: when the player draws its frames. Frames are due on a fixed
// grid of the clock, start + k x period; the player waits for the next one
// that is due, and when drawing made it late, the frames whose time has
// passed are dropped rather than drawn one after another. A frame's number k
// is also its place in the animation, so a dropped frame moves the
// animation on as a drawn one does, and the animation keeps its pace.
// Times are in microseconds of any steady clock.
#pragma once

#include <cstdint>

struct FrameClock {
  int64_t Start = 0;
  int64_t Period = 1;    // microseconds between frames, at least 1
  int64_t Next = 0;      // the number of the next frame to draw
  int64_t Drawn = 0;
  int64_t Dropped = 0;
};

// Starts the grid at now with the frame delay in milliseconds (at least 1);
// frame 0 is due at once.
void ClockStart(FrameClock& clock, int64_t now, int32_t delayMs);
// Microseconds from now until the next frame is due; 0 when it is due.
int64_t ClockWait(const FrameClock& clock, int64_t now);
// The frame to draw now: the latest frame due by now (those before it that
// were not drawn count as dropped), or -1 when no frame is due yet. The next
// frame is the one after it.
int64_t ClockTake(FrameClock& clock, int64_t now);
// Passes over the frames whose time came while nothing was to be drawn (the
// display was off): they count neither as drawn nor as dropped, and the next
// frame is the one due at now, or a later one when that is not due yet.
void ClockSkip(FrameClock& clock, int64_t now);
// Milliseconds to wait for a number of microseconds, rounded up so that the
// wait does not end before the frame is due.
int32_t ClockWaitMs(int64_t micros);
