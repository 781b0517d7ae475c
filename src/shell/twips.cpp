#include "shell/twips.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace veltrano {

double logicalDpi() {
    if (auto* screen = QGuiApplication::primaryScreen()) {
        double dpi = screen->logicalDotsPerInchX();
        if (dpi > 0) return dpi;
    }
    return 96.0;
}

int toPixels(int twips) { return static_cast<int>(std::lround(twips * logicalDpi() / kTwipsPerInch)); }

int toTwips(int pixels) { return static_cast<int>(std::lround(pixels * kTwipsPerInch / logicalDpi())); }

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

void setTwipsGeometry(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twipsRect(left, top, width, height));
}

void setTwipsClientSize(QWidget* window, int width, int height) {
    window->setFixedSize(toPixels(width), toPixels(height));
}

}  // namespace veltrano
