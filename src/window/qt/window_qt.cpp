#include "window/qt/window_qt.h"

#include "window/accessibility.h"
#include "window/focus_order.h"
#include "window/qt/accessible_roles.h"
#include "window/qt/qt_look.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace treadle::qt {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A label the user can click (the maker's label opens the guide). Given the focus by Tab, it
// takes Space, Enter and Return as a click and shows a dotted frame in its text's colour.
class ClickableLabel final : public QLabel {
  public:
    explicit ClickableLabel(std::function<void()> onClick, QWidget* parent)
        : QLabel(parent), onClick_(std::move(onClick)) {}

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        QLabel::mouseReleaseEvent(event);
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
            onClick_();
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        const int key = event->key();
        if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
            onClick_();
            event->accept();
        } else {
            QLabel::keyPressEvent(event);
        }
    }
    void paintEvent(QPaintEvent* event) override {
        QLabel::paintEvent(event);
        if (hasFocus()) {
            QPainter painter(this);
            painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
            painter.drawRect(rect().adjusted(0, 0, -1, -1));
        }
    }
    void focusInEvent(QFocusEvent* event) override {
        QLabel::focusInEvent(event);
        update();
    }
    void focusOutEvent(QFocusEvent* event) override {
        QLabel::focusOutEvent(event);
        update();
    }

  private:
    std::function<void()> onClick_;
};

// The activity log. A line the model makes current while the focus is elsewhere moves no
// focus: Qt's list would tell a screen reader that the focus went to the line.
class LogList final : public QListWidget {
  public:
    using QListWidget::QListWidget;

  protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override {
        if (hasFocus()) {
            QListWidget::currentChanged(current, previous);
        } else {
            QAbstractItemView::currentChanged(current, previous);
        }
    }
};

// Sets a back and fore colour in every pair of roles given; the disabled look keeps the back
// colour and the style's grey text.
void SetPalette(QWidget* widget, const QColor& back, const QColor& fore,
                std::initializer_list<std::pair<QPalette::ColorRole, QPalette::ColorRole>> roles) {
    QPalette palette = widget->palette();
    for (const auto& [backRole, foreRole] : roles) {
        for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
            palette.setColor(group, backRole, back);
            palette.setColor(group, foreRole, fore);
        }
        palette.setColor(QPalette::Disabled, backRole, back);
    }
    widget->setPalette(palette);
}

// An X11 DestroyNotify event as the X protocol lays it out: code 17 in byte 0 (the top bit
// marks a sent event), the window destroyed in bytes 8 to 11.
bool IsDestroyNotifyOf(const QByteArray& eventType, const void* message, WId window) {
    constexpr std::uint8_t kDestroyNotify = 17;
    constexpr size_t kWindowOffset = 8;
    if (eventType != "xcb_generic_event_t" || message == nullptr || window == 0) {
        return false;
    }
    const auto* bytes = static_cast<const std::uint8_t*>(message);
    if ((bytes[0] & 0x7F) != kDestroyNotify) {
        return false;
    }
    std::uint32_t destroyed = 0;
    std::memcpy(&destroyed, bytes + kWindowOffset, sizeof destroyed);
    return destroyed == window;
}

}  // namespace

bool NativeWindowWatch::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) {
    (void)result;
    if (IsDestroyNotifyOf(eventType, message, window_.internalWinId())) {
        window_.NativeWindowDestroyed();
    }
    return false;  // Qt sees the event as well
}

// Space presses the focused button as a click does, Enter and Return at once; every other key
// goes on to the window.
void PanelButton::keyPressEvent(QKeyEvent* event) {
    if (event->modifiers() != Qt::NoModifier && event->modifiers() != Qt::KeypadModifier) {
        event->ignore();
    } else if (event->key() == Qt::Key_Space) {
        QPushButton::keyPressEvent(event);
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!event->isAutoRepeat()) {
            click();
        }
        event->accept();
    } else {
        event->ignore();
    }
}

void PanelButton::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space) {
        QPushButton::keyReleaseEvent(event);
    } else {
        event->ignore();
    }
}

MainWindow::MainWindow(WindowServices services, WindowOptions options, QWidget* parent)
    : QWidget(parent), model_(services, options), renderer_(model_, *this) {
    // The window is a window to a screen reader, named by its title.
    InstallAccessibleRoles();
    SetAccessibleRole(this, QAccessible::Window);
    setWindowTitle(Q(model_.Caption));
    setWindowIcon(QIcon(QStringLiteral(":/icons/treadle.png")));
    setFixedSize(TwipsToPixels(model_.ClientWidth()), TwipsToPixels(model_.ClientHeight()));
    setFont(ToQFont(model_.DefaultFont));
    setAutoFillBackground(true);
    SetPalette(this, ToQColor(USB::kBackColor), ToQColor(colors::kWindowText),
               {{QPalette::Window, QPalette::WindowText}});

    // Shows nothing: a notification a screen reader speaks when it appears; made before the
    // controls, whose first rendering may add a list's lines.
    announcer_ = new QWidget(this);
    announcer_->setGeometry(0, 0, 0, 0);
    SetAccessibleRole(announcer_, QAccessible::Notification);

    // Containers come before their children, so each parent exists when a child is made.
    for (const Control& c : model_.Controls()) {
        Control& control = const_cast<Control&>(c);
        if (control.kind == ControlKind::Timer) {
            continue;
        }
        QWidget* parentWidget = this;
        if (!control.container.empty()) {
            Control* container = model_.Find(control.container);
            parentWidget = container != nullptr ? WidgetFor(*container) : nullptr;
            if (parentWidget == nullptr) {
                parentWidget = this;
            }
        }
        QWidget* widget = CreateWidget(control, parentWidget);
        widget->setObjectName(Q(control.DisplayName()));
        widget->setGeometry(ToPixels(control.place));
        widget->setFont(ToQFont(control.font));
        widgets_[&control] = widget;
        RenderAll(control);
        Connect(control, widget);
    }
    ApplyFocusOrder();

    timer_.setInterval(USB::kTimerInterval);
    connect(&timer_, &QTimer::timeout, this, [this] { model_.TimerTick(); });
    model_.AddChangeListener([this](const Control& control, Property property) { Render(control, property); });
    QCoreApplication::instance()->installNativeEventFilter(&watch_);
}

MainWindow::~MainWindow() {
    QCoreApplication::instance()->removeNativeEventFilter(&watch_);
    Unload();
    // The widgets go while the model still exists, and without reporting anything to it.
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : findChildren<QWidget*>()) {
        child->blockSignals(true);
    }
    widgets_.clear();
    qDeleteAll(children);
}

QWidget* MainWindow::WidgetFor(const Control& control) const {
    const auto it = widgets_.find(&control);
    return it == widgets_.end() ? nullptr : it->second;
}

QWidget* MainWindow::CreateWidget(Control& control, QWidget* parent) {
    switch (control.kind) {
        case ControlKind::Frame: {
            if (!control.Text().empty()) {
                return new QGroupBox(parent);
            }
            auto* frame = new QFrame(parent);
            frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
            frame->setAutoFillBackground(true);
            // A named group, not a frame: a screen reader speaks the controls inside it.
            SetAccessibleRole(frame, QAccessible::Grouping);
            return frame;
        }
        case ControlKind::Label: {
            auto* label = new ClickableLabel([this, &control] { model_.UserClick(control); }, parent);
            if (RoleOf(control) == AccessibleRole::Link) {
                SetAccessibleRole(label, QAccessible::Link);
            }
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(control.wordWrap);
            label->setAutoFillBackground(true);
            return label;
        }
        case ControlKind::Button: {
            auto* button = new PanelButton(parent);
            // Tab brings the focus, a click does not: the mouse leaves no focus mark.
            button->setFocusPolicy(Qt::TabFocus);
            button->setAutoDefault(false);
            button->setCheckable(RoleOf(control) == AccessibleRole::ToggleButton);
            return button;
        }
        case ControlKind::ComboBox: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            return combo;
        }
        case ControlKind::CheckBox: {
            auto* check = new QCheckBox(parent);
            check->setAutoFillBackground(true);
            return check;
        }
        case ControlKind::OptionButton: {
            auto* option = new QRadioButton(parent);
            option->setAutoExclusive(false);  // the model selects one and clears the others
            option->setAutoFillBackground(true);
            return option;
        }
        case ControlKind::TextBox:
            return new QLineEdit(parent);
        case ControlKind::ListBox: {
            auto* list = new LogList(parent);
            list->setSelectionMode(QAbstractItemView::SingleSelection);
            list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            list->setUniformItemSizes(true);
            return list;
        }
        case ControlKind::Timer:
            break;
    }
    return new QWidget(parent);
}

// Each forwarded event is followed by a render of the control, so a widget the model did not
// follow (busy, disabled, refused) shows the model's state again.
void MainWindow::Connect(Control& control, QWidget* widget) {
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        connect(button, &QPushButton::clicked, this, [this, &control, button] {
            model_.UserClick(control);
            // A checkable button turned itself over; it shows the model's state again.
            if (const std::optional<bool> pressed = TogglePressed(model_, control)) {
                const QSignalBlocker blocker(button);
                button->setChecked(*pressed);
            }
        });
    } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        connect(option, &QRadioButton::clicked, this, [this, &control] {
            model_.UserClick(control);
            RenderAll(control);
        });
    } else if (auto* check = qobject_cast<QCheckBox*>(widget)) {
        connect(check, &QCheckBox::clicked, this, [this, &control, check] {
            model_.UserSetCheck(control, check->checkState() == Qt::Checked ? 1 : 0);
            RenderAll(control);
        });
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, &control](const QString& text) {
            model_.UserEditText(control, text.toStdString());
            RenderAll(control);
        });
        connect(combo, &QComboBox::activated, this, [this, &control](int index) {
            model_.UserSelectItem(control, index);
            RenderAll(control);
        });
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        connect(edit, &QLineEdit::textEdited, this, [this, &control](const QString& text) {
            model_.UserEditText(control, text.toStdString());
            RenderAll(control);
        });
    } else if (auto* list = qobject_cast<QListWidget*>(widget)) {
        connect(list, &QListWidget::currentRowChanged, this, [this, &control](int row) {
            model_.UserSelectItem(control, row);
            RenderAll(control);
        });
    }
}

void MainWindow::RenderAll(const Control& control) {
    const QSignalBlocker blocker(WidgetFor(control));
    renderer_.RenderAll(control);
}

void MainWindow::Render(const Control& control, Property property) {
    const QSignalBlocker blocker(WidgetFor(control));
    renderer_.Render(control, property);
}

// ---- The renderer's setters ---------------------------------------------------------------

bool MainWindow::Shows(const Control& control) const { return WidgetFor(control) != nullptr; }

PixelRect MainWindow::Pixels(const Twips& place) const {
    const QRect r = ToPixels(place);
    return {r.left(), r.top(), r.width(), r.height()};
}

int MainWindow::TextWidth(const Control& control, const std::string& text) const {
    return WidgetFor(control)->fontMetrics().horizontalAdvance(Q(text));
}

int MainWindow::ContainerWidth(const Control& control) const {
    const QWidget* parent = WidgetFor(control)->parentWidget();
    // Without a parent a widget has no room beyond its own place.
    return parent != nullptr ? parent->width() : Pixels(control.place).Right();
}

void MainWindow::SetCaption(const Control& control, const std::string& text) {
    QWidget* widget = WidgetFor(control);
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(Q(text));
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(Q(text));
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(Q(text));
    }
}

void MainWindow::SetEditText(const Control& control, const std::string& text) {
    QWidget* widget = WidgetFor(control);
    const QString shown = Q(text);
    if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->currentText() != shown) {
            combo->setEditText(shown);
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text() != shown) {
            // The cursor stays where it was, or at the end of a shorter text.
            const int cursor = edit->cursorPosition();
            edit->setText(shown);
            edit->setCursorPosition(std::min(cursor, static_cast<int>(shown.size())));
        }
    }
}

void MainWindow::SetSize(const Control& control, int width, int height) { WidgetFor(control)->resize(width, height); }

void MainWindow::SetColors(const Control& control, std::uint32_t back, std::uint32_t fore) {
    QWidget* widget = WidgetFor(control);
    const QColor backColor = ToQColor(back);
    const QColor foreColor = ToQColor(fore);
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setStyleSheet(GroupBoxStyleSheet(backColor, foreColor, box->fontMetrics().height()));
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setStyleSheet(ButtonStyleSheet(backColor, foreColor) + FocusMarkStyleSheet());
    } else if (qobject_cast<QLineEdit*>(widget) != nullptr || qobject_cast<QComboBox*>(widget) != nullptr ||
               qobject_cast<QListWidget*>(widget) != nullptr) {
        SetPalette(widget, backColor, foreColor, {{QPalette::Base, QPalette::Text}});
    } else {
        // Buttons paint their background in the Button role, labels and frames in Window.
        SetPalette(widget, backColor, foreColor,
                   {{QPalette::Window, QPalette::WindowText}, {QPalette::Button, QPalette::ButtonText}});
    }
}

void MainWindow::SetEnabled(const Control& control, bool enabled) { WidgetFor(control)->setEnabled(enabled); }

void MainWindow::SetVisible(const Control& control, bool visible) { WidgetFor(control)->setVisible(visible); }

void MainWindow::SetCheck(const Control& control, CheckMark mark) {
    QWidget* widget = WidgetFor(control);
    if (auto* check = qobject_cast<QCheckBox*>(widget)) {
        check->setTristate(mark == CheckMark::Grey);
        check->setCheckState(mark == CheckMark::Checked ? Qt::Checked
                             : mark == CheckMark::Grey  ? Qt::PartiallyChecked
                                                        : Qt::Unchecked);
    } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        option->setChecked(mark != CheckMark::Unchecked);
    }
}

void MainWindow::ClearItems(const Control& control) {
    QWidget* widget = WidgetFor(control);
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        list->clear();
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->clear();
    }
}

void MainWindow::AppendItems(const Control& control, std::span<const std::string> items) {
    QWidget* widget = WidgetFor(control);
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        for (const std::string& item : items) {
            list->addItem(Q(item));
        }
        // A screen reader hears of the newest line through the list's description, and speaks
        // it from the notification, wherever the focus is.
        if (!items.empty()) {
            list->setAccessibleDescription(Q(items.back()));
            Announce(Q(items.back()));
        }
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        for (const std::string& item : items) {
            combo->addItem(Q(item));
        }
    }
}

void MainWindow::Announce(const QString& text) {
    announcer_->setAccessibleName(text);
    announcer_->hide();
    announcer_->show();
}

void MainWindow::SelectItem(const Control& control, int index) {
    QWidget* widget = WidgetFor(control);
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        if (index < 0) {
            list->setCurrentRow(-1);
            list->clearSelection();
            return;
        }
        list->setCurrentRow(index);
        list->scrollToItem(list->item(index));
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->setCurrentIndex(index);
    }
}

void MainWindow::SetAccessibleName(const Control& control, const std::string& name) {
    WidgetFor(control)->setAccessibleName(Q(name));
}

void MainWindow::SetPressed(const Control& control, bool pressed) {
    if (auto* button = qobject_cast<QAbstractButton*>(WidgetFor(control))) {
        button->setChecked(pressed);
    }
}

void MainWindow::SetTimerRunning(bool running) {
    if (running) {
        timer_.start();
    } else {
        timer_.stop();
    }
}

// ---- The window's life ----------------------------------------------------------------------

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    renderer_.Load();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Unload();
    event->accept();
}

void MainWindow::NativeWindowDestroyed() {
    // Not from inside the native event's handling: Qt is still delivering it.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::Unload() { renderer_.Unload(); }

// Keys that no control took: the window's key event. It records nothing.
void MainWindow::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (!text.isEmpty()) {
        model_.Form_KeyPress(static_cast<int>(text.at(0).unicode()));
    }
    event->accept();
}

// ---- The keyboard ---------------------------------------------------------------------------

// Tab follows the model's focus order; nothing else takes the focus. The arrow keys of an
// option button go to the window's filter.
void MainWindow::ApplyFocusOrder() {
    const std::vector<const Control*> order = FocusOrder(model_);
    for (const auto& [control, widget] : widgets_) {
        if (std::find(order.begin(), order.end(), control) == order.end()) {
            widget->setFocusPolicy(Qt::NoFocus);
        } else if (qobject_cast<QLabel*>(widget) != nullptr) {
            widget->setFocusPolicy(Qt::TabFocus);  // the guide's link
        } else if (ArrowGroup(model_, *control).size() > 1) {
            widget->installEventFilter(this);
        }
    }
    for (size_t i = 1; i < order.size(); ++i) {
        setTabOrder(WidgetFor(*order[i - 1]), WidgetFor(*order[i]));
    }
    // A label that names a box is its buddy: on Linux a combo box's name is its text, and a
    // screen reader finds the name through this relation.
    for (const Control* c : order) {
        if (const Control* label = NamingLabel(model_, *c)) {
            if (auto* shown = qobject_cast<QLabel*>(WidgetFor(*label))) {
                shown->setBuddy(WidgetFor(*c));
            }
        }
    }
}

QWidget* MainWindow::WidgetControl(QObject* object, const Control** control) const {
    for (const auto& [c, widget] : widgets_) {
        if (widget == object) {
            *control = c;
            return widget;
        }
    }
    return nullptr;
}

// Up and Left select the option before the focused one, Down and Right the one after it, as a
// click on it does; the focus goes along.
bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    const Control* control = nullptr;
    if (event->type() != QEvent::KeyPress || WidgetControl(watched, &control) == nullptr) {
        return QWidget::eventFilter(watched, event);
    }
    const int key = static_cast<QKeyEvent*>(event)->key();
    int step = 0;
    if (key == Qt::Key_Up || key == Qt::Key_Left) {
        step = -1;
    } else if (key == Qt::Key_Down || key == Qt::Key_Right) {
        step = 1;
    }
    const std::vector<const Control*> group = ArrowGroup(model_, *control);
    const auto at = std::find(group.begin(), group.end(), control);
    if (step == 0 || at == group.end()) {
        return QWidget::eventFilter(watched, event);
    }
    const auto size = static_cast<long>(group.size());
    const long next = ((at - group.begin()) + step + size) % size;
    Control& target = const_cast<Control&>(*group[static_cast<size_t>(next)]);
    WidgetFor(target)->setFocus(Qt::TabFocusReason);
    model_.UserClick(target);
    RenderAll(target);
    return true;
}

}  // namespace treadle::qt
