#pragma once

#include <gtest/gtest.h>

#include <QObject>
#include <QString>

namespace mf {

// A window's control by its object name, as the tests reach the controls a
// window keeps to itself. A missing one fails the test where it is asked
// for.
template <class T>
T* Control(const QObject& window, const char* name) {
  T* control = window.findChild<T*>(QString::fromLatin1(name));
  if (control == nullptr) ADD_FAILURE() << "no control named " << name;
  return control;
}

}  // namespace mf
