#include "mapdata/LarkhillGIS_ArcMap.h"

#include "shared/LarkhillGIS_Public.h"
#include "errors/ErrorHandling.h"
#include "mapdata/WhereClause.h"
#include "platform/ComError.h"
#include "platform/Required.h"
#include "platform/Rounding.h"
#include "platform/Services.h"
#include "platform/Variant.h"

#include <QStringList>
#include <cmath>
#include <string_view>

namespace Larkhill {

namespace {

const QString Module = QStringLiteral("LarkhillGIS_ArcMap");

/** Entries are handed to the list in batches of this size, so that a million values fill it fast.
 */
constexpr int ListBatch = 8192;

/** True when the text is empty once leading and trailing blanks are removed. */
bool isBlank(const QString& text) {
  for (QChar c : text)
    if (c != QLatin1Char(' '))
      return false;
  return true;
}

/**
 * Walks the feature layers of the focus map in map order: top-level feature
 * layers, and the feature layers directly inside a top-level group. Groups
 * inside groups are not entered; other kinds of layer are skipped.
 */
template <class Visit> void forEachFeatureLayer(Visit visit) {
  const Ref<IMap> map = required(required(gDocument)->FocusMap());
  const int32_t count = map->LayerCount();
  for (int32_t i = 0; i < count; ++i) {
    const Ref<ILayer> layer = map->Layer(i);
    if (const auto group = QueryInterface<IGroupLayer>(layer)) {
      const int16_t children = group->Count();
      for (int16_t c = 0; c < children; ++c) {
        if (const auto child = QueryInterface<IFeatureLayer>(group->Layer(c)))
          visit(child);
      }
    } else if (const auto featureLayer = QueryInterface<IFeatureLayer>(layer)) {
      visit(featureLayer);
    }
  }
}

/**
 * Shows the text in the host's status-bar message (empty clears the tool's
 * last text). The text is a courtesy: a status bar that cannot show it is
 * passed over.
 */
void showStatusText(const QString& text) {
  try {
    required(required(gApplication)->StatusBar())->setStatusMessage(0, text);
  } catch (const ComError&) {
  }
}

/** True when UTF-8 text is empty or only blanks. */
bool isBlank(std::string_view text) {
  for (const char c : text)
    if (c != ' ')
      return false;
  return true;
}

/** Collects list entries and hands them to the list in batches. */
class ListFiller {
public:
  explicit ListFiller(IListControl& list) : mList(list) {}
  void append(const QString& text) {
    if (mPending.isEmpty())
      mPending.reserve(ListBatch);
    mPending.append(text);
    if (mPending.size() >= ListBatch)
      flush();
  }
  /** The same for text given as UTF-8. */
  void append(std::string_view text) {
    mPendingTexts.append(text);
    if (mPendingTexts.size() >= ListBatch)
      flush();
  }
  /**
   * The same for a whole batch of texts: one without nulls or blanks goes to
   * the list as it is. Returns the number of rows it held.
   */
  int appendBatch(const TextBatch& texts) {
    bool clean = !texts.mayBeBlank();
    if (!clean) {
      clean = !texts.hasNull();
      for (int i = 0; i < texts.size() && clean; ++i)
        clean = !isBlank(texts.text(i));
    }
    if (!clean) {
      for (int i = 0; i < texts.size(); ++i)
        if (!texts.isNull(i) && !isBlank(texts.text(i)))
          append(texts.text(i));
      return texts.size();
    }
    flush();
    mList.AddTexts(texts);
    return texts.size();
  }
  /** Hands every pending entry to the list. */
  void flush() {
    if (!mPending.isEmpty()) {
      mList.AddItems(mPending);
      mPending.clear();
    }
    if (!mPendingTexts.isEmpty()) {
      mList.AddTexts(mPendingTexts);
      mPendingTexts.clear();
    }
  }

private:
  IListControl& mList;
  QStringList mPending;
  TextBatch mPendingTexts;
};

/**
 * Reads one field's values row by row, or in bulk where the cursor offers it:
 * as UTF-8 text when the field holds text and the cursor can hand it out so,
 * otherwise as values.
 */
class ValueReader {
public:
  ValueReader(const Ref<ICursor>& cursor, int32_t field)
      : mCursor(cursor), mBulk(QueryInterface<IBulkValueCursor>(cursor)), mField(field) {
    const auto texts = QueryInterface<IBulkTextCursor>(cursor);
    if (texts && texts->HasTextValues(field))
      mTexts = texts;
  }

  /** Moves to the next row; false at the end. */
  bool advance() {
    if (mTexts) {
      if (++mNext < mTextBatch.size())
        return true;
      mNext = 0;
      return mTexts->NextTexts(mField, ListBatch, mTextBatch) && !mTextBatch.isEmpty();
    }
    if (mBulk) {
      if (++mNext < mValues.size())
        return true;
      mNext = 0;
      return mBulk->NextValues(mField, ListBatch, mValues) && !mValues.isEmpty();
    }
    mRow = mCursor->NextRow();
    return static_cast<bool>(mRow);
  }
  /** True when the values come as text (read them with isNull and text). */
  bool asText() const { return static_cast<bool>(mTexts); }
  /**
   * Reading text: the current row's batch, when the current row is its first;
   * the next advance then moves past the whole batch.
   */
  const TextBatch* wholeBatch() {
    if (!mTexts || mNext != 0)
      return nullptr;
    mNext = mTextBatch.size() - 1;
    return &mTextBatch;
  }
  bool isNull() const { return mTextBatch.isNull(mNext); }
  std::string_view text() const { return mTextBatch.text(mNext); }
  /** The current row's value of the field. */
  QVariant value() { return mBulk ? mValues[mNext] : mRow->Value(mField); }

private:
  Ref<ICursor> mCursor;
  Ref<IBulkValueCursor> mBulk;
  Ref<IBulkTextCursor> mTexts;
  int32_t mField;
  Ref<IRow> mRow;
  QVector<QVariant> mValues;
  TextBatch mTextBatch;
  int mNext = 0;
};

/**
 * Lets the list show the field's values as the table serves them in the
 * list's order, when the table offers that for all of its rows and the list
 * takes them: true when it did, and nothing is read. Otherwise the values are
 * read as usual; `advice` receives what the table says of an index that would
 * let it serve them, for the status bar once the list is read.
 */
bool showServedValues(const Ref<ITable>& table, const QString& fieldName,
                      const Ref<IQueryFilter>& filter, IListControl& list, QString& advice) {
  const auto source = QueryInterface<IOrderedValueSource>(table);
  if (!source || (filter && !filter->WhereClause().trimmed().isEmpty()))
    return false;
  const Ref<IOrderedValues> values = source->OrderedValues(fieldName, &advice);
  return values && list.ShowOrderedValues(values);
}

} // namespace

namespace LarkhillGIS_ArcMap {

Ref<IFeatureLayer> FindLayer(const QString& name) {
  Ref<IFeatureLayer> found;
  try {
    // The walk goes on after a match: the last layer of that name wins.
    forEachFeatureLayer([&](const Ref<IFeatureLayer>& layer) {
      if (layer->Name().compare(name, Qt::CaseInsensitive) == 0)
        found = layer;
    });
  } catch (const ComError&) {
    MsgBox(QStringLiteral("Error: Could not find layer ") + name);
    return nullptr;
  }
  return found;
}

void LoadListWithMapLayers(IListControl& list) {
  try {
    list.Clear();
    forEachFeatureLayer([&](const Ref<IFeatureLayer>& layer) { list.AddItem(layer->Name()); });
  } catch (const ComError&) {
    MsgBox(QStringLiteral("Error loading map layers"));
  }
}

namespace {

// What a field holds, for the tip on its entry, so that a user can tell a text
// ID from a number. A type the host cannot say leaves the tip empty: the list
// of fields does not depend on it.
QString fieldTypeTip(IField& field) {
  int32_t type = -1;
  try {
    type = field.Type();
  } catch (const ComError&) {
    return QString();
  }
  switch (type) {
  case esriFieldTypeSmallInteger:
    return QStringLiteral("Field type: short integer");
  case esriFieldTypeInteger:
    return QStringLiteral("Field type: long integer");
  case esriFieldTypeSingle:
  case esriFieldTypeDouble:
    return QStringLiteral("Field type: number with decimals");
  case esriFieldTypeString:
    return QStringLiteral("Field type: text");
  case esriFieldTypeDate:
    return QStringLiteral("Field type: date");
  case esriFieldTypeOID:
    return QStringLiteral("Field type: object ID");
  case esriFieldTypeGeometry:
    return QStringLiteral("Field type: shape");
  case esriFieldTypeBlob:
    return QStringLiteral("Field type: binary");
  default:
    return QString();
  }
}

} // namespace

void LoadListWithLayerFields(IListControl& list, const Ref<ILayer>& layer) {
  try {
    list.Clear();
    const auto featureLayer = required(QueryInterface<IFeatureLayer>(layer));
    const Ref<IFields> fields = required(required(featureLayer->Table())->Fields());
    const int32_t count = fields->FieldCount();
    for (int32_t i = 0; i < count; ++i) {
      const Ref<IField> field = required(fields->Field(i));
      list.AddItem(field->Name());
      list.setEntryTip(int(i), fieldTypeTip(*field));
    }
  } catch (const ComError&) {
    MsgBox(QStringLiteral("Error loading layer fields"));
  }
}

void LoadListWithFieldValues(const QString& layerName, const QString& fieldName, IListControl& list,
                             const Ref<IQueryFilter>& filter) {
  // Outside the trap: without a progress bar there is nothing to hide, and the
  // failure is the caller's to report.
  const Ref<IStepProgressor> progressor =
      required(required(required(gApplication)->StatusBar())->ProgressBar());

  ListFiller filler(list);
  try {
    list.Clear();
    if (isBlank(fieldName))
      return;
    if (fieldName.compare(QLatin1String("Shape"), Qt::CaseInsensitive) == 0) {
      MsgBox(QStringLiteral("Shape field is not accessible"));
      return;
    }
    // The list stays empty for a layer or field that is gone; the status bar says why.
    const Ref<IFeatureLayer> layer = FindLayer(layerName);
    if (!layer) {
      showStatusText(MissingLayerText(layerName));
      return;
    }
    const Ref<ITable> table = required(layer->Table());
    QString advice;
    if (showServedValues(table, fieldName, filter, list, advice)) {
      // The progress shows and goes as for a list read, so that the status
      // bar ends the same.
      progressor->setMessage(QStringLiteral("Loading... "));
      progressor->Show();
      progressor->Hide();
      return;
    }
    const Ref<ICursor> cursor = required(table->Search(filter, false));
    const int32_t field = table->FindField(fieldName);
    if (field < 0) {
      showStatusText(MissingFieldText(layerName, fieldName));
      MsgBox(QStringLiteral("Can't find field: ") + fieldName);
      return;
    }

    ValueReader reader(cursor, field);
    bool haveRow = reader.advance();
    const int32_t total = table->RowCount(nullptr);
    const double tenth = static_cast<double>(total) / 10.0;
    progressor->setMinRange(1);
    progressor->setMaxRange(total);
    progressor->setStepValue(roundHalfEven(tenth));
    progressor->setPosition(1);
    progressor->setMessage(QStringLiteral("Loading... "));
    progressor->Show();

    int32_t counter = 0;
    auto step = [&] {
      ++counter;
      if (!(tenth > counter)) {
        progressor->Step();
        counter = 0;
      }
    };
    if (reader.asText() && haveRow) {
      // Room for every row, at the bytes per row of the first batch.
      const TextBatch* first = reader.wholeBatch();
      const size_t perRow = first->byteCount() / size_t(first->size()) + 1;
      list.ReserveTexts(total, perRow * size_t(total) + perRow * size_t(total) / 16);
      // Whole batches from here; the rows of a batch count one by one for the
      // progress bar, the last of them after the next batch is read, as row by row.
      while (haveRow) {
        const TextBatch* batch = first ? first : reader.wholeBatch();
        first = nullptr;
        const int rows = filler.appendBatch(*batch);
        for (int i = 1; i < rows; ++i)
          step();
        haveRow = reader.advance();
        step();
      }
    }
    while (haveRow) {
      // A null value is skipped like a blank one: one missing ID must not hide the rows after it.
      if (reader.asText()) {
        if (!reader.isNull() && !isBlank(reader.text()))
          filler.append(reader.text());
      } else {
        const QVariant value = reader.value();
        if (!isNullValue(value)) {
          const QString text = CStr(value);
          if (!isBlank(text))
            filler.append(text);
        }
      }
      haveRow = reader.advance();
      ++counter;
      if (!(tenth > counter)) {
        progressor->Step();
        counter = 0;
      }
    }
    filler.flush();
    progressor->Hide();
    if (!advice.isEmpty())
      showStatusText(advice);
  } catch (const ComError& error) {
    // The entries read before the failure stay in the list.
    filler.flush();
    try {
      progressor->Hide();
    } catch (const ComError&) {
      // The report of the first failure matters more than a progress bar that will not hide.
    }
    ErrorHandling::ReportTrapped(QStringLiteral("LoadListWithFieldValues"), Module, error);
  }
}

Ref<IFeature> GetFeatureByValue(const Ref<IFeatureLayer>& layer, const QString& fieldName,
                                const QString& value, int32_t* matches, int32_t ordinal) {
  if (matches)
    *matches = 0;
  if (!layer || isBlank(fieldName) || isBlank(value))
    return nullptr;
  try {
    const Ref<ITable> table = layer->Table();
    if (!table)
      return nullptr;
    const Ref<IFields> fields = required(table->Fields());
    const int32_t count = fields->FieldCount();
    // A field of exactly this name wins; else the last one that differs only in letter case.
    Ref<IField> matched;
    bool exact = false;
    for (int32_t i = 0; i < count && !exact; ++i) {
      const Ref<IField> field = required(fields->Field(i));
      const QString name = field->Name();
      if (name.compare(fieldName, Qt::CaseInsensitive) == 0) {
        matched = field;
        exact = name == fieldName;
      }
    }
    if (!matched)
      return nullptr;

    QString valueText = value;
    switch (matched->Type()) {
    case esriFieldTypeString:
      // Doubled apostrophes keep the value one literal: O'BRIEN is found, and no
      // entry can change what the query asks.
      valueText = QLatin1Char('\'') +
                  QString(value).replace(QLatin1String("'"), QLatin1String("''")) +
                  QLatin1Char('\'');
      break;
    case esriFieldTypeDate:
      valueText = QLatin1Char('#') + value + QLatin1Char('#');
      break;
    default:
      break;
    }

    auto filter = std::make_shared<QueryFilter>();
    // A name such as PARCEL ID is quoted as SQL quotes names; others stand bare.
    filter->setWhereClause(WhereClause::fieldNameText(fieldName) + QStringLiteral(" = ") +
                           valueText);
    const Ref<ICursor> cursor = required(table->Search(filter, true));
    const Ref<IRow> row = cursor->NextRow();
    if (!row)
      return nullptr;

    if (!table->HasOID()) {
      MsgBox(QStringLiteral("Table must have OID field."));
      return nullptr;
    }
    const Ref<IFeatureClass> featureClass = required(layer->FeatureClass());
    if (!featureClass->HasOID()) {
      MsgBox(QStringLiteral("FeatureClass must have OID field."));
      return nullptr;
    }
    const QString oidField = featureClass->OIDFieldName();
    int32_t oid = row->OID();
    // The other rows that hold the value, from the same cursor; a row is not
    // read again once the next is read, as the cursor may recycle it. The
    // ordinal-th row's id is taken as it passes; the first's stays when there
    // are fewer rows.
    if (matches || ordinal > 1) {
      int32_t count = 1;
      while (const Ref<IRow> next = (matches || count < ordinal) ? cursor->NextRow() : nullptr) {
        ++count;
        if (count == ordinal)
          oid = next->OID();
      }
      if (matches)
        *matches = count;
    }
    auto byOid = std::make_shared<QueryFilter>();
    byOid->setWhereClause(WhereClause::fieldNameText(oidField) + QStringLiteral(" = ") +
                          QString::number(oid));
    return required(layer->Search(byOid, true))->NextFeature();
  } catch (const ComError& error) {
    if (matches)
      *matches = 0;
    ErrorHandling::ReportTrapped(QStringLiteral("GetFeatureByValue"), Module, error);
    return nullptr;
  }
}

namespace {
// The view a zoom changes: the active view, or in a page layout the map with focus.
Ref<IActiveView> zoomTarget() {
  const Ref<IActiveView> activeView = required(required(gDocument)->ActiveView());
  if (!QueryInterface<IPageLayout>(activeView))
    return activeView;
  const auto target = QueryInterface<IActiveView>(required(activeView->FocusMap()));
  if (!target)
    RuntimeError::raise(RuntimeError::TypeMismatch);
  return target;
}
} // namespace

void ZoomToFeaturePlus(const Ref<IFeature>& feature, double ratio) {
  if (!feature)
    return;
  try {
    const double factor = ratio + 1.0;
    if (!std::isfinite(factor))
      RuntimeError::raise(RuntimeError::Overflow);

    const Ref<IActiveView> target = zoomTarget();

    const Ref<IEnvelope> envelope = required(required(feature->Shape())->Envelope());
    envelope->Expand(factor, factor, true);
    target->setExtent(envelope);
    target->Refresh();
  } catch (const ComError& error) {
    ErrorHandling::ReportTrapped(QStringLiteral("ZoomToFeaturePlus"), Module, error);
  }
}

QString SharedValueText(const QString& value, int32_t matches) {
  return QStringLiteral("%1 parcels have the ID %2; the first is shown.").arg(matches).arg(value);
}

QString SharedValueText(const QString& value, int32_t matches, int32_t shown) {
  if (shown <= 1)
    return SharedValueText(value, matches);
  return QStringLiteral("Parcel %1 of %2 with the ID ").arg(shown).arg(matches) + value +
         QLatin1Char('.');
}

QString MissingLayerText(const QString& layerName) {
  return QStringLiteral("The layer \"") + layerName +
         QStringLiteral("\" chosen in the configuration is not in the map.");
}

QString MissingFieldText(const QString& layerName, const QString& fieldName) {
  return QStringLiteral("The layer \"") + layerName + QStringLiteral("\" has no field \"") +
         fieldName + QStringLiteral("\"; press Configure to choose the parcel ID field again.");
}

void ShowFoundFeature(const QString& layerName, const QString& fieldName,
                      const Ref<IFeatureLayer>& layer, const Ref<IFeature>& feature,
                      const QString& value, int32_t matches, int32_t shown) {
  // The text of an earlier search goes also when this one found nothing.
  QString text;
  if (!layer) {
    text = MissingLayerText(layerName);
  } else if (matches > 1) {
    text = SharedValueText(value, matches, shown);
  } else if (!feature) {
    try {
      if (required(layer->Table())->FindField(fieldName) < 0)
        text = MissingFieldText(layerName, fieldName);
    } catch (const ComError&) {
      // Without the table there is no reason to give; the search has ended.
    }
  }
  showStatusText(text);
  if (!feature)
    return;
  try {
    if (const auto highlight = QueryInterface<IFeatureHighlight>(zoomTarget()))
      highlight->HighlightFeature(layer, feature);
  } catch (const ComError&) {
    // The zoom has shown the parcel; a mark the host cannot draw is left out.
  }
}

} // namespace LarkhillGIS_ArcMap

} // namespace Larkhill
