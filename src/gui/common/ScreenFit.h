#pragma once

#include <QSize>

class QWidget;

// A window's first size: the size it would like, but never beyond the screen's free area (a
// 1024x768 desk included), and never below what its controls need.
namespace ScreenFit {
QSize initialSize(const QWidget *window, QSize wanted);
} // namespace ScreenFit
