// The event filter that turns a control's mouse, key and drop events into runs of
// the object's handlers, shared by the event wiring of every kind.
#pragma once
#include <QObject>
#include <QPoint>
#include <QWidget>

class TPoruBase;
class QEvent;

// The event filter of one control (and of the inner widgets that receive its mouse
// and key events: a combo's line edit, the viewport of a scrolling control).
class TEventRelay : public QObject {
public:
    TEventRelay(TPoruBase& st, QWidget* control, int id, bool keys, bool mouse, bool drops)
        : QObject(control), drops_(drops), st_(st), control_(control), id_(id), keys_(keys), mouse_(mouse)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void OnMouse(QObject* watched, QEvent* e);
    void OnKey(QEvent* e);
    bool OnDragEnter(QEvent* e);
    bool OnDrop(QEvent* e);
    // True when the point lies on another script object inside this control: a
    // mouse event that such a child ignored reaches its container, which must not
    // report it as its own.
    bool BelongsToChildObject(const QPoint& pt) const;

public:
    bool clickOnRelease_ = false;   // kinds without a click signal of their own
    bool drops_;

private:
    TPoruBase& st_;
    QWidget* control_;
    int id_;
    bool keys_, mouse_;
};

inline void Watch(QWidget* target, TEventRelay* relay, bool mouseTracking)
{
    target->installEventFilter(relay);
    if (mouseTracking)
        target->setMouseTracking(true);
}
