// Maps the font names a document carries ("Lucida Grande", "Times", "Monaco") onto the
// free family installed with Fernweave, so a picture comes out the same on every
// machine: serif names onto "DejaVu Serif", fixed-pitch names onto "DejaVu Sans Mono",
// everything else (and the empty name) onto "DejaVu Sans". A name the built-in list
// does not know is classified by fontconfig's own match for it.

#ifndef FERNWEAVE_APP_CAIRO_FONT_MAP_H_
#define FERNWEAVE_APP_CAIRO_FONT_MAP_H_

#include <string>
#include <string_view>

namespace fernweave {

// The installed family to draw `requested` with.
std::string MapFontFamily(std::string_view requested);

// True when fontconfig knows an installed font of exactly that family.
bool FontFamilyInstalled(std::string_view family);

}  // namespace fernweave

#endif  // FERNWEAVE_APP_CAIRO_FONT_MAP_H_
