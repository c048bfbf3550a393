#include "window/qt/window_qt.h"

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
#include <QRadioButton>
#include <QSignalBlocker>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <functional>
#include <initializer_list>
#include <utility>

namespace treadle::qt {
namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

// A label the user can click (the maker's label opens the guide).
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

  private:
    std::function<void()> onClick_;
};

// Sets a back and fore colour in every pair of roles given; the disabled look keeps the back
// colour and the style's grey text.
void SetColors(QWidget* widget, const QColor& back, const QColor& fore,
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

void PanelButton::keyPressEvent(QKeyEvent* event) { event->ignore(); }
void PanelButton::keyReleaseEvent(QKeyEvent* event) { event->ignore(); }

MainWindow::MainWindow(WindowServices services, WindowOptions options, QWidget* parent)
    : QWidget(parent), model_(services, options) {
    setWindowTitle(Q(model_.Caption));
    setWindowIcon(QIcon(QStringLiteral(":/icons/treadle.png")));
    setFixedSize(TwipsToPixels(model_.ClientWidth()), TwipsToPixels(model_.ClientHeight()));
    setFont(ToQFont(model_.DefaultFont));
    setAutoFillBackground(true);
    SetColors(this, ToQColor(USB::kBackColor), ToQColor(colors::kWindowText),
              {{QPalette::Window, QPalette::WindowText}});

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
            return frame;
        }
        case ControlKind::Label: {
            auto* label = new ClickableLabel([this, &control] { model_.UserClick(control); }, parent);
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            label->setWordWrap(control.wordWrap);
            label->setAutoFillBackground(true);
            return label;
        }
        case ControlKind::Button: {
            auto* button = new PanelButton(parent);
            button->setFocusPolicy(Qt::NoFocus);
            button->setAutoDefault(false);
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
            auto* list = new QListWidget(parent);
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
        connect(button, &QPushButton::clicked, this, [this, &control] { model_.UserClick(control); });
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
    for (Property p : {Property::Items, Property::Text, Property::BackColor, Property::Enabled, Property::Visible,
                       Property::Value, Property::ListIndex}) {
        Render(control, p);
    }
}

void MainWindow::Render(const Control& control, Property property) {
    if (&control == &model_.Timer1) {
        RenderTimer();
        return;
    }
    QWidget* widget = WidgetFor(control);
    if (widget == nullptr) {
        return;
    }
    // Showing the model's state is no user event.
    const QSignalBlocker blocker(widget);
    switch (property) {
        case Property::Text:
            RenderText(control, widget);
            break;
        case Property::BackColor:
        case Property::ForeColor:
            RenderColors(control, widget);
            break;
        case Property::Enabled:
            widget->setEnabled(control.Enabled());
            break;
        case Property::Visible:
            widget->setVisible(model_.InView(control));
            break;
        case Property::Value:
            RenderValue(control, widget);
            break;
        case Property::Items:
            RenderItems(control, widget);
            break;
        case Property::ListIndex:
            RenderListIndex(control, widget);
            break;
    }
}

void MainWindow::RenderText(const Control& control, QWidget* widget) {
    const QString text = Q(control.Text());
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(text);
    } else if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
        FitLabel(control, label);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        if (combo->currentText() != text) {
            combo->setEditText(text);
        }
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        if (edit->text() != text) {
            const int cursor = edit->cursorPosition();
            edit->setText(text);
            edit->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
        }
    }
}

// The design's labels are a little narrower than their texts in the fonts found here (a
// full-width "！" or "：" at the end): a label grows to its text, but not into a neighbour
// on its right or past its container.
void MainWindow::FitLabel(const Control& control, QLabel* label) {
    if (control.wordWrap) {
        return;  // its lines break inside the designed width
    }
    const QRect design = ToPixels(control.place);
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 1;
    int limit = label->parentWidget() != nullptr ? label->parentWidget()->width() - design.left() : design.width();
    for (const Control& other : model_.Controls()) {
        if (&other == &control || other.container != control.container || other.kind == ControlKind::Timer ||
            !other.Visible()) {
            continue;
        }
        const QRect r = ToPixels(other.place);
        const bool besideIt = r.top() < design.bottom() && r.bottom() > design.top();
        if (besideIt && r.left() > design.left()) {
            limit = std::min(limit, r.left() - design.left());
        }
    }
    label->resize(std::max(design.width(), std::min(needed, limit)), design.height());
}

void MainWindow::RenderColors(const Control& control, QWidget* widget) {
    const QColor back = ToQColor(control.BackColor());
    const QColor fore = ToQColor(control.ForeColor());
    if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setStyleSheet(GroupBoxStyleSheet(back, fore, box->fontMetrics().height()));
        return;
    }
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        // A standard button shows the button face whatever its BackColor says.
        const QColor face = control.graphical ? back : ToQColor(colors::kButtonFace);
        button->setStyleSheet(ButtonStyleSheet(face, fore));
    } else if (qobject_cast<QLineEdit*>(widget) != nullptr || qobject_cast<QComboBox*>(widget) != nullptr ||
               qobject_cast<QListWidget*>(widget) != nullptr) {
        SetColors(widget, back, fore, {{QPalette::Base, QPalette::Text}});
    } else {
        // Buttons paint their background in the Button role, labels and frames in Window.
        SetColors(widget, back, fore,
                  {{QPalette::Window, QPalette::WindowText}, {QPalette::Button, QPalette::ButtonText}});
    }
}

void MainWindow::RenderValue(const Control& control, QWidget* widget) {
    if (auto* check = qobject_cast<QCheckBox*>(widget)) {
        check->setTristate(control.Value() == 2);
        check->setCheckState(control.Value() == 1   ? Qt::Checked
                             : control.Value() == 2 ? Qt::PartiallyChecked
                                                    : Qt::Unchecked);
    } else if (auto* option = qobject_cast<QRadioButton*>(widget)) {
        option->setChecked(control.Value() != 0);
    }
}

void MainWindow::RenderItems(const Control& control, QWidget* widget) {
    const std::vector<std::string>& items = control.Items();
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        // The log only grows or is cleared: add what is new instead of rebuilding each time.
        const auto shown = static_cast<size_t>(list->count());
        const bool appended = shown <= items.size() &&
                              (shown == 0 || list->item(static_cast<int>(shown) - 1)->text() == Q(items[shown - 1]));
        if (!appended) {
            list->clear();
        }
        for (size_t i = static_cast<size_t>(list->count()); i < items.size(); ++i) {
            list->addItem(Q(items[i]));
        }
        RenderListIndex(control, widget);
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->clear();
        for (const std::string& item : items) {
            combo->addItem(Q(item));
        }
        RenderListIndex(control, widget);
    }
}

void MainWindow::RenderListIndex(const Control& control, QWidget* widget) {
    const int index = control.ListIndex();
    if (auto* list = qobject_cast<QListWidget*>(widget)) {
        if (index < 0 || index >= list->count()) {
            list->setCurrentRow(-1);
            list->clearSelection();
            return;
        }
        list->setCurrentRow(index);
        list->scrollToItem(list->item(index));
    } else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
        combo->setCurrentIndex(index < combo->count() ? index : -1);
        // The edit text is the model's Text, whatever the list shows.
        RenderText(control, widget);
    }
}

void MainWindow::RenderTimer() {
    if (loaded_ && !unloaded_ && model_.Timer1.Enabled()) {
        timer_.start();
    } else {
        timer_.stop();
    }
}

void MainWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        model_.Form_Load();
        RenderTimer();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Unload();
    event->accept();
}

void MainWindow::NativeWindowDestroyed() {
    // Not from inside the native event's handling: Qt is still delivering it.
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void MainWindow::Unload() {
    if (!loaded_ || unloaded_) {
        return;
    }
    unloaded_ = true;
    timer_.stop();
    model_.Form_Unload();
}

// Keys that no control took: the window's key event. It records nothing.
void MainWindow::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (!text.isEmpty()) {
        model_.Form_KeyPress(static_cast<int>(text.at(0).unicode()));
    }
    event->accept();
}

}  // namespace treadle::qt
