// fernweave-desktop [FILE] [--config DIR] [--self-test SCRIPT]
// The desktop window on the Fernweave library: opens FILE (or a new document) in a
// window. --self-test runs a script that drives the window through its actions and
// through key and pointer events, and exits 0 when every step held (desktop/gtk/
// self_test.h).

#include <cstring>
#include <iostream>

#include "app/cairo/cairo_draw_context.h"
#include "desktop/gtk/desktop_app.h"
#include "export/export_template.h"
#include "lang/language.h"
#include "model/config.h"

#ifndef FW_CONFIG_DIR
#define FW_CONFIG_DIR "config"
#endif

int main(int argc, char** argv) {
  fernweave::DesktopOptions options;
  std::string config = FW_CONFIG_DIR;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--self-test" || arg == "--config") && i + 1 < argc) {
      if (arg == "--config") {
        config = argv[++i];
      } else {
        options.self_test = std::filesystem::path(argv[++i]);
      }
    } else if (arg == "--help" || arg == "-h") {
      std::cout << "usage: fernweave-desktop [FILE] [--config DIR] [--self-test SCRIPT]\n";
      return 0;
    } else if (!arg.empty() && arg[0] == '-') {
      std::cerr << "fernweave-desktop: unknown option " << arg << "\n";
      return 2;
    } else if (!options.file) {
      options.file = std::filesystem::path(arg);
    } else {
      std::cerr << "fernweave-desktop: one file at a time\n";
      return 2;
    }
  }
  // GTK shares fontconfig and still holds its caches when the process ends.
  fernweave::KeepFontCachesAtExit();
  fernweave::InstallLanguage();
  fernweave::InstallTemplateLanguage();
  fernweave::SetConfigFolder(config);
  auto app = fernweave::DesktopApp::create(options);
  fernweave::CheckConfiguration();
  // GTK sees only the program's name: the arguments are ours.
  char* gtk_argv[] = {argv[0], nullptr};
  const int status = app->run(1, gtk_argv);
  return status != 0 ? status : app->exit_status();
}
