#include "qgis/adapters/HostFields.h"

#include "qgis/common/HostErrors.h"

namespace LarkhillQgis {

Ref<IField> HostFields::Field(int32_t index) {
  if (index < 0 || index >= mFields.size())
    HostErrors::raise(HostErrors::InvalidArgument,
                      QStringLiteral("There is no field at position %1.").arg(index));
  return std::make_shared<HostField>(mFields[index].name, mFields[index].type);
}

} // namespace LarkhillQgis
