#include "screens/programming/decimal_point.h"

#include "support/sim_screen_fixture.h"

namespace kovrix {
namespace {

using test::Sent;
using Messages = std::vector<std::string>;

class DecimalPointTest : public test::SimScreenFixture {
 protected:
  void SetUp() override {
    SimScreenFixture::SetUp();
    Open(screen);
  }
  int DevicePosition() {
    return WithDevice([](sim::DeviceState& s) { return s.decimalPoint; });
  }

  DecimalPointPosition screen{context};
};

TEST_F(DecimalPointTest, ReadSelectsTheDevicePositionAndSetSendsTheSelection) {
  EXPECT_EQ(screen.PositionList()->currentText(), "2");
  WithDevice([](sim::DeviceState& s) { s.decimalPoint = 3; });
  Click(screen.ReadButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x4A, "482916;"}}));
  EXPECT_EQ(screen.PositionList()->currentText(), "3");
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0000");

  screen.PositionList()->setCurrentIndex(0);
  Click(screen.SetButton());
  EXPECT_EQ(TakeSent(), (std::vector<Sent>{{0x49, "482916;0;"}}));
  EXPECT_EQ(DevicePosition(), 0);
  EXPECT_TRUE(TakeMessages().empty());  // success says nothing

  // Each opening starts from "2" again.
  screen.hide();
  Open(screen);
  EXPECT_EQ(screen.PositionList()->currentText(), "2");
  Click(screen.StatusButton());
  EXPECT_EQ(shell.statusBytesOpened, 1);
}

TEST_F(DecimalPointTest, RefusalsShowTheHeadingTheTextAndTheCode) {
  WithDevice([](sim::DeviceState& s) { s.shift.open = true; });  // the position is fixed during a shift
  screen.PositionList()->setCurrentIndex(1);
  Click(screen.SetButton());
  EXPECT_EQ(TakeMessages(), Messages{"Позиция десятичной точки:\n  Команда не может быть выполнена в данном состоянии "
                                     "регистратора!\nКоманда невыполнима в данном состоянии смены!"});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0107");
  EXPECT_EQ(DevicePosition(), 2);

  server.faults().FailCommand(0x4A, sim::err::FieldFormat(1));
  Click(screen.ReadButton());
  EXPECT_EQ(TakeMessages(), Messages{"Позиция десятичной точки:\n  Неправильный формат поля номер 1!"});
  EXPECT_EQ(screen.ErrorCodeBox()->text(), "0103");
  EXPECT_EQ(screen.PositionList()->currentText(), "1");
}

}  // namespace
}  // namespace kovrix
