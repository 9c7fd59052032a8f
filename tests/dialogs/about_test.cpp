#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <climits>

#include "platform/failure.h"
#include "tests/support/recording_reporter.h"
#include "ui/frmAbt.h"
#include "ui/twips_geometry.h"

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

// The text of a control and the room the control gives it, each measured with the
// control's own font.
struct TextAndRoom {
  QWidget* control;
  QSize text;
  QSize room;
};

std::vector<TextAndRoom> TextsAndRooms(const frmAbt& box) {
  std::vector<TextAndRoom> all;
  for (QPushButton* button : {box.cmdOK, box.cmdSysInfo}) {
    QStyleOptionButton option;
    option.initFrom(button);
    option.text = button->text();
    if (button->autoDefault()) option.features |= QStyleOptionButton::AutoDefaultButton;
    if (button->isDefault()) option.features |= QStyleOptionButton::DefaultButton;
    const QRect inside =
        button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    all.push_back({button, QFontMetrics(button->font()).size(Qt::TextShowMnemonic, button->text()),
                   inside.size()});
  }
  for (QLabel* label :
       {box.lblDisclaimer, box.lblTitle, box.lblVersion, box.lblWinVer, box.lblBuild}) {
    const QFontMetrics metrics(label->font());
    QSize text = metrics.boundingRect(QRect(), int(label->alignment()), label->text()).size();
    for (const QString& line : label->text().split('\n')) {
      text.setWidth(std::max(text.width(), metrics.horizontalAdvance(line)));
    }
    all.push_back({label, text, label->contentsRect().size()});
  }
  return all;
}

TEST_F(AboutTest, EveryTextShowsWholeInsideTheBox) {
  const AboutServices cases[] = {
      {},
      Version("A platform with a rather longer name than Linux", INT_MIN),
  };
  for (const AboutServices& services : cases) {
    const frmAbt& box = Show(services);
    const auto all = TextsAndRooms(box);
    for (const auto& [control, text, room] : all) {
      SCOPED_TRACE(control->objectName().toStdString());
      EXPECT_LE(text.width(), room.width());
      EXPECT_LE(text.height(), room.height());
      EXPECT_TRUE(box.rect().contains(control->geometry())) << box.size().width();
      for (const TextAndRoom& other : all) {
        if (other.control != control) {
          EXPECT_FALSE(control->geometry().intersects(other.control->geometry()))
              << other.control->objectName().toStdString();
        }
      }
    }
    // The buttons stay one above the other, alike in width.
    EXPECT_EQ(box.cmdOK->x(), box.cmdSysInfo->x());
    EXPECT_EQ(box.cmdOK->width(), box.cmdSysInfo->width());
    EXPECT_LT(box.cmdOK->geometry().bottom(), box.cmdSysInfo->y());
    delete box_;
  }
}

TEST_F(AboutTest, ControlsWhoseTextFitsKeepTheirDesign) {
  // In the order of TextsAndRooms, and the box last.
  const auto designOf = [](const frmAbt& box) {
    const TwipsScale twips(box);
    const auto rect = [&](int left, int top, int width, int height) {
      return QRect(twips.Point(left, top), twips.Size(width, height));
    };
    return std::vector<QRect>{rect(4020, 2625, 1185, 360), rect(4020, 3075, 1185, 345),
                              rect(255, 2625, 3630, 825),  rect(900, 120, 3285, 240),
                              rect(900, 360, 2625, 225),   rect(4380, 120, 1035, 195),
                              rect(4020, 360, 1395, 195),  rect(0, 0, 5460, 3555)};
  };

  // In a font small enough for the design, everything stands as designed.
  const QFont font = QApplication::font();
  QFont small = font;
  small.setPointSizeF(5);
  QApplication::setFont(small);
  const frmAbt& fitting = Show({});
  QApplication::setFont(font);
  std::vector<QRect> design = designOf(fitting);
  EXPECT_EQ(fitting.rect(), design.back());
  for (size_t i = 0; const TextAndRoom& control : TextsAndRooms(fitting)) {
    EXPECT_EQ(control.control->geometry(), design[i++])
        << control.control->objectName().toStdString();
  }
  delete box_;

  // In the system's font a label whose text fits keeps its design, and so does a
  // button but for the width it shares with the other; the buttons move aside only
  // as far as the maker's lines ask.
  for (const AboutServices& services : {AboutServices{}, Version(std::string(60, 'W'), INT_MIN)}) {
    const frmAbt& box = Show(services);
    design = designOf(box);
    for (size_t i = 0; const auto& [control, text, room] : TextsAndRooms(box)) {
      const QRect& placed = design[i++];
      SCOPED_TRACE(control->objectName().toStdString());
      const QSize needed = text + control->size() - room;
      if (needed.boundedTo(placed.size()) == needed) {
        if (qobject_cast<QLabel*>(control)) {
          EXPECT_EQ(control->geometry(), placed);
        } else {
          EXPECT_EQ(control->y(), placed.y());
          EXPECT_EQ(control->height(), placed.height());
        }
      }
      EXPECT_GE(control->x(), placed.x());
      EXPECT_GE(control->width(), placed.width());
    }
    const QRect &ok = design[0], &disclaimer = design[2];
    EXPECT_EQ(box.cmdOK->x(), std::max(ok.x(), box.lblDisclaimer->geometry().right() + ok.left() -
                                                   disclaimer.right()));
    delete box_;
  }
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
