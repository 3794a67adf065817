#include "logic/status_display.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace corvale_gui {
namespace {

using std::chrono::seconds;

// A state with a job's texts in place; tests change what they look at.
struct State {
  JobStatus status = job::Running{};
  std::string title = "Compressing \u201Creport.csv\u201D";
  std::string subtitle = "\u2192 report.csv.corvale";
  std::chrono::nanoseconds elapsed = seconds(10);
  std::uint64_t done = 0, total = 0, failures = 0;
  bool english = true, worker_busy = true, queue_empty = true;
  bool armed = false, keep_open = false;

  StatusDisplay show() const {
    return compute_status_display({status, title, subtitle, elapsed, done, total, failures,
                                   english, worker_busy, queue_empty, armed, keep_open});
  }
};

TEST(StatusDisplay, IdleBeforeTheFirstJob) {
  State s;
  s.status = job::Idle{};
  s.worker_busy = false;
  StatusDisplay d = s.show();
  EXPECT_EQ(d.line1, "Drop files on this window");
  EXPECT_EQ(d.line2,
            "CSV, TSV, logs and numeric files are compressed to .corvale; .corvale archives "
            "are extracted.");
  EXPECT_EQ(d.line3, "");
  EXPECT_EQ(d.bar, 0);
  EXPECT_EQ(d.button, "Close");
  EXPECT_FALSE(d.start_auto_close);

  s.english = false;
  d = s.show();
  EXPECT_EQ(d.line1, "Перетащите файлы в это окно");
  EXPECT_EQ(d.button, "Закрыть");
}

TEST(StatusDisplay, RunningShowsProgressAndTimeLeft) {
  State s;
  s.done = 2500000;
  s.total = 10000000;
  StatusDisplay d = s.show();
  EXPECT_EQ(d.line1, s.title);
  EXPECT_EQ(d.line2, s.subtitle);
  EXPECT_EQ(d.line3, "2.50 MB of 10.0 MB, less than a minute left");
  EXPECT_EQ(d.bar, 250);
  EXPECT_EQ(d.button, "Cancel");

  s.english = false;
  EXPECT_EQ(s.show().line3, "2,50 МБ из 10,0 МБ, осталось меньше минуты");

  s.english = true;
  s.done = 1;
  s.total = 3;
  EXPECT_EQ(s.show().bar, 333);  // truncated, not rounded
  s.done = 5000;
  s.total = 1000;
  EXPECT_EQ(s.show().bar, 1000);  // done beyond total stays at the end
}

TEST(StatusDisplay, RunningEmptyInput) {
  State s;
  StatusDisplay d = s.show();
  EXPECT_EQ(d.bar, 0);
  EXPECT_EQ(d.line3, "0 bytes of 0 bytes, estimating time...");
}

TEST(StatusDisplay, FinishedJobs) {
  State s;
  s.worker_busy = false;
  s.status = job::Done{0, 5};
  StatusDisplay d = s.show();
  EXPECT_EQ(d.line3, "Done: 0 bytes \u2192 5 bytes (0.0%)");
  EXPECT_EQ(d.bar, 1000);
  EXPECT_EQ(d.button, "Close");

  s.english = false;
  s.status = job::Done{1500000, 312000};
  EXPECT_EQ(s.show().line3, "Готово: 1,50 МБ \u2192 312 КБ (20,8%)");

  s.status = job::Error{"a\r\nb"};
  d = s.show();
  EXPECT_EQ(d.line3, "a\r\nb");
  EXPECT_EQ(d.bar, 0);

  s.status = job::Cancelled{};
  d = s.show();
  EXPECT_EQ(d.line3, "Отменено");
  EXPECT_EQ(d.bar, 0);
  EXPECT_EQ(d.button, "Закрыть");
}

TEST(StatusDisplay, ButtonCancelWhileWorkIsPending) {
  State s;
  s.status = job::Done{10, 5};
  s.worker_busy = false;
  s.queue_empty = false;  // between two queued jobs
  EXPECT_EQ(s.show().button, "Cancel");
  s.queue_empty = true;
  s.worker_busy = true;
  EXPECT_EQ(s.show().button, "Cancel");
}

TEST(StatusDisplay, AutoCloseOnlyAfterACleanFinish) {
  State s;
  s.status = job::Done{10, 5};
  s.worker_busy = false;
  EXPECT_TRUE(s.show().start_auto_close);

  struct Blocker {
    const char* why;
    void (*apply)(State&);
  };
  const Blocker blockers[] = {
      {"already armed", [](State& x) { x.armed = true; }},
      {"a job failed earlier", [](State& x) { x.failures = 1; }},
      {"user asked for an update check", [](State& x) { x.keep_open = true; }},
      {"worker busy", [](State& x) { x.worker_busy = true; }},
      {"files queued", [](State& x) { x.queue_empty = false; }},
      {"cancelled", [](State& x) { x.status = job::Cancelled{}; }},
      {"failed", [](State& x) { x.status = job::Error{"Error"}; }},
      {"idle", [](State& x) { x.status = job::Idle{}; }},
  };
  for (const Blocker& b : blockers) {
    State blocked = s;
    b.apply(blocked);
    EXPECT_FALSE(blocked.show().start_auto_close) << b.why;
  }
}

}  // namespace
}  // namespace corvale_gui
