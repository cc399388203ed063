// FrameClock: the grid of frame times.
#include "player/FrameClock.h"

void ClockStart(FrameClock& clock, int64_t now, int32_t delayMs) {
  clock.Start = now;
  clock.Period = delayMs < 1 ? 1000 : int64_t(delayMs) * 1000;
  clock.Next = 0;
  clock.Drawn = 0;
  clock.Dropped = 0;
}

int64_t ClockWait(const FrameClock& clock, int64_t now) {
  int64_t due = clock.Start + clock.Next * clock.Period;
  return due > now ? due - now : 0;
}

int64_t ClockTake(FrameClock& clock, int64_t now) {
  if (now < clock.Start + clock.Next * clock.Period) return -1;
  int64_t frame = (now - clock.Start) / clock.Period;
  clock.Dropped += frame - clock.Next;
  clock.Drawn += 1;
  clock.Next = frame + 1;
  return frame;
}

void ClockSkip(FrameClock& clock, int64_t now) {
  if (now >= clock.Start + clock.Next * clock.Period) clock.Next = (now - clock.Start) / clock.Period;
}

int32_t ClockWaitMs(int64_t micros) {
  if (micros <= 0) return 0;
  int64_t ms = (micros + 999) / 1000;
  return ms > 0x7FFFFFFF ? 0x7FFFFFFF : int32_t(ms);
}
