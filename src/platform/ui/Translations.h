#pragma once
// The toolkit's own texts (edit menus, the file dialog, message-box buttons) in the user's language.

#include <QLocale>

namespace pardova::platform {

// Loads the toolkit's translation catalogues for the locale from the toolkit's translations folder and
// installs them in the application, replacing what an earlier call installed. The program's own texts are
// fixed and never translated. False when no catalogue for the locale's languages is found; the toolkit
// then speaks English.
bool LoadToolkitTranslations(const QLocale& locale = QLocale::system());

} // namespace pardova::platform
