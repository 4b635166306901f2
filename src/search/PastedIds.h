#pragma once

#include "platform/Export.h"

#include <QString>
#include <QStringList>

namespace LARKHILL_API Larkhill {

class ListSnapshot;

/**
 * A list of parcel IDs that a user pasted (from a tax bill, a deed, a
 * spreadsheet column), taken apart and looked up in the search list.
 */
namespace PastedIds {

/**
 * The IDs of the text, in their order and each once: pieces between new
 * lines, commas, semicolons and tabs (and blanks too when `blanksSeparate`,
 * as IDs may hold blanks), without the blanks around them; empty pieces are
 * passed over.
 */
QStringList split(const QString& text, bool blanksSeparate);

/** What a list of IDs finds in the search list. */
struct Found {
  /** The texts of the list's rows that the IDs found, each once, in the list's order. */
  QStringList values;
  /** The IDs that found no row, in the order given. */
  QStringList missing;
};

/**
 * Looks each ID up in the list: its exact text, or with `ignoreFormat` the
 * whole ID compared as forgiving matches compare (ListSnapshot::fold), so that
 * "01001 0105" finds "01-001-0105" (and every other row that folds alike).
 * Reads only the snapshot; runs in time about linear in the list and the IDs.
 */
Found find(const ListSnapshot& list, const QStringList& ids, bool ignoreFormat);

} // namespace PastedIds

} // namespace Larkhill
