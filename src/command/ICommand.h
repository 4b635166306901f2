#pragma once

#include "platform/Export.h"
#include "platform/Com.h"

#include <QString>
#include <cstdint>

namespace LARKHILL_API Larkhill {

/**
 * The command interface that a host calls on a toolbar command, members in
 * slot order. Every member returns normally: a command reports its own failures.
 */
class ICommand : public virtual IUnknown {
public:
  virtual bool Enabled() = 0;
  virtual bool Checked() = 0;
  virtual QString Name() = 0;
  virtual QString Caption() = 0;
  virtual QString Tooltip() = 0;
  virtual QString Message() = 0;
  virtual QString HelpFile() = 0;
  virtual int32_t HelpContextID() = 0;
  /** A picture handle for the button (see PictureHandles), 0 on failure. */
  virtual int32_t Bitmap() = 0;
  virtual QString Category() = 0;
  /** Hands the command the running application (the hook) once. */
  virtual void OnCreate(const Ref<IUnknown>& hook) = 0;
  /** Called on each press of the button. */
  virtual void OnClick() = 0;
};

} // namespace Larkhill
