#include "search/SortedListModel.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <algorithm>
#include <random>

using namespace Larkhill;

namespace {

QStringList shown(const SortedListModel& model) {
  QStringList rows;
  for (int row = 0; row < model.rowCount(); ++row)
    rows.append(model.data(model.index(row)).toString());
  return rows;
}

// The search as the window's users know it: from the top, the first entry
// whose first n characters upper-cased equal the text upper-cased.
int walkFromTop(const SortedListModel& model, const QString& text) {
  const QString wanted = text.toUpper();
  for (int row = 0; row < model.rowCount(); ++row)
    if (model.data(model.index(row)).toString().left(text.size()).toUpper() == wanted)
      return row;
  return -1;
}

SortedListModel& filled(SortedListModel& model, const QStringList& entries) {
  model.AddItems(entries);
  return model;
}

} // namespace

TEST(SortedListModel, OrdersTextIgnoringCaseNotNumbers) {
  SortedListModel model;
  model.AddItems({"30", "100", "2", "b7", "B10"});
  EXPECT_EQ(shown(model), QStringList({"100", "2", "30", "B10", "b7"}));
}

TEST(SortedListModel, EachAddedEntryTakesItsPlaceOutsideABulkLoad) {
  SortedListModel model;
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  for (const char* pin : {"30", "100", "2", "b7", "B10"})
    model.AddItem(QString::fromLatin1(pin));
  EXPECT_EQ(shown(model), QStringList({"100", "2", "30", "B10", "b7"}));
  EXPECT_EQ(inserted.count(), 5);
}

TEST(SortedListModel, ABulkLoadSortsAndResetsOnceAtItsEnd) {
  SortedListModel model;
  model.AddItem("old");
  QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
  QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
  model.beginBulkLoad();
  model.Clear();
  for (int i = 999; i >= 0; --i)
    model.AddItem(QString::number(i));
  // Views keep what they were shown until the load ends.
  EXPECT_EQ(model.rowCount(), 0);
  model.endBulkLoad();
  EXPECT_EQ(resets.count(), 2); // the clear and the end of the load
  EXPECT_EQ(inserted.count(), 0);
  ASSERT_EQ(model.rowCount(), 1000);
  EXPECT_EQ(model.text(0), "0");
  EXPECT_EQ(model.text(1), "1");
  EXPECT_EQ(model.text(2), "10");
  EXPECT_EQ(model.text(999), "999");
}

TEST(SortedListModel, HoldsMoreThanTheOldListBoxLimit) {
  SortedListModel model;
  QStringList pins;
  for (int i = 0; i < 40000; ++i)
    pins.append(QStringLiteral("P-%1").arg(i, 6, 10, QLatin1Char('0')));
  model.AddItems(pins);
  ASSERT_EQ(model.rowCount(), 40000);
  EXPECT_EQ(model.text(32767), "P-032767");
  EXPECT_EQ(model.text(39999), "P-039999");
  EXPECT_EQ(model.findFirstMatch("p-0399"), 39900);
}

TEST(SortedListModel, EntriesEqualIgnoringCaseKeepAFixedOrder) {
  // Whatever order they arrive in, equal entries show in one order: exact text, then arrival.
  SortedListModel first, second, third;
  filled(first, {"ab", "AB", "Ab", "aB", "AB"});
  filled(second, {"AB", "aB", "AB", "ab", "Ab"});
  for (const char* entry : {"aB", "AB", "ab", "Ab", "AB"})
    third.AddItem(QString::fromLatin1(entry));
  const QStringList expected({"AB", "AB", "Ab", "aB", "ab"});
  EXPECT_EQ(shown(first), expected);
  EXPECT_EQ(shown(second), expected);
  EXPECT_EQ(shown(third), expected);
}

TEST(SortedListModel, ClearEmptiesTheList) {
  SortedListModel model;
  model.AddItems({"a", "b"});
  model.Clear();
  EXPECT_EQ(model.rowCount(), 0);
  EXPECT_EQ(model.findFirstMatch("a"), -1);
  model.AddItem("c");
  EXPECT_EQ(shown(model), QStringList({"c"}));
}

TEST(SortedListModel, GoFindsTheFirstEntryFromTheTop) {
  SortedListModel model;
  model.AddItems({"A-10", "a-105", "B-7"});
  ASSERT_EQ(shown(model), QStringList({"A-10", "a-105", "B-7"}));
  EXPECT_EQ(model.findFirstMatch("a-10"), 0);
  EXPECT_EQ(model.findFirstMatch("A-10"), 0);
  EXPECT_EQ(model.findFirstMatch("a-105"), 1);
  EXPECT_EQ(model.findFirstMatch("b"), 2);
  EXPECT_EQ(model.findFirstMatch("A-100"), -1); // a-105 upper-cased begins A-105
  EXPECT_EQ(model.findFirstMatch(" A-10"), -1); // no trimming
  EXPECT_EQ(model.findFirstMatch("A-10 "), -1);
  EXPECT_EQ(model.findFirstMatch("A-1055"), -1); // longer than every entry
  EXPECT_EQ(model.findFirstMatch("C"), -1);
  SortedListModel empty;
  EXPECT_EQ(empty.findFirstMatch("A"), -1);
}

TEST(SortedListModel, GoAgreesWithTheWalkOnNonAsciiLetters) {
  SortedListModel model;
  // ß upper-cases to SS, ſ (long s) to S, ﬁ to FI: the key grows or shifts.
  model.AddItems({"straße-1", "STRASSE-2", "ſtraw", "Straw", "ﬁeld", "FIELD", "Élan", "élan",
                  "elan", QString::fromUtf8("\xF0\x90\x90\xA8-x")});
  for (const char* text : {"s", "S", "ss", "straß", "STRASS", "straw", "ſ", "f", "fi", "ﬁ", "ﬁe",
                           "É", "é", "e", "ß", "ẞ"})
    EXPECT_EQ(model.findFirstMatch(QString::fromUtf8(text)),
              walkFromTop(model, QString::fromUtf8(text)))
        << text;
  const QString deseret = QString::fromUtf8("\xF0\x90\x90\x80"); // capital of the entry's letter
  EXPECT_EQ(model.findFirstMatch(deseret), walkFromTop(model, deseret));
  EXPECT_GE(model.findFirstMatch(deseret), 0);
  EXPECT_EQ(model.findFirstMatch(deseret.left(1)), walkFromTop(model, deseret.left(1)));
}

TEST(SortedListModel, GoAgreesWithTheWalkOnRandomLists) {
  std::mt19937 random(20261207);
  const QString alphabet = QString::fromUtf8("aAbBsS-019 ßſéÉıIiﬁǅǆ") +
                           QString::fromUtf8("\xF0\x90\x90\xA8\xF0\x90\x90\x80");
  // Characters, surrogate pairs kept whole.
  QStringList letters;
  for (int i = 0; i < alphabet.size(); ++i) {
    if (alphabet[i].isHighSurrogate()) {
      letters.append(alphabet.mid(i, 2));
      ++i;
    } else {
      letters.append(alphabet.mid(i, 1));
    }
  }
  auto randomText = [&](int maxLength) {
    QString text;
    const int length = int(random() % unsigned(maxLength + 1));
    for (int i = 0; i < length; ++i)
      text += letters[int(random() % unsigned(letters.size()))];
    return text;
  };
  auto flipCase = [&](const QString& text) {
    QString flipped;
    for (QChar c : text)
      flipped += (random() % 2) ? c.toUpper() : c.toLower();
    return flipped;
  };

  int matches = 0, checks = 0;
  for (int list = 0; list < 300; ++list) {
    SortedListModel bulk, oneByOne;
    QStringList entries;
    const int size = int(random() % 60);
    for (int i = 0; i < size; ++i) {
      QString entry = randomText(6);
      // Entries that differ only in case from one already there.
      if (!entries.isEmpty() && random() % 4 == 0)
        entry = flipCase(entries[int(random() % unsigned(entries.size()))]);
      entries.append(entry);
    }
    bulk.AddItems(entries);
    for (const QString& entry : entries)
      oneByOne.AddItem(entry);
    ASSERT_EQ(shown(bulk), shown(oneByOne));
    for (int row = 1; row < bulk.rowCount(); ++row)
      ASSERT_LE(bulk.text(row - 1).toUpper(), bulk.text(row).toUpper())
          << "rows " << row - 1 << " and " << row;

    for (int probe = 0; probe < 40; ++probe) {
      QString text;
      if (!entries.isEmpty() && random() % 3 != 0) {
        const QString& from = entries[int(random() % unsigned(entries.size()))];
        text = flipCase(from.left(int(random() % unsigned(from.size() + 2))));
      } else {
        text = randomText(3);
      }
      if (text.isEmpty())
        continue;
      const int expected = walkFromTop(bulk, text);
      ASSERT_EQ(bulk.findFirstMatch(text), expected)
          << "text " << text.toStdString() << " in " << entries.join('|').toStdString();
      ASSERT_EQ(bulk.walkFirstMatch(text), expected);
      ++checks;
      matches += expected >= 0;
    }
  }
  // The lists are built so that both outcomes occur often.
  EXPECT_GT(matches, checks / 4);
  EXPECT_LT(matches, checks);
}

namespace {

// The documented order: upper-cased text by UTF-16 units, then the exact text,
// then the order of adding.
QStringList referenceOrder(const QStringList& entries) {
  std::vector<QString> upper;
  for (const QString& entry : entries)
    upper.push_back(entry.toUpper());
  std::vector<int> order(size_t(entries.size()));
  for (int i = 0; i < entries.size(); ++i)
    order[size_t(i)] = i;
  std::sort(order.begin(), order.end(), [&](int a, int b) {
    if (upper[size_t(a)] != upper[size_t(b)])
      return upper[size_t(a)] < upper[size_t(b)];
    if (entries[a] != entries[b])
      return entries[a] < entries[b];
    return a < b;
  });
  QStringList rows;
  for (int i : order)
    rows.append(entries[i]);
  return rows;
}

TextBatch utf8Batch(const QList<QByteArray>& values) {
  TextBatch batch;
  for (const QByteArray& value : values)
    batch.append(value.constData(), size_t(value.size()));
  return batch;
}

} // namespace

TEST(SortedListModel, LongEntriesSharingTheirStartSortByTheWholeKey) {
  // Sixteen shared characters and more, with letters beyond ASCII before,
  // inside and after the first sixteen, and a NUL that must not end an entry.
  const QString head = QStringLiteral("14-100-200-300-4");
  QStringList entries;
  for (const QString& tail :
       {QStringLiteral("00-b"), QStringLiteral("00-A"), QStringLiteral("00-a"), QStringLiteral(""),
        QStringLiteral("0"), QString::fromUtf8("0ß"), QString::fromUtf8("0SS"),
        QString::fromUtf8("0é"), QString::fromUtf8("0É"), QString::fromUtf8("0\xEF\xBF\xBD"),
        QString::fromUtf8("0\xF0\x90\x90\xA8"), QString(QChar(0)) + "x"})
    entries.append(head + tail);
  for (const char* other : {"14-100-200-ß00-40", "14-100-200-SS00-40", "14-100-200-é00-4",
                            "14-100-200-E00-4", "14-100-200-F00-4", "ß", "SS", "st"})
    entries.append(QString::fromUtf8(other));
  entries.append(entries.mid(0, 5)); // duplicates, added later

  SortedListModel bulk, oneByOne;
  bulk.AddItems(entries);
  for (const QString& entry : entries)
    oneByOne.AddItem(entry);
  const QStringList expected = referenceOrder(entries);
  EXPECT_EQ(shown(bulk), expected);
  EXPECT_EQ(shown(oneByOne), expected);
  for (int i = 0; i < entries.size(); ++i) {
    const QString text = entries[i].left(17 + i % 3);
    EXPECT_EQ(bulk.findFirstMatch(text), walkFromTop(bulk, text)) << i;
  }
}

TEST(SortedListModel, TextsGivenAsUtf8AreTheEntriesTheirTextMakes) {
  std::mt19937 random(7);
  const QStringList pieces = {"a",
                              "B",
                              "-",
                              "0",
                              "9",
                              QString::fromUtf8("ß"),
                              QString::fromUtf8("É"),
                              QString::fromUtf8("\xF0\x90\x90\xA8"),
                              "  "};
  QList<QByteArray> values;
  for (int i = 0; i < 400; ++i) {
    QString text;
    const int length = int(random() % 24);
    for (int k = 0; k < length; ++k)
      text += pieces[int(random() % unsigned(pieces.size()))];
    values.append(text.toUtf8());
  }
  // Bytes that are not UTF-8 become what the text conversion makes of them.
  values.append(QByteArray("12-\xFF\xFE-3"));
  values.append(QByteArray("12-\xC3"));

  QStringList asText;
  for (const QByteArray& value : values)
    asText.append(QString::fromUtf8(value));

  SortedListModel byTexts, byItems;
  byTexts.beginBulkLoad();
  byTexts.AddTexts(utf8Batch(values.mid(0, 200)));
  byTexts.AddTexts(utf8Batch(values.mid(200)));
  EXPECT_EQ(byTexts.rowCount(), 0) << "nothing is shown before the load ends";
  byTexts.endBulkLoad();
  byItems.AddItems(asText);
  EXPECT_EQ(shown(byTexts), referenceOrder(asText));
  EXPECT_EQ(shown(byTexts), shown(byItems));

  // Outside a load a batch of texts is sorted in at once.
  SortedListModel direct;
  QSignalSpy resets(&direct, &QAbstractItemModel::modelReset);
  direct.AddTexts(utf8Batch({"b7", "B10", "30"}));
  direct.AddTexts(utf8Batch({"100", "2"}));
  EXPECT_EQ(shown(direct), QStringList({"100", "2", "30", "B10", "b7"}));
  EXPECT_EQ(resets.count(), 2);
}

// A load's texts beyond 4 MiB lie in large pages, whose unused part the list
// gives back before its sort: its last texts stay, and it grows again after.
TEST(SortedListModel, TheLastTextsOfALargeLoadStayAndTheListGrowsAfterIt) {
  const int count = 500000;
  auto idBatch = [](int from, int to) {
    TextBatch batch;
    for (int n = from; n < to; ++n) {
      const std::string id = "L" + std::to_string(10000000 + n);
      batch.append(id.data(), id.size());
    }
    return batch;
  };
  SortedListModel model;
  model.beginBulkLoad();
  model.ReserveTexts(count + count / 4, size_t(count) * 12);
  model.AddTexts(idBatch(0, count));
  model.endBulkLoad();
  ASSERT_EQ(model.count(), count);
  for (int row = count - 2000; row < count; ++row)
    ASSERT_EQ(model.text(row).toStdString(), "L" + std::to_string(10000000 + row));
  model.AddTexts(idBatch(count, count + 40000));
  ASSERT_EQ(model.count(), count + 40000);
  for (int row = count - 2000; row < count + 40000; row += 7)
    ASSERT_EQ(model.text(row).toStdString(), "L" + std::to_string(10000000 + row));
}

TEST(SortedListModel, ALargeLoadSortsTheSameOnOneThreadOrTwoByRadixOrComparison) {
  // Enough entries for two sorting threads and byte-wise bucketing, and for
  // the sort's records to take a large page with room in it past them for
  // its buffers: IDs that share eight, sixteen and more leading characters,
  // letter case that differs, duplicates, all digits, and a few beyond ASCII.
  std::mt19937 random(14);
  QStringList entries;
  for (int i = 0; i < 100000; ++i) {
    const unsigned n = random();
    switch (n % 6) {
    case 0:
      entries.append(QStringLiteral("%1%2-%3-%4")
                         .arg(n % 3 ? "R" : "r")
                         .arg(10 + n % 9)
                         .arg(n / 7 % 1000, 3, 10, QLatin1Char('0'))
                         .arg(n / 11 % 10000, 4, 10, QLatin1Char('0')));
      break;
    case 1:
      entries.append(QStringLiteral("14-100-200-300-4%1").arg(n % 500));
      break;
    case 2:
      entries.append(QString::number(n % 100000));
      break;
    case 3:
      entries.append(entries.isEmpty() ? QStringLiteral("x")
                                       : entries[int(n % unsigned(entries.size()))].toLower());
      break;
    case 4:
      entries.append(QStringLiteral("12-34-5678-%1").arg(n % 2 ? "b" : "B"));
      break;
    default:
      entries.append(QString::fromUtf8(n % 2 ? "14-100-200-300-4é" : "Straße-") +
                     QString::number(n % 50));
    }
  }
  const QStringList expected = referenceOrder(entries);

  for (const auto method :
       {SortedListModel::SortMethod::Radix, SortedListModel::SortMethod::Compare})
    for (int threads : {1, 2}) {
      SortedListModel model(SortedListModel::Sorting{method, threads});
      model.AddItems(entries);
      EXPECT_EQ(shown(model), expected) << int(method) << " on " << threads << " threads";
    }
}

TEST(SortedListModel, ACharacterThatOccursOnceSortsInItsPlace) {
  // IDs of digits and '-', with characters that each occur in one entry
  // only, at places spread through the load's text: each such entry must
  // sort after its twin with a '9' in that place.
  std::mt19937 random(44);
  QStringList entries;
  for (int i = 0; i < 20000; ++i)
    entries.append(QStringLiteral("%1-%2")
                       .arg(random() % 100000, 5, 10, QLatin1Char('0'))
                       .arg(random() % 1000, 3, 10, QLatin1Char('0')));
  const QString once = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ:;<=>?@[]^_{|}~");
  for (int k = 0; k < once.size(); ++k) {
    const QString start = entries[int(random() % 20000)].left(6);
    entries.insert(int(random() % unsigned(entries.size())), start + QStringLiteral("91"));
    entries.insert(int(random() % unsigned(entries.size())), start + once[k] + QStringLiteral("1"));
  }
  const QStringList expected = referenceOrder(entries);
  for (int threads : {1, 2}) {
    SortedListModel model(SortedListModel::Sorting{SortedListModel::SortMethod::Radix, threads});
    model.AddItems(entries);
    EXPECT_EQ(shown(model), expected) << threads << " threads";
  }
}

TEST(SortedListModel, FoldsExactlyTheLettersAToZ) {
  // The characters on either side of both letter ranges ('@' 'A' 'Z' '[' and
  // '`' 'a' 'z' '{') sort as their upper-cased text says, in a load large
  // enough to sort by key bytes eight at a time and in one sorted in entry by
  // entry.
  const QString alphabet = QStringLiteral("@AZ[`az{_^09");
  std::mt19937 random(26);
  QStringList entries;
  for (int i = 0; i < 3000; ++i) {
    QString entry;
    const int length = 1 + int(random() % 18);
    for (int k = 0; k < length; ++k)
      entry.append(alphabet[int(random() % unsigned(alphabet.size()))]);
    entries.append(entry);
  }
  auto sorted = [](QStringList texts) {
    std::stable_sort(texts.begin(), texts.end(), [](const QString& a, const QString& b) {
      const QString ua = a.toUpper(), ub = b.toUpper();
      return ua != ub ? ua < ub : a < b;
    });
    return texts;
  };
  SortedListModel bulk;
  bulk.AddItems(entries);
  EXPECT_EQ(shown(bulk), sorted(entries));
  SortedListModel oneByOne;
  for (const QString& entry : entries.mid(0, 300))
    oneByOne.AddItem(entry);
  EXPECT_EQ(shown(oneByOne), sorted(entries.mid(0, 300)));
}

TEST(SortedListModel, LargeLoadsThatShareTheirStartOrComeInOrderSortTheSame) {
  // Loads large enough to be bucketed by the top bits of their keys first:
  // IDs that all share their first characters; most of them sharing their
  // first characters, so that one bucket holds most of the load; two halves
  // each in order but not the whole; and a load in order by key whose case
  // twins are not in order by their exact text; and a load in order but for
  // two entries that change places, far from any entry a glance checks.
  std::mt19937 random(31);
  const int size = 70000;
  QStringList shared, lopsided, halves, twins, swapped;
  for (int i = 0; i < size; ++i) {
    lopsided.append(QStringLiteral("%1-%2")
                        .arg(i % 7 ? "14-100" : "27")
                        .arg(random() % 100000, 5, 10, QLatin1Char('0')));
    shared.append(QStringLiteral("%1-%2")
                      .arg(random() % 2 ? "PARC" : "parc")
                      .arg(random() % 100000, 5, 10, QLatin1Char('0')));
    halves.append(QStringLiteral("B%1").arg(i < size / 2 ? 2 * i : 2 * (i - size / 2) + 1, 6, 10,
                                            QLatin1Char('0')));
    twins.append(QStringLiteral("%1%2").arg(i % 2 ? "C" : "c").arg(i / 2, 6, 10, QLatin1Char('0')));
    swapped.append(QStringLiteral("D%1").arg(i, 6, 10, QLatin1Char('0')));
  }
  // The two are wide, and stand across the middle, where two threads' halves meet.
  swapped[size / 2 - 1].append(QChar(0xE9));
  swapped[size / 2].append(QChar(0xE9));
  swapped.swapItemsAt(size / 2 - 1, size / 2);
  for (const QStringList& entries : {shared, lopsided, halves, twins, swapped}) {
    const QStringList expected = referenceOrder(entries);
    for (int threads : {1, 2}) {
      SortedListModel model(SortedListModel::Sorting{SortedListModel::SortMethod::Radix, threads});
      model.AddItems(entries);
      EXPECT_EQ(shown(model), expected)
          << entries.first().toStdString() << " on " << threads << " threads";
    }
  }
}

TEST(SortedListModel, AnOrderOfMillionsOfRowsIsMadeCopiedGrownAndGivenBack) {
  // Past 32 MiB the order is mapped in pages of its own rather than taken
  // from the heap: every copy and regrowth must give back what it was given.
  ListEntries::Order order(size_t(9) << 20);
  order.front() = 1;
  order.back() = 2;
  ListEntries::Order copy = order;
  copy.push_back(3);
  EXPECT_EQ(copy.front(), 1u);
  EXPECT_EQ(copy[order.size() - 1], 2u);
  EXPECT_EQ(copy.back(), 3u);
  ListEntries::Order().swap(order);
  EXPECT_EQ(copy.size(), (size_t(9) << 20) + 1);
}
