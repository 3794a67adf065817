#include "logic/texts.h"

namespace corvale_gui {
namespace {

constexpr Texts kEnglish = {
    .window_title = "Corvale",
    .menu_about = "About Corvale",
    .menu_check_updates = "Check for updates",
    .menu_check_automatically = "Check for updates automatically",
    .about = "Corvale {}\n\nLossless archiver for telemetry, time series, tables and logs.\n"
             "Archive format " CORVALE_ARCHIVE_FORMAT_TEXT ".\n\n",
    .newer_version = "Version {} is available; you have {}.\nOpen the download page?",
    .check_failed = "Could not check for updates: {}.",
    .latest_version = "Corvale {} is the latest version.",
    .site_unreachable = "the site is not reachable",
    .idle_title = "Drop files on this window",
    .idle_subtitle = "CSV, TSV, logs and numeric files are compressed to .corvale; "
                     ".corvale archives are extracted.",
    .compressing = "Compressing \u201C{}\u201D",
    .extracting = "Extracting \u201C{}\u201D",
    .output_line = "\u2192 {}",
    .running_line = "{} of {}, {}",
    .estimating_time = "estimating time...",
    .under_a_minute_left = "less than a minute left",
    .minutes_left = "about {} min left",
    .done_line = "Done: {} \u2192 {} ({}%)",
    .cancelled = "Cancelled",
    .button_cancel = "Cancel",
    .button_close = "Close",
    .bytes_unit = "bytes",
    .units = {"KB", "MB", "GB", "TB"},
    .folder_given = "Folders are not supported: choose files.",
    .engine_start_failed = "corvale.exe: {}",
    .not_numeric = "This file is not a fit for Corvale. It compresses numeric data: CSV and TSV "
                   "tables, number lists, sensor readings and logs. Use zip or 7-Zip for text and "
                   "other files.",
    .engine_failed = "Error",
};

constexpr Texts kRussian = {
    .window_title = "Corvale",
    .menu_about = "О Corvale",
    .menu_check_updates = "Проверить обновления",
    .menu_check_automatically = "Проверять обновления автоматически",
    .about = "Corvale {}\n\nАрхиватор без потерь для телеметрии, временных рядов, таблиц и логов.\n"
             "Формат архива " CORVALE_ARCHIVE_FORMAT_TEXT ".\n\n",
    .newer_version = "Доступна версия {}, у вас {}.\nОткрыть страницу загрузки?",
    .check_failed = "Не удалось проверить обновления: {}.",
    .latest_version = "Corvale {} - последняя версия.",
    .site_unreachable = "сайт недоступен",
    .idle_title = "Перетащите файлы в это окно",
    .idle_subtitle = "CSV, TSV, логи и числовые файлы сжимаются в .corvale, "
                     "архивы .corvale распаковываются.",
    .compressing = "Сжатие \u00AB{}\u00BB",
    .extracting = "Распаковка \u00AB{}\u00BB",
    .output_line = "\u2192 {}",
    .running_line = "{} из {}, {}",
    .estimating_time = "оценка времени...",
    .under_a_minute_left = "осталось меньше минуты",
    .minutes_left = "осталось около {} мин",
    .done_line = "Готово: {} \u2192 {} ({}%)",
    .cancelled = "Отменено",
    .button_cancel = "Отмена",
    .button_close = "Закрыть",
    .bytes_unit = "байт",
    .units = {"КБ", "МБ", "ГБ", "ТБ"},
    .folder_given = "Папки не поддерживаются: выберите файлы.",
    .engine_start_failed = "corvale.exe: {}",
    .not_numeric = "Этот файл не подходит для Corvale. Он сжимает числовые данные: таблицы CSV и "
                   "TSV, списки чисел, показания датчиков и логи. Для обычного текста и других "
                   "файлов используйте zip или 7-Zip.",
    .engine_failed = "Ошибка",
};

}  // namespace

const Texts& texts(bool english) { return english ? kEnglish : kRussian; }

std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(pattern.size() + 32);
  auto next = values.begin();
  std::size_t pos = 0;
  while (pos < pattern.size()) {
    std::size_t mark = pattern.find("{}", pos);
    if (mark == std::string_view::npos || next == values.end()) {
      out.append(pattern.substr(pos));
      break;
    }
    out.append(pattern.substr(pos, mark - pos));
    out.append(*next++);
    pos = mark + 2;
  }
  return out;
}

std::string about_text(bool english) {
  std::string text = fill(texts(english).about, {kVersion});
  text += english ? "Support: " : "Поддержка: ";
  text += CORVALE_SUPPORT_CONTACT;
  return text;
}

}  // namespace corvale_gui
