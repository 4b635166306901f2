#pragma once

#include <memory>
#include <qgslocatorfilter.h>

namespace Larkhill {
class ListSnapshot;
}

namespace LarkhillQgis {

/**
 * Finds parcels from QGIS's locator bar: the IDs of the parcel search's list
 * (the one list the search window loaded, loaded now with the usual progress
 * when it was not) that the typed text finds, at most MaxResults, best kind of
 * match first (see Larkhill::ParcelMatches), each saying which kind it is.
 * Choosing one zooms to and marks its parcel as a click on its row in the
 * search window does, the k-th row of a shared ID included.
 *
 * Its prefix is "pid"; like QGIS's own feature filters it also answers
 * without one. QGIS runs the search of each clone on a thread of its own: the
 * clone reads only the snapshot of the list that prepare() took on the
 * user-interface thread, which no reload of the list changes.
 */
class ParcelLocatorFilter : public QgsLocatorFilter {
  Q_OBJECT
public:
  static constexpr int MaxResults = 20;

  explicit ParcelLocatorFilter(QObject* parent = nullptr);
  ~ParcelLocatorFilter() override;

  QgsLocatorFilter* clone() const override;
  QString name() const override;
  QString displayName() const override;
  QString description() const override;
  Priority priority() const override { return High; }
  QString prefix() const override;

  /** Takes the list to search (loading it first when needed); user-interface thread. */
  QStringList prepare(const QString& string, const QgsLocatorContext& context) override;
  /** Sends the parcels the text finds in the list prepare() took; any thread. */
  void fetchResults(const QString& string, const QgsLocatorContext& context,
                    QgsFeedback* feedback) override;
  /** Zooms to and marks the chosen parcel; user-interface thread. */
  void triggerResult(const QgsLocatorResult& result) override;
  /** The same, from the result's context menu. */
  void triggerResultFromAction(const QgsLocatorResult& result, const int actionId) override;

private:
  std::shared_ptr<const Larkhill::ListSnapshot> mList;
};

} // namespace LarkhillQgis
