#pragma once

#include <QString>
#include <QStringList>

/**
 * A single-column list as the map routines fill it: clear, and append at the
 * end (a sorted list places each entry itself). Windows' lists implement it.
 */
class IListControl {
public:
  virtual ~IListControl() = default;
  /** Removes every entry. */
  virtual void Clear() = 0;
  /** Appends one entry. */
  virtual void AddItem(const QString& text) = 0;
  /**
   * Appends many entries at once, in order; the same as AddItem for each. Lists
   * that hold many entries override it to take them in bulk.
   */
  virtual void AddItems(const QStringList& texts) {
    for (const QString& text : texts)
      AddItem(text);
  }
};
