// The trace log, written through the real profile API.
#include <gtest/gtest.h>

#include <windows.h>

#include <regex>
#include <string>
#include <vector>

#include "test_support.h"
#include "trace.h"

using namespace sentrel;

namespace {

unsigned long g_now = 100000;
unsigned long FakeClock() { return g_now; }

class TraceLog : public testing::Test {
 protected:
  void SetUp() override {
    file_ = sentrel_test::TestFolder() + "\\trace_test.txt";
    DeleteFileA(file_.c_str());
    SetTraceFile(file_);
    SetTraceClock(FakeClock);
    SetTraceCounter(kTraceOff);
  }
  void TearDown() override {
    SetTraceClock(nullptr);
    SetTraceCounter(kTraceOff);
    DeleteFileA(file_.c_str());
  }
  // The key=value lines of the [Trace] section, in file order.
  std::vector<std::string> Lines() const {
    std::vector<char> buffer(1 << 20);
    DWORD length = GetPrivateProfileSectionA("Trace", buffer.data(), static_cast<DWORD>(buffer.size()), file_.c_str());
    std::vector<std::string> lines;
    for (const char* p = buffer.data(); p < buffer.data() + length && *p; p += strlen(p) + 1) lines.emplace_back(p);
    return lines;
  }
  std::string file_;
};

TEST_F(TraceLog, OffByDefaultAndCreatesNoFile) {
  TraceStep("VERIFY", "Startup");
  TraceTiming();
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(file_.c_str()));
  EXPECT_EQ(kTraceOff, TraceCounter());
}

TEST_F(TraceLog, StepAndTimingLines) {
  SetTraceCounter(0);
  g_now = 100000;
  TraceStep("VERIFY", "Startup programs");
  g_now += 5000;  // the step took five seconds
  TraceTiming();
  SetTraceDialogFlag();
  TraceTiming();  // an alert was open: reports 1 and clears the flag
  g_now += 400;
  TraceTiming();
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(4u, lines.size());
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(R"(100000\.1=\d\d-\d\d  \d\d:\d\d:\d\d VERIFY: Startup programs)")))
      << lines[0];
  EXPECT_EQ("105000.2=**:**:** NanoCycles: Startup programs = 2500 \t**", lines[1]);
  EXPECT_EQ("105000.3=**:**:** NanoCycles: Startup programs = 1", lines[2]);
  EXPECT_EQ("105400.4=**:**:** NanoCycles: Startup programs = 2700 \t**", lines[3]);
}

TEST_F(TraceLog, BarHasOneStarPerThousandUpToSixteen) {
  EXPECT_EQ("", TraceBar(0));
  EXPECT_EQ("", TraceBar(999));
  EXPECT_EQ("\t*", TraceBar(1000));
  EXPECT_EQ("\t" + std::string(16, '*'), TraceBar(16999));
  EXPECT_EQ("\t" + std::string(16, '*'), TraceBar(4000000000u));
}

TEST_F(TraceLog, StopsAfterLineNineThousandAndOne) {
  SetTraceCounter(8998);
  for (int i = 0; i < 5; ++i) {
    g_now += 1;
    TraceStep("T", "x");
  }
  EXPECT_EQ(3u, Lines().size());
  EXPECT_EQ(9001, TraceCounter());
  TraceTiming();
  EXPECT_EQ(3u, Lines().size());
}

TEST_F(TraceLog, LongStepTextIsCutTo255Characters) {
  SetTraceCounter(0);
  TraceStep("T", std::string(400, 's').c_str());
  TraceTiming();
  std::vector<std::string> lines = Lines();
  ASSERT_EQ(2u, lines.size());
  EXPECT_NE(std::string::npos, lines[1].find(": " + std::string(255, 's') + " = "));
  EXPECT_EQ(std::string::npos, lines[1].find(std::string(256, 's')));
}

}  // namespace
