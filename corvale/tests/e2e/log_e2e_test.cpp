// Text logs through the built program: logs written the way web servers, syslog and
// applications write them are compressed, restored and compared byte for byte, and random
// base64 is refused with the log codec's own message.

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/process_runner.h"
#include "support/program_files.h"

namespace corvale {
namespace {

namespace fs = std::filesystem;

constexpr unsigned char kLogArchive = 0x8E;

// The time t (seconds since 1970, UTC) in a strftime format.
std::string format_time(std::time_t t, const char* format) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buffer[64];
  return std::string(buffer, std::strftime(buffer, sizeof buffer, format, &tm));
}

// A few thousand lines of each kind, seeded so that every run sees the same text.
class LogWriter {
 public:
  explicit LogWriter(std::uint64_t seed) : rng_(seed) {}

  // Common log format with referrer and agent, as a web server writes its access log.
  std::string access_log(int lines) {
    static const char* const kPaths[] = {"/", "/index.html", "/api/v1/items?page=2", "/static/app.js", "/login",
                                         "/favicon.ico", "/images/logo.png"};
    static const char* const kAgents[] = {"curl/7.88.1", "Wget/1.21.3", "Mozilla/5.0 (X11 Linux x86_64) Firefox/115.0",
                                          "Googlebot/2.1 (+http://www.google.com/bot.html)"};
    std::string text;
    for (int i = 0; i < lines; ++i) {
      tick(0, 3);
      const int status = pick({200, 200, 200, 200, 304, 404, 500});
      text += "192.168." + std::to_string(pick(0, 3)) + "." + std::to_string(pick(1, 254)) + " - - [" +
              format_time(now_, "%d/%b/%Y:%H:%M:%S +0000") + "] \"" + (pick(0, 9) ? "GET " : "POST ") +
              kPaths[pick(0, 6)] + " HTTP/1.1\" " + std::to_string(status) + " " +
              std::to_string(status == 304 ? 0 : pick(150, 90000)) + " \"-\" \"" + kAgents[pick(0, 3)] + "\"\n";
    }
    return text;
  }

  // Traditional syslog lines: host, program with its process id, free text.
  std::string syslog(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
      tick(0, 20);
      text += format_time(now_, "%b %e %H:%M:%S") + " web01 ";
      switch (pick(0, 3)) {
        case 0:
          text += "sshd[" + std::to_string(pick(1000, 30000)) + "]: Accepted publickey for deploy from 10.0.4." +
                  std::to_string(pick(1, 40)) + " port " + std::to_string(pick(30000, 60000)) + " ssh2";
          break;
        case 1:
          text += "CRON[" + std::to_string(pick(1000, 30000)) + "]: (root) CMD (run-parts /etc/cron.hourly)";
          break;
        case 2:
          text += "kernel: [" + std::to_string(pick(100000, 999999)) + "." + std::to_string(pick(100000, 999999)) +
                  "] eth0: link up, 1000 Mbps, full duplex";
          break;
        default:
          text += "systemd[1]: Started session " + std::to_string(pick(1, 900)) + " of user deploy.";
      }
      text += "\n";
    }
    return text;
  }

  // An application log with ISO timestamps, levels, threads and measurements.
  std::string application_log(int lines, const std::string& ending) {
    static const char* const kLevels[] = {"INFO ", "INFO ", "INFO ", "DEBUG", "WARN ", "ERROR"};
    std::string text;
    for (int i = 0; i < lines; ++i) {
      tick(0, 2);
      text += format_time(now_, "%Y-%m-%dT%H:%M:%S") + "." + pad(pick(0, 999), 3) + "Z " + kLevels[pick(0, 5)] +
              " [worker-" + std::to_string(pick(1, 8)) + "] ";
      if (pick(0, 4)) {
        text += "processed " + std::to_string(pick(1, 500)) + " items in " + std::to_string(pick(1, 3000)) + " ms";
      } else {
        text += "queue depth=" + std::to_string(pick(0, 40)) + " latency_p99=" + std::to_string(pick(1, 99)) + "." +
                pad(pick(0, 99), 2) + "ms";
      }
      text += ending;
    }
    return text;
  }

  // Telemetry lines of key=value readings.
  std::string telemetry(int lines) {
    std::string text;
    double temperature = 21.0;
    for (int i = 0; i < lines; ++i) {
      tick(10, 10);
      temperature += (pick(0, 20) - 10) / 100.0;
      char reading[32];
      std::snprintf(reading, sizeof reading, "%.2f", temperature);
      text += std::to_string(now_) + " sensor=" + std::to_string(pick(1, 6)) + " temp=" + reading +
              " hum=" + std::to_string(pick(30, 60)) + " ok\n";
    }
    return text;
  }

 private:
  int pick(int low, int high) { return low + static_cast<int>(rng_() % static_cast<std::uint64_t>(high - low + 1)); }
  int pick(std::initializer_list<int> values) { return values.begin()[pick(0, static_cast<int>(values.size()) - 1)]; }
  void tick(int low, int high) { now_ += pick(low, high); }
  static std::string pad(int v, int width) {
    std::string s = std::to_string(v);
    return std::string(width > static_cast<int>(s.size()) ? width - s.size() : 0, '0') + s;
  }

  std::mt19937_64 rng_;
  std::time_t now_ = 1717200000;
};

class LogFiles : public test::ProgramFiles {};

TEST_F(LogFiles, ServerAndApplicationLogsBecomeLogArchivesAndRestore) {
  LogWriter writer(29);
  std::string crlf_unterminated = writer.application_log(1500, "\r\n");
  crlf_unterminated.resize(crlf_unterminated.size() - 2);
  const std::pair<const char*, std::string> logs[] = {
      {"access.log", writer.access_log(3000)},
      {"syslog", writer.syslog(3000)},
      {"app.log", writer.application_log(3000, "\n")},
      {"app-crlf.log", writer.application_log(1500, "\r\n")},
      {"app-crlf-unterminated.log", crlf_unterminated},
      {"telemetry.log", writer.telemetry(5000)},
  };
  for (const auto& [name, text] : logs) {
    SCOPED_TRACE(name);
    // Far smaller than the text: the point of storing fields as columns.
    EXPECT_LT(round_trip(name, text, kLogArchive).size() * 5, text.size());
  }
}

TEST_F(LogFiles, RandomBase64IsRefusedWithTheLogCodecsMessage) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::mt19937_64 rng(8);
  std::string text;
  while (text.size() < 65536) {
    for (int i = 0; i < 76; ++i) text.push_back(kAlphabet[rng() % 64]);
    text += "\n";
  }
  text.resize(65536);
  dir_.write("blob.b64", text);
  const test::ProcessResult r = run({"compress", "-i", "blob.b64", "-o", "blob.cv"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "Error: Input is not numeric: the text has no structure Corvale can use (random or encoded data such as "
            "base64 or hex); use zstd or xz for it\n");
  EXPECT_FALSE(fs::exists(dir_ / "blob.cv"));
}

TEST_F(LogFiles, ALogOfManyRangesRestoresUnderALimitOfExactlyItsSize) {
  LogWriter writer(31);
  const std::string text = writer.access_log(150000);
  const std::string archive = round_trip("long.log", text, kLogArchive);
  const test::ProcessResult d =
      run({"decompress", "-i", "long.log.cv", "-o", "limit.out", "--max-output", std::to_string(text.size())});
  EXPECT_EQ(d.status, 0) << d.err;
  EXPECT_TRUE(dir_.read("limit.out") == text);
  expect_refused(archive, "Output exceeds decompression limit", {"--max-output", std::to_string(text.size() - 1)});
}

}  // namespace
}  // namespace corvale
