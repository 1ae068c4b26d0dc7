#include "bench/screen/ScreenPixels.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdlib>
#include <ctime>

namespace {
// A window that goes away between the query and the read must not end the bench.
int IgnoreXErrors(Display*, XErrorEvent*) {
  return 0;
}
}  // namespace

ScreenPixels::ScreenPixels() {
  display_ = XOpenDisplay(nullptr);
  if (!display_) return;
  XSetErrorHandler(&IgnoreXErrors);
  pidAtom_ = XInternAtom(display_, "_NET_WM_PID", False);
}

ScreenPixels::~ScreenPixels() {
  if (display_) XCloseDisplay(display_);
}

unsigned long ScreenPixels::MappedWindowOf(qint64 pid, int minWidth, int minHeight) {
  if (!display_) return 0;
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count))
    return 0;
  unsigned long found = 0;
  // Without a window manager the programs' windows are the root's own children.
  for (unsigned int i = 0; i < count && !found; ++i) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display_, children[i], &attributes)) continue;
    if (attributes.map_state != IsViewable || attributes.width < minWidth ||
        attributes.height < minHeight)
      continue;
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display_, children[i], pidAtom_, 0, 1, False, XA_CARDINAL, &type,
                           &format, &items, &after, &data) == Success &&
        data && items == 1 && format == 32) {
      if (static_cast<qint64>(*reinterpret_cast<unsigned long*>(data)) == pid) found = children[i];
    }
    if (data) XFree(data);
  }
  if (children) XFree(children);
  return found;
}

std::vector<QRgb> ScreenPixels::Row(unsigned long window, int x, int y, int width) {
  std::vector<QRgb> row;
  if (!display_ || !window) return row;
  XImage* image =
      XGetImage(display_, window, x, y, static_cast<unsigned>(width), 1, AllPlanes, ZPixmap);
  if (!image) return row;
  row.reserve(static_cast<size_t>(width));
  for (int i = 0; i < width; ++i) row.push_back(XGetPixel(image, i, 0) & 0xffffff);
  XDestroyImage(image);
  return row;
}

double NowMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

int NearestColour(QRgb c, const QList<QRgb>& palette, int tolerance) {
  int best = -1;
  int bestDistance = tolerance + 1;
  for (int i = 0; i < palette.size(); ++i) {
    const int d = std::abs(qRed(c) - qRed(palette[i])) + std::abs(qGreen(c) - qGreen(palette[i])) +
                  std::abs(qBlue(c) - qBlue(palette[i]));
    if (d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best;
}
