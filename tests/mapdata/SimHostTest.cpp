// The simulated host's own behaviour that the component's tests lean on: the
// modeless frame, the where-clause evaluator, failure injection and views.
#include "platform/ComError.h"
#include "platform/Form.h"
#include "support/SimHostFixture.h"

#include <QDate>
#include <QPointer>

using namespace Larkhill;

namespace {

class CountingForm : public Form {
public:
  int loads = 0;
  bool visibleAtLoad = false;

protected:
  void Form_Load() override {
    ++loads;
    visibleAtLoad = isVisible();
  }
};

QVector<QVariant> pinsOf(const Ref<SimTable>& table, const QString& clause) {
  QVector<QVariant> pins;
  for (int record : table->select(clause))
    pins.append(table->value(record, table->FindField("PIN")));
  return pins;
}

} // namespace

using SimFrameTest = SimHostTest;

TEST_F(SimFrameTest, CreatedByProgIdHoldsAndLoadsTheWindowInATopLevelToolWindow) {
  auto frame = QueryInterface<IModelessFrame>(ComClasses::createObject(HostClasses::ModelessFrame));
  ASSERT_TRUE(frame);
  ASSERT_EQ(SimHost::lastFrame(), frame);
  auto form = std::make_unique<CountingForm>();
  frame->Create(form.get());
  EXPECT_EQ(form->loads, 1);
  EXPECT_TRUE(form->isLoaded());

  QWidget* window = SimHost::lastFrame()->widget();
  EXPECT_EQ(form->window(), window);
  EXPECT_TRUE(window->isWindow());
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::Tool));
  EXPECT_FALSE(frame->Visible());

  frame->setCaption("Parcel Search");
  frame->setVisible(true);
  EXPECT_TRUE(frame->Visible());
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(frame->Caption(), "Parcel Search");
  EXPECT_EQ(window->windowTitle(), "Parcel Search");

  auto position = QueryInterface<IWindowPosition>(frame);
  ASSERT_TRUE(position);
  position->Move(40, 50, 300, 200);
  position->Move(60, 70, 0, 0);
  EXPECT_EQ(window->pos(), QPoint(60, 70));
  EXPECT_EQ(window->size(), QSize(300, 200));
  frame->setVisible(false);
  EXPECT_FALSE(form->isVisible());

  EXPECT_EQ(SimHost::lastFrame()->calls,
            QStringList({"Create", "Caption Parcel Search", "Visible true", "Move 40 50 300 200",
                         "Move 60 70 0 0", "Visible false"}));
}

TEST_F(SimFrameTest, TheFrameOwnsItsWindowAndTheHandleOwnsOnlyAnEmptyFrame) {
  // Dropping the handle deletes nothing that holds a window; deleting the
  // frame's window deletes the window in it.
  QPointer<CountingForm> form(new CountingForm);
  QPointer<QWidget> frameWindow;
  {
    auto frame =
        QueryInterface<IModelessFrame>(ComClasses::createObject(HostClasses::ModelessFrame));
    frame->Create(form);
    frame->setVisible(true);
    frameWindow = form->parentWidget();
  }
  ASSERT_TRUE(form);
  ASSERT_TRUE(frameWindow);
  EXPECT_TRUE(form->isVisible());
  delete frameWindow.data();
  EXPECT_TRUE(form.isNull());

  // A handle that never received a window deletes its empty frame; a window
  // deleted on its own leaves the frame usable.
  QPointer<QWidget> empty;
  {
    auto frame = std::dynamic_pointer_cast<SimModelessFrame>(
        ComClasses::createObject(HostClasses::ModelessFrame));
    empty = frame->widget();
  }
  EXPECT_TRUE(empty.isNull());
  auto frame = QueryInterface<IModelessFrame>(ComClasses::createObject(HostClasses::ModelessFrame));
  auto* other = new CountingForm;
  frame->Create(other);
  delete other;
  EXPECT_EQ(SimHost::lastFrame()->window(), nullptr);
  frame->setVisible(true);
  EXPECT_TRUE(frame->Visible());
}

using SimTableTest = SimHostTest;

TEST_F(SimTableTest, EvaluatesEachClauseFormTheComponentBuilds) {
  auto parcels = map()->add(SimFeatureLayer::make(
      "Parcels",
      {{"PIN", esriFieldTypeString}, {"ZONE", esriFieldTypeInteger}, {"SOLD", esriFieldTypeDate}}));
  parcels->addRow({"A-1", 12, QDate(2020, 1, 5)});
  parcels->addRow({"O'BRIEN", 7, QDateTime(QDate(2021, 3, 4), QTime(0, 0))});
  parcels->addRow({QVariant(), 12, QVariant()});
  parcels->addRow({" A-1 ", 3, QDate(2020, 1, 5)});
  const auto table = parcels->table;

  EXPECT_EQ(pinsOf(table, "PIN = 'A-1'"), QVector<QVariant>({"A-1"}));
  EXPECT_EQ(pinsOf(table, "pin = ' A-1 '"), QVector<QVariant>({" A-1 "}));
  EXPECT_EQ(pinsOf(table, "PIN = 'O''BRIEN'"), QVector<QVariant>({"O'BRIEN"}));
  EXPECT_EQ(pinsOf(table, "ZONE = 12"), QVector<QVariant>({"A-1", QVariant()}));
  EXPECT_EQ(pinsOf(table, "SOLD = #2020-01-05#"), QVector<QVariant>({"A-1", " A-1 "}));
  EXPECT_EQ(pinsOf(table, "SOLD = #3/4/2021#"), QVector<QVariant>({"O'BRIEN"}));
  EXPECT_EQ(pinsOf(table, "OBJECTID = 2"), QVector<QVariant>({"O'BRIEN"}));
  EXPECT_EQ(pinsOf(table, "  "), QVector<QVariant>({"A-1", "O'BRIEN", QVariant(), " A-1 "}));
  EXPECT_TRUE(pinsOf(table, "PIN = 'a-1'").isEmpty());

  auto filter = std::make_shared<QueryFilter>();
  filter->setWhereClause("ZONE = 12");
  EXPECT_EQ(table->RowCount(filter), 2);
  EXPECT_EQ(table->RowCount(nullptr), 4);
}

TEST_F(SimTableTest, RejectsWhatADataSourceRejects) {
  auto parcels = map()->add(SimFeatureLayer::make(
      "Parcels",
      {{"PIN", esriFieldTypeString}, {"ZONE", esriFieldTypeInteger}, {"SOLD", esriFieldTypeDate}}));
  parcels->addRow({"O'BRIEN", 1, QDate(2020, 1, 5)});
  // What the grammar itself rejects is tested with the grammar; one such clause
  // here, the others a clause that reads but does not fit this table.
  for (const char* clause : {"PIN = 'O'BRIEN'", "MISSING = 1", "ZONE = 'x'", "PIN = 12",
                             "SOLD = '2020-01-05'", "SOLD = 5", "Shape = 1"}) {
    auto filter = std::make_shared<QueryFilter>();
    filter->setWhereClause(clause);
    try {
      parcels->table->Search(filter, true);
      ADD_FAILURE() << "accepted: " << clause;
    } catch (const ComError& error) {
      EXPECT_EQ(error.number(), SimTable::InvalidSql) << clause;
    }
    EXPECT_THROW(parcels->Search(filter, true), ComError) << clause;
  }
}

TEST_F(SimTableTest, CursorsGiveRowsValuesShapesAndBulkValuesInTableOrder) {
  auto parcels = map()->add(SimFeatureLayer::make("Parcels", {{"PIN", esriFieldTypeString}}));
  parcels->addRow({"A"}, SimGeometry::polygon(1, 2, 3, 4));
  parcels->addRow({"B"}, SimGeometry::point(5, 6));
  parcels->addRow({"C"});
  auto cursor = parcels->table->Search(nullptr, false);
  auto bulk = QueryInterface<IBulkValueCursor>(cursor);
  ASSERT_TRUE(bulk);
  auto first = cursor->NextRow();
  EXPECT_EQ(first->OID(), 1);
  EXPECT_EQ(first->Value(2).toString(), "A");
  EXPECT_EQ(first->Value(1).userType(), QMetaType::QByteArray);
  QVector<QVariant> values;
  EXPECT_TRUE(bulk->NextValues(2, 8, values));
  EXPECT_EQ(values, QVector<QVariant>({"B", "C"}));
  EXPECT_FALSE(bulk->NextValues(2, 8, values));
  EXPECT_EQ(cursor->NextRow(), nullptr);

  parcels->table->setOffersBulk(false);
  EXPECT_FALSE(QueryInterface<IBulkValueCursor>(parcels->table->Search(nullptr, false)));

  auto features = parcels->Search(nullptr, true);
  auto envelope = features->NextFeature()->Shape()->Envelope();
  EXPECT_EQ(envelope->XMin(), 1);
  EXPECT_EQ(envelope->YMax(), 4);
  auto point = features->NextFeature()->Shape()->Envelope();
  point->Expand(1.2, 1.2, true);
  EXPECT_EQ(point->XMin(), 5);
  EXPECT_EQ(point->XMax(), 5);
  EXPECT_EQ(features->NextFeature()->Shape(), nullptr);
  EXPECT_EQ(features->NextFeature(), nullptr);
}

TEST_F(SimTableTest, ObjectIdsContinueAfterOnesChosenByTheTest) {
  auto table = SimTable::make({{"PIN", esriFieldTypeString}});
  table->addRowWithOid(40, {"X"});
  EXPECT_EQ(table->addRow({"Y"}), 41);
  EXPECT_EQ(table->oidFieldName(), "OBJECTID");
  EXPECT_TRUE(table->HasOID());
  table->setHasOID(false);
  EXPECT_FALSE(table->HasOID());
  EXPECT_FALSE(SimTable(std::vector<SimFieldDef>{{"PIN", esriFieldTypeString}}).HasOID());
}

using SimJournalTest = SimHostTest;

TEST_F(SimJournalTest, FailsExactlyTheNthCallFromNowWithTheGivenNumberAndText) {
  auto parcels = map()->add(SimFeatureLayer::make("Parcels", {}));
  parcels->Name();
  SimJournal::failOn("ILayer.Name", 2, -2147467259, "Unspecified error");
  EXPECT_NO_THROW(parcels->Name());
  try {
    parcels->Name();
    ADD_FAILURE() << "second call did not fail";
  } catch (const ComError& error) {
    EXPECT_EQ(error.number(), -2147467259);
    EXPECT_EQ(error.description(), "Unspecified error");
  }
  EXPECT_NO_THROW(parcels->Name());
  EXPECT_EQ(SimJournal::callCount("ILayer.Name"), 4);
  EXPECT_EQ(SimJournal::calls(),
            QStringList({"ILayer.Name", "ILayer.Name", "ILayer.Name", "ILayer.Name"}));

  SimJournal::failAlways("IMap.LayerCount", 5, "Five");
  EXPECT_THROW(map()->LayerCount(), ComError);
  EXPECT_THROW(map()->LayerCount(), ComError);
  SimJournal::clear();
  EXPECT_NO_THROW(map()->LayerCount());
  EXPECT_EQ(SimJournal::callCount("IMap.LayerCount"), 1);
}

using SimViewTest = SimHostTest;

TEST_F(SimViewTest, ThePageLayoutIsAViewOfItsOwnWhoseFocusMapIsTheMap) {
  EXPECT_EQ(mApp->document->ActiveView(), map());
  EXPECT_EQ(map()->FocusMap(), map());
  auto layout = mApp->document->usePageLayout();
  auto view = mApp->document->ActiveView();
  EXPECT_TRUE(QueryInterface<IPageLayout>(view));
  EXPECT_FALSE(QueryInterface<IPageLayout>(QueryInterface<IActiveView>(map())));
  EXPECT_EQ(view->FocusMap(), map());
  layout->setExtent(SimEnvelope::make(1, 2, 3, 4));
  EXPECT_EQ(map()->extentsSet.size(), 0u);
  EXPECT_EQ(layout->Extent()->XMax(), 3);

  mApp->document->map = nullptr;
  EXPECT_THROW(mApp->document->FocusMap(), ComError);
}

TEST_F(SimViewTest, TheProgressorRecordsEveryCallInOrderAndStepsByItsStepValue) {
  auto bar = mApp->StatusBar()->ProgressBar();
  bar->setMinRange(1);
  bar->setMaxRange(20);
  bar->setStepValue(2);
  bar->setPosition(1);
  bar->setMessage("Loading... ");
  bar->Show();
  bar->Step();
  bar->Hide();
  EXPECT_EQ(progressor()->calls,
            QStringList({"MinRange 1", "MaxRange 20", "StepValue 2", "Position 1",
                         "Message Loading... ", "Show", "Step", "Hide"}));
  EXPECT_EQ(progressor()->position, 3);
  EXPECT_FALSE(progressor()->visible);
}
