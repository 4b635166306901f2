#include "sim/SimHost.h"

#include "platform/ComError.h"
#include "platform/Required.h"

namespace Larkhill {

Ref<IEnvelope> SimView::Extent() {
  SimJournal::enter("IActiveView.Extent");
  return std::make_shared<SimEnvelope>(extent);
}

void SimView::setExtent(const Ref<IEnvelope>& envelope) {
  SimJournal::enter("IActiveView.setExtent");
  required(envelope);
  extent = SimEnvelope(envelope->XMin(), envelope->YMin(), envelope->XMax(), envelope->YMax());
  extentsSet.push_back(extent);
}

void SimView::Refresh() {
  SimJournal::enter("IActiveView.Refresh");
  ++refreshCount;
}

void SimView::HighlightFeature(const Ref<IFeatureLayer>& layer, const Ref<IFeature>& feature) {
  SimJournal::enter("IFeatureHighlight.HighlightFeature");
  if (!layer || !feature)
    RuntimeError::raise(RuntimeError::ObjectVariableNotSet);
  highlights.append(layer->Name() + QStringLiteral(" feature ") + QString::number(feature->OID()));
}

int32_t SimMap::LayerCount() {
  SimJournal::enter("IMap.LayerCount");
  return static_cast<int32_t>(layers.size());
}

Ref<ILayer> SimMap::Layer(int32_t index) {
  SimJournal::enter("IMap.Layer");
  if (index < 0 || index >= static_cast<int32_t>(layers.size()))
    throw ComError(-2147024809, QStringLiteral("The parameter is incorrect."));
  return layers[static_cast<size_t>(index)];
}

Ref<IMap> SimMap::FocusMap() {
  SimJournal::enter("IActiveView.FocusMap");
  return shared_from_this();
}

Ref<IMap> SimPageLayout::FocusMap() {
  SimJournal::enter("IActiveView.FocusMap");
  return map;
}

Ref<IMap> SimDocument::FocusMap() {
  SimJournal::enter("IMxDocument.FocusMap");
  return required(map);
}

Ref<IActiveView> SimDocument::ActiveView() {
  SimJournal::enter("IMxDocument.ActiveView");
  if (activeView)
    return activeView;
  return map;
}

Ref<SimPageLayout> SimDocument::usePageLayout() {
  auto layout = std::make_shared<SimPageLayout>(map);
  activeView = layout;
  return layout;
}

void SimStepProgressor::setMinRange(int32_t value) {
  SimJournal::enter("IStepProgressor.MinRange");
  calls.append(QStringLiteral("MinRange %1").arg(value));
  minRange = value;
}

void SimStepProgressor::setMaxRange(int32_t value) {
  SimJournal::enter("IStepProgressor.MaxRange");
  calls.append(QStringLiteral("MaxRange %1").arg(value));
  maxRange = value;
}

void SimStepProgressor::setStepValue(int32_t value) {
  SimJournal::enter("IStepProgressor.StepValue");
  calls.append(QStringLiteral("StepValue %1").arg(value));
  stepValue = value;
}

void SimStepProgressor::setPosition(int32_t value) {
  SimJournal::enter("IStepProgressor.Position");
  calls.append(QStringLiteral("Position %1").arg(value));
  position = value;
}

void SimStepProgressor::setMessage(const QString& text) {
  SimJournal::enter("IStepProgressor.Message");
  calls.append(QStringLiteral("Message ") + text);
  message = text;
}

void SimStepProgressor::Show() {
  SimJournal::enter("IStepProgressor.Show");
  calls.append(QStringLiteral("Show"));
  visible = true;
}

void SimStepProgressor::Step() {
  SimJournal::enter("IStepProgressor.Step");
  calls.append(QStringLiteral("Step"));
  ++stepCount;
  position = std::min(position + stepValue, std::max(maxRange, minRange));
}

void SimStepProgressor::Hide() {
  SimJournal::enter("IStepProgressor.Hide");
  calls.append(QStringLiteral("Hide"));
  visible = false;
}

Ref<IStepProgressor> SimStatusBar::ProgressBar() {
  SimJournal::enter("IStatusBar.ProgressBar");
  return progressor;
}

void SimStatusBar::setStatusMessage(int32_t pane, const QString& message) {
  SimJournal::enter("IStatusBar.setStatusMessage");
  messages.append(QString::number(pane) + QStringLiteral(": ") + message);
}

SimApplication::SimApplication()
    : document(std::make_shared<SimDocument>()), statusBar(std::make_shared<SimStatusBar>()) {
  document->map = std::make_shared<SimMap>();
}

Ref<IMxDocument> SimApplication::Document() {
  SimJournal::enter("IApplication.Document");
  return document;
}

Ref<IStatusBar> SimApplication::StatusBar() {
  SimJournal::enter("IApplication.StatusBar");
  return statusBar;
}

namespace SimHost {

namespace {
thread_local std::vector<std::weak_ptr<SimModelessFrame>> tFrames;
}

void installFrames() {
  ComClasses::registerClass(HostClasses::ModelessFrame, QStringLiteral("{SIM-MODELESSFRAME}"), [] {
    auto frame = std::make_shared<SimModelessFrame>();
    tFrames.push_back(frame);
    return Ref<IUnknown>(frame);
  });
}

void install(const Ref<SimApplication>& application) {
  ComClasses::registerClass(HostClasses::AppRef, QStringLiteral("{SIM-APPREF}"),
                            [application] { return Ref<IUnknown>(application); });
  installFrames();
}

void uninstall() {
  ComClasses::unregisterClass(HostClasses::AppRef);
  ComClasses::unregisterClass(HostClasses::ModelessFrame);
  tFrames.clear();
}

std::vector<Ref<SimModelessFrame>> frames() {
  std::vector<Ref<SimModelessFrame>> alive;
  for (const auto& weak : tFrames)
    if (auto frame = weak.lock())
      alive.push_back(frame);
  return alive;
}

Ref<SimModelessFrame> lastFrame() {
  const auto alive = frames();
  return alive.empty() ? nullptr : alive.back();
}

} // namespace SimHost

} // namespace Larkhill
