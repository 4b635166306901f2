#include "platform/WindowLook.h"

#include "platform/Rounding.h"

#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace Larkhill {

namespace WindowLook {

namespace {

double logicalDpiX() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->logicalDotsPerInchX() : 96.0;
}

double logicalDpiY() {
  const QScreen* screen = QGuiApplication::primaryScreen();
  return screen ? screen->logicalDotsPerInchY() : 96.0;
}

} // namespace

void useScreenPixels() {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  // Qt 6 has no attribute for it any more; its environment switch still works.
  qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
#else
  QCoreApplication::setAttribute(Qt::AA_DisableHighDpiScaling);
#endif
}

double twipsPerPixelX() {
  return kTwipsPerInch / logicalDpiX();
}
double twipsPerPixelY() {
  return kTwipsPerInch / logicalDpiY();
}

int twipsToPixelsX(int twips) {
  return static_cast<int>(std::lround(twips / twipsPerPixelX()));
}
int twipsToPixelsY(int twips) {
  return static_cast<int>(std::lround(twips / twipsPerPixelY()));
}

QRect twipsRect(int left, int top, int width, int height) {
  return QRect(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width),
               twipsToPixelsY(height));
}

QColor vbColor(uint32_t bbggrr) {
  return QColor(int(bbggrr & 0xFF), int((bbggrr >> 8) & 0xFF), int((bbggrr >> 16) & 0xFF));
}

QFont sansFont(double pointSize, bool bold, bool underline) {
  QFont font(QStringLiteral("MS Sans Serif"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(pointSize);
  font.setBold(bold);
  font.setUnderline(underline);
  return font;
}

// Pictures and the pointer are made for the widget that asks: the widget owns
// its copy, and Qt's own pixmap cache, which Qt empties itself, keeps the file
// from being decoded twice. Nothing of them outlives the application.
QCursor handCursor() {
  return QCursor(QPixmap(QStringLiteral(":/look/hand.png")), 10, 10);
}

QPixmap buttonFace() {
  return QPixmap(QStringLiteral(":/look/face.png"));
}

QPixmap buttonPressed() {
  return QPixmap(QStringLiteral(":/look/pressed.png"));
}

void setBackColor(QWidget* widget, uint32_t bbggrr) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, vbColor(bbggrr));
  palette.setColor(QPalette::Base, vbColor(bbggrr));
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void setForeColor(QWidget* widget, uint32_t bbggrr) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, vbColor(bbggrr));
  palette.setColor(QPalette::Text, vbColor(bbggrr));
  palette.setColor(QPalette::ButtonText, vbColor(bbggrr));
  widget->setPalette(palette);
}

void setCaptionColor(QWidget* frame, uint32_t bbggrr) {
  QPalette palette = frame->palette();
  palette.setColor(QPalette::WindowText, vbColor(bbggrr));
  frame->setPalette(palette);
}

double pictureScale() {
  return 15.0 / twipsPerPixelX();
}

QPoint centredPosition(const QSize& windowPixels) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QSize screenPixels = screen ? screen->size() : QSize(1024, 768);
  // Sizes in twips as single-precision values, divided by twips per pixel.
  const float tppX = static_cast<float>(twipsPerPixelX());
  const float tppY = static_cast<float>(twipsPerPixelY());
  const float screenWidth = static_cast<float>(screenPixels.width()) * tppX;
  const float screenHeight = static_cast<float>(screenPixels.height()) * tppY;
  const float width = static_cast<float>(windowPixels.width()) * tppX;
  const float height = static_cast<float>(windowPixels.height()) * tppY;
  return QPoint(roundHalfEven(double(screenWidth / tppX) / 2 - double(width / tppX) / 2),
                roundHalfEven(double(screenHeight / tppY) / 2 - double(height / tppY) / 2));
}

} // namespace WindowLook

} // namespace Larkhill
