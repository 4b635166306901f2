#include "command/frmResources.h"

#include "platform/PictureHandles.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>

namespace {
frmResources* sInstance = nullptr;
}

frmResources& frmResources::instance() {
  if (!sInstance)
    sInstance = new frmResources; // lives as long as the component
  return *sInstance;
}

bool frmResources::exists() { return sInstance != nullptr; }

frmResources::frmResources() {
  setObjectName(QStringLiteral("frmResources"));
  mPicture1 = new QLabel(this);
  mPicture1->setObjectName(QStringLiteral("Picture1"));
  const QImage picture(QStringLiteral(":/command/button.bmp"));
  mPicture1->setPixmap(QPixmap::fromImage(picture));
  mPicture1Handle = picture.isNull() ? 0 : PictureHandles::add(picture);
}
