#pragma once

class QCoreApplication;

namespace mf {

// Makes Qt's own texts (the buttons of message boxes, the file dialog) and
// its formats Japanese, whatever the user's locale: the program speaks only
// Japanese. Qt's translations come from its translation folder; false when
// they are not installed (Qt's texts then stay English).
bool UseJapaneseInterface(QCoreApplication& application);

}  // namespace mf
