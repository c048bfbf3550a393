#include "window/qt/accessible_roles.h"

#include <QAccessibleWidget>
#include <QVariant>
#include <QWidget>

namespace treadle::qt {
namespace {

constexpr const char* kRoleProperty = "treadleAccessibleRole";

// Qt asks each factory for every class of the object from the most derived on; the first
// interface returned is the object's.
QAccessibleInterface* MarkedWidget(const QString& className, QObject* object) {
    (void)className;
    if (object == nullptr || !object->isWidgetType()) {
        return nullptr;
    }
    const QVariant role = object->property(kRoleProperty);
    if (!role.isValid()) {
        return nullptr;
    }
    return new QAccessibleWidget(static_cast<QWidget*>(object), static_cast<QAccessible::Role>(role.toInt()));
}

}  // namespace

void SetAccessibleRole(QWidget* widget, QAccessible::Role role) {
    widget->setProperty(kRoleProperty, static_cast<int>(role));
}

void InstallAccessibleRoles() {
    static const bool installed = [] {
        QAccessible::installFactory(MarkedWidget);
        return true;
    }();
    (void)installed;
}

}  // namespace treadle::qt
