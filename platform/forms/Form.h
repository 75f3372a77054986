#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QScopeGuard>
#include <QWidget>

#include <functional>
#include <utility>

class QAbstractButton;

namespace platform {

// Keeps count of the loaded windows. When a window is unloaded it asks, through the event
// loop, whether any window is left: the question is answered only after every running
// handler (at any depth) has returned, so a handler may unload one window and show another,
// and a handler's print job or message is finished before the process ends.
class FormRegistry : public QObject {
    Q_OBJECT
public:
    static FormRegistry& instance();

    // Deletes every window object still alive; used when the process ends.
    void destroyAll();

signals:
    void noWindowLoaded();

private:
    friend class Form;
    void noteLoaded(QWidget* form);
    void noteUnloaded(QWidget* form);
    void noteDestroyed(QWidget* form);
    void askAnyLoadedLater();
    void checkAnyLoaded();

    QList<QWidget*> loaded_;
    QList<QPointer<QWidget>> alive_;
};

// The mouse pointer over a form's window.
enum class MousePointer { Default = 0, Hourglass = 11 };

// A top-level window with the life of a form, in the platform's dialog font and with the
// application's icon: it is loaded (Form_Load) before it is first
// shown, unloading takes it off the screen at once while the object stays valid until the
// running handler returns, and the close box unloads it.
class Form : public QWidget {
    Q_OBJECT
public:
    Form();
    ~Form() override;

    bool isLoaded() const { return loaded_; }
    void Show();
    void ShowMaximized();
    void Unload();

    MousePointer mousePointer() const { return mousePointer_; }
    void setMousePointer(MousePointer pointer);
    // Does the work under the hourglass; the default pointer is back as soon as the work has
    // returned or failed, before anything that follows is shown.
    template <class Work> void withHourglass(Work&& work)
    {
        setMousePointer(MousePointer::Hourglass);
        const auto back = qScopeGuard([this] { setMousePointer(MousePointer::Default); });
        std::forward<Work>(work)();
    }

    // Outer size in twips, frame and title bar included.
    float outerWidthTwips() const;
    float outerHeightTwips() const;

    // Sets the client area in twips and centres the window on its screen.
    void setClientSizeTwips(int width, int height);

    // Runs Form_Load; an error raised there propagates to the caller. Used by FormSlot.
    void load();

protected:
    // Runs the handler through the dispatcher when the button is clicked, as long as this
    // window is loaded: an unloaded window's controls handle nothing.
    template <class Window> void onClick(QAbstractButton* button, void (Window::*handler)())
    {
        auto* window = static_cast<Window*>(this);
        connectClick(button, [window, handler] { (window->*handler)(); });
    }

    // Gives each control its name, so it can be found by name like the window's own fields.
    static void nameControls(std::initializer_list<std::pair<QObject*, const char*>> controls);

    // The control that has the focus when the window is first shown, and the start-up
    // milestone traced then. Later showings leave the focus where the user put it.
    void setFirstFocus(QWidget* control, const char* milestone);

    virtual void Form_Load() { }
    virtual void Form_Resize() { }

    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void connectClick(QAbstractButton* button, std::function<void()> handler);

    bool loaded_ = false;
    MousePointer mousePointer_ = MousePointer::Default;
    QPointer<QWidget> firstFocus_;
    const char* firstShownMilestone_ = nullptr;
};

// The one process-wide instance of a form: created and loaded on first reference, and
// created afresh when referenced again after it was unloaded.
template <class F> class FormSlot {
public:
    // The slot of the process-wide instance of F.
    static FormSlot& process()
    {
        static FormSlot slot;
        return slot;
    }

    F& get()
    {
        if (!form_ || !form_->isLoaded()) {
            F* created = new F();  // owned by itself: Unload() schedules its deletion
            form_ = created;
            created->load();
        }
        return *form_;
    }

    // The loaded instance, or null; never creates one.
    F* loaded() const { return form_ && form_->isLoaded() ? form_.data() : nullptr; }

private:
    QPointer<F> form_;
};

}  // namespace platform
