#include "charedit/gui/TaddImageForm.h"

namespace mf {

TaddImageForm::TaddImageForm(PictureHost& host, platform::Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), host_(host), dialogs_(dialogs) {}

TaddImageForm::~TaddImageForm() = default;

// FIXME: the picture list and fields land with the next change.
void TaddImageForm::Prepare(bool) {}

bool TaddImageForm::PictureWindowShowing() const { return isVisible(); }

}  // namespace mf
