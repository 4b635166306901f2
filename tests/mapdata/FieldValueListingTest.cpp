// Listing every value of a field, with progress in the status bar.
#include "shared/LarkhillGIS_Public.h"
#include "mapdata/LarkhillGIS_ArcMap.h"
#include "mapdata/RecordingList.h"
#include "platform/ComError.h"
#include "support/SimHostFixture.h"

#include <QDate>

using namespace Larkhill;

using namespace LarkhillGIS_ArcMap;

namespace {

class FieldValueListingTest : public SimHostTest {
protected:
  Ref<SimFeatureLayer> parcelsWith(const QVariantList& pins) {
    auto layer = map()->add(SimFeatureLayer::make(
        "Parcels", {{"PIN", esriFieldTypeString}, {"ZONE", esriFieldTypeInteger}}));
    for (const QVariant& pin : pins)
      layer->addRow({pin, 1});
    return layer;
  }
  Ref<SimFeatureLayer> parcelsNumbered(int rows) {
    QVariantList pins;
    for (int i = 1; i <= rows; ++i)
      pins.append(QStringLiteral("P%1").arg(i));
    return parcelsWith(pins);
  }
  void load(const QString& field = "PIN", const Ref<IQueryFilter>& filter = nullptr) {
    LoadListWithFieldValues("Parcels", field, mList, filter);
  }
  /** A new host and an empty list, for tests that run several cases. */
  void fresh() {
    restart();
    mList = RecordingList();
  }
  RecordingList mList;
};

/** The progress figures for a table of the given size, read by rows or in bulk. */
class ProgressFiguresTest : public FieldValueListingTest,
                            public ::testing::WithParamInterface<bool> {};

QStringList setUpCalls(int total, int stepValue) {
  return {QStringLiteral("MinRange 1"),
          QStringLiteral("MaxRange %1").arg(total),
          QStringLiteral("StepValue %1").arg(stepValue),
          QStringLiteral("Position 1"),
          QStringLiteral("Message Loading... "),
          QStringLiteral("Show")};
}

} // namespace

TEST_P(ProgressFiguresTest, StepValueRoundsHalfToEvenAndStepsFollowTheTenthOfTheRowTotal) {
  struct Case {
    int rows, stepValue, rowsPerStep;
  };
  for (const Case& c : {Case{0, 0, 1}, Case{5, 0, 1}, Case{8, 1, 1}, Case{25, 2, 3}, Case{35, 4, 4},
                        Case{100, 10, 10}, Case{15, 2, 2}, Case{45, 4, 5}}) {
    SCOPED_TRACE(c.rows);
    fresh();
    parcelsNumbered(c.rows)->table->setOffersBulk(GetParam());
    load();
    ASSERT_EQ(mList.items.size(), c.rows);
    QStringList expected = setUpCalls(c.rows, c.stepValue);
    for (int i = 0; i < c.rows / c.rowsPerStep; ++i)
      expected.append("Step");
    expected.append("Hide");
    EXPECT_EQ(progressor()->calls, expected);
    EXPECT_TRUE(mMessages.texts.isEmpty());
  }
}

TEST_P(ProgressFiguresTest, ReadsEveryValueInCursorOrderSkippingBlanksAndNullsKeepingPadding) {
  parcelsWith({"B-2", "   ", "A-1", QVariant(), " C-3 ", "", "B-2", 42})
      ->table->setOffersBulk(GetParam());
  mList.items = QStringList{"stale"};
  load();
  EXPECT_EQ(mList.items, QStringList({"B-2", "A-1", " C-3 ", "B-2", "42"}));
  EXPECT_TRUE(mMessages.texts.isEmpty());
  EXPECT_EQ(progressor()->calls.mid(0, 6), setUpCalls(8, 1));
  EXPECT_EQ(progressor()->stepCount, 8);
  EXPECT_FALSE(progressor()->visible);
}

INSTANTIATE_TEST_SUITE_P(ByRowAndInBulk, ProgressFiguresTest, ::testing::Values(false, true));

TEST_F(FieldValueListingTest, FillsAMillionFriendlyListInBatchesWithEveryValueInOrder) {
  auto layer = parcelsNumbered(20000);
  SimJournal::setRecording(false);
  load();
  ASSERT_EQ(mList.items.size(), 20000);
  EXPECT_EQ(mList.items.front(), "P1");
  EXPECT_EQ(mList.items.back(), "P20000");
  EXPECT_EQ(mList.singleAdds, 0);
  EXPECT_EQ(mList.bulkAdds, 3);
  EXPECT_EQ(SimJournal::callCount("ITable.FindField"), 1);
  EXPECT_EQ(SimJournal::callCount("ITable.RowCount"), 1);
  EXPECT_EQ(SimJournal::callCount("IRow.Value"), 0);
  EXPECT_EQ(progressor()->stepCount, 10);

  fresh();
  parcelsNumbered(20000)->table->setOffersBulk(false);
  load();
  EXPECT_EQ(mList.items.size(), 20000);
  EXPECT_EQ(SimJournal::callCount("IRow.Value"), 20000);
  EXPECT_EQ(mList.bulkAdds, 3);
}

TEST_F(FieldValueListingTest, StopsSilentlyOnABlankFieldNameOrAnUnknownLayer) {
  parcelsNumbered(3);
  mList.items = QStringList{"stale"};
  load("   ");
  EXPECT_TRUE(mList.items.isEmpty());
  LoadListWithFieldValues("Parcel", "PIN", mList, nullptr);
  EXPECT_TRUE(mList.items.isEmpty());
  LoadListWithFieldValues("Parcels ", "PIN", mList, nullptr);
  EXPECT_TRUE(mList.items.isEmpty());
  EXPECT_EQ(mList.clears, 3);
  EXPECT_TRUE(mMessages.texts.isEmpty());
  EXPECT_TRUE(progressor()->calls.isEmpty());
}

TEST_F(FieldValueListingTest, RefusesTheShapeFieldAndNamesAMissingField) {
  parcelsNumbered(3);
  mList.items = QStringList{"stale"};
  load("sHaPe");
  EXPECT_TRUE(mList.items.isEmpty());
  EXPECT_EQ(mMessages.texts, QStringList({"Shape field is not accessible"}));
  EXPECT_EQ(SimJournal::callCount("ITable.Search"), 0);

  mMessages.texts.clear();
  load("OWNER");
  EXPECT_TRUE(mList.items.isEmpty());
  EXPECT_EQ(mMessages.texts, QStringList({"Can't find field: OWNER"}));
  EXPECT_TRUE(progressor()->calls.isEmpty());
}

TEST_F(FieldValueListingTest, TheFilterChoosesTheRowsButNotTheRowTotal) {
  auto layer = parcelsWith({"A", "B", "C"});
  layer->addRow({"D", 2});
  layer->addRow({"E", 2});
  auto filter = std::make_shared<QueryFilter>();
  filter->setWhereClause("ZONE = 2");
  load("PIN", filter);
  EXPECT_EQ(mList.items, QStringList({"D", "E"}));
  EXPECT_EQ(layer->table->searches, QStringList({"ZONE = 2"}));
  EXPECT_TRUE(progressor()->calls.contains("MaxRange 5"));
  EXPECT_EQ(progressor()->stepCount, 2);
}

TEST_F(FieldValueListingTest, AValueWithoutTextFormEndsInTheReportKeepingEarlierEntries) {
  auto layer = map()->add(SimFeatureLayer::make("Parcels", {{"DOC", esriFieldTypeBlob}}));
  layer->addRow({"first"});
  layer->addRow({"second"});
  layer->addRow({QByteArray("\x01\x02")});
  layer->addRow({"fourth"});
  load("DOC");
  EXPECT_EQ(mList.items, QStringList({"first", "second"}));
  EXPECT_EQ(progressor()->calls.last(), "Hide");
  EXPECT_FALSE(progressor()->visible);
  EXPECT_EQ(mMessages.texts,
            QStringList({mapdataReport("LoadListWithFieldValues", RuntimeError::TypeMismatch,
                                       "Type mismatch")}));
}

TEST_F(FieldValueListingTest, AFailingReadEndsInTheReportKeepingEntriesBeforeIt) {
  parcelsNumbered(10)->table->setOffersBulk(false);
  SimJournal::failOn("ICursor.NextRow", 3, -2147467259, "Unspecified error");
  load();
  EXPECT_EQ(mList.items, QStringList({"P1", "P2"}));
  EXPECT_EQ(progressor()->calls.last(), "Hide");
  EXPECT_EQ(mMessages.texts, QStringList({mapdataReport("LoadListWithFieldValues", -2147467259,
                                                        "Unspecified error")}));

  fresh();
  parcelsNumbered(10000);
  SimJournal::failOn("IBulkValueCursor.NextValues", 2, -2147217900, "Read failed");
  load();
  EXPECT_EQ(mList.items.size(), 8192);
  EXPECT_EQ(mList.items.last(), "P8192");
  EXPECT_FALSE(progressor()->visible);
  EXPECT_EQ(mMessages.texts,
            QStringList({mapdataReport("LoadListWithFieldValues", -2147217900, "Read failed")}));
}

TEST_F(FieldValueListingTest, EachFailingHostCallIsReportedWithTheBarHidden) {
  for (const char* operation :
       {"IFeatureLayer.Table", "ITable.Search", "ITable.FindField", "ITable.RowCount",
        "IStepProgressor.Show", "IStepProgressor.Step", "IRow.Value"}) {
    SCOPED_TRACE(operation);
    fresh();
    parcelsNumbered(4)->table->setOffersBulk(false);
    SimJournal::failOn(operation, 1, 5, operation);
    load();
    EXPECT_EQ(mMessages.texts,
              QStringList({mapdataReport("LoadListWithFieldValues", 5, operation)}));
    EXPECT_EQ(progressor()->calls.last(), "Hide");
  }
}

TEST_F(FieldValueListingTest, AFailingHideStillReportsTheFirstFailure) {
  parcelsNumbered(4);
  SimJournal::failOn("ITable.RowCount", 1, 7, "Count failed");
  SimJournal::failOn("IStepProgressor.Hide", 1, 8, "Hide failed");
  load();
  EXPECT_EQ(mMessages.texts,
            QStringList({mapdataReport("LoadListWithFieldValues", 7, "Count failed")}));
}

TEST_F(FieldValueListingTest, WithoutAProgressBarTheFailureIsTheCallers) {
  parcelsNumbered(2);
  SimJournal::failOn("IApplication.StatusBar", 1, 9, "No status bar");
  EXPECT_THROW(load(), ComError);
  gApplication = nullptr;
  try {
    load();
    ADD_FAILURE() << "no failure without an application";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), RuntimeError::ObjectVariableNotSet);
  }
  EXPECT_TRUE(mMessages.texts.isEmpty());
}

TEST_F(FieldValueListingTest, TextReadAsUtf8ListsExactlyWhatTheValuesWould) {
  // Blanks, nulls, blanks around values, letters beyond ASCII and a whole
  // number stored in a text field, over more than one batch.
  QVariantList pins;
  for (int i = 1; i <= 9000; ++i) {
    switch (i % 7) {
    case 0:
      pins.append(QVariant());
      break;
    case 1:
      pins.append(QStringLiteral("   "));
      break;
    case 2:
      pins.append(QStringLiteral(" R-%1 ").arg(i));
      break;
    case 3:
      pins.append(QString::fromUtf8("Å-%1-ß").arg(i));
      break;
    case 4:
      pins.append(i);
      break;
    default:
      pins.append(QStringLiteral("P%1").arg(i));
      break;
    }
  }
  parcelsWith(pins);
  load();
  const QStringList byValue = mList.items;
  const QStringList progressByValue = progressor()->calls;
  EXPECT_EQ(byValue.size(), 9000 - 1285 - 1286); // less the nulls and the blanks
  EXPECT_EQ(SimJournal::callCount("IBulkTextCursor.NextTexts"), 0);

  fresh();
  parcelsWith(pins)->table->setOffersText(true);
  load();
  EXPECT_EQ(mList.items, byValue);
  EXPECT_EQ(progressor()->calls, progressByValue);
  EXPECT_EQ(SimJournal::callCount("IBulkTextCursor.NextTexts"), 3);
  EXPECT_EQ(SimJournal::callCount("IBulkValueCursor.NextValues"), 0);
  EXPECT_EQ(mList.bulkAdds, 1) << "kept values are handed over in batches of 8192";
  EXPECT_TRUE(mMessages.texts.isEmpty());

  // Without nulls, the blanks alone must keep a batch from being taken whole.
  QVariantList noNulls;
  for (const QVariant& pin : pins)
    if (!pin.isNull())
      noNulls.append(pin);
  fresh();
  parcelsWith(noNulls)->table->setOffersText(true);
  load();
  EXPECT_EQ(mList.items, byValue);
}

TEST_F(FieldValueListingTest, OnlyTextFieldsAreReadAsUtf8) {
  auto layer = parcelsWith({"A", "B", "C"});
  layer->table->setOffersText(true);
  load("ZONE");
  EXPECT_EQ(mList.items, QStringList({"1", "1", "1"}));
  EXPECT_EQ(SimJournal::callCount("IBulkTextCursor.NextTexts"), 0);
  EXPECT_GE(SimJournal::callCount("IBulkValueCursor.NextValues"), 1);
}

TEST_F(FieldValueListingTest, AFailingTextReadEndsInTheReportKeepingEntriesBeforeIt) {
  parcelsNumbered(10000)->table->setOffersText(true);
  SimJournal::failOn("IBulkTextCursor.NextTexts", 2, -2147217900, "Read failed");
  load();
  EXPECT_EQ(mList.items.size(), 8192);
  EXPECT_EQ(mList.items.last(), "P8192");
  EXPECT_FALSE(progressor()->visible);
  EXPECT_EQ(mMessages.texts,
            QStringList({mapdataReport("LoadListWithFieldValues", -2147217900, "Read failed")}));
}
