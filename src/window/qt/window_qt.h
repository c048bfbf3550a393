// The window on Qt: one widget per control of the model, placed as designed. The widgets
// only show the model's state and hand the user's events to the model's entry points; the
// model's change reports go to the renderer, which sets the widget concerned through the
// setters below.
#pragma once

#include "window/render.h"
#include "window/usb.h"

#include <QAbstractNativeEventFilter>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <unordered_map>

namespace treadle::qt {

// A button, key or toggle: clicked with the mouse, or with Space, Enter or Return once Tab
// has given it the focus. Other keys are passed on to the window, so typing never presses a
// key of the panel.
class PanelButton final : public QPushButton {
    Q_OBJECT

  public:
    using QPushButton::QPushButton;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
};

class MainWindow;

// Notices when the window's X11 window is destroyed by another client (xdotool windowclose,
// or a session without a window manager going away): Qt reports no close then, and the
// program would run on without a window.
class NativeWindowWatch final : public QAbstractNativeEventFilter {
  public:
    explicit NativeWindowWatch(MainWindow& window) : window_(window) {}
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

  private:
    MainWindow& window_;
};

class MainWindow final : public QWidget, private RenderTarget {
    Q_OBJECT

  public:
    explicit MainWindow(WindowServices services, WindowOptions options = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    USB& Model() { return model_; }
    // The widget showing a control; null for the timer.
    QWidget* WidgetFor(const Control& control) const;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Sets the tab chain from the model's focus order.
    void ApplyFocusOrder();
    // The widget that is `object`, with its control; null for another object.
    QWidget* WidgetControl(QObject* object, const Control** control) const;
    QWidget* CreateWidget(Control& control, QWidget* parent);
    void Connect(Control& control, QWidget* widget);
    // The renderer's, with the widget's signals blocked: showing the model's state is no
    // user event.
    void RenderAll(const Control& control);
    void Render(const Control& control, Property property);
    void Unload();
    // Has a screen reader speak `text` without moving the focus.
    void Announce(const QString& text);

    // The setters the renderer calls.
    bool Shows(const Control& control) const override;
    PixelRect Pixels(const Twips& place) const override;
    int TextWidth(const Control& control, const std::string& text) const override;
    int ContainerWidth(const Control& control) const override;
    void SetCaption(const Control& control, const std::string& text) override;
    void SetEditText(const Control& control, const std::string& text) override;
    void SetSize(const Control& control, int width, int height) override;
    void SetColors(const Control& control, std::uint32_t back, std::uint32_t fore) override;
    void SetEnabled(const Control& control, bool enabled) override;
    void SetVisible(const Control& control, bool visible) override;
    void SetCheck(const Control& control, CheckMark mark) override;
    void ClearItems(const Control& control) override;
    void AppendItems(const Control& control, std::span<const std::string> items) override;
    void SelectItem(const Control& control, int index) override;
    void SetTimerRunning(bool running) override;
    void SetAccessibleName(const Control& control, const std::string& name) override;
    void SetPressed(const Control& control, bool pressed) override;
    // The system window went away without a close: close as the user would, so that the
    // model unloads and, the last window closed, the program ends.
    void NativeWindowDestroyed();
    friend class NativeWindowWatch;

    USB model_;
    WindowRenderer renderer_;
    std::unordered_map<const Control*, QWidget*> widgets_;
    QWidget* announcer_ = nullptr;
    QTimer timer_;
    NativeWindowWatch watch_{*this};
};

}  // namespace treadle::qt
