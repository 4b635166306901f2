#include "shared/LarkhillGIS_Public.h"
#include "errors/ErrorHandling.h"
#include "platform/ComError.h"
#include "support/Fixtures.h"

using namespace Larkhill;

using namespace ErrorHandling;

class ErrorReportTest : public ComponentTest {
protected:
  void SetUp() override {
    ComponentTest::SetUp();
    gProductName = QStringLiteral("LarkhillParcelSearch");
    gVersion = QStringLiteral("v2.13");
  }
  QStringList shownLines() const {
    EXPECT_EQ(mMessages.texts.size(), 1);
    return mMessages.texts.value(0).split(QStringLiteral("\r\n"));
  }
};

TEST_F(ErrorReportTest, ReportHasNineteenLinesInExactOrder) {
  ShowErrorReport(LocationText("GetFeatureByValue", "LarkhillGIS_ArcMap", 12), 91, "Object not set");
  const QStringList lines = shownLines();
  const QStringList expected = {
      "We're sorry, an unexpected error has occurred.",
      "",
      "Please email support@larkhillgis.com and we'll",
      "be happy to help out.",
      "",
      "Please let us know the following:",
      "",
      "APPLICATION: LarkhillParcelSearch v2.13",
      "ERROR NUMBER: 91",
      "MODULE: GetFeatureByValue LarkhillGIS_ArcMap Line : 12",
      "ERROR DESCRIPTION: Object not set",
      "",
      "If possible, please attach a screenshot of this",
      "message with your ArcMap project in the background.",
      "You can do this by pressing <CTRL> and <Prnt Screen>",
      "and then pasting the image into a graphics application",
      "such as Paint. Saving the image as a JPG is preferrable.",
      "",
      "Thank you!",
  };
  EXPECT_EQ(lines, expected);
  EXPECT_TRUE(mMessages.texts[0].endsWith("Thank you!"));
  EXPECT_FALSE(mMessages.texts[0].contains(QLatin1Char('\n') + QString("\n")));
}

TEST_F(ErrorReportTest, LineZeroNegativeNumberAndEmptyDescription) {
  EXPECT_EQ(ErrorLineText(0), QString());
  EXPECT_EQ(ErrorLineText(59), QStringLiteral("Line : 59"));
  EXPECT_EQ(LocationText("Command1_Click", "frmConfig", 0), QStringLiteral("Command1_Click frmConfig "));
  ShowErrorReport(LocationText("Command1_Click", "frmConfig"), int32_t(0x80004005), QString());
  const QStringList lines = shownLines();
  EXPECT_EQ(lines[8], QStringLiteral("ERROR NUMBER: -2147467259"));
  EXPECT_EQ(lines[9], QStringLiteral("MODULE: Command1_Click frmConfig "));
  EXPECT_EQ(lines[10], QStringLiteral("ERROR DESCRIPTION: "));
  EXPECT_EQ(lines.size(), 19);
}

TEST_F(ErrorReportTest, TrappedErrorKeepsDescriptionUnchanged) {
  ReportTrapped("fDeleteFile", "LarkhillGIS_IO", ComError(70, "Permission denied"));
  const QStringList lines = shownLines();
  EXPECT_EQ(lines[9], QStringLiteral("MODULE: fDeleteFile LarkhillGIS_IO "));
  EXPECT_EQ(lines[10], QStringLiteral("ERROR DESCRIPTION: Permission denied"));
}
