#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "platform/failure.h"
#include "tests/support/recording_reporter.h"
#include "ui/frmAbt.h"

namespace tessaly {
namespace {

class AboutTest : public testing::Test {
 protected:
  void SetUp() override { main_.show(); }
  void TearDown() override { delete box_; }

  static AboutServices Version(std::string name, int32_t build) {
    AboutServices services;
    services.queryOsVersion = [=] { return OsVersion{name, build}; };
    return services;
  }
  frmAbt& Show(AboutServices services) {
    ShowAbout(box_, main_, reporter_, std::move(services));
    return *box_;
  }

  QWidget main_;
  QPointer<frmAbt> box_;
  test::RecordingReporter reporter_;
};

TEST_F(AboutTest, LabelsPlatformAndBuild) {
  utsname names{};
  ASSERT_EQ(uname(&names), 0);
  EXPECT_EQ(Show({}).lblWinVer->text(), names.sysname);  // this machine's own; any build
  EXPECT_TRUE(box_->isVisible());
  delete box_;

  AboutServices failing;
  failing.queryOsVersion = []() -> OsVersion { throw Failure(5, "No version"); };
  const std::tuple<AboutServices, QString, QString> cases[] = {
      {Version(PlatformNameFromId(2), 1381), "WinNT", "Build 1381"},
      {Version(PlatformNameFromId(0), -5), "", "Build -5"},
      {failing, "", "Build 0"},
  };
  for (const auto& [services, winVer, build] : cases) {
    EXPECT_EQ(Show(services).lblWinVer->text(), winVer);
    EXPECT_EQ(box_->lblBuild->text(), build);
    delete box_;
  }
  ASSERT_EQ(reporter_.Texts(), std::vector<std::string>{"Err 5 No version"});
  EXPECT_EQ(reporter_.reports[0].icon, Icon::Exclamation);
}

TEST_F(AboutTest, CentredOverTheMainWindowAlsoOffScreen) {
  for (const QRect& where : {QRect(100, 50, 800, 600), QRect(-700, -450, 801, 600)}) {
    main_.setGeometry(where);
    const QRect frame = main_.frameGeometry();
    const QRect box = Show({}).frameGeometry();
    EXPECT_NEAR(box.left(), frame.left() + (frame.width() - box.width()) / 2.0, 0.5);
    EXPECT_NEAR(box.top(), frame.top() + (frame.height() - box.height()) / 2.0, 0.5);
    delete box_;
  }
  EXPECT_EQ(CentredTopLeft(QRect(-700, -450, 801, 600), QSize(364, 237)), QPoint(-481, -268));
}

TEST_F(AboutTest, LoadedAnewOnlyAfterOk) {
  frmAbt& first = Show(Version("WinNT", 1));
  main_.move(400, 300);
  const QPoint where = first.pos();
  EXPECT_EQ(&Show(Version("Win95", 2)), &first);
  EXPECT_EQ(first.lblWinVer->text(), "WinNT");
  EXPECT_EQ(first.pos(), where);

  first.cmdOK->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(box_.isNull());
  EXPECT_EQ(Show(Version("Win95", 2)).lblWinVer->text(), "Win95");
  EXPECT_NE(box_->pos(), where);
}

}  // namespace
}  // namespace tessaly
