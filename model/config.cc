#include "model/config.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <system_error>

#include "foundation/user_messages.h"
#include "foundation/xml_reader.h"

namespace fernweave {
namespace {

// Empty while the default applies.
std::filesystem::path& ChosenFolder() {
  static std::filesystem::path folder;
  return folder;
}

}  // namespace

std::filesystem::path ConfigFolder() {
  if (!ChosenFolder().empty()) {
    return ChosenFolder();
  }
  const char* from_environment = std::getenv("FERNWEAVE_CONFIG");
  if (from_environment != nullptr && from_environment[0] != '\0') {
    return std::filesystem::path(from_environment);
  }
  return std::filesystem::path("config");
}

std::filesystem::path SetConfigFolder(const std::filesystem::path& folder) {
  std::filesystem::path previous = ChosenFolder();
  ChosenFolder() = folder;
  return previous;
}

std::filesystem::path ConfigFile(std::string_view name) {
  return ConfigFolder() / std::filesystem::path(name);
}

bool ReadXMLFile(const std::filesystem::path& file, XMLReader* reader) {
  std::error_code error;
  // Reading a folder as a file fails deep inside the stream library; refuse it here.
  if (!std::filesystem::is_regular_file(file, error)) {
    return false;
  }
  std::ifstream in(file, std::ios::binary);
  std::ostringstream contents;
  if (!in || !(contents << in.rdbuf()) || in.bad()) {
    return false;
  }
  return reader->Parse(contents.str()) && reader->root() != nullptr;
}

bool ReadConfigXML(std::string_view name, XMLReader* reader) {
  return ReadXMLFile(ConfigFile(name), reader);
}

bool CheckConfiguration() {
  std::error_code error;
  // A folder named "colors.xml" is no more a colour table than a missing file is.
  if (std::filesystem::is_regular_file(ConfigFile(kColorsFileName), error)) {
    return true;
  }
  Warn(kMissingConfigurationMessage);
  return false;
}

}  // namespace fernweave
