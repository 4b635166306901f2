#include "command/frmResources.h"

#include "platform/PictureHandles.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPointer>

namespace Larkhill {

namespace {
// Not an owner: the window is deleted by release(), from the component's unload.
QPointer<frmResources> sInstance;
} // namespace

frmResources& frmResources::instance() {
  if (!sInstance)
    sInstance = new frmResources;
  return *sInstance;
}

bool frmResources::exists() { return !sInstance.isNull(); }

void frmResources::release() { delete sInstance.data(); }

frmResources::frmResources() {
  setObjectName(QStringLiteral("frmResources"));
  mPicture1 = new QLabel(this);
  mPicture1->setObjectName(QStringLiteral("Picture1"));
  const QImage picture(QStringLiteral(":/command/button.bmp"));
  mPicture1->setPixmap(QPixmap::fromImage(picture));
  mPicture1Handle = picture.isNull() ? 0 : PictureHandles::add(picture);
}

} // namespace Larkhill
