#include "logic/update_rules.h"

#include "logic/json_field.h"
#include "logic/texts.h"
#include "logic/utf16.h"
#include "logic/version.h"

namespace corvale_gui {

std::filesystem::path settings_folder(const std::optional<std::filesystem::path>& app_data) {
  const std::filesystem::path folder = "corvale";
  return app_data ? *app_data / folder : folder;
}

bool automatic_check_due(std::optional<std::uint64_t> stamp_time, std::uint64_t now) {
  if (!stamp_time) return true;
  return !(*stamp_time <= now && now - *stamp_time < kAutomaticCheckInterval);
}

std::string update_document_address() { return std::string(CORVALE_UPDATE_SERVER) + "/version.json"; }

std::vector<std::string> update_client_arguments() {
  return {"-s", "-f", "-L", "-m", "10", "-A", "Corvale/" + std::string(kVersion), update_document_address()};
}

std::optional<std::string> accepted_download_address(std::optional<std::string> address) {
  if (address && !address->starts_with("https://")) return std::nullopt;
  return address;
}

UpdateOutcome read_update_document(const std::optional<std::string>& output) {
  UpdateOutcome outcome;
  if (!output || output->size() > kMaxUpdateDocumentBytes) return outcome;
  const std::string text = utf8_from_utf16(utf16_from_utf8(*output));
  std::optional<std::string> version = json_string_field(text, "version");
  if (!version) return outcome;
  outcome.failed = false;
  outcome.newer = is_newer_version(parse_version(*version), parse_version(kVersion));
  outcome.version = std::move(*version);
  outcome.download = accepted_download_address(json_string_field(text, "download"));
  return outcome;
}

void store_update_outcome(const UpdateOutcome& outcome, bool english, UpdateFields fields) {
  if (outcome.failed) {
    fields.error = std::string(texts(english).site_unreachable);
  } else if (outcome.newer) {
    fields.version = outcome.version;
    fields.download = outcome.download;
    fields.keep_open = true;
  } else {
    fields.error.reset();
  }
}

}  // namespace corvale_gui
