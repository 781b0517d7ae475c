// Twips (1/1440 inch) are the unit every position and size of the wizard's
// windows is given in. This is the one place that turns them into screen
// pixels and back, using the screen's logical DPI, so a layout keeps its
// proportions on any screen.
#pragma once

#include <QRect>

class QWidget;

namespace veltrano {

inline constexpr int kTwipsPerInch = 1440;

// Logical dots per inch of the primary screen (96 when there is no screen).
double logicalDpi();

// Rounded conversions.
int toPixels(int twips);
int toTwips(int pixels);

// Pixel rectangle of a rectangle given in twips.
QRect twipsRect(int left, int top, int width, int height);

// Places a widget at a rectangle given in twips (relative to its parent).
void setTwipsGeometry(QWidget* widget, int left, int top, int width, int height);

// Inner (client) size of a top-level window, in twips.
void setTwipsClientSize(QWidget* window, int width, int height);

}  // namespace veltrano
