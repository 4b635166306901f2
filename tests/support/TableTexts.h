#pragma once

#include "mapdata/HostInterface.h"
#include "platform/TextBatch.h"

#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

using namespace Larkhill;

/** A column's texts as UTF-8, a null as nothing, in the order the cursor gave them. */
using Texts = std::vector<std::optional<std::string>>;

/** Every text of the field read through the table's bulk text cursor, `batchSize` at a time. */
inline Texts textsInBulk(const Ref<ITable>& table, const QString& field, int32_t batchSize) {
  const auto cursor = QueryInterface<IBulkTextCursor>(table->Search(nullptr, false));
  EXPECT_TRUE(cursor);
  if (!cursor)
    return {};
  const int32_t index = table->FindField(field);
  EXPECT_TRUE(cursor->HasTextValues(index));
  Texts texts;
  TextBatch batch;
  while (cursor->NextTexts(index, batchSize, batch))
    for (int i = 0; i < batch.size(); ++i)
      texts.push_back(batch.isNull(i) ? std::nullopt
                                      : std::optional<std::string>(std::string(batch.text(i))));
  return texts;
}

/** The same field read row by row as values. */
inline Texts textsByRows(const Ref<ITable>& table, const QString& field) {
  const Ref<ICursor> cursor = table->Search(nullptr, false);
  const int32_t index = table->FindField(field);
  Texts texts;
  while (const Ref<IRow> row = cursor->NextRow()) {
    const QVariant value = row->Value(index);
    texts.push_back(value.isNull() ? std::nullopt
                                   : std::optional<std::string>(value.toString().toStdString()));
  }
  return texts;
}
