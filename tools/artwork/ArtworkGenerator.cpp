// Draws the pictures of the component's windows and writes them as PNG files
// into the source tree:
//   src/platform/resources/face.png     graphical button face, 337x55
//   src/platform/resources/pressed.png  pressed graphical button, 336x55
//   src/platform/resources/hand.png     pointing hand pointer, 32x32, hot spot 10,10
//   src/search/resources/logo.png       the vendor's logo, 120x50
//   src/help/resources/helppage.png     the help page, 733x533
// Usage: larkhill-artwork <source folder>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>


namespace {

const QString kCompany = QStringLiteral("LarkhillGIS");
const QString kProduct = QStringLiteral("LarkhillParcelSearch");
const QString kTagLine = QStringLiteral("Practical GIS tools for county government");
const QString kWebHost = QStringLiteral("www.larkhillgis.com");
const QString kInfoEmail = QStringLiteral("info@larkhillgis.com");
const QColor kBack(171, 181, 193); // &H00C1B5AB&
const QColor kCaption(128, 0, 0);  // &H00000080&

QFont sans(double points, bool bold = false, bool italic = false) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setStyleHint(QFont::SansSerif);
  font.setPointSizeF(points);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

QImage buttonFace() {
  QImage image(337, 55, QImage::Format_RGB32);
  QPainter painter(&image);
  QLinearGradient across(0, 0, 337, 0);
  across.setColorAt(0.0, QColor(176, 196, 222));
  across.setColorAt(0.5, QColor(120, 155, 195));
  across.setColorAt(1.0, QColor(70, 130, 180));
  painter.fillRect(image.rect(), across);
  QLinearGradient band(0, 18, 0, 37);
  band.setColorAt(0.0, QColor(255, 255, 255, 0));
  band.setColorAt(0.5, QColor(255, 255, 255, 170));
  band.setColorAt(1.0, QColor(255, 255, 255, 0));
  painter.fillRect(QRect(0, 18, 337, 19), band);
  return image;
}

QImage buttonPressed() {
  QImage image(336, 55, QImage::Format_RGB32);
  QPainter painter(&image);
  QLinearGradient down(0, 0, 0, 55);
  down.setColorAt(0.0, Qt::white);
  down.setColorAt(0.5, QColor(96, 112, 132));
  down.setColorAt(1.0, Qt::white);
  painter.fillRect(image.rect(), down);
  return image;
}

QImage handPointer() {
  QImage image(32, 32, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // The tip of the index finger is the hot spot, at 10, 10.
  QPainterPath hand;
  hand.moveTo(8.5, 11);
  hand.arcTo(QRectF(8.5, 9.5, 4, 3), 180, -180);
  hand.lineTo(12.5, 18);
  hand.arcTo(QRectF(12.5, 16, 3.5, 3), 180, -180);
  hand.lineTo(16, 18.5);
  hand.arcTo(QRectF(16, 16.5, 3.5, 3), 180, -180);
  hand.lineTo(19.5, 19);
  hand.arcTo(QRectF(19.5, 17.5, 3.5, 3), 180, -180);
  hand.lineTo(23, 25);
  hand.quadTo(23, 30, 18.5, 30.5);
  hand.lineTo(12, 30.5);
  hand.quadTo(9, 30, 7.5, 26);
  hand.lineTo(4.5, 20.5);
  hand.quadTo(4, 18.5, 6, 18.5);
  hand.lineTo(8.5, 21);
  hand.closeSubpath();
  painter.setPen(QPen(Qt::black, 1.2));
  painter.setBrush(Qt::white);
  painter.drawPath(hand);
  painter.setPen(QPen(Qt::black, 0.8));
  painter.drawLine(QPointF(12.5, 19), QPointF(12.5, 22));
  painter.drawLine(QPointF(16, 19.5), QPointF(16, 22));
  painter.drawLine(QPointF(19.5, 20), QPointF(19.5, 22));
  return image;
}

void drawLogo(QPainter& painter, const QRect& area) {
  painter.save();
  painter.translate(area.topLeft());
  const double sx = area.width() / 120.0, sy = area.height() / 50.0;
  painter.scale(sx, sy);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(QColor(40, 60, 40), 1));
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(QRectF(0.5, 0.5, 119, 49), 6, 6);
  // A green hill with a lark above it.
  QPainterPath hill;
  hill.moveTo(4, 44);
  hill.cubicTo(14, 24, 30, 22, 44, 44);
  hill.closeSubpath();
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(46, 125, 50));
  painter.drawPath(hill);
  QPainterPath lark;
  lark.moveTo(16, 14);
  lark.quadTo(21, 9, 26, 14);
  lark.quadTo(31, 9, 36, 14);
  painter.setPen(QPen(QColor(60, 60, 60), 2));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(lark);
  painter.setPen(QColor(30, 60, 120));
  painter.setFont(sans(9, true));
  painter.drawText(QRectF(44, 8, 74, 18), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Larkhill"));
  painter.setPen(QColor(46, 125, 50));
  painter.setFont(sans(11, true));
  painter.drawText(QRectF(44, 24, 74, 20), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("GIS"));
  painter.restore();
}

QImage logo() {
  QImage image(120, 50, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  drawLogo(painter, image.rect());
  return image;
}

// A small picture of the search window with example parcel IDs.
void drawSearchWindow(QPainter& painter, const QRect& area) {
  painter.save();
  painter.translate(area.topLeft());
  painter.setRenderHint(QPainter::Antialiasing, false);
  const int w = area.width(), h = area.height();
  painter.setPen(QColor(60, 60, 60));
  painter.setBrush(QColor(10, 36, 106));
  painter.drawRect(0, 0, w - 1, 18);
  painter.setPen(Qt::white);
  painter.setFont(sans(7, true));
  painter.drawText(QRect(5, 0, w - 10, 18), Qt::AlignVCenter, kProduct);
  painter.setPen(QColor(60, 60, 60));
  painter.setBrush(kBack);
  painter.drawRect(0, 18, w - 1, h - 19);
  painter.setPen(QColor(230, 230, 230));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(6, 30, w - 13, h - 80);
  painter.setFont(sans(7, true));
  const QRect caption = painter.boundingRect(QRect(10, 22, w, 14), Qt::AlignVCenter,
                                             QStringLiteral("Parcel search:"));
  painter.fillRect(caption.adjusted(-2, 0, 2, 0), kBack);
  painter.setPen(kCaption);
  painter.drawText(caption, Qt::AlignVCenter, QStringLiteral("Parcel search:"));
  painter.setPen(Qt::white);
  painter.setFont(sans(6.5));
  painter.drawText(QRect(12, 38, 80, 12), Qt::AlignVCenter, QStringLiteral(" Search:"));
  painter.setPen(QColor(90, 90, 90));
  painter.setBrush(QColor(224, 224, 224));
  painter.drawRect(12, 52, w - 70, 18);
  painter.setPen(Qt::black);
  painter.drawText(QRect(16, 52, w - 70, 18), Qt::AlignVCenter, QStringLiteral("12-04"));
  painter.setBrush(QColor(150, 175, 205));
  painter.setPen(QColor(60, 60, 60));
  painter.drawRect(w - 52, 52, 38, 18);
  painter.setPen(Qt::black);
  painter.drawText(QRect(w - 52, 52, 38, 18), Qt::AlignCenter, QStringLiteral("Go"));
  painter.setPen(Qt::white);
  painter.drawText(QRect(12, 76, 80, 12), Qt::AlignVCenter, QStringLiteral(" Parcel ID:"));
  const QRect list(12, 90, w - 26, h - 146);
  painter.setPen(QColor(90, 90, 90));
  painter.setBrush(Qt::white);
  painter.drawRect(list);
  const char* ids[] = {"12-03-118-007", "12-03-118-012", "12-04-101-001", "12-04-101-002",
                       "12-04-101-015", "12-04-102-003", "12-05-110-020", "12-05-110-021"};
  painter.setFont(sans(6.5, true));
  int y = list.top() + 2;
  for (int i = 0; i < 8 && y + 13 < list.bottom(); ++i, y += 13) {
    const QRect row(list.left() + 1, y, list.width() - 2, 13);
    if (i == 2) {
      painter.fillRect(row, QColor(10, 36, 106));
      painter.setPen(Qt::white);
    } else {
      painter.setPen(QColor(0, 0, 255));
    }
    painter.drawText(row.adjusted(3, 0, 0, 0), Qt::AlignVCenter, QString::fromLatin1(ids[i]));
  }
  drawLogo(painter, QRect(8, h - 50, 84, 35));
  painter.setPen(QColor(224, 224, 224));
  painter.setFont(sans(6));
  painter.drawText(QRect(w - 80, h - 48, 40, 12), Qt::AlignRight, QStringLiteral("v2.13"));
  painter.setPen(QColor(60, 60, 60));
  painter.setBrush(QColor(150, 175, 205));
  painter.drawRect(w - 32, h - 50, 22, 18);
  painter.drawRect(w - 72, h - 26, 62, 16);
  painter.setPen(Qt::black);
  painter.drawText(QRect(w - 32, h - 50, 22, 18), Qt::AlignCenter, QStringLiteral("?"));
  painter.drawText(QRect(w - 72, h - 26, 62, 16), Qt::AlignCenter, QStringLiteral("Configure"));
  painter.restore();
}

QImage helpPage() {
  QImage image(733, 533, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);

  // Vendor block: logo, name, tag line, and the line with the e-mail address
  // and web site host (the window lays its link labels over that line).
  drawLogo(painter, QRect(12, 8, 108, 45));
  painter.setPen(QColor(30, 60, 120));
  painter.setFont(sans(14, true));
  painter.drawText(QRect(132, 4, 330, 24), Qt::AlignLeft | Qt::AlignVCenter, kCompany);
  painter.setPen(QColor(70, 70, 70));
  painter.setFont(sans(8.5, false, true));
  painter.drawText(QRect(132, 28, 330, 18), Qt::AlignLeft | Qt::AlignVCenter, kTagLine);
  painter.setPen(QColor(0, 0, 192));
  painter.setFont(sans(9.5));
  painter.drawText(QRect(132, 48, 153, 17), Qt::AlignLeft | Qt::AlignVCenter, kWebHost);
  painter.drawText(QRect(288, 48, 173, 17), Qt::AlignLeft | Qt::AlignVCenter, kInfoEmail);
  painter.setPen(QPen(QColor(46, 125, 50), 2));
  painter.drawLine(12, 76, 607, 76);

  // Title and overview.
  painter.setPen(kCaption);
  painter.setFont(sans(16, true));
  painter.drawText(QRect(12, 82, 595, 30), Qt::AlignLeft | Qt::AlignVCenter, kProduct);
  painter.setPen(Qt::black);
  painter.setFont(sans(9));
  painter.drawText(QRect(12, 114, 595, 20), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Overview: zooms the map to a parcel when you select its parcel "
                                  "ID from the list."));

  // The search window with example parcel IDs, and the usage notes beside it.
  drawSearchWindow(painter, QRect(16, 142, 206, 262));
  const int notesLeft = 240, notesWidth = 367;
  struct Note {
    const char* heading;
    const char* text;
  };
  const Note notes[] = {
      {"Search the list",
       "Type a parcel ID, or its beginning, in the Search box and press Go (or Enter). The first "
       "entry whose left-most characters match the text is highlighted, and the map zooms to "
       "that parcel."},
      {"Zoom to a parcel", "Click a parcel ID in the list to zoom the map to that parcel."},
      {"Configure",
       "Press Configure to choose the parcel layer and the parcel ID field. The list then shows "
       "every value of that field."},
  };
  int y = 146;
  for (const Note& note : notes) {
    painter.setPen(kCaption);
    painter.setFont(sans(10, true));
    painter.drawText(QRect(notesLeft, y, notesWidth, 18), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromLatin1(note.heading));
    y += 20;
    painter.setPen(Qt::black);
    painter.setFont(sans(9));
    QRect bounds;
    painter.drawText(QRect(notesLeft, y, notesWidth, 90), Qt::AlignLeft | Qt::TextWordWrap,
                     QString::fromLatin1(note.text), &bounds);
    y = bounds.bottom() + 14;
  }

  // Further ways to reach the vendor.
  painter.setPen(QPen(QColor(46, 125, 50), 1));
  painter.drawLine(12, 420, 607, 420);
  painter.setPen(QColor(70, 70, 70));
  painter.setFont(sans(8.5));
  painter.drawText(QRect(12, 426, 595, 36), Qt::AlignLeft | Qt::TextWordWrap,
                   QStringLiteral("Questions or ideas? Write to ") + kInfoEmail +
                       QStringLiteral(", visit ") + kWebHost +
                       QStringLiteral(" or call us on weekdays at +1 555 0100 (8 am to 5 pm)."));
  return image;
}

bool save(const QImage& image, const QString& path) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  if (!image.save(path, "PNG")) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s %dx%d\n", qPrintable(path), image.width(), image.height());
  return true;
}

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <source folder>\n", argv[0]);
    return 2;
  }
  const QString root = QString::fromLocal8Bit(argv[1]);
  bool ok = true;
  ok &= save(buttonFace(), root + QStringLiteral("/src/platform/resources/face.png"));
  ok &= save(buttonPressed(), root + QStringLiteral("/src/platform/resources/pressed.png"));
  ok &= save(handPointer(), root + QStringLiteral("/src/platform/resources/hand.png"));
  ok &= save(logo(), root + QStringLiteral("/src/search/resources/logo.png"));
  ok &= save(helpPage(), root + QStringLiteral("/src/help/resources/helppage.png"));
  return ok ? 0 : 1;
}
