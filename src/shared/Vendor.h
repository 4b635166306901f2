#pragma once

#include "platform/Export.h"
#include "LarkhillVersion.h"

#include <QString>

namespace LARKHILL_API Larkhill {

/** The vendor's addresses and the product's constant texts. */
namespace Vendor {
inline const QString CompanyName = QStringLiteral("LarkhillGIS");
inline const QString ProductName = QStringLiteral("LarkhillParcelSearch");
inline const QString Version = QStringLiteral("v" LARKHILL_VERSION);
inline const QString WebSiteHost = QStringLiteral("www.larkhillgis.com");
inline const QString WebSiteAddress = QStringLiteral("http://www.larkhillgis.com");
inline const QString SupportEmail = QStringLiteral("support@larkhillgis.com");
inline const QString InfoEmail = QStringLiteral("info@larkhillgis.com");
} // namespace Vendor

} // namespace Larkhill
