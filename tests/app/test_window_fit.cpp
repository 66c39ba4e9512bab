// Every window of the tool on a 1366x768 laptop screen (the primary virtual screen of this test
// program) and on a narrow second screen at its right: wholly on the screen, centred, nothing cut,
// windows that belong to another closing with it, and Qt's own texts in the program's language.

#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QTest>
#include <QTranslator>
#include <memory>
#include <set>

#include "app/about_box.h"
#include "ini/private_profile.h"
#include "app/qt_translations.h"
#include "app/window_placement.h"
#include "driver/driver.h"
#include "monitor/frame_monitor.h"
#include "sim/device_server.h"
#include "support/fake_shell.h"
#include "app/main_window_fixture.h"
#include "support/menu_screens.h"

namespace kovrix {
namespace {

const QRect kLaptop(0, 0, 1366, 768);
const QRect kNarrow(1366, 0, 1024, 600);

QString Describe(const QRect& r) { return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

TEST(WindowPlacement, VirtualScreensAreThoseOfTheTest) {
  // The checks below mean nothing on another screen: say so rather than pass.
  const QList<QScreen*> screens = QGuiApplication::screens();
  ASSERT_EQ(screens.size(), 2);
  EXPECT_EQ(screens[0]->geometry(), kLaptop);
  EXPECT_EQ(screens[1]->geometry(), kNarrow);
}

TEST(WindowPlacement, FitIntoMovesAndShrinksOntoTheArea) {
  const QRect area(0, 0, 1366, 768);
  struct Case {
    QRect frame, fitted;
  } cases[] = {
      {{100, 100, 400, 300}, {100, 100, 400, 300}},    // inside: unchanged
      {{1200, 50, 300, 320}, {1066, 50, 300, 320}},    // beside a window at the right edge: moved left
      {{-40, -10, 300, 200}, {0, 0, 300, 200}},        // above and left of the area: moved in
      {{500, 600, 300, 400}, {500, 368, 300, 400}},    // below: moved up
      {{-80, 0, 1500, 900}, {0, 0, 1366, 768}},        // larger both ways: shrunk to the area
      {{1300, 700, 1400, 100}, {0, 668, 1366, 100}},   // wider only: shrunk and moved
  };
  for (const Case& c : cases) EXPECT_EQ(FitInto(c.frame, area), c.fitted) << Describe(c.frame).toStdString();
  const QRect offset(1366, 0, 1024, 600);
  EXPECT_EQ(FitInto({2300, 10, 300, 320}, offset), QRect(2090, 10, 300, 320));
}

// A reopened screen comes back centred where it was, however it was moved in between.
TEST(WindowPlacement, AScreenOpensCentredEachTime) {
  ConnectionState state;
  test::UiRecorder ui;
  test::FakeShell shell;
  ScreenContext context{state, ui, shell};
  AboutBox about(context);
  std::vector<QRect> frames;
  ui.onModal[about.objectName()] = [&](QDialog& dialog) {
    frames.push_back(FrameRect(dialog));
    dialog.move(dialog.pos() + QPoint(37, 20));  // the user drags it away
    QApplication::processEvents();
  };
  for (int i = 0; i < 3; ++i) ui.ShowModal(about);
  ASSERT_EQ(frames.size(), 3u);
  for (const QRect& frame : frames) {
    EXPECT_EQ(frame, frames[0]);
    EXPECT_LE((frame.center() - kLaptop.center()).manhattanLength(), 2) << Describe(frame).toStdString();
  }
}

TEST(WindowPlacement, ATitleLongerThanTheWindowWidensIt) {
  ConnectionState state;
  test::UiRecorder ui;
  test::FakeShell shell;
  ScreenContext context{state, ui, shell};
  AboutBox about(context);  // a fixed width of its own
  about.setWindowTitle(QString(40, QChar(0x0416)));
  bool seen = false;
  ui.onModal[about.objectName()] = [&](QDialog& dialog) {
    seen = true;
    EXPECT_GE(FrameRect(dialog).width(), TitleBarWidth(dialog));
    EXPECT_EQ(test::OffScreen(dialog), QString());
    // A caption extended while the screen is open (a model name added) widens it too.
    const int before = dialog.width();
    dialog.setWindowTitle(dialog.windowTitle() + QString(15, QChar(0x0416)));
    EXPECT_GT(dialog.width(), before);
    EXPECT_GE(FrameRect(dialog).width(), TitleBarWidth(dialog));
    EXPECT_EQ(test::OffScreen(dialog), QString());
  };
  ui.ShowModal(about);
  EXPECT_TRUE(seen);
}


// The variables window opens at the monitor's right edge; on a screen without room there it is
// moved onto the screen, and it goes when the monitor is closed with "Выход".
TEST(WindowPlacement, VariablesWindowStaysOnANarrowScreenAndClosesWithTheMonitor) {
  ConnectionState state;
  test::UiRecorder ui;
  test::FakeShell shell;
  ScreenContext context{state, ui, shell};
  QWidget owner;  // the monitor's parent, on the narrow screen
  owner.setGeometry(kNarrow.adjusted(100, 100, -500, -300));
  owner.show();
  FrameMonitor monitor(context, &owner);
  bool opened = false;
  ui.onModal[monitor.objectName()] = [&](QDialog&) {
    EXPECT_TRUE(kNarrow.contains(FrameRect(monitor))) << Describe(FrameRect(monitor)).toStdString();
    QTest::mouseClick(monitor.VariablesButton(), Qt::LeftButton);
    QApplication::processEvents();
    VariablesWindow& variables = monitor.Variables();
    ASSERT_TRUE(variables.isVisible());
    opened = true;
    const QRect frame = FrameRect(variables);
    EXPECT_TRUE(kNarrow.contains(frame)) << Describe(frame).toStdString();
    EXPECT_TRUE(variables.CloseButton()->isVisibleTo(&variables));
    EXPECT_GE(frame.left(), FrameRect(monitor).left());  // at the monitor's side, as far as the screen allows
    EXPECT_EQ(test::CutTexts(variables), QStringList());
    QTest::mouseClick(monitor.ExitButton(), Qt::LeftButton);
    QApplication::processEvents();
    EXPECT_FALSE(monitor.isVisible());
    EXPECT_FALSE(variables.isVisible());
  };
  ui.ShowModal(monitor);
  EXPECT_TRUE(opened);
}

TEST(QtTranslations, StandardButtonsSpeakTheLocaleOrRussian) {
  struct Case {
    const char* locale;
    const char* cancel;
  } cases[] = {
      {"ru_RU", "Отмена"},
      {"uk_UA", "Скасувати"},
      {"de_DE", "Abbrechen"},
      {"en_US", "Отмена"},  // no translation into a language of the program: Russian
      {"C", "Отмена"},
      {"sw_KE", "Отмена"},  // a locale the toolkit has no file for
  };
  for (const Case& c : cases) {
    std::unique_ptr<QTranslator> translator(InstallQtTranslations(QLocale(QString::fromLatin1(c.locale))));
    ASSERT_NE(translator, nullptr) << c.locale;
    QDialogButtonBox buttons(QDialogButtonBox::Cancel);
    EXPECT_EQ(buttons.button(QDialogButtonBox::Cancel)->text().remove(QLatin1Char('&')), QString::fromUtf8(c.cancel))
        << c.locale;
  }
}

// The main window against the simulated registrator of a model, with the access level and
// fiscal-parameter screen of the initialisation file: each configuration reaches other screens.
class EveryScreenFits : public test::MainWindowFixture {
 protected:
  void TearDown() override {
    CloseComPort();
    MainWindowFixture::TearDown();
    server.reset();
  }

  MainWindow& ConnectTo(const std::string& model, const char* extendedTax, const char* level) {
    window.reset();
    CloseComPort();
    server = std::make_unique<sim::DeviceServer>(sim::Registrator(sim::FactoryState(model)));
    EXPECT_TRUE(server->start());
    UseSerialLine(MakeSerialLine());
    MainWindow& w = Start();
    WritePrivateProfileString("Fiscal Printer", "ExtendedTax", extendedTax, ini);
    WritePrivateProfileString("Priority", "Level", level, ini);
    WritePrivateProfileString("Fiscal Printer", "Reply", "0", ini);
    w.PortBox()->setEditText(QString::fromStdString(server->slavePath()));
    w.SpeedList()->setCurrentText(QStringLiteral("115200"));
    CentreOnParentScreen(w);  // as the program places it
    w.show();
    QApplication::processEvents();
    TheLink().SetTiming({/*silencePasses*/ 10, /*readTimeoutMs*/ 30, /*repeatWaitMs*/ 0, /*usbRepeatWaitMs*/ 0});
    TheLink().SetSleeper([](int) {});
    w.ConnectToggle();
    EXPECT_TRUE(w.State().connected) << model;
    return w;
  }

  // Records what a user would find wrong with a window.
  void Look(const QString& where, QWidget& screen) {
    seen.insert(screen.objectName());
    const QString off = test::OffScreen(screen);
    if (!off.isEmpty()) problems << where + QStringLiteral(": ") + off;
    for (const QString& cut : test::CutTexts(screen)) problems << where + QStringLiteral(": cut ") + cut;
  }

  std::unique_ptr<sim::DeviceServer> server;
  std::set<QString> seen;
  QStringList problems;
};

TEST_F(EveryScreenFits, EveryMenuScreenLiesWhollyOnTheLaptopScreenCentredWithNothingCut) {
  struct Config {
    const char* model;
    const char* extendedTax;
    const char* level;
  } configs[] = {
      {"Veltra KR-23", "0", "medium"},  // the standard fiscal parameters, the daily reports
      {"RQM707", "1", "high"},         // the second model line's reports, extended fiscal parameters
      {"Veltra KR-12", "0", "medium"},  // a modem model: the short modem report
  };
  for (const Config& config : configs) {
    SCOPED_TRACE(config.model);
    MainWindow& w = ConnectTo(config.model, config.extendedTax, config.level);
    Look(QStringLiteral("main window"), w);
    test::VisitMenuScreens(w, ui, [&](const QString& entry, QDialog& screen) {
      const QString where = QStringLiteral("%1 (%2, %3)").arg(entry, screen.objectName(), QString::fromUtf8(config.model));
      Look(where, screen);
      if (qobject_cast<Screen*>(&screen)) {
        const QPoint offCentre = FrameRect(screen).center() - AvailableArea(screen).center();
        if (offCentre.manhattanLength() > 2) problems << where + QStringLiteral(": not centred");
      }
      if (auto* monitor = qobject_cast<FrameMonitor*>(&screen)) {
        QTest::mouseClick(monitor->VariablesButton(), Qt::LeftButton);
        QApplication::processEvents();
        Look(where + QStringLiteral(" / variables"), monitor->Variables());
      }
    });
    ui.onAnyModal = [&](QDialog& screen) { Look(QStringLiteral("state button"), screen); };
    QTest::mouseClick(w.StateButton(), Qt::LeftButton);
    ui.onAnyModal = nullptr;
  }
  EXPECT_TRUE(problems.isEmpty()) << problems.join(QLatin1Char('\n')).toStdString();
  // The screens of the tool as it is today are among those reached; later ones join by the menu.
  for (const char* name : {"TForm3", "TForm14", "TForm28", "TForm40", "TForm32", "StatusBytesScreen"}) {
    EXPECT_TRUE(seen.count(QString::fromLatin1(name))) << name;
  }
}

}  // namespace
}  // namespace kovrix
