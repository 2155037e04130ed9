#include "windows/common/window_setup.h"

#include "windows/common/program_icon.h"
#include "windows/common/window_font.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QDialog>
#include <QFocusFrame>
#include <QMainWindow>
#include <QMenuBar>

namespace kalvero {

namespace {
const char* const kRoleProperty = "kalveroAccessibleRole";

// Consulted before Qt's own interfaces, for the windows that carry a role.
QAccessibleInterface* WindowWithRole(const QString& key, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !widget->isWindow())
        return nullptr;
    const QVariant role = widget->property(kRoleProperty);
    // Qt asks once per class from the most derived one up; answer the first.
    if (!role.isValid() || key != QLatin1String(widget->metaObject()->className()))
        return nullptr;
    return new QAccessibleWidget(widget, static_cast<QAccessible::Role>(role.toInt()));
}

// A frame two pixels wide around the control that has the keyboard focus in
// the window; the style's own marks are a thin line on buttons and none on
// lists. The frame is stacked under the control, inside the window.
void ShowKeyboardFocus(QWidget& window) {
    auto* frame = new QFocusFrame(&window);
    QObject::connect(qApp, &QApplication::focusChanged, frame,
                     [frame, &window](QWidget*, QWidget* now) {
                         if (!now || now->window() != &window)
                             return;
                         const bool framed = now != &window && !qobject_cast<QMenuBar*>(now);
                         frame->setWidget(framed ? now : nullptr);
                     });
}
} // namespace

void SetAccessibleRole(QWidget& window, QAccessible::Role role) {
    static const bool installed = (QAccessible::installFactory(WindowWithRole), true);
    (void)installed;
    window.setProperty(kRoleProperty, static_cast<int>(role));
}

void SetUpWindow(QWidget& window) {
    window.setFont(WindowFont());
    window.setWindowIcon(ProgramIcon());
    ShowKeyboardFocus(window);
    if (!qobject_cast<QMainWindow*>(&window) && !qobject_cast<QDialog*>(&window))
        SetAccessibleRole(window, QAccessible::Window);
}

} // namespace kalvero
