#pragma once
// The framework's own texts (the buttons and labels of the file, folder and
// print dialogs, the standard message boxes, an edit's context menu) in
// Traditional Chinese, the language the windows' texts lead with. The
// catalogues are Qt's own, as the system's Qt installation supplies them.
#include <QString>

namespace r56::platform {

// The folder the catalogues are read from: Qt's translations folder.
QString qtTranslationsPath();

// Loads and installs Qt's catalogues for Traditional Chinese ("qt_zh_TW" and
// "qtbase_zh_TW"); call once at the start of each program, after the
// application object exists. False when none could be loaded (the texts
// then stay in English).
bool installQtTranslations();

} // namespace r56::platform
