#include "help/frmHelp.h"

#include "shared/LarkhillGIS_Public.h"
#include "shared/Vendor.h"
#include "errors/ErrorHandling.h"
#include "mapdata/ModelessFrame.h"
#include "platform/ClickLabel.h"
#include "platform/ComError.h"
#include "platform/Services.h"
#include "platform/WindowLook.h"

#include <QFrame>
#include <QList>
#include <QPainter>
#include <QPointer>

namespace Larkhill {

using namespace WindowLook;

namespace {

const QString kModule = QStringLiteral("frmHelp");
constexpr uint32_t kLinkColor = 0x00C00000u;

// The help windows opened, oldest first. Not an owner: each window belongs to
// its frame, and an entry turns null when its window is deleted.
QList<QPointer<frmHelp>>& windows() {
  static QList<QPointer<frmHelp>> sWindows;
  return sWindows;
}

ClickLabel* linkLabel(const QString& objectName, const QString& caption, const QString& tooltip,
                      QWidget* parent) {
  auto* label = new ClickLabel(parent);
  label->setObjectName(objectName);
  label->setText(caption);
  label->setToolTip(tooltip);
  label->setFont(sansFont(9.75, false, true));
  setForeColor(label, kLinkColor);
  label->setCursor(handCursor());
  return label;
}

void openAddress(QWidget* owner, const QString& address) {
  ShellExecuteA(owner, QStringLiteral("Open"), address, QString(), QString(), 1);
}

} // namespace

frmHelp::frmHelp() : mPage(pagePicture()) {
  setObjectName(kModule);
  setWindowTitle(Vendor::ProductName + QStringLiteral(" - Help"));
  setFixedSize(twipsToPixelsX(9285), twipsToPixelsY(7095));

  Frame1 = new QFrame(this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setFrameShape(QFrame::NoFrame);
  Frame1->setGeometry(twipsRect(1980, 720, 4995, 315));
  setBackColor(Frame1, 0x00FFFFFFu);

  Label2 =
      linkLabel(QStringLiteral("Label2"), Vendor::WebSiteHost, QStringLiteral("Visit us!"), Frame1);
  Label2->setGeometry(twipsRect(0, 0, 2295, 255));
  setBackColor(Label2, 0x00FFFFFFu);
  setForeColor(Label2, kLinkColor);

  Label3 =
      linkLabel(QStringLiteral("Label3"), Vendor::InfoEmail, QStringLiteral("Email us!"), Frame1);
  Label3->setGeometry(twipsRect(2340, 0, 2595, 255));
  setBackColor(Label3, 0x00FFFFFFu);
  setForeColor(Label3, kLinkColor);

  Label4 = linkLabel(QStringLiteral("Label4"), QStringLiteral("Check for Updates"),
                     QStringLiteral("Get the latest version"), this);
  Label4->setGeometry(twipsRect(7080, 420, 2055, 255));
  Label4->setAlignment(Qt::AlignRight | Qt::AlignTop);
  Label4->setAttribute(Qt::WA_TranslucentBackground);

  connect(Label2, &ClickLabel::clicked, this, [this] { Label2_Click(); });
  connect(Label3, &ClickLabel::clicked, this, [this] { Label3_Click(); });
  connect(Label4, &ClickLabel::clicked, this, [this] { Label4_Click(); });
}

frmHelp::~frmHelp() = default;

QPixmap frmHelp::pagePicture() {
  return QPixmap(QStringLiteral(":/help/helppage.png"));
}

void frmHelp::paintEvent(QPaintEvent*) {
  // The page from the top-left corner, at its natural size on a 96 dpi screen
  // and enlarged with the screen's dpi like the links laid over it; what lies
  // beyond the window is cut off.
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const double scale = pictureScale();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, scale != 1.0);
  painter.scale(scale, scale);
  painter.drawPixmap(0, 0, mPage);
}

Ref<IModelessFrame> frmHelp::Frame() {
  if (mFrame)
    return mFrame;
  mFrame = createModelessFrame();
  mFrame->Create(this);
  mFrame->setCaption(gProductName + QStringLiteral(" - Help"));
  return mFrame;
}

void frmHelp::Form_Load() {
  try {
    // Nothing of its own to load: the page and the links are set up with the window.
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("Form_Load"), kModule, error);
  }
}

void frmHelp::Label2_Click() {
  openAddress(this, Vendor::WebSiteAddress);
}

void frmHelp::Label3_Click() {
  openAddress(this, QStringLiteral("mailto:") + Vendor::InfoEmail);
}

void frmHelp::Label4_Click() {
  openAddress(this, Vendor::WebSiteAddress + QStringLiteral("/Products/ArcGIS/") + gProductName +
                        QStringLiteral("/index.htm"));
}

frmHelp* frmHelp::openNew() {
  // Help windows whose frames the user has closed are no longer needed. They
  // go later: a closed frame may still be finishing its own close.
  QList<QPointer<frmHelp>> kept;
  for (const QPointer<frmHelp>& window : windows()) {
    if (!window)
      continue;
    bool closed = false;
    try {
      closed = window->mFrame && !window->mFrame->Visible();
    } catch (const ComError&) {
    }
    if (closed)
      releaseWindow(window, true);
    else
      kept.append(window);
  }
  windows() = kept;
  auto* window = new frmHelp;
  try {
    window->Frame()->setVisible(true);
  } catch (const ComError&) {
    releaseWindow(window, false);
    throw;
  }
  windows().append(window);
  return window;
}

std::vector<frmHelp*> frmHelp::openWindows() {
  std::vector<frmHelp*> result;
  for (const QPointer<frmHelp>& window : windows())
    if (window)
      result.push_back(window);
  return result;
}

void frmHelp::closeAll() {
  const QList<QPointer<frmHelp>> open = windows();
  windows().clear();
  for (const QPointer<frmHelp>& window : open)
    releaseWindow(window, false);
}

} // namespace Larkhill
