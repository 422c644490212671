#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "ErrorHandler.h"
#include "MessageBox.h"
#include "TempDir.h"

namespace orv {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ErrorHandlerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    boxes_ = std::make_shared<ScriptedMessageBox>();
    previous_ = SetMessageBoxService(boxes_);
    eh_.SetLogFile((dir_ / "sub" / "orvdustm_Error.log").string());
  }
  void TearDown() override {
    SetMessageBoxService(previous_);
  }
  std::string Log() const { return ReadFile(eh_.LogFile()); }

  // Raises a new error the way a procedure's guard does and returns what
  // reached the caller.
  OrvError RaiseNew(int32_t number, const std::string& source, const std::string& text,
                    int32_t mode = 0) {
    try {
      eh_.Raise(number, source, text, {}, 0, mode);
    } catch (const OrvError& e) {
      return e;
    }
    ADD_FAILURE() << "nothing raised";
    return OrvError(0, {}, {});
  }

  test::TempDir tmp_;
  fs::path dir_ = tmp_.path();
  ErrorHandler eh_{"orvdustm"};
  std::shared_ptr<ScriptedMessageBox> boxes_;
  std::shared_ptr<MessageBoxService> previous_;
};

constexpr const char* k380Description =
    "0x8004017C(380): Unexpected error - Start year must be an integer";

TEST_F(ErrorHandlerTest, InitialState) {
  EXPECT_EQ(eh_.ShowMode(), 1);
  EXPECT_EQ(eh_.ErrorStyle(), 16);
  EXPECT_EQ(eh_.ErrorTitle(), "orvdustm Error");
  EXPECT_EQ(eh_.Number(), 0);
  ErrorHandler fresh("orvdusto");
  EXPECT_EQ(fs::path(fresh.LogFile()).filename(), "orvdusto_Error.log");
  EXPECT_EQ(fs::path(fresh.LogFile()).parent_path().filename(), "tarnby");
}

TEST_F(ErrorHandlerTest, NewErrorIsNumberedDescribedLoggedAndRaised) {
  const OrvError e = RaiseNew(380, "MatrixEntry:StartYear", "Start year must be an integer");
  EXPECT_EQ(e.Number(), -2147221124);
  EXPECT_EQ(e.Source(), "MatrixEntry:StartYear");
  EXPECT_EQ(e.Description(), k380Description);
  EXPECT_EQ(eh_.Number(), 380);
  EXPECT_EQ(eh_.Description(), k380Description);
  EXPECT_EQ(eh_.LastError(), "Unexpected error");
  EXPECT_TRUE(boxes_->shown.empty());
  const std::string log = Log();
  EXPECT_NE(log.find(std::string(" Error An error has occurred: ") + k380Description +
                     ", number 380 in MatrixEntry:StartYear\n"),
            std::string::npos)
      << log;
}

TEST_F(ErrorHandlerTest, PassingOnChainsSourceAndKeepsOnePrefix) {
  try {
    try {
      eh_.Raise(380, "MatrixEntry:StartYear", "Start year must be an integer");
    } catch (...) {
      eh_.Raise(0, "MatrixEntry:Load");
    }
    FAIL() << "nothing raised";
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), -2147221124);
    EXPECT_EQ(e.Description(), k380Description);
    EXPECT_EQ(e.Source(), "MatrixEntry:Load->MatrixEntry:StartYear");
    EXPECT_EQ(eh_.LastError(), k380Description);
  }
  // A third level with its own text appends it behind the received one.
  const OrvError inner(-2147221124, "MatrixEntry:Load->MatrixEntry:StartYear", k380Description);
  try {
    eh_.Raise(inner, "modMain:Run", "while loading");
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Number(), -2147221124);
    EXPECT_EQ(e.Source(), "modMain:Run->MatrixEntry:Load->MatrixEntry:StartYear");
    EXPECT_EQ(e.Description(), std::string(k380Description) + " - while loading");
  }
}

TEST_F(ErrorHandlerTest, PendingRunTimeErrorsGetTheirPrefix) {
  struct Case {
    OrvError pending;
    int32_t real;
    const char* description;
  } cases[] = {
      {OrvError::Standard(13, "Numbers:Parse"), 13, "0x8004000D(13): Type mismatch"},
      {OrvError(13 + kComponentErrorBase, "X", "Type mismatch"), 13,
       "0x8004000D(13): Type mismatch"},
      {OrvError(-2147467259, "Db", "Unspecified"), -2147467259 - kComponentErrorBase,
       "0x80004005(-245755): Unspecified"},
  };
  for (const Case& c : cases) {
    try {
      eh_.Raise(c.pending, "Outer:Proc");
      ADD_FAILURE();
    } catch (const OrvError& e) {
      EXPECT_EQ(eh_.Number(), c.real);
      EXPECT_EQ(ErrorHandler::RealErrorNumber(e.Number()), c.real);
      EXPECT_EQ(e.Description(), c.description);
      EXPECT_EQ(e.Source(), "Outer:Proc->" + c.pending.Source());
    }
  }
}

TEST_F(ErrorHandlerTest, ForeignExceptionsAndNoPendingError) {
  try {
    try {
      throw std::runtime_error("disk on fire");
    } catch (...) {
      eh_.Raise(0, "Output:SavePdf");
    }
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Description(), "0x80040005(5): disk on fire");
    EXPECT_EQ(e.Source(), "Output:SavePdf");
  }
  try {
    eh_.Raise(0, "Nowhere:Proc");
    FAIL();
  } catch (const OrvError& e) {
    EXPECT_EQ(e.Description(), "0x80040005(5): Invalid procedure call or argument");
  }
}

TEST_F(ErrorHandlerTest, ShowModes) {
  struct Case {
    int32_t mode;
    bool shown;
    bool raised;
    bool cleared;
  } cases[] = {
      {1, false, true, false}, {2, true, true, false},  {3, true, false, true},
      {4, false, true, false}, {5, false, false, true}, {7, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    boxes_->shown.clear();
    bool raised = false;
    try {
      eh_.Raise(9100, "frmOutput:PDF File Output", "Trying to output", "orv.hlp", 42, c.mode);
    } catch (const OrvError& e) {
      raised = true;
      EXPECT_EQ(e.HelpFile(), "orv.hlp");
      EXPECT_EQ(e.HelpContext(), 42);
    }
    EXPECT_EQ(raised, c.raised);
    ASSERT_EQ(boxes_->shown.size(), c.shown ? 1u : 0u);
    if (c.shown) {
      const MessageBoxRequest& box = boxes_->shown[0];
      EXPECT_EQ(box.prompt,
                "An error has occurred:\n0x8004238C(9100): Unexpected error - Trying to output, "
                "number 9100 in frmOutput:PDF File Output");
      EXPECT_EQ(box.style, 16);
      EXPECT_EQ(box.title, "orvdustm Error");
      EXPECT_EQ(box.help_context, 42);
    }
    EXPECT_EQ(eh_.Number(), c.cleared ? 0 : 9100);
    EXPECT_EQ(eh_.Source().empty(), c.cleared);
    EXPECT_EQ(eh_.Description().empty(), c.cleared);
    EXPECT_EQ(eh_.HelpContext(), c.cleared ? 0 : 42);
    EXPECT_EQ(eh_.HelpFile(), "orv.hlp");
    EXPECT_EQ(eh_.LastError(), "Unexpected error");
  }
  // Each of the six raises logged one entry.
  const std::string log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 6);
}

TEST_F(ErrorHandlerTest, ShowModePropertyIsTheDefault) {
  eh_.SetShowMode(5);
  eh_.Raise(380, "A:B");
  EXPECT_EQ(eh_.Number(), 0);
}

TEST_F(ErrorHandlerTest, LogModes) {
  eh_.SetLogMode(logmode::kOff);
  EXPECT_TRUE(eh_.WriteToLog("nothing"));
  EXPECT_FALSE(fs::exists(eh_.LogFile()));

  eh_.SetLogMode(logmode::kFile);
  EXPECT_TRUE(eh_.WriteToLog("first", logevent::kWarning));
  EXPECT_TRUE(eh_.WriteToLog("second"));
  EXPECT_NE(Log().find(" Warning first\n"), std::string::npos);
  EXPECT_NE(Log().find(" Information second\n"), std::string::npos);

  // Overwrite empties the file once, at the first entry after the switch.
  eh_.SetLogMode(logmode::kSystemLog + logmode::kOverwrite + logmode::kThreadId);
  EXPECT_TRUE(eh_.WriteToLog("third"));
  EXPECT_TRUE(eh_.WriteToLog("fourth"));
  const std::string log = Log();
  EXPECT_EQ(log.find("first"), std::string::npos);
  EXPECT_NE(log.find(" thread " + std::to_string(gettid()) + " third\n"), std::string::npos);
  EXPECT_NE(log.find("fourth"), std::string::npos);
}

TEST_F(ErrorHandlerTest, UnwritableLogDoesNotHideTheError) {
  fs::create_directories(dir_);
  std::ofstream(dir_ / "file") << "x";
  eh_.SetLogFile((dir_ / "file" / "x.log").string());
  EXPECT_FALSE(eh_.WriteToLog("lost"));
  EXPECT_NE(eh_.LastDllError(), 0);
  EXPECT_FALSE(eh_.WinAPIError().empty());
  const OrvError e = RaiseNew(380, "MatrixEntry:StartYear", "Start year must be an integer");
  EXPECT_EQ(e.Description(), k380Description);
}

TEST_F(ErrorHandlerTest, SystemErrorText) {
  errno = ENOENT;
  EXPECT_EQ(eh_.LastDllError(), ENOENT);
  EXPECT_EQ(eh_.WinAPIError(), "No such file or directory");
  errno = 0;
  EXPECT_EQ(eh_.WinAPIError(), "");
}

}  // namespace
}  // namespace orv
