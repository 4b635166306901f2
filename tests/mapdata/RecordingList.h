#pragma once

#include "errors/ErrorHandling.h"
#include "platform/IListControl.h"

#include <QStringList>

using namespace Larkhill;

/** A list control that keeps its entries and counts how they arrived. */
class RecordingList : public IListControl {
public:
  void Clear() override {
    items.clear();
    ++clears;
  }
  void AddItem(const QString& text) override {
    items.append(text);
    ++singleAdds;
  }
  void AddItems(const QStringList& texts) override {
    items.append(texts);
    ++bulkAdds;
  }
  QStringList items;
  int clears = 0;
  int singleAdds = 0;
  int bulkAdds = 0;
};

/** The error report text a trapped failure of a map routine shows. */
inline QString mapdataReport(const QString& procedure, int32_t number, const QString& description) {
  return ErrorHandling::ErrorReportText(
      ErrorHandling::LocationText(procedure, QStringLiteral("LarkhillGIS_ArcMap")), number,
      description);
}
