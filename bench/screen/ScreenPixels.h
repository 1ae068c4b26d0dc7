#pragma once
// What a program shows, read off the X screen from another connection: the top-level window a
// process maps, and a row of its pixels as they are on screen at this moment. The benches that
// time what the user sees (a slide against its frame, a window's first appearance) poll these.

#include <QList>
#include <QRgb>
#include <QString>
#include <cstdint>
#include <vector>

class ScreenPixels {
 public:
  // Opens the display named by $DISPLAY.
  ScreenPixels();
  ~ScreenPixels();
  ScreenPixels(const ScreenPixels&) = delete;
  ScreenPixels& operator=(const ScreenPixels&) = delete;

  bool IsOpen() const { return display_ != nullptr; }
  // The viewable top-level window of process pid (by its _NET_WM_PID) that is at least
  // minWidth x minHeight, 0 while there is none.
  unsigned long MappedWindowOf(qint64 pid, int minWidth = 100, int minHeight = 100);
  // width pixels of window from (x, y) to the right, as 0xRRGGBB; empty when the window cannot be
  // read (not viewable, gone).
  std::vector<QRgb> Row(unsigned long window, int x, int y, int width);

 private:
  struct _XDisplay* display_ = nullptr;
  unsigned long pidAtom_ = 0;
};

// Monotonic time in milliseconds (the same clock for every bench that uses this).
double NowMs();

// The colour of a palette nearest to c, or -1 when none is within tolerance (a picture not yet
// drawn, a border).
int NearestColour(QRgb c, const QList<QRgb>& palette, int tolerance = 60);
