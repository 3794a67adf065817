#include "logic/status_display.h"

#include <algorithm>
#include <type_traits>

#include "logic/format_size.h"
#include "logic/texts.h"
#include "logic/time_left.h"

namespace corvale_gui {

StatusDisplay compute_status_display(const StatusInput& in) {
  const Texts& t = texts(in.english);
  StatusDisplay out;
  const bool idle = std::holds_alternative<job::Idle>(in.status);
  const bool running = std::holds_alternative<job::Running>(in.status);
  const bool pending = in.worker_busy || !in.queue_empty;

  out.line1 = idle ? t.idle_title : in.title;
  out.line2 = idle ? t.idle_subtitle : in.subtitle;

  if (running && in.progress_total > 0) {
    double share = static_cast<double>(std::min(in.progress_done, in.progress_total)) /
                   static_cast<double>(in.progress_total) * kBarRange;
    out.bar = static_cast<int>(share);
  } else if (std::holds_alternative<job::Done>(in.status)) {
    out.bar = kBarRange;
  }

  std::visit(
      [&](const auto& s) {
        using S = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<S, job::Running>) {
          out.line3 = fill(t.running_line,
                           {format_size(in.progress_done, in.english),
                            format_size(in.progress_total, in.english),
                            time_left_text(in.progress_done, in.progress_total, in.elapsed,
                                           in.english)});
        } else if constexpr (std::is_same_v<S, job::Done>) {
          out.line3 = fill(t.done_line, {format_size(s.input_size, in.english),
                                         format_size(s.output_size, in.english),
                                         format_percentage(s.input_size, s.output_size,
                                                           in.english)});
        } else if constexpr (std::is_same_v<S, job::Error>) {
          out.line3 = s.message;
        } else if constexpr (std::is_same_v<S, job::Cancelled>) {
          out.line3 = t.cancelled;
        }
      },
      in.status);

  out.button = pending || running ? t.button_cancel : t.button_close;

  // A clean finish closes the window once, unless anything failed since start, more work
  // is waiting, or the user wants to see an update check's outcome.
  out.start_auto_close = !pending && std::holds_alternative<job::Done>(in.status) &&
                         in.failures == 0 && !in.auto_close_armed && !in.keep_open;
  return out;
}

}  // namespace corvale_gui
