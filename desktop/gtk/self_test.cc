#include "desktop/gtk/self_test.h"

#include <chrono>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "desktop/gtk/desktop_app.h"
#include "desktop/gtk/document_window.h"
#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "persist/orvex_doc.h"

// The X headers come last: they define macros (None, Status, Bool) that would clash
// with names in the headers above.
#ifdef FW_HAVE_XTEST
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/x11/gdkx.h>
#endif

namespace fernweave {

namespace {

// Lets the window handle events for `ms` milliseconds.
void Pump(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  Glib::RefPtr<Glib::MainContext> context = Glib::MainContext::get_default();
  do {
    while (context->pending()) {
      context->iteration(false);
    }
    g_usleep(2000);
  } while (std::chrono::steady_clock::now() < end);
}

// Lets the window run until `done` holds, for at most `ms` milliseconds. Under load
// the X server and the window may take far longer than a person's pause to handle a
// click, so steps whose effect can be seen wait for it rather than for a fixed time.
void PumpUntil(const std::function<bool()>& done, int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!done() && std::chrono::steady_clock::now() < end) {
    Pump(10);
  }
}

class SelfTest {
 public:
  SelfTest(DesktopApp* app, DocumentWindow* window, std::function<void(int)> finished)
      : app_(app), window_(window), finished_(std::move(finished)) {}

  bool Load(const std::filesystem::path& script) {
    std::ifstream in(script);
    if (!in) {
      std::cerr << "self-test: cannot read " << script.string() << "\n";
      return false;
    }
    std::string line;
    while (std::getline(in, line)) {
      lines_.push_back(line);
    }
    return true;
  }

  void Next() {
    while (index_ < lines_.size()) {
      const std::string line = lines_[index_++];
      if (line.empty() || line[0] == '#') {
        continue;
      }
      std::cerr << "self-test: " << line << "\n";
      std::string error;
      bool ok = false;
      try {
        ok = Step(line, &error);
      } catch (const std::exception& e) {
        error = e.what();
      }
      if (!ok) {
        std::cerr << "self-test: FAILED at line " << index_ << ": " << line << ": " << error
                  << "\n";
        Finish(1);
        return;
      }
      // Give the window its turn before the next step.
      Glib::signal_timeout().connect_once([this] { Next(); }, 60);
      return;
    }
    std::cerr << "self-test: passed\n";
    Finish(0);
  }

 private:
  void Finish(int status) {
    auto finished = std::move(finished_);
    finished(status);
  }

  Node* Named(const std::string& name) {
    return window_->session().hypertext()->FindNodeNamed(name);
  }

  bool Step(const std::string& line, std::string* error);
  bool Xready(std::string* error);
  bool RootPoint(Gtk::Widget& widget, double x, double y, int* rx, int* ry);
  void Move(int x, int y);
  void Button(bool press);
  // Presses and releases the button `count` times at once: the server stamps each
  // event as it handles it, so a double-click stays one even when the window is slow.
  void Clicks(int count);
  bool Key(const std::string& name, std::string* error);
  bool TypeChar(char c);
#ifdef FW_HAVE_XTEST
  // Presses and releases one key with the modifiers held around it, then lets the
  // window handle the events for `pump_ms`.
  void Stroke(KeyCode code, bool ctrl, bool shift, int pump_ms);
#endif
  bool ClickAt(Gtk::Widget& widget, double x, double y, int count, std::string* error);
  bool NoteCenter(const std::string& name, int* rx, int* ry, std::string* error);

  DesktopApp* app_;
  DocumentWindow* window_;
  std::function<void(int)> finished_;
  std::vector<std::string> lines_;
  size_t index_ = 0;
  std::map<std::string, std::pair<std::string, std::string>> positions_;
#ifdef FW_HAVE_XTEST
  Display* display_ = nullptr;
#endif
};

#ifdef FW_HAVE_XTEST

bool SelfTest::Xready(std::string* error) {
  if (display_ != nullptr) {
    return true;
  }
  GdkDisplay* display = gdk_display_get_default();
  if (!GDK_IS_X11_DISPLAY(display)) {
    *error = "the self-test needs the X11 backend (GDK_BACKEND=x11)";
    return false;
  }
  display_ = gdk_x11_display_get_xdisplay(display);
  int event_base = 0;
  int error_base = 0;
  int major = 0;
  int minor = 0;
  if (!XTestQueryExtension(display_, &event_base, &error_base, &major, &minor)) {
    *error = "the X server has no XTEST extension";
    display_ = nullptr;
    return false;
  }
  // There is no window manager under Xvfb: give the window the keyboard ourselves.
  GdkSurface* surface = gtk_native_get_surface(GTK_NATIVE(window_->gobj()));
  const Window xid = gdk_x11_surface_get_xid(surface);
  XRaiseWindow(display_, xid);
  XSetInputFocus(display_, xid, RevertToPointerRoot, CurrentTime);
  XFlush(display_);
  Pump(200);
  return true;
}

bool SelfTest::RootPoint(Gtk::Widget& widget, double x, double y, int* rx, int* ry) {
  GtkWidget* top = GTK_WIDGET(window_->gobj());
  graphene_point_t in = GRAPHENE_POINT_INIT(static_cast<float>(x), static_cast<float>(y));
  graphene_point_t out;
  if (!gtk_widget_compute_point(widget.gobj(), top, &in, &out)) {
    return false;
  }
  double sx = 0;
  double sy = 0;
  gtk_native_get_surface_transform(GTK_NATIVE(top), &sx, &sy);
  const Window xid = gdk_x11_surface_get_xid(gtk_native_get_surface(GTK_NATIVE(top)));
  Window child = 0;
  XTranslateCoordinates(display_, xid, DefaultRootWindow(display_),
                        static_cast<int>(out.x + sx), static_cast<int>(out.y + sy), rx, ry,
                        &child);
  return true;
}

void SelfTest::Move(int x, int y) {
  XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
  XFlush(display_);
  Pump(25);
}

void SelfTest::Button(bool press) {
  XTestFakeButtonEvent(display_, 1, press ? True : False, CurrentTime);
  XFlush(display_);
  Pump(25);
}

void SelfTest::Clicks(int count) {
  for (int i = 0; i < count; ++i) {
    XTestFakeButtonEvent(display_, 1, True, CurrentTime);
    XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  }
  XFlush(display_);
  Pump(25);
}

bool SelfTest::ClickAt(Gtk::Widget& widget, double x, double y, int count, std::string* error) {
  int rx = 0;
  int ry = 0;
  if (!Xready(error)) {
    return false;
  }
  if (!RootPoint(widget, x, y, &rx, &ry)) {
    *error = "the point is not in the window";
    return false;
  }
  Move(rx, ry);
  Clicks(count);
  Pump(150);
  return true;
}

bool SelfTest::NoteCenter(const std::string& name, int* rx, int* ry, std::string* error) {
  Node* note = Named(name);
  if (note == nullptr) {
    *error = "no note named " + name;
    return false;
  }
  const auto center = window_->map_area().CenterOf(note);
  if (!center) {
    *error = name + " has no box on the map";
    return false;
  }
  if (!Xready(error) || !RootPoint(window_->map_area(), center->first, center->second, rx, ry)) {
    if (error->empty()) {
      *error = "the box is not in the window";
    }
    return false;
  }
  return true;
}

bool SelfTest::TypeChar(char c) {
  KeySym keysym = NoSymbol;
  switch (c) {
    case ' ': keysym = XK_space; break;
    case '.': keysym = XK_period; break;
    case ',': keysym = XK_comma; break;
    case '-': keysym = XK_minus; break;
    case '!': keysym = XK_exclam; break;
    case '?': keysym = XK_question; break;
    case '$': keysym = XK_dollar; break;
    case '=': keysym = XK_equal; break;
    case '"': keysym = XK_quotedbl; break;
    case '(': keysym = XK_parenleft; break;
    case ')': keysym = XK_parenright; break;
    default: {
      const char text[2] = {c, 0};
      keysym = XStringToKeysym(text);
    }
  }
  const KeyCode code = XKeysymToKeycode(display_, keysym);
  if (keysym == NoSymbol || code == 0) {
    return false;
  }
  // Shifted when the key's first level is another symbol (capitals, "!", "?").
  Stroke(code, false, XkbKeycodeToKeysym(display_, code, 0, 0) != keysym, 15);
  return true;
}

void SelfTest::Stroke(KeyCode code, bool ctrl, bool shift, int pump_ms) {
  const KeyCode ctrl_code = XKeysymToKeycode(display_, XK_Control_L);
  const KeyCode shift_code = XKeysymToKeycode(display_, XK_Shift_L);
  if (ctrl) {
    XTestFakeKeyEvent(display_, ctrl_code, True, CurrentTime);
  }
  if (shift) {
    XTestFakeKeyEvent(display_, shift_code, True, CurrentTime);
  }
  XTestFakeKeyEvent(display_, code, True, CurrentTime);
  XTestFakeKeyEvent(display_, code, False, CurrentTime);
  if (shift) {
    XTestFakeKeyEvent(display_, shift_code, False, CurrentTime);
  }
  if (ctrl) {
    XTestFakeKeyEvent(display_, ctrl_code, False, CurrentTime);
  }
  XFlush(display_);
  Pump(pump_ms);
}

bool SelfTest::Key(const std::string& name, std::string* error) {
  if (!Xready(error)) {
    return false;
  }
  std::string key = name;
  bool ctrl = false;
  bool shift = false;
  for (;;) {
    if (key.rfind("ctrl+", 0) == 0) {
      ctrl = true;
      key = key.substr(5);
    } else if (key.rfind("shift+", 0) == 0) {
      shift = true;
      key = key.substr(6);
    } else {
      break;
    }
  }
  const KeySym keysym = XStringToKeysym(key.c_str());
  const KeyCode code = keysym == NoSymbol ? 0 : XKeysymToKeycode(display_, keysym);
  if (code == 0) {
    *error = "no key " + key;
    return false;
  }
  Stroke(code, ctrl, shift, 100);
  return true;
}

#else  // !FW_HAVE_XTEST

bool SelfTest::Xready(std::string* error) {
  *error = "built without XTEST: events cannot be synthesized";
  return false;
}
bool SelfTest::RootPoint(Gtk::Widget&, double, double, int*, int*) { return false; }
void SelfTest::Move(int, int) {}
void SelfTest::Button(bool) {}
void SelfTest::Clicks(int) {}
bool SelfTest::TypeChar(char) { return false; }
bool SelfTest::Key(const std::string&, std::string* error) { return Xready(error); }
bool SelfTest::ClickAt(Gtk::Widget&, double, double, int, std::string* error) {
  return Xready(error);
}
bool SelfTest::NoteCenter(const std::string&, int*, int*, std::string* error) {
  return Xready(error);
}

#endif  // FW_HAVE_XTEST

bool WriteScreenshot(Gtk::Window& window, const std::string& file, std::string* error) {
  GtkWidget* widget = GTK_WIDGET(window.gobj());
  const int width = gtk_widget_get_width(widget);
  const int height = gtk_widget_get_height(widget);
  GdkPaintable* paintable = gtk_widget_paintable_new(widget);
  GskRenderNode* node = nullptr;
  // A window that has just changed its layout draws nothing until its next frame.
  for (int attempt = 0; attempt < 30 && node == nullptr; ++attempt) {
    if (attempt > 0) {
      Pump(100);
    }
    GtkSnapshot* snapshot = gtk_snapshot_new();
    gdk_paintable_snapshot(paintable, snapshot, width, height);
    node = gtk_snapshot_free_to_node(snapshot);
  }
  g_object_unref(paintable);
  if (node == nullptr) {
    *error = "nothing to draw";
    return false;
  }
  GskRenderer* renderer = gtk_native_get_renderer(GTK_NATIVE(widget));
  graphene_rect_t viewport = GRAPHENE_RECT_INIT(0, 0, static_cast<float>(width),
                                                static_cast<float>(height));
  GdkTexture* texture = gsk_renderer_render_texture(renderer, node, &viewport);
  gsk_render_node_unref(node);
  std::filesystem::path path(file);
  if (path.has_parent_path()) {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
  }
  const bool saved = gdk_texture_save_to_png(texture, file.c_str());
  g_object_unref(texture);
  if (!saved) {
    *error = "cannot write " + file;
  }
  return saved;
}

bool SelfTest::Step(const std::string& line, std::string* error) {
  std::istringstream words(line);
  std::string verb;
  words >> verb;
  std::string rest;
  std::getline(words, rest);
  if (!rest.empty() && rest[0] == ' ') {
    rest.erase(0, 1);
  }
  DocumentSession& session = window_->session();
  if (verb == "wait") {
    Pump(std::stoi(rest));
    return true;
  }
  if (verb == "click-note" || verb == "double-click-note") {
    int rx = 0;
    int ry = 0;
    if (!NoteCenter(rest, &rx, &ry, error)) {
      return false;
    }
    Move(rx, ry);
    const bool twice = verb == "double-click-note";
    Clicks(twice ? 2 : 1);
    // A click selects the note; a double-click on a container opens its map. Either
    // way the next click must not count as a further press of this one.
    Node* note = Named(rest);
    PumpUntil(
        [&] {
          return twice ? !note->IsContainer() ||
                             window_->session().selection().MapContainer() == note
                       : window_->session().selection().Primary() == note;
        },
        3000);
    Pump(twice ? 500 : 150);
    return true;
  }
  if (verb == "double-click-map") {
    double x = 0;
    double y = 0;
    std::istringstream(rest) >> x >> y;
    return ClickAt(window_->map_area(), x, y, 2, error);
  }
  if (verb == "drag-note") {
    std::istringstream args(rest);
    std::string name;
    int dx = 0;
    int dy = 0;
    args >> name >> dx >> dy;
    int rx = 0;
    int ry = 0;
    if (!NoteCenter(name, &rx, &ry, error)) {
      return false;
    }
    Move(rx, ry);
    Button(true);
    for (int step = 1; step <= 6; ++step) {
      Move(rx + dx * step / 6, ry + dy * step / 6);
    }
    Button(false);
    Pump(150);
    return true;
  }
  if (verb == "drag-row") {
    // Press on the first note's outline row, move slowly onto the second's, release.
    std::istringstream args(rest);
    std::string from;
    std::string onto;
    args >> from >> onto;
    const auto start = window_->OutlineRowCenter(Named(from));
    const auto end = window_->OutlineRowCenter(Named(onto));
    int sx = 0;
    int sy = 0;
    int ex = 0;
    int ey = 0;
    if (!start || !end || !Xready(error) ||
        !RootPoint(window_->outline(), start->first, start->second, &sx, &sy) ||
        !RootPoint(window_->outline(), end->first, end->second, &ex, &ey)) {
      if (error->empty()) {
        *error = "no outline row for " + from + " or " + onto;
      }
      return false;
    }
    Move(sx, sy);
    Button(true);
    for (int step = 1; step <= 12; ++step) {
      Move(sx + (ex - sx) * step / 12, sy + (ey - sy) * step / 12);
      Pump(20);
    }
    Pump(200);
    Button(false);
    Pump(400);
    return true;
  }
  if (verb == "click-row") {
    const auto center = window_->OutlineRowCenter(Named(rest));
    int x = 0;
    int y = 0;
    if (!center || !Xready(error) ||
        !RootPoint(window_->outline(), center->first, center->second, &x, &y)) {
      if (error->empty()) {
        *error = "no outline row for " + rest;
      }
      return false;
    }
    Move(x, y);
    Clicks(1);
    Pump(150);
    return true;
  }
  if (verb == "expect-find") {
    // expect-find N MESSAGE: N matches listed and the message line reads MESSAGE.
    const size_t space = rest.find(' ');
    const size_t count = std::stoul(rest.substr(0, space));
    const std::string message = space == std::string::npos ? "" : rest.substr(space + 1);
    if (window_->find_match_count() != count || window_->find_message() != message) {
      *error = std::to_string(window_->find_match_count()) + " listed, message \"" +
               window_->find_message() + "\"";
      return false;
    }
    return true;
  }
  if (verb == "expect-parent") {
    std::istringstream args(rest);
    std::string name;
    std::string parent;
    args >> name >> parent;
    Node* note = Named(name);
    if (note == nullptr || note->Father() == nullptr || note->Father()->Name() != parent) {
      *error = note == nullptr ? "no such note" : "parent: " + note->Father()->Name();
      return false;
    }
    return true;
  }
  if (verb == "click-text") {
    if (!ClickAt(window_->note_pane().text_view(), 8, 8, 1, error)) {
      return false;
    }
    return Key("ctrl+End", error);
  }
  if (verb == "type") {
    if (!Xready(error)) {
      return false;
    }
    for (char c : rest) {
      if (!TypeChar(c)) {
        *error = std::string("cannot type '") + c + "'";
        return false;
      }
    }
    Pump(100);
    return true;
  }
  if (verb == "key") {
    return Key(rest, error);
  }
  if (verb == "action") {
    const std::string name = rest;
    if (name.rfind("app.", 0) == 0) {
      app_->activate_action(name.substr(4));
    } else {
      window_->activate_action(name);
    }
    Pump(150);
    return true;
  }
  if (verb == "expect-selected") {
    Node* primary = session.selection().Primary();
    if (primary == nullptr || primary->Name() != rest) {
      *error = "selected: " + (primary == nullptr ? std::string("nothing") : primary->Name());
      return false;
    }
    return true;
  }
  if (verb == "expect-title") {
    if (window_->get_title().raw() != rest) {
      *error = "title: " + window_->get_title().raw();
      return false;
    }
    return true;
  }
  if (verb == "expect-text") {
    const size_t space = rest.find(' ');
    Node* note = Named(rest.substr(0, space));
    const std::string want = space == std::string::npos ? "" : rest.substr(space + 1);
    if (note == nullptr || note->GetOriginal()->GetText().find(want) == std::string::npos) {
      *error = note == nullptr ? "no such note" : "text: " + note->GetOriginal()->GetText();
      return false;
    }
    return true;
  }
  if (verb == "expect-undo") {
    if (session.UndoItemText() != rest) {
      *error = "undo item: " + session.UndoItemText();
      return false;
    }
    return true;
  }
  if (verb == "remember-position" || verb == "expect-position") {
    std::istringstream args(rest);
    std::string name;
    std::string how;
    args >> name >> how;
    Node* note = Named(name);
    if (note == nullptr) {
      *error = "no note named " + name;
      return false;
    }
    const std::pair<std::string, std::string> now{note->GetString("Xpos"), note->GetString("Ypos")};
    if (verb == "remember-position") {
      positions_[name] = now;
      return true;
    }
    const bool same = positions_[name] == now;
    if (same != (how == "same")) {
      *error = "position " + now.first + "," + now.second;
      return false;
    }
    return true;
  }
  if (verb == "check-saved" || verb == "check-saved-position") {
    if (!session.doc().HasFile()) {
      *error = "the document has no file";
      return false;
    }
    std::unique_ptr<OrvexDoc> saved = OrvexDoc::Create(session.doc().File());
    if (saved == nullptr) {
      *error = "the saved file does not open";
      return false;
    }
    const size_t space = rest.find(' ');
    const std::string path = rest.substr(0, space);
    const std::string want = space == std::string::npos ? "" : rest.substr(space + 1);
    Node* note = HTPath(path).Get(saved->GetHypertext()->Root());
    if (note == nullptr) {
      *error = "no note " + path + " in the saved file";
      return false;
    }
    if (verb == "check-saved") {
      if (note->GetText().find(want) == std::string::npos) {
        *error = "saved text: " + note->GetText();
        return false;
      }
      return true;
    }
    const std::pair<std::string, std::string> there{note->GetString("Xpos"),
                                                    note->GetString("Ypos")};
    if (positions_[note->Name()] != there) {
      *error = "saved position " + there.first + "," + there.second;
      return false;
    }
    return true;
  }
  if (verb == "screenshot") {
    Pump(200);
    return WriteScreenshot(*window_, rest, error);
  }
  *error = "unknown step";
  return false;
}

}  // namespace

void StartSelfTest(DesktopApp* app, DocumentWindow* window, const std::filesystem::path& script,
                   std::function<void(int)> finished) {
  // The test lives as long as the application; it starts once the window is on screen.
  static std::unique_ptr<SelfTest> running;
  running = std::make_unique<SelfTest>(app, window, finished);
  if (!running->Load(script)) {
    finished(1);
    return;
  }
  Glib::signal_timeout().connect_once([] { running->Next(); }, 500);
}

}  // namespace fernweave
