// Roles Qt's own accessibility interfaces get wrong for some of the window's widgets, put
// right. Qt presents a top-level QWidget as a filler and a boxed QFrame as a frame; a screen
// reader takes a frame for a top-level window of its own, and speaks nothing from inside one
// that is not active. A marked widget is presented with the role it is marked with.
#pragma once

#include <QAccessible>

class QWidget;

namespace treadle::qt {

// Marks `widget` to be presented with `role`; before the widget is first shown.
void SetAccessibleRole(QWidget* widget, QAccessible::Role role);

// Installs the interface factory that honours the marks; once, whatever the calls.
void InstallAccessibleRoles();

}  // namespace treadle::qt
