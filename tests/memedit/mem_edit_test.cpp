// The memory editor: its layout, the rows read at load, Write's prompts and
// limits, Clear, and Close.
#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <memory>
#include <optional>
#include <string>

#include "memedit/mem_edit_window.h"
#include "tests/support/design_faces.h"
#include "tests/support/engraver_fixture.h"
#include "ui/twips.h"

namespace korimo::test {
namespace {

using ui::TwipsRect;

struct MemoryCommand {
  std::uint8_t address;
  std::uint8_t value;  // 0 for a read request
  friend bool operator==(const MemoryCommand&, const MemoryCommand&) = default;
  friend std::ostream& operator<<(std::ostream& out, const MemoryCommand& command) {
    return out << "{" << int{command.address} << ", " << int{command.value} << "}";
  }
};

class MemEditTest : public EngraverTest {
 protected:
  void SetUp() override {
    window_ = std::make_unique<frmMemEdit>(kt90_, prompts_);
    Files().ClearLog();
    Board().ResetCounts();
  }

  QPushButton& Button(const char* name) { return Find<QPushButton>(*window_, name); }

  // lblAddr(0) to lblAddr(7), by their index.
  std::vector<QLabel*> Rows() {
    std::vector<QLabel*> rows(8, nullptr);
    for (QLabel* label : window_->findChildren<QLabel*>("lblAddr")) {
      rows.at(static_cast<std::size_t>(label->property("index").toInt())) = label;
    }
    return rows;
  }

  std::vector<QString> RowTexts() {
    std::vector<QString> texts;
    for (QLabel* row : Rows()) {
      texts.push_back(row->text());
    }
    return texts;
  }

  std::vector<MemoryCommand> Commands(std::size_t size, std::uint8_t address_at) {
    std::vector<MemoryCommand> commands;
    for (const std::vector<std::uint8_t>& packet : Written()) {
      if (packet.size() == size) {
        commands.push_back({packet[address_at], size == 6 ? packet[4] : std::uint8_t{0}});
      }
    }
    return commands;
  }
  std::vector<MemoryCommand> MemoryWrites() { return Commands(6, 3); }
  std::vector<MemoryCommand> ReadRequests() { return Commands(34, 5); }

  std::vector<std::string> Messages() const {
    std::vector<std::string> messages;
    for (const testing::PromptCall& call : prompts_.calls) {
      if (call.is_message) {
        messages.push_back(call.text);
      }
    }
    return messages;
  }

  // Runs Write with the two entries (nullopt: cancelled).
  void Write(std::optional<std::string> address, std::optional<std::string> value = std::nullopt,
             bool asks_value = false) {
    prompts_.entries.push_back(std::move(address));
    if (asks_value) {
      prompts_.entries.push_back(std::move(value));
    }
    window_->cmdWriteMem_Click();
    EXPECT_TRUE(prompts_.entries.empty()) << "a prompt was not asked";
  }

  std::unique_ptr<frmMemEdit> window_;
};

TEST_F(MemEditTest, LayoutAsDesigned) {
  EXPECT_EQ(window_->windowTitle(), "Korimo Parameter Memory");
  EXPECT_EQ(window_->size(), QSize(ui::Px(6210), ui::Px(2400)));
  EXPECT_EQ(window_->minimumSize(), window_->maximumSize());

  EXPECT_EQ(Button("cmdMemClear").text(), "Clear");
  EXPECT_EQ(Button("cmdMemClear").geometry(), TwipsRect(5160, 240, 855, 375));
  EXPECT_EQ(Button("cmdWriteMem").text(), "Write");
  EXPECT_EQ(Button("cmdWriteMem").geometry(), TwipsRect(5160, 720, 855, 375));
  EXPECT_EQ(Button("cmdClose").text(), "Close");
  EXPECT_EQ(Button("cmdClose").geometry(), TwipsRect(5160, 1800, 855, 375));

  const std::vector<QLabel*> rows = Rows();
  ASSERT_EQ(window_->findChildren<QLabel*>("lblAddr").size(), 8);
  for (int i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    QLabel* row = rows[static_cast<std::size_t>(i)];
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->geometry(), TwipsRect(120, 240 + 240 * i, 4725, 210));
    EXPECT_EQ(row->font().family(), "Courier New");
    EXPECT_DOUBLE_EQ(row->font().pointSizeF(), 8.25);
    EXPECT_TRUE(ResolvesToDesignFace(row->font())) << QFontInfo(row->font()).family().toStdString();
    EXPECT_TRUE(QFontInfo(row->font()).fixedPitch());
  }
}

TEST_F(MemEditTest, TabGoesWriteClearClose) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  Button("cmdWriteMem").setFocus();
  std::vector<QString> order;
  for (int i = 0; i < 3; ++i) {
    order.push_back(QApplication::focusWidget()->objectName());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  }
  EXPECT_EQ(order, (std::vector<QString>{"cmdWriteMem", "cmdMemClear", "cmdClose"}));
  EXPECT_EQ(QApplication::focusWidget()->objectName(), "cmdWriteMem");
  window_->hide();
}

// Opened before the first status tick of any window: the load looks for the
// engraver itself.
class MemEditLoadTest : public EngraverFixture {};

TEST_F(MemEditLoadTest, ReadsTheBlockOnceInAscendingOrder) {
  Files().ClearLog();
  frmMemEdit window(kt90_, prompts_);

  std::vector<std::uint8_t> asked;
  for (const std::vector<std::uint8_t>& packet : Written()) {
    ASSERT_EQ(packet.size(), 34u);
    asked.push_back(packet[5]);
  }
  ASSERT_EQ(asked.size(), 64u);
  for (std::size_t i = 0; i < asked.size(); ++i) {
    EXPECT_EQ(asked[i], 0x20 + i);
  }
  std::vector<QString> rows(8);
  for (QLabel* label : window.findChildren<QLabel*>("lblAddr")) {
    rows.at(static_cast<std::size_t>(label->property("index").toInt())) = label->text();
  }
  // The fixed block of the factory image; cell 91 (0x5B) is erased.
  EXPECT_EQ(rows[0], "0x20: 0xCD 0xCC 0xCC 0x3C 0x0A 0xD7 0x23 0x3C");
  EXPECT_EQ(rows[4], "0x40: 0x00 0x00 0x20 0x41 0x00 0x00 0xFA 0x45");
  EXPECT_EQ(rows[7], "0x58: 0x00 0x00 0x01 0xFF 0x00 0x00 0x28 0x5A");
  for (const QString& row : rows) {
    EXPECT_EQ(row.size(), 45);
  }
  EXPECT_TRUE(prompts_.calls.empty());
}

sim::PlatformOptions Unplugged() {
  sim::PlatformOptions options = InstantBoard();
  options.plugged = false;
  return options;
}

class AbsentEngraverTest : public EngraverTest {
 protected:
  AbsentEngraverTest() : EngraverTest(Unplugged()) {}
};

TEST_F(AbsentEngraverTest, RowsShowZeros) {
  frmMemEdit window(kt90_, prompts_);
  for (QLabel* label : window.findChildren<QLabel*>("lblAddr")) {
    EXPECT_TRUE(label->text().endsWith(": 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00"));
  }
}

// Address entries: which write (if any) follows, and whether "Invalid Value" shows.
struct AddressCase {
  std::optional<std::string> entry;
  std::optional<std::uint8_t> address;  // nothing: the value is not asked for
  bool invalid;
};

TEST_F(MemEditTest, AddressEntries) {
  const std::vector<AddressCase> cases{
      {"32", 0x20, false},   {"&H20", 0x20, false},  {"&h20", 0x20, false},
      {" 32 ", 0x20, false}, {"&O40", 0x20, false},  {"63", 63, false},
      {"0", 0, false},       {"-0", 0, false},       {"62.5", 62, false},
      {"63.4", 63, false},   {"3.2E1", 0x20, false}, {"0x20", {}, false},
      {"", {}, false},       {"abc", {}, false},     {std::nullopt, {}, false},
      {"1,5", {}, false},    {"$5", {}, false},      {"64", {}, true},
      {"&H40", {}, true},    {"63.5", {}, true},     {"255", {}, true},
      {"-1", {}, true},      {"-0.4", {}, true},     {"1E300", {}, true},
  };
  for (const AddressCase& c : cases) {
    SCOPED_TRACE(c.entry.value_or("<cancel>"));
    Files().ClearLog();
    prompts_.calls.clear();
    Write(c.entry, "7", c.address.has_value());

    ASSERT_FALSE(prompts_.calls.empty());
    EXPECT_FALSE(prompts_.calls[0].is_message);
    EXPECT_EQ(prompts_.calls[0].text, "Enter Address");
    EXPECT_EQ(prompts_.calls[0].title, "EEPROM WRITE - Addr");
    if (c.address) {
      EXPECT_EQ(MemoryWrites(), (std::vector<MemoryCommand>{{*c.address, 7}}));
    } else {
      EXPECT_TRUE(Written().empty());
    }
    EXPECT_EQ(Messages(),
              c.invalid ? std::vector<std::string>{"Invalid Value"} : std::vector<std::string>{});
    if (c.invalid) {
      EXPECT_EQ(prompts_.calls.back().title, "");  // the application title
      EXPECT_EQ(prompts_.calls.back().buttons, MessageButtons::kOk);
    }
  }
}

struct ValueCase {
  std::optional<std::string> entry;
  std::optional<std::uint8_t> value;
  bool invalid;
};

TEST_F(MemEditTest, ValueEntries) {
  const std::vector<ValueCase> cases{
      {"255", 255, false}, {"0", 0, false},  {"&HFF", 255, false},      {"254.5", 254, false},
      {"0x10", {}, false}, {"", {}, false},  {std::nullopt, {}, false}, {"256", {}, true},
      {"255.5", {}, true}, {"-1", {}, true}, {"-0.4", {}, true},        {"&H100", {}, true},
  };
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.entry.value_or("<cancel>"));
    Files().ClearLog();
    prompts_.calls.clear();
    Write("&H3F", c.entry, true);

    ASSERT_GE(prompts_.calls.size(), 2u);
    EXPECT_EQ(prompts_.calls[1].text, "Enter Value");
    EXPECT_EQ(prompts_.calls[1].title, "");
    if (c.value) {
      EXPECT_EQ(MemoryWrites(), (std::vector<MemoryCommand>{{0x3F, *c.value}}));
    } else {
      EXPECT_TRUE(Written().empty());
    }
    EXPECT_EQ(Messages(),
              c.invalid ? std::vector<std::string>{"Invalid Value"} : std::vector<std::string>{});
  }
}

TEST_F(MemEditTest, WriteSendsOneCommandAndLeavesTheRows) {
  const std::vector<QString> before = RowTexts();
  Write("33", "17", true);
  EXPECT_EQ(Board().Cell(0x21), 17);
  // One write command, after its busy poll; nothing read back.
  EXPECT_EQ(Written(),
            (std::vector<std::vector<std::uint8_t>>{{0x00, 0x04, 0x03, 0x21, 17, 0x00}}));
  EXPECT_EQ(Board().Counts().memory_reads, 0u);
  EXPECT_EQ(RowTexts(), before);
  EXPECT_TRUE(RowTexts()[0].startsWith("0x20: 0xCD 0xCC"));
}

TEST_F(MemEditTest, ClearWritesTheBlockAndReadsItTwiceWithTheControlsDisabled) {
  Board().Timings().memory_write = sim::Micros{50};
  Board().Timings().memory_read = sim::Micros{50};
  window_->show();
  int yields = 0;
  int enabled_during = 0;
  int hourglass_during = 0;
  pump_.action = [&](int) {
    ++yields;
    clock_.Advance(sim::Micros{20});
    for (QWidget* control : window_->findChildren<QWidget*>()) {
      enabled_during += control->isEnabled() ? 1 : 0;
    }
    hourglass_during += window_->cursor().shape() == Qt::WaitCursor ? 1 : 0;
  };
  window_->cmdMemClear_Click();

  std::vector<MemoryCommand> expected;
  for (int address = 0x20; address <= 0x5F; ++address) {
    expected.push_back({static_cast<std::uint8_t>(address), 0xFF});
  }
  EXPECT_EQ(MemoryWrites(), expected);
  EXPECT_EQ(Board().Counts().memory_writes, 64u);
  EXPECT_EQ(Board().Counts().memory_reads, 128u);
  EXPECT_EQ(ReadRequests().size(), 128u);
  for (const QString& row : RowTexts()) {
    EXPECT_TRUE(row.endsWith(": 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF 0xFF")) << row.toStdString();
  }
  // The waits yielded (the board was busy), and at every yield the window was locked.
  EXPECT_GT(yields, 64 + 128 * 2);
  EXPECT_EQ(enabled_during, 0);
  EXPECT_EQ(hourglass_during, yields);
  for (QWidget* control : window_->findChildren<QWidget*>()) {
    EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
  }
  EXPECT_EQ(window_->cursor().shape(), Qt::ArrowCursor);
  window_->hide();
}

TEST_F(MemEditTest, WritesThatDoNotArriveAreReportedOnce) {
  Files().FailWrites(sim::FaultSpan::Times(1));
  Write("33", "17", true);
  EXPECT_EQ(Board().Cell(0x21), 0xCC);
  ASSERT_EQ(prompts_.calls.size(), 3u);  // address, value, the message
  EXPECT_TRUE(prompts_.calls[2].is_message);
  EXPECT_EQ(prompts_.calls[2].text,
            "The value did not reach the engraver. Write it again once the engraver is "
            "connected.");
  prompts_.calls.clear();
  Write("33", "18", true);  // the next one arrives and says nothing
  EXPECT_EQ(Board().Cell(0x21), 18);
  EXPECT_EQ(prompts_.calls.size(), 2u);
  prompts_.calls.clear();

  Files().FailWrites(sim::FaultSpan::Times(3));
  window_->cmdMemClear_Click();
  EXPECT_EQ(Board().Counts().memory_writes, 1u + 61u);
  ASSERT_EQ(prompts_.calls.size(), 1u);
  EXPECT_EQ(prompts_.calls[0].text,
            "Only 61 of the 64 cells reached the engraver. Clear again once the engraver is "
            "connected.");
}

// Rows whose read requests did not reach the engraver keep what they showed,
// never a byte of another cell, and one message says how many: a load with
// the requests for the first cells of rows 0 to 2 lost; then Clear's
// read-back with every request lost once the block is written.
TEST_F(MemEditTest, RowsNotReadKeepTheirTextAndOneMessageSaysSo) {
  Files().FailWrites(sim::FaultSpan::Times(3));
  window_ = std::make_unique<frmMemEdit>(kt90_, prompts_);
  Files().SetOpenHook([&](auto&, auto&) {
    Files().FailWrites(Board().Cell(0x5F) == 0xFF ? sim::FaultSpan::ForGood()
                                                  : sim::FaultSpan::Never());
  });
  window_->cmdMemClear_Click();
  EXPECT_EQ(RowTexts()[2], "0x00: 0x00 0x00 0x00 0x00 0x00 0x00 0x00 0x00");  // as designed
  EXPECT_EQ(Messages(), (std::vector<std::string>{RowsNotReadMessage(3, true, ""),
                                                  RowsNotReadMessage(8, true, "")}));
}

TEST_F(MemEditTest, CloseHidesAndEscapeDoesNothing) {
  window_->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(window_.get()));
  QTest::keyClick(window_.get(), Qt::Key_Escape);
  EXPECT_TRUE(window_->isVisible());
  QTest::mouseClick(&Button("cmdClose"), Qt::LeftButton);
  EXPECT_TRUE(window_->isHidden());
  EXPECT_TRUE(Written().empty());
}

}  // namespace
}  // namespace korimo::test
