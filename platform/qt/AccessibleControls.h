#pragma once

#include <QAccessible>
#include <QString>
#include <functional>

class QWidget;

namespace mf::platform {

// How a hand-drawn control presents itself to a screen reader (and to the
// tests that drive the program through the accessibility interface): a
// role, a name and, for a control that is clicked, a press action that does
// what the click does. Widgets Qt draws itself need none of this.
struct AccessibleControl {
  QAccessible::Role role = QAccessible::Client;
  // The name read out; the widget's own accessible name wins when set.
  std::function<QString()> name;
  // What a press does; a control without one offers no press action.
  std::function<void()> press;
  // Whether the control can be used now, beyond the widget being enabled
  // (a menu item greyed out by its menu).
  std::function<bool()> usable;
};

// Gives `widget` that presentation for the rest of its life. Call it once
// the widget is built; an interface Qt made for it before is replaced.
void MakeAccessible(QWidget& widget, AccessibleControl control);

// A caption as a screen reader should say it: the "&" of a keyboard
// accelerator dropped ("&&" is a literal "&"), blanks at both ends trimmed.
QString AccessibleCaption(const QString& caption);

}  // namespace mf::platform
