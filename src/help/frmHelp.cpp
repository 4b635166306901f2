#include "help/frmHelp.h"

#include "command/LarkhillGIS_Public.h"
#include "command/Vendor.h"
#include "errors/ErrorHandling.h"
#include "mapdata/ModelessFrame.h"
#include "platform/ClickLabel.h"
#include "platform/ComError.h"
#include "platform/Services.h"
#include "platform/WindowLook.h"

#include <QFrame>
#include <algorithm>
#include <QPainter>

using namespace WindowLook;

namespace {

const QString kModule = QStringLiteral("frmHelp");
constexpr uint32_t kLinkColor = 0x00C00000u;

std::vector<std::shared_ptr<frmHelp>>& windows() {
  static std::vector<std::shared_ptr<frmHelp>> sWindows;
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

frmHelp::frmHelp() {
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

frmHelp::~frmHelp() {
  // The frame does not own the window: take the window out before the frame goes.
  if (parentWidget())
    setParent(nullptr);
  mFrame.reset();
}

const QPixmap& frmHelp::pagePicture() {
  static const QPixmap sPage(QStringLiteral(":/help/helppage.png"));
  return sPage;
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
  painter.drawPixmap(0, 0, pagePicture());
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

std::shared_ptr<frmHelp> frmHelp::openNew() {
  auto& open = windows();
  // Help windows whose frames the user has closed are no longer needed.
  open.erase(std::remove_if(open.begin(), open.end(),
                            [](const std::shared_ptr<frmHelp>& window) {
                              try {
                                return window->mFrame && !window->mFrame->Visible();
                              } catch (const ComError&) {
                                return false;
                              }
                            }),
             open.end());
  // Deleted later, so that a window is never deleted inside one of its own handlers.
  std::shared_ptr<frmHelp> window(new frmHelp, [](frmHelp* help) {
    help->hide();
    if (help->parentWidget())
      help->setParent(nullptr);
    help->deleteLater();
  });
  // Kept only once its frame shows: a window whose frame failed is let go.
  window->Frame()->setVisible(true);
  open.push_back(window);
  return window;
}

const std::vector<std::shared_ptr<frmHelp>>& frmHelp::openWindows() {
  return windows();
}

void frmHelp::closeAll() {
  windows().clear();
}
