#pragma once

#include "platform/Export.h"

#include <QString>
#include <QVector>
#include <functional>

namespace LARKHILL_API Larkhill {

class ListSnapshot;

/** One row of the search list that a typed text finds, and how it matches. */
struct ParcelMatch {
  /** How the row matches, best first. */
  enum class Kind {
    /** The row's text is the typed text, ignoring letter case. */
    Exact,
    /** The row's text starts with the typed text, ignoring letter case (as "Go" finds). */
    StartsWith,
    /** It does so once letter case, blanks and punctuation are left out (ListSnapshot::fold). */
    StartsWithIgnoringFormat,
    /** The row's text holds the typed text somewhere, leaving the same out. */
    Contains
  };
  int row = -1;
  Kind kind = Kind::Exact;
  QString text;
  /** The row's place (from 1) among the rows of the same text, and how many they are. */
  int ordinal = 1;
  int sharing = 1;
};

/**
 * Finds parcels in the search list the way people type IDs they copied: the
 * rows of the list that a text finds, best kind first, each kind in the list's
 * order, at most `max` rows and each row once. Reads only the snapshot, so it
 * may run on any thread; `canceled`, when given, is asked now and then and
 * ends the search early (with what was found so far) when it says so.
 */
namespace ParcelMatches {

QVector<ParcelMatch> find(const ListSnapshot& list, const QString& text, int max,
                          const std::function<bool()>& canceled = {});

/** Words for the kind of match, as a result shows them ("starts with", ...). */
QString kindText(ParcelMatch::Kind kind);

} // namespace ParcelMatches

} // namespace Larkhill
