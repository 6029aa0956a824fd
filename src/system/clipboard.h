// The system clipboard for game text. With the window system up it is the desktop's
// clipboard; before that (and in headless runs) a text held by this process stands in.
#pragma once

#include <string>
#include <string_view>

namespace tb {

bool ClipboardHasText();
// The clipboard's text in the game's single-byte code page; empty when it holds none.
std::string ClipboardText();
void SetClipboardText(std::string_view text);

// Desktop clipboards hold UTF-8. Characters that Windows-1252 has become its single bytes;
// others keep their UTF-8 bytes (which still display as themselves); invalid bytes pass.
std::string Utf8ToGameText(std::string_view utf8);

}  // namespace tb
