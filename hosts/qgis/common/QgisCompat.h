#pragma once

// The one place where the QGIS releases the host is built against differ:
// Debian 12's QGIS 3.22, Debian 13's 3.40 and unstable's 3.44. Between 3.26
// and 3.38 QGIS moved the enums of its classes into scoped enums of the Qgis
// class, and 3.40 no longer declares the old names; each name below is the
// one the QGIS being built against has. Everything else in the host, its
// tests, benchmarks and tools is written once, against these names.

#include <QMetaType>
#include <memory>
#include <qgis.h>
#include <qgsfeaturerequest.h>
#include <qgsfield.h>
#include <qgsfields.h>
#include <qgsfillsymbol.h>
#include <qgsunittypes.h>
#include <qgswkbtypes.h>
#if _QGIS_VERSION_INT < 32600
#include <qgspallabeling.h>
#endif

namespace LarkhillQgis::QgisCompat {

// A feature request's flags and the kind of filter it holds.
#if _QGIS_VERSION_INT >= 33600
inline constexpr Qgis::FeatureRequestFlag NoFlags = Qgis::FeatureRequestFlag::NoFlags;
inline constexpr Qgis::FeatureRequestFlag NoGeometry = Qgis::FeatureRequestFlag::NoGeometry;
inline constexpr Qgis::FeatureRequestFilterType FilterNone =
    Qgis::FeatureRequestFilterType::NoFilter;
inline constexpr Qgis::FeatureRequestFilterType FilterFid = Qgis::FeatureRequestFilterType::Fid;
inline constexpr Qgis::FeatureRequestFilterType FilterExpression =
    Qgis::FeatureRequestFilterType::Expression;
#else
inline constexpr QgsFeatureRequest::Flag NoFlags = QgsFeatureRequest::NoFlags;
inline constexpr QgsFeatureRequest::Flag NoGeometry = QgsFeatureRequest::NoGeometry;
inline constexpr QgsFeatureRequest::FilterType FilterNone = QgsFeatureRequest::FilterNone;
inline constexpr QgsFeatureRequest::FilterType FilterFid = QgsFeatureRequest::FilterFid;
inline constexpr QgsFeatureRequest::FilterType FilterExpression =
    QgsFeatureRequest::FilterExpression;
#endif

// Geometry (WKB) types and distance units.
#if _QGIS_VERSION_INT >= 33000
inline constexpr Qgis::WkbType WkbNoGeometry = Qgis::WkbType::NoGeometry;
inline constexpr Qgis::WkbType WkbPolygon = Qgis::WkbType::Polygon;
inline constexpr Qgis::DistanceUnit DistanceMeters = Qgis::DistanceUnit::Meters;
inline constexpr Qgis::DistanceUnit DistanceDegrees = Qgis::DistanceUnit::Degrees;
#else
inline constexpr QgsWkbTypes::Type WkbNoGeometry = QgsWkbTypes::NoGeometry;
inline constexpr QgsWkbTypes::Type WkbPolygon = QgsWkbTypes::Polygon;
inline constexpr QgsUnitTypes::DistanceUnit DistanceMeters = QgsUnitTypes::DistanceMeters;
inline constexpr QgsUnitTypes::DistanceUnit DistanceDegrees = QgsUnitTypes::DistanceDegrees;
#endif

// Where an attribute of a layer comes from.
#if _QGIS_VERSION_INT >= 33800
inline constexpr Qgis::FieldOrigin OriginProvider = Qgis::FieldOrigin::Provider;
#else
inline constexpr QgsFields::FieldOrigin OriginProvider = QgsFields::OriginProvider;
#endif

// A label placed over the middle of its feature.
#if _QGIS_VERSION_INT >= 32600
inline constexpr Qgis::LabelPlacement LabelOverPoint = Qgis::LabelPlacement::OverPoint;
#else
inline constexpr QgsPalLayerSettings::Placement LabelOverPoint = QgsPalLayerSettings::OverPoint;
#endif

/**
 * The type of the values of an attribute. QGIS 3.22 gives it as a
 * QVariant::Type, later releases as a QMetaType::Type; the numbers are the
 * same, so both compare with QMetaType's names.
 */
inline QMetaType::Type fieldType(const QgsField& field) {
  return static_cast<QMetaType::Type>(field.type());
}

/**
 * A fill symbol with one simple fill layer of these properties, owned by the
 * caller. QGIS 3.44 returns it as a unique_ptr, earlier releases as a plain
 * pointer the caller owns; the unique_ptr is made from either.
 */
inline std::unique_ptr<QgsFillSymbol> simpleFillSymbol(const QVariantMap& properties) {
  return std::unique_ptr<QgsFillSymbol>(QgsFillSymbol::createSimple(properties));
}

} // namespace LarkhillQgis::QgisCompat
