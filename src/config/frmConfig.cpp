#include "config/frmConfig.h"

#include "shared/LarkhillGIS_Public.h"
#include "shared/Vendor.h"
#include "config/ConfigFile.h"
#include "errors/ErrorHandling.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "platform/ComError.h"
#include "platform/FileChannel.h"
#include "platform/GraphicButton.h"
#include "platform/ListBox.h"
#include "platform/Required.h"
#include "platform/Services.h"
#include "platform/WindowLook.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>

namespace Larkhill {

using namespace WindowLook;

namespace {

const QString kModule = QStringLiteral("frmConfig");
QPointer<frmConfig> sCurrent;

QLabel* boldLabel(const QString& objectName, const QString& caption, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(objectName);
  label->setFont(sansFont(8.25, true));
  label->setAttribute(Qt::WA_TranslucentBackground);
  setForeColor(label, 0x00000000u);
  return label;
}

} // namespace

frmConfig::frmConfig() {
  setObjectName(kModule);
  setWindowTitle(Vendor::ProductName + QStringLiteral(" - Configure"));
  // Deleted by Unload, also when the user closes it by its border.
  setModal(true);
  setFixedSize(twipsToPixelsX(6345), twipsToPixelsY(3135));
  setBackColor(this, kWindowBackColor);
  setFont(sansFont(8.25));

  Frame1 = new QGroupBox(QStringLiteral("Choose layer and field:"), this);
  Frame1->setObjectName(QStringLiteral("Frame1"));
  Frame1->setGeometry(twipsRect(120, 180, 6075, 2415));
  Frame1->setFont(sansFont(8.25, true));
  setBackColor(Frame1, kWindowBackColor);
  setCaptionColor(Frame1, kCaptionColor);
  Frame1->setFocusPolicy(Qt::NoFocus);

  Label1 = boldLabel(QStringLiteral("Label1"), QStringLiteral("Parcel layer:"), Frame1);
  Label1->setGeometry(twipsRect(180, 300, 1605, 270));
  Label2 = boldLabel(QStringLiteral("Label2"), QStringLiteral("Parcel ID field:"), Frame1);
  Label2->setGeometry(twipsRect(2760, 300, 2070, 240));

  auto setUpList = [this](ListBox* list, const QString& objectName, const QRect& geometry) {
    list->setObjectName(objectName);
    list->setGeometry(geometry);
    list->setFont(sansFont(8.25));
    list->setCursor(handCursor());
    list->viewport()->setCursor(handCursor());
  };
  List1 = new ListBox(Frame1);
  setUpList(List1, QStringLiteral("List1"), twipsRect(180, 600, 2415, 1620));
  List2 = new ListBox(Frame1);
  setUpList(List2, QStringLiteral("List2"), twipsRect(2760, 600, 3135, 1620));

  Command2 = new GraphicButton(QStringLiteral("Cancel"), this);
  Command2->setObjectName(QStringLiteral("Command2"));
  Command2->setAutoDefault(true);
  Command2->setGeometry(twipsRect(3420, 2700, 945, 345));
  setForeColor(Command2, 0x00000000u);
  Command1 = new GraphicButton(QStringLiteral("Continue"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setGeometry(twipsRect(4440, 2700, 1710, 345));
  Command1->setAutoDefault(true);
  Command1->setDefault(true);
  setForeColor(Command1, 0x00000000u);

  setTabOrder(List1, List2);
  setTabOrder(List2, Command2);
  setTabOrder(Command2, Command1);
  List1->setFocus();

  connect(List1, &ListBox::Click, this, [this] { List1_Click(); });
  connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
  connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
}

frmConfig* frmConfig::current() {
  return sCurrent.data();
}

void frmConfig::Load() {
  if (mLoaded)
    return;
  mLoaded = true;
  Form_Load();
}

void frmConfig::showModalWindow() {
  if (!sCurrent)
    sCurrent = new frmConfig; // deletes itself when it closes
  frmConfig* window = sCurrent;
  window->Load();
  window->move(centredPosition(window->size()));
  showModal(window);
}

void frmConfig::Form_Load() {
  try {
    setMousePointer(MousePointer::Hourglass);
    List2->Clear();
    LarkhillGIS_ArcMap::LoadListWithMapLayers(*List1);
    setMousePointer(MousePointer::Default);
  } catch (const ComError& error) {
    setMousePointer(MousePointer::Default);
    ErrorHandling::ReportTrapped(QStringLiteral("Form_Load"), kModule, error);
  }
}

void frmConfig::List1_Click() {
  try {
    const QString name = List1->List(List1->ListIndex());
    const Ref<IFeatureLayer> layer = LarkhillGIS_ArcMap::FindLayer(name);
    LarkhillGIS_ArcMap::LoadListWithLayerFields(*List2, layer);
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("List1_Click"), kModule, error);
  }
}

void frmConfig::Command1_Click() {
  try {
    setMousePointer(MousePointer::Hourglass);
    bool layerChosen = false;
    for (int i = 0; i < List1->ListCount(); ++i)
      layerChosen = layerChosen || List1->Selected(i);
    bool fieldChosen = false;
    for (int i = 0; i < List2->ListCount(); ++i)
      fieldChosen = fieldChosen || List2->Selected(i);
    if (!layerChosen) {
      MsgBox(QStringLiteral("Please choose a layer"));
      setMousePointer(MousePointer::Default);
      return;
    }
    if (!fieldChosen) {
      MsgBox(QStringLiteral("Please choose a field"));
      setMousePointer(MousePointer::Default);
      return;
    }
    const QString layerName = List1->List(List1->ListIndex());
    const QString fieldName = List2->List(List2->ListIndex());
    ConfigFile::write(gConfigFile, layerName, fieldName);
    gParcelLayerName = layerName;
    gParcelIdField = fieldName;

    hide();
    Unload();

    if (gSearchWindow)
      gSearchWindow->Unload();
    // Deleted later: this may run inside the old window's "Configure".
    releaseWindow(gSearchWindow.object(), true);
    gSearchWindow = windowFactory().createSearchWindow();
    required(required(gSearchWindow)->Frame())->setVisible(true);
    setMousePointer(MousePointer::Default);
  } catch (const ComError& error) {
    setMousePointer(MousePointer::Default);
    FileChannel::close(ConfigFile::kChannel);
    ConfigFile::reportIfUnusable(gConfigFile);
    ErrorHandling::ReportTrapped(QStringLiteral("Command1_Click"), kModule, error);
  }
}

void frmConfig::Command2_Click() {
  try {
    Unload();
    required(required(gSearchWindow)->Frame())->setVisible(true);
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("Command2_Click"), kModule, error);
  }
}

void frmConfig::Unload() {
  // Hiding ends the dialog's modal loop.
  hide();
  mLoaded = false;
  if (sCurrent == this)
    sCurrent = nullptr;
  deleteLater();
}

void frmConfig::reject() {
  Command2->click();
}

void frmConfig::closeEvent(QCloseEvent* event) {
  // Closed by its window border: nothing is saved and the search window stays hidden.
  event->accept();
  if (isLoaded() || sCurrent == this)
    Unload();
}

} // namespace Larkhill
