#include "search/frmMain.h"

#include "shared/LarkhillGIS_Public.h"
#include "shared/Vendor.h"
#include "config/ConfigFile.h"
#include "errors/ErrorHandling.h"
#include "help/frmHelp.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "mapdata/ModelessFrame.h"
#include "platform/ClickLabel.h"
#include "platform/ComError.h"
#include "platform/FileChannel.h"
#include "platform/GraphicButton.h"
#include "platform/Required.h"
#include "platform/Services.h"
#include "platform/WindowLook.h"
#include "search/ParcelListView.h"
#include "search/SortedListModel.h"

#include <QApplication>
#include <QTimer>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

namespace Larkhill {

using namespace WindowLook;

namespace {

const QString kModule = QStringLiteral("frmMain");
constexpr uint32_t kWhite = 0x00FFFFFFu;
constexpr uint32_t kTextBoxBack = 0x00E0E0E0u;
constexpr uint32_t kListText = 0x00FF0000u;
constexpr uint32_t kVersionText = 0x00E0E0E0u;

// Keeps a list in a bulk load for a scope, so that it is sorted and shown once,
// however the scope ends.
class BulkLoad {
public:
  explicit BulkLoad(SortedListModel& model) : mModel(model) { mModel.beginBulkLoad(); }
  ~BulkLoad() { mModel.endBulkLoad(); }

private:
  SortedListModel& mModel;
};

QLabel* transparentLabel(const QString& caption, uint32_t color, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setAutoFillBackground(false);
  label->setAttribute(Qt::WA_TranslucentBackground);
  setForeColor(label, color);
  label->setFont(sansFont(8.25));
  return label;
}

} // namespace

frmMain::frmMain() {
  setObjectName(kModule);
  setWindowTitle(Vendor::ProductName);
  setFixedSize(twipsToPixelsX(3870), twipsToPixelsY(4380));
  setBackColor(this, kWindowBackColor);
  setFont(sansFont(8.25));

  Frame1 = new QGroupBox(QStringLiteral("Parcel search:"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setGeometry(twipsRect(120, 120, 3615, 3255));
  Frame1->setFont(sansFont(8.25, true));
  setBackColor(Frame1, kWindowBackColor);
  setCaptionColor(Frame1, kCaptionColor);

  Label11 = transparentLabel(QStringLiteral(" Search:"), kWhite, Frame1);
  Label11->setObjectName(QStringLiteral("Label11"));
  Label11->setGeometry(twipsRect(120, 300, 1170, 255));

  Text1 = new QLineEdit(Frame1);
  Text1->setObjectName(QStringLiteral("Text1"));
  Text1->setGeometry(twipsRect(180, 540, 2550, 360));
  Text1->setFont(sansFont(8.25));
  Text1->setToolTip(QStringLiteral("Enter text and click Go to search the list"));
  setBackColor(Text1, kTextBoxBack);
  setForeColor(Text1, 0x00000000u);

  Command4 = new GraphicButton(QStringLiteral("Go"), Frame1);
  Command4->setObjectName(QStringLiteral("Command4"));
  Command4->setGeometry(twipsRect(2760, 555, 615, 345));
  Command4->setFont(sansFont(8.25));
  Command4->setToolTip(QStringLiteral("Enter text and click Go to search the list"));
  setForeColor(Command4, 0x00000000u);

  Label1 = transparentLabel(QStringLiteral(" Parcel ID:"), kWhite, Frame1);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(twipsRect(120, 1020, 1170, 255));

  mModel = new SortedListModel(this);
  List1 = new ParcelListView(Frame1);
  List1->setObjectName(QStringLiteral("List1"));
  List1->setGeometry(twipsRect(180, 1260, 3270, 1815));
  List1->setModel(mModel);
  List1->setFont(sansFont(8.25, true));
  List1->setToolTip(QStringLiteral("Click to zoom to a parcel"));
  List1->viewport()->setCursor(handCursor());
  List1->setCursor(handCursor());
  {
    QPalette palette = List1->palette();
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, vbColor(kListText));
    List1->setPalette(palette);
  }

  Image2 = new ClickLabel(this);
  Image2->setObjectName(QStringLiteral("Image2"));
  Image2->setGeometry(twipsRect(120, 3540, 1800, 750));
  Image2->setPixmap(QPixmap(QStringLiteral(":/search/logo.png")));
  Image2->setToolTip(QStringLiteral("For more information, please visit ") + Vendor::WebSiteHost +
                     QStringLiteral(" or email ") + Vendor::InfoEmail);

  txtVersion = transparentLabel(QStringLiteral("v2.05"), kVersionText, this);
  txtVersion->setObjectName(QStringLiteral("txtVersion"));
  txtVersion->setGeometry(twipsRect(2460, 3600, 675, 255));
  txtVersion->setAlignment(Qt::AlignRight | Qt::AlignTop);

  btnHelp2 = new GraphicButton(QStringLiteral("?"), this);
  btnHelp2->setObjectName(QStringLiteral("btnHelp2"));
  btnHelp2->setGeometry(twipsRect(3300, 3540, 435, 330));
  btnHelp2->setToolTip(QStringLiteral("Help"));
  setForeColor(btnHelp2, 0x00000000u);

  Command1 = new GraphicButton(QStringLiteral("Configure"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(twipsRect(2550, 3960, 1200, 315));
  Command1->setToolTip(QStringLiteral("Configure the tool"));
  setForeColor(Command1, 0x00000000u);

  Frame1->setFocusPolicy(Qt::NoFocus);
  setTabOrder(Text1, Command4);
  setTabOrder(Command4, List1);
  setTabOrder(List1, btnHelp2);
  setTabOrder(btnHelp2, Command1);
  Text1->setFocus();

  connect(Command4, &QPushButton::clicked, this, [this] { Command4_Click(); });
  // Enter in the search box presses "Go".
  connect(Text1, &QLineEdit::returnPressed, Command4, &QPushButton::click);
  connect(List1, &ParcelListView::entryChosen, this, [this] { List1_Click(); });
  // Served rows that could not be read while the list was drawn are reported
  // once the drawing is over, not from inside it.
  connect(mModel, &SortedListModel::servedRowsFailed, this, [this](const ComError& error) {
    QTimer::singleShot(0, this, [error] {
      ErrorHandling::ReportTrapped(QStringLiteral("List1_Scroll"), kModule, error);
    });
  });
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(btnHelp2, &QPushButton::clicked, this, [this] { btnHelp2_Click(); });
  connect(Image2, &ClickLabel::clicked, this, [this] { Image2_Click(); });
}

frmMain::~frmMain() = default;

Ref<IModelessFrame> frmMain::Frame() {
  if (mFrame)
    return mFrame;
  try {
    mFrame = createModelessFrame();
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("Frame"), kModule, error);
    return mFrame;
  }
  // Kept before the frame is put around the window: the load that this starts
  // asks for the frame again and must get this one.
  const Ref<IModelessFrame> frame = mFrame;
  try {
    frame->Create(this);
  } catch (const ComError&) {
  }
  try {
    frame->setCaption(gProductName);
  } catch (const ComError&) {
  }
  // The search box has the keyboard focus when the window opens.
  Text1->setFocus();
  return frame;
}

void frmMain::Unload() {
  if (mFrame) {
    try {
      mFrame->setVisible(false);
    } catch (const ComError&) {
    }
  }
  Form::Unload();
  mModel->Clear();
}

void frmMain::Form_Load() {
  try {
    const Ref<IModelessFrame> frame = required(required(gSearchWindow)->Frame());
    const Ref<IWindowPosition> position = QueryInterface<IWindowPosition>(frame);
    if (!position)
      RuntimeError::raise(RuntimeError::TypeMismatch);
    const QPoint topLeft = centredPosition(size());
    position->Move(topLeft.x(), topLeft.y(), 0, 0);

    setMousePointer(MousePointer::Hourglass);
    txtVersion->setText(gVersion);
    if (ConfigFile::count(gConfigFile) != 2) {
      setMousePointer(MousePointer::Default);
      return;
    }
    ConfigFile::read(gConfigFile, gParcelLayerName, gParcelIdField);
    loadList();
    setMousePointer(MousePointer::Default);
  } catch (const ComError& error) {
    FileChannel::close(ConfigFile::kChannel);
    setMousePointer(MousePointer::Default);
    ConfigFile::reportIfUnusable(gConfigFile);
    ErrorHandling::ReportTrapped(QStringLiteral("Form_Load"), kModule, error);
  }
}

void frmMain::loadList() {
  BulkLoad load(*mModel);
  LarkhillGIS_ArcMap::LoadListWithFieldValues(gParcelLayerName, gParcelIdField, *mModel, nullptr);
}

void frmMain::RefreshList() {
  if (!isLoaded() || !mModel->servedFailed())
    return;
  try {
    setMousePointer(MousePointer::Hourglass);
    mModel->Clear();
    loadList();
    setMousePointer(MousePointer::Default);
  } catch (const ComError& error) {
    setMousePointer(MousePointer::Default);
    ErrorHandling::ReportTrapped(QStringLiteral("Form_Load"), kModule, error);
  }
}

void frmMain::Command4_Click() {
  setMousePointer(MousePointer::Hourglass);
  const QString text = Text1->text();
  if (text.isEmpty()) {
    setMousePointer(MousePointer::Default);
    MsgBox(QStringLiteral("Please enter text to search for"));
    return;
  }
  int row = -1;
  try {
    row = mModel->findFirstMatch(text);
  } catch (const ComError& error) {
    // Only a list served by its data source asks anything of it here.
    setMousePointer(MousePointer::Default);
    ErrorHandling::ReportTrapped(QStringLiteral("Command4_Click"), kModule, error);
    return;
  }
  if (row < 0) {
    setMousePointer(MousePointer::Default);
    MsgBox(QStringLiteral("No matching feature found"));
    return;
  }
  // Selecting the entry is a choice like a click: the zoom runs now, also
  // when the entry was already selected.
  List1->selectRow(row);
  List1_Click();
  setMousePointer(MousePointer::Default);
}

void frmMain::List1_Click() {
  try {
    setMousePointer(MousePointer::Hourglass);
    const Ref<IFeatureLayer> layer = LarkhillGIS_ArcMap::FindLayer(gParcelLayerName);
    const int row = List1->selectedRow();
    const QString value = mModel->text(row);
    // The k-th of the rows that show one value stands for the k-th parcel holding it.
    const int32_t ordinal = std::max(1, mModel->occurrence(row));
    int32_t matches = 0;
    const Ref<IFeature> feature =
        LarkhillGIS_ArcMap::GetFeatureByValue(layer, gParcelIdField, value, &matches, ordinal);
    LarkhillGIS_ArcMap::ZoomToFeaturePlus(feature, 0.2);
    LarkhillGIS_ArcMap::ShowFoundFeature(gParcelLayerName, gParcelIdField, layer, feature, value,
                                         matches, matches >= ordinal ? ordinal : 1);
    setMousePointer(MousePointer::Default);
  } catch (const ComError& error) {
    setMousePointer(MousePointer::Default);
    FileChannel::close(ConfigFile::kChannel);
    ErrorHandling::ReportTrapped(QStringLiteral("List1_Click"), kModule, error);
  }
}

void frmMain::showEntry(int row) {
  List1->selectRow(row);
  List1_Click();
}

void frmMain::Command1_Click() {
  try {
    required(required(gSearchWindow)->Frame())->setVisible(false);
    windowFactory().showConfigWindowModal();
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("Command1_Click"), kModule, error);
  }
}

void frmMain::btnHelp2_Click() {
  // A help window that cannot get its frame is reported here rather than
  // escaping the button's click.
  try {
    frmHelp::openNew();
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("btnHelp2_Click"), kModule, error);
  }
}

void frmMain::keyPressEvent(QKeyEvent* event) {
  // Enter on a focused button presses it, as on the classic desktop.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
      button->click();
      return;
    }
  }
  Form::keyPressEvent(event);
}

void frmMain::Image2_Click() {
  ShellExecuteA(this, QStringLiteral("Open"), Vendor::WebSiteAddress, QString(), QString(), 1);
}

} // namespace Larkhill
