#include "core/WindowPlacement.h"

#include "support/ConfigFixture.h"
#include "support/QStringPrinter.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>

namespace pw::tests {
namespace {

using WindowPlacementTest = ConfigFileTest;

TEST_F(WindowPlacementTest, WindowPlacementRoundTripsThroughTheFile) {
  const TWindowPlacement placement =
      TWindowPlacement::FromNormal(-120, 40, 800, 600, TWindowPlacement::wsMaximized);
  WriteWindowPlacement(FConfig, u"General"_qs, u"WindowPosition"_qs, placement);
  const QString hex = FConfig.ReadString(u"General"_qs, u"WindowPosition"_qs, QString());
  ASSERT_EQ(hex.size(), 88);
  // Length 44, flags 0, show command 3, then -1 as all ones.
  EXPECT_TRUE(hex.startsWith(u"2C0000000000000003000000FFFFFFFF"_qs)) << hex.toStdString();
  ASSERT_TRUE(FConfig.Save());

  TWindowPlacement read;
  ASSERT_TRUE(ReadWindowPlacement(Reloaded(), u"General"_qs, u"WindowPosition"_qs, read));
  EXPECT_EQ(read, placement);
  EXPECT_EQ(read.State(), TWindowPlacement::wsMaximized);
  EXPECT_EQ(read.NormalLeft, -120);
  EXPECT_EQ(read.NormalWidth(), 800);
  EXPECT_EQ(read.NormalHeight(), 600);
}

TEST_F(WindowPlacementTest, WindowPlacementOfWrongLengthIsIgnoredAndStatesFollowTheShowCommand) {
  const TWindowPlacement designed = TWindowPlacement::FromNormal(1, 2, 3, 4, TWindowPlacement::wsNormal);
  const QString valid = QString(u"2C000000"_qs).repeated(11);
  for (const QString& stored : {valid.left(86), valid + u"00"_qs, QString(), valid.left(87)}) {
    FConfig.WriteString(u"General"_qs, u"PreviewPosition"_qs, stored);
    TWindowPlacement placement = designed;
    EXPECT_FALSE(ReadWindowPlacement(FConfig, u"General"_qs, u"PreviewPosition"_qs, placement));
    EXPECT_EQ(placement, designed);
  }
  TWindowPlacement placement;
  for (int showCmd : {2, 6, 7, 11}) {
    placement.ShowCmd = showCmd;
    EXPECT_EQ(placement.State(), TWindowPlacement::wsMinimized) << showCmd;
  }
  for (int showCmd : {0, 1, 5, 9, 12345}) {
    placement.ShowCmd = showCmd;
    EXPECT_EQ(placement.State(), TWindowPlacement::wsNormal) << showCmd;
  }
  EXPECT_FALSE(placement.FromBytes(nullptr, 44));
  std::uint8_t shortBytes[40] = {};
  EXPECT_FALSE(placement.FromBytes(shortBytes, 40));
}

}  // namespace
}  // namespace pw::tests
