#pragma once

#include <QString>
#include <QStringList>

/**
 * Sample towns made by the sample generator into a temporary folder, once per
 * test run and per kind; tests only read them.
 */
namespace QgisTestData {
/** The folder of a town of `count` parcels made with the generator's extra options. */
QString town(int count, const QStringList& options = {});
/** Runs the generator; returns its exit code and fills `output`. */
int runGenerator(const QStringList& arguments, QString& output);
} // namespace QgisTestData
