// fernweave render FILE [NOTE] --view map|outline|chart|treemap -o OUT.(png|svg|pdf)
//                  [--zoom N] [--size WxH]
// Draws a view of a note (default: the document root) into a picture file and prints
// the file's path. The document is only read.

#include <iostream>
#include <memory>
#include <string>

#include <CLI/CLI.hpp>

#include "app/cairo/view_renderer.h"
#include "app/command.h"
#include "app/document_access.h"
#include "foundation/user_messages.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {

namespace {

// "WxH" with two positive whole numbers, each at most kMaxPictureSide.
bool ParseSize(const std::string& text, int* width, int* height) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) {
    return false;
  }
  auto number = [](const std::string& part, int* out) {
    if (part.empty() || part.size() > 6 || part.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    *out = std::stoi(part);
    return *out >= 1 && *out <= kMaxPictureSide;
  };
  return number(text.substr(0, x), width) && number(text.substr(x + 1), height);
}

}  // namespace

CommandRunner SetUpRenderCommand(CLI::App& sub, const GlobalOptions& /*global*/) {
  struct Args {
    std::string file;
    std::string note;
    std::string view;
    std::string out;
    int zoom = 5;
    std::string size;
  };
  auto args = std::make_shared<Args>();
  sub.add_option("file", args->file, "The document file")->required();
  sub.add_option("note", args->note, "The note whose view is drawn (default: the root)");
  sub.add_option("--view", args->view, "map, outline, chart or treemap")->required();
  sub.add_option("-o,--output", args->out, "The picture: a .png, .svg or .pdf file")->required();
  sub.add_option("--zoom", args->zoom, "The zoom setting (5 is the standard scale; below 1 is 1)");
  sub.add_option("--size", args->size, "The picture's size WxH (default: the content's)");
  return [args]() -> int {
    const std::optional<ViewKind> view = ViewKindNamed(args->view);
    if (!view) {
      Warn("--view must be map, outline, chart or treemap: " + args->view);
      return kExitUsage;
    }
    if (!FormatForPath(args->out)) {
      Warn("the picture's file name must end in .png, .svg or .pdf: " + args->out);
      return kExitUsage;
    }
    RenderOptions options;
    options.view = *view;
    options.zoom = args->zoom;
    if (!args->size.empty() && !ParseSize(args->size, &options.width, &options.height)) {
      Warn("--size must be WIDTHxHEIGHT, each from 1 to " + std::to_string(kMaxPictureSide) +
           ": " + args->size);
      return kExitUsage;
    }
    std::unique_ptr<OrvexDoc> doc;
    Node* note = nullptr;
    if (const int status = OpenAtNote(args->file, args->note, &doc, &note); status != kExitOk) {
      return status;
    }
    const RenderResult result = RenderViewToFile(note, options, args->out);
    if (!result.message.empty()) {
      Warn(result.message);
    }
    if (!result.ok) {
      return kExitFile;
    }
    std::cout << args->out << "\n";
    return kExitOk;
  };
}

}  // namespace fernweave
