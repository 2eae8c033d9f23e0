// The window's self-test: a script, one step a line, that drives a real window through
// its actions and through key and pointer events sent to the X server (XTEST), so they
// arrive through GDK and the widgets' own controllers exactly as a person's would. It
// checks what the window and the model show, saves, reads the saved file back with the
// library, and writes a screenshot. Lines:
//
//   # comment
//   click-note NAME            click the box of the note on the map
//   double-click-note NAME     double-click it (a container opens its map)
//   double-click-map X Y       double-click the map at X, Y (empty ground makes a note)
//   drag-note NAME DX DY       press on the box, move by DX, DY, release
//   click-row NAME             click the note's row in the outline
//   drag-row NAME ONTO         drag the note's outline row onto another's
//   click-text                 click into the note's text, the caret put at its end
//   type TEXT                  type the text (ASCII) as key presses
//   key KEY                    one key, such as Return, Tab or ctrl+z
//   action NAME                activate a window or application action (win.save)
//   wait MS                    let the window run for MS milliseconds
//   expect-selected NAME       the note pane shows the note of that name
//   expect-title TEXT          the window's title
//   expect-text NAME TEXT      the note's text contains TEXT
//   expect-undo TEXT           the Undo item's text ("Undo Move")
//   expect-parent NAME PARENT  the note's parent is named PARENT
//   expect-find N MESSAGE      Find lists N matches and shows MESSAGE
//   remember-position NAME     note the note's Xpos and Ypos
//   expect-position NAME same|moved   compared with the remembered position
//   check-saved PATH TEXT      read the document's file with the library: the note at
//                              PATH exists and its text contains TEXT (may be empty)
//   check-saved-position PATH  and it stands at the position remembered for its name
//   screenshot FILE            write the window as a PNG
//
// The run ends at the first failed step (exit status 1) or at the end (0).

#ifndef FERNWEAVE_DESKTOP_GTK_SELF_TEST_H_
#define FERNWEAVE_DESKTOP_GTK_SELF_TEST_H_

#include <filesystem>
#include <functional>

namespace fernweave {

class DesktopApp;
class DocumentWindow;

void StartSelfTest(DesktopApp* app, DocumentWindow* window, const std::filesystem::path& script,
                   std::function<void(int)> finished);

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_GTK_SELF_TEST_H_
