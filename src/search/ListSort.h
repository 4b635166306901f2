#pragma once

#include "search/ListEntries.h"

namespace Larkhill {

/** How a bulk load sorts the list's entries (see SortedListModel::Sorting). */
struct ListSortWay {
  bool radix = true; // by key bits, else by comparison of the keys
  int threads = 1;   // 1 or 2
};

/**
 * Writes the order of every entry into entries.order: the list's order
 * (ListEntries::less), whichever way it is sorted.
 *
 * Each entry gets one 64-bit key in a record of twelve bytes with its index:
 * its first upper-cased units packed, each as its rank among the units that
 * occur in the list (0 for the end of the entry), in as few bits as those
 * ranks need, so that a key holds sixteen units of a list of digits, '-' and
 * a few letters, and never fewer than eight. A large load's records are made
 * straight into buckets by the top bits of their keys (counted first), on two
 * threads each for half of the entries; each bucket is then sorted by the
 * rest of its keys, the large ones in place a byte at a time from the highest
 * bit in which any differ, those that fit the processor's cache out of place
 * through a small buffer, lowest byte first. Runs of equal keys go on with the
 * next units, or by the full comparison once their entries end. The records
 * whose rows are written are given back as the sort goes, so that the records
 * and the order are not held whole at once. A large load that comes in order
 * already, as a column read through its index does, is only checked, each
 * entry against the next, on two threads each for half of them.
 */
void sortEntries(ListEntries& entries, ListSortWay way);

} // namespace Larkhill
