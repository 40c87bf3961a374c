#include "platform/qt/AccessibleControls.h"

#include <QAccessibleWidget>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

namespace mf::platform {
namespace {

// Kept as a child of the widget it describes, so that it lives exactly as
// long as the widget and the interface factory finds it there.
class ControlRecord final : public QObject {
 public:
  ControlRecord(QWidget& widget, AccessibleControl control) : QObject(&widget), control(std::move(control)) {}
  AccessibleControl control;
};

ControlRecord* RecordOf(QObject* object) {
  if (!object) return nullptr;
  for (QObject* child : object->children()) {
    if (auto* record = dynamic_cast<ControlRecord*>(child)) return record;
  }
  return nullptr;
}

class HandDrawnControl final : public QAccessibleWidget {
 public:
  HandDrawnControl(QWidget* widget, QAccessible::Role role) : QAccessibleWidget(widget, role) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty() && Control() && Control()->name) {
      return Control()->name();
    }
    return QAccessibleWidget::text(t);
  }

  QAccessible::State state() const override {
    QAccessible::State state = QAccessibleWidget::state();
    if (!Usable()) state.disabled = true;
    return state;
  }

  QStringList actionNames() const override {
    QStringList names = QAccessibleWidget::actionNames();
    // Offered while greyed out too, as Qt's buttons do; the disabled state
    // says it will do nothing.
    if (Control() && Control()->press) names.prepend(pressAction());
    return names;
  }

  void doAction(const QString& action) override {
    if (action != pressAction() || !Control() || !Control()->press) {
      QAccessibleWidget::doAction(action);
      return;
    }
    if (!Usable()) return;
    // The press runs once the accessibility call has returned: a press
    // that opens a modal window would otherwise keep the screen reader
    // waiting until that window closes.
    QMetaObject::invokeMethod(
        widget(), [press = Control()->press, target = QPointer<QWidget>(widget())] {
          if (target && target->isEnabled()) press();
        },
        Qt::QueuedConnection);
  }

  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  // Looked up on each use: the record may be replaced while Qt keeps this
  // interface.
  const AccessibleControl* Control() const {
    const ControlRecord* record = RecordOf(widget());
    return record ? &record->control : nullptr;
  }
  bool Usable() const {
    return widget()->isEnabled() && (!Control() || !Control()->usable || Control()->usable());
  }
};

QAccessibleInterface* HandDrawnFactory(const QString&, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (!widget) return nullptr;
  const ControlRecord* record = RecordOf(widget);
  return record ? new HandDrawnControl(widget, record->control.role) : nullptr;
}

}  // namespace

void MakeAccessible(QWidget& widget, AccessibleControl control) {
  static const bool installed = [] {
    QAccessible::installFactory(&HandDrawnFactory);
    return true;
  }();
  (void)installed;
  if (ControlRecord* old = RecordOf(&widget)) delete old;
  new ControlRecord(widget, std::move(control));
  // Qt may have made a plain interface already (a label announces its text
  // while it is being built); the next query must come to the factory.
  if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&widget);
      made && (!dynamic_cast<HandDrawnControl*>(made) || made->role() != RecordOf(&widget)->control.role)) {
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
  }
}

QString AccessibleCaption(const QString& caption) {
  QString plain;
  plain.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    QChar c = caption[i];
    if (c == QLatin1Char('&')) {
      // "&x" reads as "x" and "&&" as "&"; a lone "&" at the end is dropped.
      if (i + 1 == caption.size()) break;
      c = caption[++i];
    }
    plain += c;
  }
  return plain.trimmed();
}

}  // namespace mf::platform
