#include "qgis/ui/ParcelLocatorFilter.h"

#include "search/ListSnapshot.h"
#include "search/ParcelFinder.h"
#include "search/ParcelMatches.h"

#include <qgsfeedback.h>

namespace LarkhillQgis {
using namespace Larkhill;

ParcelLocatorFilter::ParcelLocatorFilter(QObject* parent) : QgsLocatorFilter(parent) {}

ParcelLocatorFilter::~ParcelLocatorFilter() = default;

QgsLocatorFilter* ParcelLocatorFilter::clone() const {
  return new ParcelLocatorFilter;
}

QString ParcelLocatorFilter::name() const {
  return QStringLiteral("larkhill-parcel-ids");
}

QString ParcelLocatorFilter::displayName() const {
  return QStringLiteral("Parcel IDs");
}

QString ParcelLocatorFilter::description() const {
  return QStringLiteral("Parcel IDs of the parcel layer configured in LarkhillParcelSearch");
}

QString ParcelLocatorFilter::prefix() const {
  return QStringLiteral("pid");
}

QStringList ParcelLocatorFilter::prepare(const QString& string, const QgsLocatorContext&) {
  if (!string.trimmed().isEmpty())
    mList = ParcelFinder::loadedList();
  return QStringList();
}

void ParcelLocatorFilter::fetchResults(const QString& string, const QgsLocatorContext&,
                                       QgsFeedback* feedback) {
  if (!mList)
    return;
  const QVector<ParcelMatch> found = ParcelMatches::find(
      *mList, string, MaxResults, [feedback] { return feedback && feedback->isCanceled(); });
  for (int i = 0; i < found.size(); ++i) {
    if (feedback && feedback->isCanceled())
      return;
    const ParcelMatch& match = found[i];
    QgsLocatorResult result(this, match.text);
    result.description = ParcelMatches::kindText(match.kind);
    if (match.sharing > 1) {
      // The row's own parcel among those of its ID; the action (also offered
      // in the result's context menu) carries which one it is.
      const QString which =
          QStringLiteral("parcel %1 of %2 with this ID").arg(match.ordinal).arg(match.sharing);
      result.description += QStringLiteral("; ") + which;
      result.actions.append(
          QgsLocatorResult::ResultAction(match.ordinal, QStringLiteral("Zoom to ") + which));
    }
    // QGIS orders a filter's results by score: falling scores keep the order found.
    result.score = 1.0 - 0.01 * i;
    emit resultFetched(result);
  }
}

void ParcelLocatorFilter::triggerResult(const QgsLocatorResult& result) {
  ParcelFinder::show(result.displayString,
                     result.actions.isEmpty() ? 1 : result.actions.first().id);
}

void ParcelLocatorFilter::triggerResultFromAction(const QgsLocatorResult& result,
                                                  const int actionId) {
  ParcelFinder::show(result.displayString, actionId);
}

} // namespace LarkhillQgis
