// The program speaks Japanese: Qt's own texts (standard buttons, the file dialogs) must too,
// whatever the user's locale.
#pragma once

class QCoreApplication;
class QTranslator;

namespace vorna {

// Installs Qt's Japanese translations into `app`. Returns the translator (owned by `app`), or
// null when the translations are not installed.
QTranslator* InstallQtTranslations(QCoreApplication& app);

}  // namespace vorna
