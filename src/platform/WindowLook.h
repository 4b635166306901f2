#pragma once

#include "platform/Export.h"
#include <QColor>
#include <QCursor>
#include <QFont>
#include <QPixmap>
#include <QRect>
#include <cstdint>

class QWidget;

namespace LARKHILL_API Larkhill {

/**
 * The shared look of the component's windows: layouts in twips, colours in the
 * classic &H00BBGGRR& form, the classic sans fonts, the pointing-hand pointer
 * and the two pictures of the graphical buttons.
 */
namespace WindowLook {

/**
 * Makes widget pixels the screen's own pixels, with no scaling by Qt, in a
 * program that makes its own QApplication; call it before the QApplication is
 * made. That is Qt 5's default; Qt 6 otherwise scales every window by the
 * screen's pixel ratio. The twips of a layout then give the same pixels in a
 * Qt 5 and a Qt 6 build: twips divided by 1440 times the screen's logical dots
 * per inch. (A scale factor the user sets for Qt still applies in both.)
 */
void useScreenPixels();

/** Twips per inch: layouts are given in 1/1440 inch. */
constexpr int kTwipsPerInch = 1440;

/** Pixels for a horizontal length in twips on the primary screen (15 twips a pixel at 96 dpi). */
int twipsToPixelsX(int twips);
/** Pixels for a vertical length in twips on the primary screen. */
int twipsToPixelsY(int twips);
/** A rectangle given in twips (left, top, width, height), in pixels. */
QRect twipsRect(int left, int top, int width, int height);
/** The screen's twips per pixel, horizontally and vertically. */
double twipsPerPixelX();
double twipsPerPixelY();

/** The colour of a classic &H00BBGGRR& value. */
QColor vbColor(uint32_t bbggrr);

/** The back colour of the search and configuration windows, &H00C1B5AB&. */
constexpr uint32_t kWindowBackColor = 0x00C1B5ABu;
/** The dark red of frame captions, &H00000080&. */
constexpr uint32_t kCaptionColor = 0x00000080u;

/**
 * The classic sans font at a point size; where the classic face is missing the
 * nearest sans face is used at the same size.
 */
QFont sansFont(double pointSize, bool bold = false, bool underline = false);

/** The 32x32 pointing hand with its hot spot at 10, 10. */
QCursor handCursor();

/** The face picture of the graphical buttons (337x55). */
QPixmap buttonFace();
/** The picture of a pressed graphical button (336x55). */
QPixmap buttonPressed();

/** Sets a widget's background colour (and makes the widget paint it). */
void setBackColor(QWidget* widget, uint32_t bbggrr);
/** Sets a widget's text colour. */
void setForeColor(QWidget* widget, uint32_t bbggrr);
/** Sets the colour of a frame's caption only, so that the controls inside keep their own colours.
 */
void setCaptionColor(QWidget* frame, uint32_t bbggrr);

/**
 * How much larger than its pixels a picture drawn for 96 dpi (15 twips a pixel)
 * is shown, so that it keeps its place under controls laid out in twips.
 */
double pictureScale();

/**
 * Moves a top-level window so that its centre is the screen's centre, computed
 * as the classic forms do: screen and window sizes in twips divided by the
 * twips per pixel, halves rounded to the even number.
 */
QPoint centredPosition(const QSize& windowPixels);

} // namespace WindowLook

} // namespace Larkhill
