// The event filter that turns a control's mouse, key and drop events into runs of
// the object's handlers, shared by the event wiring of every kind.
#pragma once
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QObject>
#include <QUrl>
#include <QWidget>

#include <string>
#include <vector>

#include "core/stacks.h"
#include "gui/objects_internal.h"
#include "services/qt_text.h"

// The event filter of one control (and of the inner widgets that receive its mouse
// and key events: a combo's line edit, the viewport of a scrolling control).
class TEventRelay : public QObject {
public:
    TEventRelay(TPoruBase& st, QWidget* control, int id, bool keys, bool mouse, bool drops)
        : QObject(control), st_(st), control_(control), id_(id), keys_(keys), mouse_(mouse), drops_(drops)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove: {
            if (!mouse_)
                break;
            auto* me = static_cast<QMouseEvent*>(e);
            QWidget* from = qobject_cast<QWidget*>(watched);
            QPoint pt = me->position().toPoint();
            if (from == control_ && BelongsToChildObject(pt))
                break; // ignored by a child object and passed on to its container
            if (from && from != control_)
                pt = from->mapTo(control_, pt);
            const bool dbl = e->type() == QEvent::MouseButtonDblClick;
            Qt::MouseButtons buttons = me->buttons();
            if (e->type() == QEvent::MouseButtonRelease)
                buttons |= me->button();
            const std::string mods = ModifierText(me->modifiers(), buttons, dbl);
            SetMouseVariables(st_, pt.x(), pt.y(), mods);
            const int id = id_;
            TPoruBase& st = st_;
            if (e->type() == QEvent::MouseButtonPress) {
                FireEvent(st, id, esMouseDown);
            } else if (e->type() == QEvent::MouseButtonRelease) {
                FireEvent(st, id, esMouseUp);
                if (clickOnRelease_ && me->button() == Qt::LeftButton)
                    FireEvent(st, id, esClick);
            } else if (dbl) {
                FireEvent(st, id, esDoubleClick);
            } else {
                FireEvent(st, id, esMouseMove);
            }
            break;
        }
        case QEvent::KeyPress:
        case QEvent::KeyRelease: {
            if (!keys_)
                break;
            auto* ke = static_cast<QKeyEvent*>(e);
            if (e->type() == QEvent::KeyRelease && ke->isAutoRepeat())
                break;
            const int slot = e->type() == QEvent::KeyPress ? esKeyDown : esKeyUp;
            TObjNode* rec = FindObjectById(st_, id_);
            if (!rec || !rec->EventPos[slot])
                break; // the variables are written only for a handler
            SetSystemWord(st_, "押されたキー", std::to_string(VirtualKey(ke->key(), ke->modifiers())));
            SetSystemWord(st_, "押された特殊キー", ModifierText(ke->modifiers(), Qt::NoButton, false));
            FireEvent(st_, id_, slot);
            break;
        }
        case QEvent::DragEnter:
            if (drops_ && static_cast<QDragEnterEvent*>(e)->mimeData()->hasUrls()) {
                static_cast<QDragEnterEvent*>(e)->acceptProposedAction();
                return true;
            }
            break;
        case QEvent::Drop:
            if (drops_ && static_cast<QDropEvent*>(e)->mimeData()->hasUrls()) {
                auto* de = static_cast<QDropEvent*>(e);
                std::vector<std::string> files;
                for (const QUrl& u : de->mimeData()->urls())
                    files.push_back(QStringToSjis(u.isLocalFile() ? u.toLocalFile() : u.toString()));
                de->acceptProposedAction();
                DeliverDroppedFiles(st_, id_, files);
                return true;
            }
            break;
        default:
            break;
        }
        return false;
    }

    // True when the point lies on another script object inside this control: a
    // mouse event that such a child ignored reaches its container, which must not
    // report it as its own.
    bool BelongsToChildObject(const QPoint& pt) const
    {
        for (QWidget* c = control_->childAt(pt); c && c != control_; c = c->parentWidget())
            if (c->property("poruId").isValid())
                return true;
        return false;
    }

public:
    bool clickOnRelease_ = false; // kinds without a click signal of their own
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
