#pragma once

// Window and control sizes are designed in twips (1/1440 inch), turned into a
// window's pixels at the window's own resolution so that every control of a
// window scales alike.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QWidget>

#include "session/twips.h"

namespace tessaly {

class TwipsScale {
 public:
  explicit TwipsScale(const QWidget& window)
      : dpiX_(window.logicalDpiX()), dpiY_(window.logicalDpiY()) {}

  int X(double twips) const { return TwipsToPixels(twips, dpiX_); }
  int Y(double twips) const { return TwipsToPixels(twips, dpiY_); }
  QPoint Point(double x, double y) const { return {X(x), Y(y)}; }
  QSize Size(double width, double height) const { return {X(width), Y(height)}; }

  // Names a control and places it where it was designed.
  void Place(QWidget* control, const char* name, double left, double top, double width,
             double height) const {
    control->setObjectName(name);
    control->setGeometry(X(left), Y(top), X(width), Y(height));
  }

 private:
  int dpiX_;
  int dpiY_;
};

}  // namespace tessaly
