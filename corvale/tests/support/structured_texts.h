#pragma once
// Tables, logs and number texts from a seeded generator, shaped to reach every column kind, every
// quoting mark and every grouping the structured codecs write, for the archive checksum test.
// Only std::mt19937_64's raw output is used (no distributions), so the texts are the same with
// every standard library.

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace corvale::test {

class TextRng {
 public:
  explicit TextRng(std::uint64_t seed) : rng_(seed) {}
  // A number from lo to hi, both included.
  std::int64_t in(std::int64_t lo, std::int64_t hi) {
    return lo + static_cast<std::int64_t>(rng_() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  bool one_in(unsigned n) { return rng_() % n == 0; }
  template <class T, std::size_t N>
  const T& pick(const T (&items)[N]) {
    return items[rng_() % N];
  }

 private:
  std::mt19937_64 rng_;
};

inline std::string fixed(std::int64_t units, int fraction_digits) {
  const bool negative = units < 0;
  std::string digits = std::to_string(negative ? -units : units);
  const auto f = static_cast<std::size_t>(fraction_digits);
  if (f > 0) {
    if (digits.size() < f + 1) digits = std::string(f + 1 - digits.size(), '0') + digits;
    digits = digits.substr(0, digits.size() - f) + "." + digits.substr(digits.size() - f);
  }
  return (negative ? "-" : "") + digits;
}

inline std::string clock_text(std::int64_t seconds) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", static_cast<int>(seconds / 3600 % 24),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
  return buf;
}

// Numeric columns of every kind of written number: decimals of varying precision whose trailing
// zeros are kept, "-0", leading zeros, exponents, empty cells and one value past 64 bits; a
// template column, a same-shape column with more than 256 distinct texts in a slot, a small
// dictionary, free text, and a column quoted in some rows only.
inline std::string table_of_every_column_kind(std::uint64_t seed, std::size_t rows) {
  static const char* kColours[] = {"red", "green", "blue", "cyan"};
  static const char* kWords[] = {"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta"};
  TextRng rng(seed);
  std::string t = "id,price,delta,code,ref,tag,colour,note,count,reading\n";
  std::int64_t price = 10000;
  for (std::size_t r = 0; r < rows; ++r) {
    price += rng.in(-50, 50);
    std::string row = std::to_string(1000 + r) + ",";
    row += fixed(price, static_cast<int>(rng.in(0, 3))) + ",";
    row += r % 17 == 3 ? "-0.00" : r % 13 == 5 ? "" : fixed(rng.in(-999, 999), 2);
    row += ",";
    row += "A-" + std::to_string(rng.in(0, 99999)) + "/x" + std::to_string(r % 7) + ",";
    row += std::string(rng.pick(kWords)) + std::to_string(r) + "." + std::to_string(rng.in(0, 9)) + ",";
    row += "t" + std::to_string(rng.in(0, 300)) + std::string(rng.in(0, 4), 'q') + "1,";
    row += std::string(rng.pick(kColours)) + ",";
    if (rng.one_in(4)) {
      row += "\"said \"\"" + std::string(rng.pick(kWords)) + "\"\", then left\"";
    } else {
      row += rng.pick(kWords);
    }
    row += ",";
    row += r % 11 == 0 ? "007" : std::to_string(rng.in(0, 500));
    row += ",";
    if (r == rows / 2) {
      row += "123456789012345678901234567890";
    } else {
      row += std::to_string(rng.in(1, 9)) + "." + std::to_string(rng.in(0, 99)) + (rng.one_in(2) ? "e-0" : "E+") +
             std::to_string(rng.in(1, 12));
    }
    t += row + "\n";
  }
  return t;
}

// Rows whose every cell is quoted, separated by ';', CR LF endings and no final one, no header.
inline std::string quoted_semicolon_table(std::uint64_t seed, std::size_t rows) {
  TextRng rng(seed);
  std::string t;
  for (std::size_t r = 0; r < rows; ++r) {
    if (r > 0) t += "\r\n";
    t += '"';
    t += std::to_string(rng.in(0, 1000)) + "\";\"" + fixed(rng.in(-5000, 5000), 3) + "\";\"x;" + std::to_string(r % 9);
    t += '"';
  }
  return t;
}

// A wide tab-separated sensor table with a header: timestamps, slowly drifting readings.
inline std::string sensor_tsv(std::uint64_t seed, std::size_t rows) {
  TextRng rng(seed);
  std::string t = "time\tstation\ttemp\thumidity\tpressure\twind\n";
  std::int64_t temp = 215, humidity = 550, pressure = 101325;
  for (std::size_t r = 0; r < rows; ++r) {
    temp += rng.in(-3, 3);
    humidity += rng.in(-5, 5);
    pressure += rng.in(-20, 20);
    t += "2024-06-01T" + clock_text(static_cast<std::int64_t>(r) * 60) + "Z\tST" + std::to_string(r % 3) + "\t" +
         fixed(temp, 1) + "\t" + fixed(humidity, 1) + "\t" + std::to_string(pressure) + "\t" +
         (rng.one_in(9) ? std::string() : fixed(rng.in(0, 250), 1)) + "\n";
  }
  return t;
}

// A '|' table of unique words and numbers: a column of distinct texts that only the raw copy
// stores well, beside a dictionary of more than 256 entries.
inline std::string pipe_table_of_unique_texts(std::uint64_t seed, std::size_t rows) {
  TextRng rng(seed);
  std::string t;
  for (std::size_t r = 0; r < rows; ++r) {
    std::string word;
    for (int i = 0, len = static_cast<int>(rng.in(3, 9)); i < len; ++i) word.push_back(static_cast<char>('a' + rng.in(0, 25)));
    t += word + "|" + std::to_string(rng.in(0, 1 << 20)) + "|k" + std::to_string(rng.in(0, 299)) + "z\n";
  }
  return t;
}

// A web server's access log: client, time, request, status, size, referrer, agent.
inline std::string access_log(std::uint64_t seed, std::size_t lines) {
  static const char* kPaths[] = {"/", "/index.html", "/login", "/static/app.js", "/api/v1/items", "/search"};
  static const char* kAgents[] = {"\"Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Firefox/115.0\"",
                                  "\"curl/7.88.1\"", "\"Wget/1.21.3\""};
  static const int kStatus[] = {200, 200, 200, 200, 200, 304, 404, 500};
  TextRng rng(seed);
  std::string t;
  std::int64_t clock = 0;
  for (std::size_t i = 0; i < lines; ++i) {
    clock += rng.in(0, 2);
    const int status = rng.pick(kStatus);
    std::string path = rng.pick(kPaths);
    if (path == "/api/v1/items") path += "/" + std::to_string(rng.in(1, 20000));
    t += "10.0." + std::to_string(rng.in(0, 9)) + "." + std::to_string(rng.in(1, 254)) + " - - [01/Jun/2024:" +
         clock_text(clock) + " +0000] \"GET " + path + " HTTP/1.1\" " + std::to_string(status) + " " +
         std::to_string(status == 304 ? 0 : rng.in(200, 90000)) + " \"-\" " + rng.pick(kAgents) + "\n";
  }
  return t;
}

// Traditional syslog: messages of different forms, so lines have different field counts.
inline std::string syslog_text(std::uint64_t seed, std::size_t lines) {
  TextRng rng(seed);
  std::string t;
  std::int64_t clock = 0;
  for (std::size_t i = 0; i < lines; ++i) {
    clock += rng.in(0, 9);
    t += "Jun  1 " + clock_text(clock) + " web0" + std::to_string(rng.in(1, 2)) + " ";
    switch (rng.in(0, 3)) {
      case 0:
        t += "sshd[" + std::to_string(rng.in(1000, 60000)) + "]: Accepted publickey for deploy from 10.0.0." +
             std::to_string(rng.in(1, 254)) + " port " + std::to_string(rng.in(30000, 65000)) + " ssh2";
        break;
      case 1:
        t += "CRON[" + std::to_string(rng.in(1000, 60000)) + "]: (root) CMD (debian-sa1 1 1)";
        break;
      case 2:
        t += "kernel: [" + std::to_string(rng.in(100000, 999999)) + "." + std::to_string(rng.in(100000, 999999)) +
             "] [UFW BLOCK] IN=eth0 OUT= SRC=192.168.1." + std::to_string(rng.in(1, 254)) + " LEN=" +
             std::to_string(rng.in(40, 60)) + " TTL=64 ID=" + std::to_string(rng.in(0, 65535)) +
             " PROTO=TCP SPT=" + std::to_string(rng.in(1024, 65535)) + " DPT=443 WINDOW=1024 RES=0x00 SYN URGP=0";
        break;
      default:
        t += "systemd[1]: Started session-" + std::to_string(rng.in(1, 9000)) + ".scope.";
    }
    t += "\n";
  }
  return t;
}

// An application log with CR LF endings and no final one: ISO times, levels, threads and
// messages with counts and durations.
inline std::string application_log(std::uint64_t seed, std::size_t lines) {
  static const char* kLevels[] = {"INFO ", "INFO ", "INFO ", "DEBUG", "WARN ", "ERROR"};
  TextRng rng(seed);
  std::string t;
  std::int64_t clock = 0;
  for (std::size_t i = 0; i < lines; ++i) {
    if (i > 0) t += "\r\n";
    clock += rng.in(0, 1);
    t += "2024-06-01T" + clock_text(clock) + "." + std::to_string(rng.in(100, 999)) + "Z " + rng.pick(kLevels) +
         " [worker-" + std::to_string(rng.in(1, 16)) + "] ";
    if (rng.one_in(2)) {
      t += "order " + std::to_string(rng.in(100000, 999999)) + " accepted: " + std::to_string(rng.in(1, 12)) +
           " items, total " + fixed(rng.in(300, 90000), 2) + " EUR";
    } else {
      t += "pool stats: active=" + std::to_string(rng.in(0, 20)) + " idle=" + std::to_string(rng.in(0, 20));
    }
  }
  return t;
}

// Mostly empty lines between short ones: a log whose fields are nearly all empty.
inline std::string sparse_log(std::uint64_t seed, std::size_t lines) {
  TextRng rng(seed);
  std::string t;
  for (std::size_t i = 0; i < lines; ++i) t += rng.one_in(3) ? "ok " + std::to_string(rng.in(0, 99)) + "\n" : "\n";
  return t;
}

// Number texts: a matrix of decimals (period 4), exponents of every form with leading zeros and
// "-0", and runs with more than 256 distinct texts (varint indices).
inline std::string decimal_matrix(std::uint64_t seed, std::size_t rows) {
  TextRng rng(seed);
  std::string t;
  for (std::size_t r = 0; r < rows; ++r) {
    t += fixed(rng.in(-99999, 99999), 3) + " " + fixed(rng.in(0, 999), 1) + " " + std::to_string(rng.in(0, 9)) + " " +
         fixed(rng.in(-50, 50), static_cast<int>(rng.in(0, 4))) + "\n";
  }
  return t;
}

inline std::string exponent_number_text(std::uint64_t seed, std::size_t count) {
  static const char* kMarkers[] = {"e", "E", "e+", "E+", "e-", "E-"};
  TextRng rng(seed);
  std::string t = "[";
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) t += ", ";
    if (i % 29 == 7) {
      t += "-0";
    } else {
      t += fixed(rng.in(-99999, 99999), 4) + rng.pick(kMarkers) + (rng.one_in(5) ? "0" : "") + std::to_string(rng.in(0, 30));
    }
  }
  return t + "]\n";
}

inline std::string number_text_of_many_runs(std::uint64_t seed, std::size_t count) {
  TextRng rng(seed);
  std::string t;
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) {
      // Runs of spaces and tabs of many lengths: far more than 256 distinct ones.
      t += std::string(static_cast<std::size_t>(rng.in(1, 30)), ' ') + std::string(static_cast<std::size_t>(rng.in(0, 20)), '\t');
    }
    t += "0" + std::to_string(rng.in(0, 99999));
  }
  return t;
}

// Every fixture of this file, named.
inline std::vector<std::pair<std::string, std::string>> structured_text_fixtures() {
  return {
      {"table-every-kind", table_of_every_column_kind(1, 600)},
      {"table-quoted-semicolon", quoted_semicolon_table(2, 300)},
      {"table-sensor-tsv", sensor_tsv(3, 2000)},
      {"table-unique-texts", pipe_table_of_unique_texts(4, 1500)},
      {"log-access", access_log(5, 4500)},
      {"log-syslog", syslog_text(6, 1500)},
      {"log-application", application_log(7, 1200)},
      {"log-sparse", sparse_log(8, 3000)},
      {"number-text-matrix", decimal_matrix(9, 800)},
      {"number-text-exponents", exponent_number_text(10, 700)},
      {"number-text-many-runs", number_text_of_many_runs(11, 1200)},
  };
}

}  // namespace corvale::test
