// Processor faults raised for real in the fault probe: message, traceback
// form and exit status.
#include <gtest/gtest.h>

#include <signal.h>

#include <cstdlib>
#include <string>

#include "support/signal_child.h"

namespace {

using test_support::Child;
using test_support::ChildResult;

using Variables = std::vector<std::pair<std::string, std::string>>;

ChildResult run_probe(const std::string& fault, const Variables& variables = {}) {
  Child child(CRT_FAULT_PROBE, {fault}, variables);
  return child.finish();
}

const std::string SHORT_HEADER =
    "Image              PC        Routine            Line        Source             \r\n";

std::string first_line(const std::string& text, std::size_t from = 0) {
  const std::size_t end = text.find('\n', from);
  return text.substr(from, end == std::string::npos ? std::string::npos : end + 1 - from);
}

// The probe writes the offset of the faulting function within its image.
unsigned long faulting_function(const ChildResult& result) {
  return std::strtoul(result.output.c_str(), nullptr, 16);
}

struct FaultCase {
  const char* fault;
  const char* message_line;
  int status;
  int signal;  // what ends it when the exceptions are left to the system
  // How far into the faulting function the instruction may lie: a stack
  // overflow strikes wherever the stack runs out, anywhere in the larger
  // (in sanitized builds much larger) recursing function.
  unsigned long reach = 0x100;
};

const FaultCase FAULT_CASES[] = {
    {"access", "forrtl: severe (157): Program Exception - access violation\r\r\n", 157, SIGSEGV},
    {"divide", "forrtl: severe (164): Program Exception - integer divide by zero\r\r\n", 164,
     SIGFPE},
    {"illegal", "forrtl: severe (168): Program Exception - illegal instruction\r\r\n", 168,
     SIGILL},
    {"trap", "forrtl: severe (159): Program Exception - breakpoint\r\r\n", 159, SIGTRAP},
    {"overflow", "forrtl: severe (170): Program Exception - stack overflow\r\r\n", 170, SIGSEGV, 0x800},
};

// The first frame is the faulting instruction: inside the function that
// faulted (a breakpoint's pc is the instruction after it, still inside).
TEST(ProcessorFault, ReportsMessageShortTracebackAndStatus) {
  for (const FaultCase& c : FAULT_CASES) {
    SCOPED_TRACE(c.fault);
    const ChildResult result = run_probe(c.fault);
    ASSERT_TRUE(result.exited) << "signal " << result.signal;
    EXPECT_EQ(result.status, c.status);
    ASSERT_EQ(first_line(result.errors), c.message_line);
    const std::size_t header_at = first_line(result.errors).size();
    ASSERT_EQ(first_line(result.errors, header_at), SHORT_HEADER);

    const std::string frame = first_line(result.errors, header_at + SHORT_HEADER.size());
    ASSERT_GE(frame.size(), 29u) << frame;
    EXPECT_EQ(frame.substr(0, 19), "crt_fault_probe    ");
    EXPECT_EQ(frame.substr(27), "  Unknown               Unknown  Unknown\r\n");
    const unsigned long pc = std::strtoul(frame.substr(19, 8).c_str(), nullptr, 16);
    const unsigned long function = faulting_function(result);
    EXPECT_GE(pc, function) << frame;
    EXPECT_LT(pc, function + c.reach) << frame;
  }
}

TEST(ProcessorFault, FloatingPointExceptionsAreMaskedAtStartUp) {
  const ChildResult result = run_probe("float");
  ASSERT_TRUE(result.exited) << "signal " << result.signal;
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.output, "masked\n");
  EXPECT_EQ(result.errors, "");
}

TEST(ProcessorFault, StackOverflowTracebackIsCutAtTheReportBuffer) {
  const ChildResult result = run_probe("overflow");
  // 16384 bytes of report, less its terminating zero, with every LF
  // written as CR LF.
  std::size_t line_ends = 0;
  for (char c : result.errors) line_ends += c == '\n';
  EXPECT_EQ(result.status, 170);
  EXPECT_EQ(result.errors.size() - line_ends, 16383u);
}

TEST(ProcessorFault, VerboseSwitchesGiveTheLongFormWithTheContext) {
  for (const char* variable : {"FOR_ENABLE_VERBOSE_STACK_TRACE", "TBK_ENABLE_VERBOSE_STACK_TRACE"}) {
    SCOPED_TRACE(variable);
    const ChildResult result = run_probe("access", {{variable, "Y"}});
    EXPECT_EQ(result.status, 157);
    const std::string& errors = result.errors;
    const std::string message = "forrtl: severe (157): Program Exception - access violation\r\r\n";
    ASSERT_EQ(errors.substr(0, message.size()), message);
    const std::string dump_title = "\r\nHex Dump Of Exception Record Context Information:\r\n\r\n";
    EXPECT_EQ(errors.substr(message.size(), dump_title.size()), dump_title);
    std::size_t at = 0;
    for (const char* heading :
         {"Exception Context:  Processor Control and Status Registers.\r\n",
          "Exception Context:  Processor Integer Registers.\r\n",
          "Exception Context:  Processor Segment Registers.\r\n",
          "Exception Context:  Floating Point Save Area.\r\n",
          "\r\n\r\nTraceback symbolic or hex stack dump follows:\r\n\r\n"
          "--------- Frame # 0 ---------------------------------------\r\n\r\n"
          "Image:         crt_fault_probe\r\nPC:            "}) {
      at = errors.find(heading, at);
      ASSERT_NE(at, std::string::npos) << heading;
    }
    const std::size_t pc_at = errors.find("PC:            ", at) + 15;
    const unsigned long pc = std::strtoul(errors.substr(pc_at, 8).c_str(), nullptr, 16);
    EXPECT_GE(pc, faulting_function(result));
    EXPECT_LT(pc, faulting_function(result) + 0x100);
    EXPECT_NE(errors.find("PC.Segment:       0000  PC.Mode:       AddrModeFlat\r\n"),
              std::string::npos);
    EXPECT_EQ(errors.find(SHORT_HEADER), std::string::npos);
  }
}

TEST(ProcessorFault, IgnoreSwitchLeavesTheFaultToTheSystem) {
  for (const FaultCase& c : FAULT_CASES) {
    SCOPED_TRACE(c.fault);
    const ChildResult result = run_probe(c.fault, {{"FOR_IGNORE_EXCEPTIONS", "true"}});
    EXPECT_FALSE(result.exited);
    EXPECT_EQ(result.signal, c.signal);
    EXPECT_EQ(result.errors, "");
  }
}

// A debugger gets the report without traceback, then the fault itself.
TEST(ProcessorFault, DebuggerPresentReportsWithoutTracebackAndPassesTheFaultOn) {
  const ChildResult result = run_probe("access", {{"FOR__IS_DEBUGGER_PRESENT", "1"}});
  EXPECT_EQ(result.errors, "forrtl: severe (157): Program Exception - access violation\r\r\n");
  EXPECT_FALSE(result.exited);
  EXPECT_EQ(result.signal, SIGSEGV);
}

}  // namespace
