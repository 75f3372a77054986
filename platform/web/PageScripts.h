#pragma once

#include <QString>

class QWebEngineScriptCollection;

namespace platform {

// Scripts the program puts into every frame of a page before the page's own scripts run:
// - in the page's world, what a book has no use for is taken away (WebRTC, the file-system
//   pickers), in every frame, also in the frames a page makes itself, which no script of the
//   program runs in: they are guarded as they load or are reached, their copy refused too;
// - in the program's own world, which the page cannot see or change, the link the user's
//   click or Enter activated is recorded, and the engine's own copy and cut are refused before
//   the page's listeners see them (the user's copy is the program's, see PageCopy), and the
//   find bar reads the page's text and selects its matches (find-text.js, see FindBar).
void addPageScripts(QWebEngineScriptCollection& scripts);

// Asked in the program's world: whether the given address is that of the link the user
// activated within the click window (Limits::userInputValidMs, the program's own window for
// the user's input, so both worlds keep one); if so the link is used up.
QString takeActivatedLinkScript(const QString& url);

}  // namespace platform
