// The county's parcel IDs as county-data writes them to its files, for the
// files themselves and for the sort alone at sizes no file is made for.
#pragma once

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace County {

/**
 * Calls `each(n, id)` for `count` parcels in the files' order (shuffled, so
 * that it is not the sorted order of the IDs): n the parcel's number, id its
 * PIN, book-page-parcel, one in ten with an "R" and one in ten with an "r"
 * before it.
 */
template <typename Each> void countyParcels(long long count, Each each) {
  std::vector<long long> order(static_cast<size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  std::mt19937 random(1962);
  std::shuffle(order.begin(), order.end(), random);
  char text[32];
  for (const long long n : order) {
    const unsigned roll = random() % 10;
    std::snprintf(text, sizeof text, "%s%02lld-%03lld-%04lld",
                  roll == 0   ? "R"
                  : roll == 1 ? "r"
                              : "",
                  10 + n / 100000, (n / 1000) % 100 * 10, n % 1000 * 7 % 10000);
    each(n, std::string(text));
  }
}

} // namespace County
