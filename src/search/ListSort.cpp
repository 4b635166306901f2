#include "search/ListSort.h"

#include "platform/PageBlock.h"
#include "platform/SideThread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <memory>
#include <mutex>
#include <system_error>
#include <vector>

namespace Larkhill {

namespace {

/** An entry's sort record: its key and the entry, twelve bytes in all. */
struct __attribute__((packed)) Record {
  uint64_t key;
  uint32_t entry;
};
static_assert(sizeof(Record) == 12, "a record is twelve bytes");

/**
 * A count that one thread raises and one other waits to see change: the
 * waiter spins for a short while (the raiser is at work on another processor
 * and raises it soon), then sleeps until it is raised.
 */
class Beacon {
public:
  uint64_t value() const { return mCount.load(std::memory_order_acquire); }

  void raise() {
    mCount.fetch_add(1, std::memory_order_seq_cst);
    if (mSleeping.load(std::memory_order_seq_cst)) {
      std::lock_guard<std::mutex> lock(mMutex);
      mWake.notify_one();
    }
  }

  /** Waits for the count to differ from `seen`; returns it. */
  uint64_t waitPast(uint64_t seen) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(200);
    for (unsigned spin = 1;; ++spin) {
      const uint64_t count = mCount.load(std::memory_order_acquire);
      if (count != seen)
        return count;
#if defined(__x86_64__) || defined(__i386__)
      __builtin_ia32_pause();
#endif
      if (spin % 64 == 0 && std::chrono::steady_clock::now() > until)
        break;
    }
    std::unique_lock<std::mutex> lock(mMutex);
    // Either this sees the count raised, or the raiser sees it asleep.
    mSleeping.store(true, std::memory_order_seq_cst);
    mWake.wait(lock, [&] { return mCount.load(std::memory_order_seq_cst) != seen; });
    mSleeping.store(false, std::memory_order_relaxed);
    return mCount.load(std::memory_order_acquire);
  }

private:
  std::atomic<uint64_t> mCount{0};
  std::atomic<bool> mSleeping{false};
  std::mutex mMutex;
  std::condition_variable mWake;
};

/**
 * Runs each step of the sort in two parts: part 0 on the calling thread,
 * part 1 on a helper that lives for the whole sort, or on the calling thread
 * as well when the helper has not taken it up by the time part 0 is done. A
 * helper late to start (its processor asleep, or busy with another program)
 * then costs no more than its own start; a thread started for each step
 * would be waited for at each. With one thread there is no helper, and each
 * step is part 0 alone (its halves are then the whole; see half()).
 */
class TwoParts {
public:
  explicit TwoParts(int threads) : mParts(threads > 1 ? 2 : 1) {
    if (mParts > 1) {
      try {
        mHelper.start([this] { help(); });
      } catch (const std::system_error&) {
        // No thread to be had (the system's limit reached): both parts here.
      }
    }
  }

  ~TwoParts() {
    if (mHelper.joinable()) {
      mEnding.store(true, std::memory_order_relaxed);
      mSteps.raise();
      mHelper.join();
    }
  }

  TwoParts(const TwoParts&) = delete;
  TwoParts& operator=(const TwoParts&) = delete;

  /** Runs body(0) and, with two threads, body(1); returns when both are done. */
  template <typename Body> void run(Body body) {
    if (!mHelper.joinable()) {
      body(0);
      if (mParts > 1)
        body(1);
      return;
    }
    mBody = &body;
    mCall = [](void* b, int part) { (*static_cast<Body*>(b))(part); };
    const uint64_t finished = mFinished.value();
    // The helper that takes part 1 sees the body through this store.
    mTaken.store(false, std::memory_order_release);
    mSteps.raise();
    try {
      body(0);
    } catch (...) {
      // The body lives on this stack: the helper must be done with it.
      if (mTaken.exchange(true, std::memory_order_acq_rel))
        mFinished.waitPast(finished);
      throw;
    }
    if (!mTaken.exchange(true, std::memory_order_acq_rel))
      body(1);
    else
      mFinished.waitPast(finished);
  }

private:
  void help() {
    for (uint64_t seen = 0;;) {
      seen = mSteps.waitPast(seen);
      if (mEnding.load(std::memory_order_relaxed))
        return;
      // Taken, part 1 is of the step whose body is set now: a step's body
      // is set before its part is offered.
      if (!mTaken.exchange(true, std::memory_order_acq_rel)) {
        mCall(mBody, 1);
        mFinished.raise();
      }
    }
  }

  const int mParts; // 2, or 1 for one thread
  Beacon mSteps;    // raised for each step, and to end
  Beacon mFinished; // raised as the helper finishes a part
  std::atomic<bool> mTaken{true};
  std::atomic<bool> mEnding{false};
  void* mBody = nullptr;
  void (*mCall)(void*, int) = nullptr;
  SideThread mHelper; // last: started once the rest is made, joined first
};

/** The half [from, to) of n that thread t of `threads` takes. */
inline std::pair<size_t, size_t> half(size_t n, int t, int threads) {
  const size_t middle = threads > 1 ? n / 2 : n;
  return t == 0 ? std::make_pair(size_t(0), middle) : std::make_pair(middle, n);
}

/** Marks seen[b] for every byte b of [p, p + n) one by one; returns whether any was not marked. */
bool markEach(const uint8_t* p, size_t n, uint8_t seen[256]) {
  uint8_t fresh = 0;
  for (size_t i = 0; i < n; ++i) {
    fresh |= seen[p[i]] ^ 1;
    seen[p[i]] = 1;
  }
  return fresh != 0;
}

#if defined(__x86_64__)
/** For each low half of a byte, the high halves of the ASCII bytes marked with it, twice over. */
void markedByLowHalf(const uint8_t seen[256], uint8_t table[32]) {
  for (int low = 0; low < 16; ++low) {
    uint8_t highs = 0;
    for (int h = 0; h < 8; ++h)
      highs |= uint8_t(seen[h << 4 | low] << h);
    table[low] = table[low + 16] = highs;
  }
}

/**
 * markBytes with AVX2: 128 bytes at a time, passed over where every byte of
 * them is an ASCII byte marked already, as nearly all of a list's are (its
 * IDs take a few characters). Each byte is looked up by its two halves in two
 * tables of sixteen: the low half's gives the high halves marked with it, one
 * bit for each; the high half's its own bit (none beyond ASCII). A block
 * with a byte not marked is marked byte by byte, and the tables made again
 * where that marked a byte first. Byte by byte, the scan took an eighth of
 * the sort of a list of IDs; this way, the sort of a million county IDs on
 * one thread takes 19.6 ns an entry rather than 23.1.
 */
__attribute__((target("avx2"))) void markBytesAvx2(const uint8_t* p, size_t n, uint8_t seen[256]) {
  alignas(32) uint8_t lowHalves[32];
  alignas(32) uint8_t highHalves[32];
  for (int h = 0; h < 16; ++h)
    highHalves[h] = highHalves[h + 16] = h < 8 ? uint8_t(1u << h) : 0;
  markedByLowHalf(seen, lowHalves);
  __m256i lows = _mm256_load_si256(reinterpret_cast<const __m256i*>(lowHalves));
  const __m256i highs = _mm256_load_si256(reinterpret_cast<const __m256i*>(highHalves));
  const __m256i lowFour = _mm256_set1_epi8(0x0F); // a byte's low half
  const __m256i zero = _mm256_setzero_si256();
  size_t i = 0;
  for (; i + 128 <= n; i += 128) {
    __m256i unmarked = zero;
    for (int k = 0; k < 4; ++k) {
      const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + 32 * k));
      const __m256i byLow = _mm256_shuffle_epi8(lows, _mm256_and_si256(v, lowFour));
      const __m256i byHigh =
          _mm256_shuffle_epi8(highs, _mm256_and_si256(_mm256_srli_epi16(v, 4), lowFour));
      unmarked =
          _mm256_or_si256(unmarked, _mm256_cmpeq_epi8(_mm256_and_si256(byLow, byHigh), zero));
    }
    if (!_mm256_testz_si256(unmarked, unmarked) && markEach(p + i, 128, seen)) {
      markedByLowHalf(seen, lowHalves);
      lows = _mm256_load_si256(reinterpret_cast<const __m256i*>(lowHalves));
    }
  }
  markEach(p + i, n - i, seen);
}
#endif

/** Marks seen[b] for every byte b of [p, p + n). */
void markBytes(const uint8_t* p, size_t n, uint8_t seen[256]) {
#if defined(__x86_64__)
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2) {
    markBytesAvx2(p, n, seen);
    return;
  }
#endif
  markEach(p, n, seen);
}

/**
 * The keys of the entries: units from 64/bits * level on, each as its rank
 * among the units that occur (1 for the lowest, 0 for the end), the first
 * highest; a unit beyond ASCII takes the rank above every ASCII unit, and
 * every unit of the key after it too, so that two keys differ only where the
 * entries' order is already decided by the units before.
 */
class KeyMaker {
public:
  KeyMaker(const ListEntries& entries, TwoParts& parts, int threads) : mEntries(entries) {
    // The units that occur: every byte of the buffer (a wide entry's bytes
    // add units that need not occur, which only widens the ranks), and the
    // units of the wide entries' keys.
    uint8_t seen[2][256] = {};
    const auto& bytes = entries.bytes;
    parts.run([&](int t) {
      const auto [from, to] = half(bytes.size(), t, threads);
      markBytes(reinterpret_cast<const uint8_t*>(bytes.data()) + from, to - from, seen[t]);
    });
    bool occurs[kBeyond + 1] = {};
    for (int b = 0; b < 256; ++b)
      if (seen[0][b] || seen[1][b])
        occurs[b < 0x80 ? ListEntries::foldByte(uint8_t(b)) : kBeyond] = true;
    if (!entries.wides.empty()) {
      occurs[kBeyond] = true;
      for (const ListEntries::Wide& wide : entries.wides)
        for (const char16_t unit : wide.key)
          occurs[unit < 0x80 ? unit : kBeyond] = true;
    }
    uint8_t rank = 0;
    for (int u = 0; u <= kBeyond; ++u)
      mUnitRank[u] = occurs[u] ? ++rank : 0;
    for (int b = 0; b < 256; ++b)
      mByteRank[b] = b < 0x80 ? mUnitRank[ListEntries::foldByte(uint8_t(b))] : mUnitRank[kBeyond];
    mBits = rank == 0 ? 1 : 32 - __builtin_clz(rank);
    mUnits = 64 / uint32_t(mBits);
    // For a large load, the ranks of two bytes at once (their bits side by
    // side) halve the look-ups per key.
    if (entries.ends.size() >= kPairsFrom) {
      // Only pairs of bytes that occur are looked up.
      std::vector<int> bytesSeen;
      for (int b = 0; b < 0x80; ++b)
        if (seen[0][b] || seen[1][b])
          bytesSeen.push_back(b);
      mPairs.assign(kPairs, 0);
      mPairRank = mPairs.data();
      for (const int first : bytesSeen)
        for (const int second : bytesSeen)
          mPairs[size_t(first | second << 7)] =
              uint16_t(mByteRank[first] << mBits | mByteRank[second]);
    }
  }

  /** Units per key. */
  uint32_t units() const { return mUnits; }
  /** The units that make a key's highest `bits` bits. */
  uint32_t unitsOf(int bits) const {
    return std::min(mUnits, uint32_t((bits + mBits - 1) / mBits));
  }

  /**
   * The key of the entry's units from units() * level on; of its first
   * `most` of them only when `most` is given.
   */
  uint64_t key(uint32_t entry, uint32_t level, uint32_t most = 0) const {
    const uint32_t from = level * mUnits;
    most = most == 0 ? mUnits : most;
    uint64_t packed = 0;
    uint32_t n = 0;
    if (!mEntries.isWide(entry)) {
      const uint32_t length = mEntries.asciiLength(entry);
      if (length > from) {
        n = std::min(length - from, most);
        const auto* p = reinterpret_cast<const uint8_t*>(mEntries.asciiBytes(entry)) + from;
        uint32_t k = 0;
        if (mPairRank)
          for (; k + 2 <= n; k += 2)
            packed = packed << (2 * mBits) | mPairRank[p[k] | p[k + 1] << 7];
        for (; k < n; ++k)
          packed = packed << mBits | mByteRank[p[k]];
      }
    } else {
      const std::u16string& key = mEntries.wide(entry).key;
      for (; n < most && from + n < key.size(); ++n) {
        const char16_t unit = key[from + n];
        if (unit >= 0x80) {
          for (; n < most; ++n)
            packed = packed << mBits | mUnitRank[kBeyond];
          break;
        }
        packed = packed << mBits | mUnitRank[unit];
      }
    }
    return n == 0 ? 0 : packed << (64 - uint32_t(mBits) * n);
  }

private:
  static constexpr int kBeyond = 0x80; // the slot of every unit beyond ASCII
  static constexpr size_t kPairsFrom = 16384;
  const ListEntries& mEntries;
  // Per two ASCII bytes (the first lowest, the second from bit 7 on): their
  // ranks, the first higher. Any two bytes index within it (a byte beyond
  // ASCII, which no ASCII entry holds, would only read a wrong rank). 64 KiB,
  // from the heap: pages of its own cost a fault for each that a pair falls
  // in, and a call to the other processor to unmap them, about a seventh of
  // the sort of 100k entries on two threads.
  static constexpr size_t kPairs = 1 << 15;
  std::vector<uint16_t> mPairs;
  // Its entries, or none for a small load. Read through this pointer rather
  // than the vector, the keys are made about 3% faster.
  const uint16_t* mPairRank = nullptr;
  uint8_t mUnitRank[kBeyond + 1];
  uint8_t mByteRank[256];
  int mBits = 8;
  uint32_t mUnits = 8;
};

/** The key bits below bit `shift`. */
inline uint64_t bitsBelow(int shift) {
  return shift == 0 ? 0 : (1ull << shift) - 1;
}

/** Bytes rounded up to whole small pages (4 KiB). */
inline size_t roundToPage(size_t bytes) {
  return (bytes + 4095) / 4096 * 4096;
}

/**
 * Counts of a pass, zero to begin with. Up to 64 KiB they are from the heap,
 * which has them made already where it reuses what it freed (as at each
 * load after the first). Pages of their own cost a fault each to make and,
 * with two threads running, a call to the other processor to unmap; at 100k
 * entries on two threads, taking them from the heap made the whole sort a
 * tenth faster. Larger, they are pages of their own, all made at once.
 */
class Counts {
public:
  explicit Counts(size_t count) {
    if (count * sizeof(uint32_t) <= kFromHeap) {
      mHeap.assign(count, 0);
      mData = mHeap.data();
    } else {
      mPages = std::make_unique<PageArray<uint32_t>>(count, true);
      mData = mPages->data();
    }
  }
  uint32_t* data() const { return mData; }
  uint32_t& operator[](size_t i) const { return mData[i]; }

private:
  static constexpr size_t kFromHeap = 64 * 1024;
  std::vector<uint32_t> mHeap;
  std::unique_ptr<PageArray<uint32_t>> mPages;
  uint32_t* mData;
};

/** Runs of at most this many records are sorted by insertion. */
constexpr size_t kSmall = 32;
/** Runs of at most this many records (with as many in the buffer) fit a processor's cache. */
constexpr size_t kInCache = 32768;
/** Records whose rows are written that are given back at once, at least. */
constexpr size_t kReleaseStep = 65536;
/**
 * Records of more bytes than this (a processor's last cache is some tens of
 * MiB) are written with the bucket's line kAhead records on asked for.
 */
constexpr size_t kFetchAheadFrom = size_t(32) << 20;
constexpr size_t kAhead = 48;
/** Loads from this many entries take a first pass by the top bits of the keys. */
constexpr size_t kTopFrom = 65536;
/**
 * The bits of that pass: about one bucket for each eight records, at most
 * 2^16 buckets. The first units of parcel IDs take few of their values (a
 * county's few book numbers), so most buckets stay empty and those used hold
 * many records each.
 */
inline int topBits(size_t count) {
  return std::min(16, 64 - __builtin_clzll(count) - 3);
}

void insertionSort(Record* first, Record* last) {
  for (Record* item = first + 1; item < last; ++item) {
    const Record r = *item;
    Record* at = item;
    for (; at > first && r.key < at[-1].key; --at)
      *at = at[-1];
    *at = r;
  }
}

/** The key bits in which the records differ, of those in `bits`. */
uint64_t differing(const Record* first, const Record* last, uint64_t bits) {
  const uint64_t key0 = first->key;
  uint64_t differ = 0;
  for (const Record* item = first; item != last; ++item)
    differ |= item->key ^ key0;
  return differ & bits;
}

/**
 * Sorts n records by key, lowest byte first, through `buffer` (room for n):
 * one pass per eight bits, from the lowest of the `differ` bits, each next
 * one from the lowest of them above the last.
 */
void sortInCache(Record* first, size_t n, uint64_t differ, Record* buffer) {
  int shifts[8];
  int passes = 0;
  for (uint64_t left = differ; left != 0;) {
    const int shift = __builtin_ctzll(left);
    shifts[passes++] = shift;
    left = shift + 8 >= 64 ? 0 : left & (~0ull << (shift + 8));
  }
  // Only the passes' counts are cleared: for a run of a hundred records,
  // clearing all eight would cost more than the counting.
  uint32_t counts[8][256];
  std::memset(counts, 0, sizeof counts[0] * size_t(passes));
  for (size_t i = 0; i < n; ++i) {
    const uint64_t key = first[i].key;
    for (int p = 0; p < passes; ++p)
      ++counts[p][(key >> shifts[p]) & 0xFF];
  }
  Record* from = first;
  Record* to = buffer;
  for (int p = 0; p < passes; ++p) {
    uint32_t places[256];
    uint32_t at = 0;
    for (int v = 0; v < 256; ++v) {
      places[v] = at;
      at += counts[p][v];
    }
    const int shift = shifts[p];
    for (size_t i = 0; i < n; ++i)
      to[places[(from[i].key >> shift) & 0xFF]++] = from[i];
    std::swap(from, to);
  }
  if (from != first)
    std::memcpy(first, from, n * sizeof(Record));
}

/**
 * Moves the records, in place, into 256 runs by the eight key bits from the
 * highest of the `differ` bits down; counts[b] is the size of run b. Returns
 * the shift of those bits.
 */
int partition(Record* first, Record* last, uint64_t differ, size_t counts[256]) {
  const int high = 63 - __builtin_clzll(differ);
  const int shift = high >= 7 ? high - 7 : 0;
  std::fill(counts, counts + 256, size_t(0));
  for (const Record* item = first; item != last; ++item)
    ++counts[(item->key >> shift) & 0xFF];
  Record* heads[256];
  Record* tails[256];
  Record* at = first;
  for (int b = 0; b < 256; ++b) {
    heads[b] = at;
    at += counts[b];
    tails[b] = at;
  }
  for (int b = 0; b < 256; ++b) {
    while (heads[b] != tails[b]) {
      Record item = *heads[b];
      int home = int((item.key >> shift) & 0xFF);
      while (home != b) {
        std::swap(item, *heads[home]++);
        home = int((item.key >> shift) & 0xFF);
      }
      *heads[b]++ = item;
    }
  }
  return shift;
}

/**
 * Sorts the records by key where they may differ only in `bits` (the key's
 * bits below those they share): in place, eight bits at a time from the
 * highest in which any differ, until a run fits the cache.
 */
void sortByKey(Record* first, Record* last, uint64_t bits, Record* buffer) {
  const size_t n = size_t(last - first);
  if (n <= kSmall) {
    insertionSort(first, last);
    return;
  }
  const uint64_t differ = differing(first, last, bits);
  if (differ == 0)
    return;
  if (n <= kInCache) {
    sortInCache(first, n, differ, buffer);
    return;
  }
  size_t counts[256];
  const int shift = partition(first, last, differ, counts);
  const uint64_t below = bitsBelow(shift);
  Record* at = first;
  for (int b = 0; b < 256; ++b) {
    Record* end = at + counts[b];
    if (end - at > 1)
      sortByKey(at, end, below, buffer);
    at = end;
  }
}

/**
 * When the entries come in the list's order already, as a column read
 * through its index does, writes the order (each row its entry) and returns
 * true; otherwise returns false. A glance at 256 pairs of neighbours evenly
 * spaced turns most other loads away at once; the rest are checked pair by
 * pair, each thread half of them, writing the order as they go.
 */
bool orderIfInOrder(ListEntries& entries, TwoParts& parts, int threads) {
  const size_t count = entries.ends.size();
  if (count < 2)
    return false;
  constexpr size_t kGlances = 256;
  for (size_t s = 0, previous = 0; s < kGlances; ++s) {
    const size_t i = s * (count - 2) / (kGlances - 1);
    if (entries.less(uint32_t(i), uint32_t(previous)) || entries.less(uint32_t(i + 1), uint32_t(i)))
      return false;
    previous = i + 1;
  }
  entries.order.resize(count);
  uint32_t* order = entries.order.data();
  const uint32_t* ends = entries.ends.data();
  const char* bytes = entries.bytes.data();
  std::atomic<bool> outOfOrder{false};
  parts.run([&](int t) {
    // Each thread checks the pairs that begin in its half.
    const auto [from, to] = half(count, t, threads);
    constexpr size_t kStep = 8192; // pairs between looks at the other thread's finding
    for (size_t i = from; i < to; i += kStep) {
      if (outOfOrder.load(std::memory_order_relaxed))
        return;
      // Each entry's text begins where the one before ends: the ends are
      // read once each, as the pairs go by.
      const size_t end = std::min(to, i + kStep);
      uint32_t begin = entries.begin(uint32_t(i));
      uint32_t endOfA = ends[i];
      for (size_t j = i; j < end; ++j) {
        order[j] = uint32_t(j);
        if (j + 1 == count)
          break;
        const uint32_t endOfB = ends[j + 1];
        const uint32_t beginOfB = endOfA & ListEntries::kEndMask;
        // Two entries the same in all but their order of adding are in order.
        const bool inOrder =
            ((endOfA | endOfB) & ListEntries::kWideFlag) != 0
                ? !entries.less(uint32_t(j + 1), uint32_t(j))
                : ListEntries::compareAscii(bytes + begin, endOfA - begin, bytes + beginOfB,
                                            endOfB - beginOfB) <= 0;
        if (!inOrder) {
          outOfOrder.store(true, std::memory_order_relaxed);
          return;
        }
        begin = beginOfB;
        endOfA = endOfB;
      }
    }
  });
  if (outOfOrder.load(std::memory_order_relaxed)) {
    // Given back, not kept for the sort: the rows written so far would
    // otherwise be held beside the sort's records.
    ListEntries::Order().swap(entries.order);
    return false;
  }
  return true;
}

class Sorter {
public:
  Sorter(ListEntries& entries, ListSortWay way, TwoParts& parts)
      : mEntries(entries), mWay(way), mParts(parts), mKeys(entries, mParts, way.threads) {}

  void run() {
    const size_t count = mEntries.ends.size();
    const int threads = mWay.threads;
    // The records' pages are made where the threads first write them, by both
    // at once; given back whole after the sort.
    PageArray<Record> records(count);
    mRecords = &records;
    mItems = records.data();
    mEntries.order.resize(count);
    mOrder = mEntries.order.data();
    // Every buffer is taken here, and given back whole after the sort:
    // memory a sorting thread took itself would stay with that thread's heap.
    // Where the records' last large page has room for them past the records
    // (at about 100k entries, or 1M with one thread), they are there, each
    // from the start of a small page: memory made already, where pages of
    // their own would each cost a fault. (A buffer that begins elsewhere in a
    // page costs the runs' passes about 5% more, as its writes and the
    // records' reads fall on the same cache sets.)
    const size_t inBuffer = std::min(count, kInCache);
    const size_t spareAt = roundToPage(count * sizeof(Record));
    const size_t bufferBytes = roundToPage(inBuffer * sizeof(Record));
    const bool inSpare = records.size() * sizeof(Record) >= spareAt + size_t(threads) * bufferBytes;
    for (int t = 0; t < threads; ++t) {
      if (inSpare) {
        mBuffers[t] = reinterpret_cast<Record*>(reinterpret_cast<char*>(mItems) + spareAt +
                                                size_t(t) * bufferBytes);
      } else {
        mOwnBuffers[t] = std::make_unique<PageArray<Record>>(inBuffer);
        mBuffers[t] = mOwnBuffers[t]->data();
      }
    }
    // A large load here is not in order (see sortEntries).
    if (mWay.radix && count >= kTopFrom)
      sortLarge(count, threads);
    else
      sortSmall(count, threads);
  }

private:
  /**
   * Makes the record of every entry, thread t of `threads` those of half of
   * them, each where `place(t, entry, key)` says; returns whether the keys
   * came in order.
   */
  template <typename Place> bool makeRecords(size_t count, int threads, Place place) {
    bool ordered[2] = {true, true};
    mParts.run([&](int t) {
      const auto [from, to] = half(count, t, threads);
      bool inOrder = true;
      uint64_t previous = 0;
      for (size_t i = from; i < to; ++i) {
        const uint64_t key = mKeys.key(uint32_t(i), 0);
        mItems[place(t, i, key)] = Record{key, uint32_t(i)};
        inOrder = inOrder && previous <= key;
        previous = key;
      }
      ordered[t] = inOrder;
    });
    const size_t middle = half(count, 0, threads).second;
    return ordered[0] && ordered[1] &&
           (threads < 2 || middle == 0 ||
            mKeys.key(uint32_t(middle - 1), 0) <= mKeys.key(uint32_t(middle), 0));
  }

  /** The records made in the entries' order and sorted as one run. */
  void sortSmall(size_t count, int threads) {
    Record* items = mItems;
    // Records in order already (as read through an index) are left so.
    const bool inOrder = makeRecords(count, threads, [](int, size_t i, uint64_t) { return i; });
    const size_t middle = half(count, 0, threads).second;
    if (!inOrder && mWay.radix) {
      sortByKey(items, items + count, ~0ull, mBuffers[0]);
    } else if (!inOrder) {
      std::sort(items, items + count,
                [](const Record& a, const Record& b) { return a.key < b.key; });
    }
    size_t split = middle;
    while (split > 0 && split < count && items[split].key == items[split - 1].key)
      ++split;
    mParts.run([&](int t) {
      Record* first = t == 0 ? items : items + split;
      Record* last = t == 0 ? items + split : items + count;
      finish(first, last, mBuffers[t]);
    });
  }

  /**
   * The records made straight into their buckets by the top bits of
   * their keys (topBits; the highest, or those from the highest in which
   * any differ when all share those), counted first from the units that make them;
   * each thread makes those of half of the entries, into places set apart
   * for it in each bucket. Then each thread sorts the buckets of about half
   * of the records one by one, and writes each bucket's rows of the order
   * while it is at hand.
   */
  void sortLarge(size_t count, int threads) {
    Record* items = mItems;
    const int digitBits = topBits(count);
    const size_t buckets = size_t(1) << digitBits;
    int shift = 64 - digitBits;
    const uint32_t topUnits = mKeys.unitsOf(digitBits);
    // Per thread, the count of each value, then the next place for each.
    // Every count is written, as its place, before the records are made.
    std::unique_ptr<Counts> places[2];
    for (int t = 0; t < threads; ++t)
      places[t] = std::make_unique<Counts>(buckets);
    mParts.run([&](int t) {
      const auto [from, to] = half(count, t, threads);
      uint32_t* c = places[t]->data();
      for (size_t i = from; i < to; ++i)
        ++c[mKeys.key(uint32_t(i), 0, topUnits) >> shift];
    });
    // All in one bucket? Then in the first entry's: only its count is read.
    const size_t first = size_t(mKeys.key(0, 0, topUnits) >> shift);
    const bool one = size_t((*places[0])[first]) + (threads > 1 ? (*places[1])[first] : 0) == count;
    if (one) {
      // All share those bits: the bits from the highest in which any differ.
      const uint64_t key0 = mKeys.key(0, 0);
      uint64_t differ[2] = {};
      mParts.run([&](int t) {
        const auto [from, to] = half(count, t, threads);
        uint64_t bits = 0;
        for (size_t i = from; i < to; ++i)
          bits |= mKeys.key(uint32_t(i), 0) ^ key0;
        differ[t] = bits;
      });
      const uint64_t bits = differ[0] | differ[1];
      shift = bits == 0 ? 0 : std::max(0, 63 - __builtin_clzll(bits) - (digitBits - 1));
      mParts.run([&](int t) {
        const auto [from, to] = half(count, t, threads);
        uint32_t* c = places[t]->data();
        std::fill(c, c + buckets, 0);
        for (size_t i = from; i < to; ++i)
          ++c[(mKeys.key(uint32_t(i), 0) >> shift) & (buckets - 1)];
      });
    }
    for (size_t v = 0, at = 0; v < buckets; ++v)
      for (int t = 0; t < threads; ++t) {
        const size_t counts = (*places[t])[v];
        (*places[t])[v] = uint32_t(at);
        at += counts;
      }
    // Records that came in order are in order in their buckets already.
    uint32_t* const placesOf[2] = {places[0]->data(), places[threads - 1]->data()};
    auto place = [&](int t, size_t, uint64_t key) {
      return placesOf[t][(key >> shift) & (buckets - 1)]++;
    };
    // Records of more bytes than the processor's last cache go to lines
    // that have left it since their pages were made, in hundreds of buckets
    // at once: too many streams for the processor to fetch ahead by itself,
    // so each write to a new line would wait for it. The line a few ahead in
    // the bucket is asked for as each record is written: at 10M entries the
    // sort took 4-5% less time on one thread, 2-6% on two.
    const bool inOrder =
        count * sizeof(Record) <= kFetchAheadFrom
            ? makeRecords(count, threads, place)
            : makeRecords(count, threads, [&](int t, size_t i, uint64_t key) {
                const uint32_t at = place(t, i, key);
                __builtin_prefetch(items + std::min(size_t(at) + kAhead, count), 1);
                return at;
              });
    // The last thread's places are now the ends of the buckets; the first's
    // are of no more use with two.
    const uint32_t* ends = places[threads - 1]->data();
    if (threads > 1)
      places[0].reset();
    const uint64_t below = bitsBelow(shift);
    auto start = [&](size_t v) { return v == 0 ? size_t(0) : size_t(ends[v - 1]); };
    // The first thread sorts the buckets before the bucket edge nearest the
    // middle of the records, the second the rest. Where that edge is far from
    // the middle, as where a few buckets hold much of the load (IDs whose
    // first units vary little), the bucket across the middle is split by its
    // next bits first, into runs (from `edges`) of which the first thread
    // takes those before `cut`.
    size_t lastOf0 = buckets, firstOf1 = buckets;
    size_t edges[257];
    size_t runs = 0, cut = 0;
    uint64_t runBits = 0;
    if (threads > 1) {
      const size_t mid = count / 2;
      auto away = [mid](size_t at) { return at > mid ? at - mid : mid - at; };
      const size_t middle = std::min(
          buckets - 1, size_t(std::upper_bound(ends, ends + buckets, uint32_t(mid)) - ends));
      lastOf0 = firstOf1 = away(start(middle)) < away(ends[middle]) ? middle : middle + 1;
      const uint64_t differ =
          !inOrder && std::min(away(start(middle)), away(ends[middle])) > count / 16
              ? differing(items + start(middle), items + ends[middle], below)
              : 0;
      if (differ != 0) {
        size_t counts[256];
        const int runShift = partition(items + start(middle), items + ends[middle], differ, counts);
        runBits = bitsBelow(runShift);
        runs = 256;
        edges[0] = start(middle);
        for (size_t r = 0; r < runs; ++r)
          edges[r + 1] = edges[r] + counts[r];
        for (size_t r = 1; r <= runs; ++r)
          if (away(edges[r]) < away(edges[cut]))
            cut = r;
        lastOf0 = middle;
        firstOf1 = middle + 1;
      }
    }
    mParts.run([&](int t) {
      Record* buffer = mBuffers[t];
      size_t kept = t == 0 ? 0
                    : runs ? edges[cut]
                           : start(firstOf1); // the first record not given back
      // Sorts records [from, to), which may differ in `bits`, and writes their rows.
      auto sortPart = [&](size_t from, size_t to, uint64_t bits) {
        if (from != to) {
          if (!inOrder)
            sortByKey(items + from, items + to, bits, buffer);
          finish(items + from, items + to, buffer);
        }
        // The records whose rows are written are given back as the rows
        // take memory, so that the two are not held whole at once: their
        // whole pages (large ones where the records are in them), the next
        // time from where this time stopped.
        if (to >= kept + kReleaseStep)
          kept = mRecords->release(kept, to);
      };
      if (t == 0) {
        for (size_t v = 0; v < lastOf0; ++v)
          sortPart(start(v), ends[v], below);
        for (size_t r = 0; r < cut; ++r)
          sortPart(edges[r], edges[r + 1], runBits);
      } else {
        for (size_t r = cut; r < runs; ++r)
          sortPart(edges[r], edges[r + 1], runBits);
        for (size_t v = firstOf1; v < buckets; ++v)
          sortPart(start(v), ends[v], below);
      }
    });
  }

  /** Sorts records that agree on every key unit before units() * level; their keys hold the next.
   */
  void sortRange(Record* first, Record* last, uint32_t level, Record* buffer) const {
    if (mWay.radix)
      sortByKey(first, last, ~0ull, buffer);
    else
      std::sort(first, last, [](const Record& a, const Record& b) { return a.key < b.key; });
    tiedRuns(first, last, level, buffer);
  }

  /** The runs of equal keys of sorted records ordered, and the records' rows of the order written.
   */
  void finish(Record* first, Record* last, Record* buffer) const {
    tiedRuns(first, last, 0, buffer);
    for (Record* item = first; item != last; ++item)
      mOrder[item - mItems] = item->entry;
  }

  /**
   * Runs of equal keys go on with the next units, or, once their entries end
   * (or a wide entry is among them), are ordered by the full comparison.
   */
  void tiedRuns(Record* first, Record* last, uint32_t level, Record* buffer) const {
    const uint32_t from = (level + 1) * mKeys.units();
    for (Record* run = first; run != last;) {
      Record* end = run + 1;
      while (end != last && end->key == run->key)
        ++end;
      if (end - run > 1) {
        // The next key of each, in one pass; the entries lie all over the
        // buffers, so those a few records ahead are fetched early.
        bool wide = false, longer = false;
        for (Record* item = run; item != end; ++item) {
          if (end - item > 16)
            __builtin_prefetch(&mEntries.ends[item[16].entry]);
          if (end - item > 8)
            __builtin_prefetch(mEntries.bytes.data() + mEntries.begin(item[8].entry) + from);
          wide = wide || mEntries.isWide(item->entry);
          longer = longer || mEntries.asciiLength(item->entry) > from;
          item->key = mKeys.key(item->entry, level + 1);
        }
        if (!wide && longer)
          sortRange(run, end, level + 1, buffer);
        else
          std::sort(run, end, [this](const Record& a, const Record& b) {
            return mEntries.less(a.entry, b.entry);
          });
      }
      run = end;
    }
  }

  ListEntries& mEntries;
  const ListSortWay mWay;
  TwoParts& mParts; // the threads of each step
  const KeyMaker mKeys;
  Record* mBuffers[2] = {}; // per thread, for the runs that fit the cache
  // The buffers, where they have pages of their own.
  std::unique_ptr<PageArray<Record>> mOwnBuffers[2];
  PageArray<Record>* mRecords = nullptr;
  Record* mItems = nullptr;   // the records sorted
  uint32_t* mOrder = nullptr; // the order written from them
};

} // namespace

void sortEntries(ListEntries& entries, ListSortWay way) {
  TwoParts parts(way.threads);
  // A large load that comes in order already needs no keys, records or
  // buckets: only each entry checked against the next.
  if (way.radix && entries.ends.size() >= kTopFrom && orderIfInOrder(entries, parts, way.threads))
    return;
  Sorter(entries, way, parts).run();
}

} // namespace Larkhill
