// The application's configuration folder: read-only files the system ships ("colors.xml",
// "config.xml", "linkTypes.xml", "menus.xml", "html_helpers.xml", "stoplist.txt").
// One folder serves the whole process; the command line sets it from --config before
// any document is made. Until it is set, the folder named by the environment variable
// FERNWEAVE_CONFIG is used, else "config" in the working folder.

#ifndef FERNWEAVE_MODEL_CONFIG_H_
#define FERNWEAVE_MODEL_CONFIG_H_

#include <filesystem>
#include <string_view>

namespace fernweave {

class XMLReader;

inline constexpr char kColorsFileName[] = "colors.xml";
inline constexpr char kLinkTypesFileName[] = "linkTypes.xml";

// The message of the start-up check.
inline constexpr char kMissingConfigurationMessage[] =
    "Fernweave cannot find its configuration files. You may need to reinstall Fernweave.";

// The configuration folder in use.
std::filesystem::path ConfigFolder();
// Makes folder the configuration folder and returns the previous one. An empty path
// goes back to the default described above.
std::filesystem::path SetConfigFolder(const std::filesystem::path& folder);
// The path of a file in the configuration folder (whether or not it exists).
std::filesystem::path ConfigFile(std::string_view name);

// Parses an XML file with reader, silently. False when the file cannot be read (a
// folder is not a file) or is not well-formed XML; else reader->root() holds the
// file's root element.
bool ReadXMLFile(const std::filesystem::path& file, XMLReader* reader);
// Parses a file of the configuration folder with reader. False, without a message,
// when the file cannot be read or is not well-formed XML; else reader->root() holds
// the file's root element.
bool ReadConfigXML(std::string_view name, XMLReader* reader);

// The start-up check: true when the configuration folder holds "colors.xml"; else
// warns kMissingConfigurationMessage once (through `warn`) and returns false.
bool CheckConfiguration();

// Sets the configuration folder while alive and restores the previous one after.
class ScopedConfigFolder {
 public:
  explicit ScopedConfigFolder(const std::filesystem::path& folder)
      : previous_(SetConfigFolder(folder)) {}
  ~ScopedConfigFolder() { SetConfigFolder(previous_); }
  ScopedConfigFolder(const ScopedConfigFolder&) = delete;
  ScopedConfigFolder& operator=(const ScopedConfigFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_CONFIG_H_
