#pragma once
// The window on a simulated unit, with its background's context menu driven as the operator
// drives it: shared by the tests of the menu's entries.
#include "tests/support/fixture.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPainter>
#include <QtTest>

#include <memory>

namespace fixture {

struct MenuDesk {
    Scratch scratch;
    std::unique_ptr<sim::Unit> unit;
    Modals modals;
    std::unique_ptr<TForm1> form;

    explicit MenuDesk(int com)
    {
        unit = unitOn(com);
        form = std::make_unique<TForm1>();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }
    ~MenuDesk() { form.reset(); }

    // Right-clicks `target` at its centre and picks `item` from the menu that opens; returns
    // the menu's items (with whether each is enabled), empty when no menu opened.  The window
    // with the menu over it goes to `shot` in V2_PNG_DIR.
    QStringList rightclick(QWidget* target, const QString& item = {}, QList<bool>* enabled = nullptr,
                           const QString& shot = QStringLiteral("settings-menu.png"))
    {
        QStringList items;
        if (enabled)
            enabled->clear();
        QTimer::singleShot(50, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (!menu)
                return;
            // What the operator sees: the window with the menu over it.
            QPixmap view = form->grab();
            {
                QPainter p(&view);
                p.drawPixmap(form->mapFromGlobal(menu->pos()), menu->grab());
            }
            view.save(qEnvironmentVariable("V2_PNG_DIR", scratch.path()) + QLatin1Char('/') + shot);
            QAction* pick = nullptr;
            for (QAction* a : menu->actions()) {
                items << a->text();
                if (enabled)
                    *enabled << a->isEnabled();
                if (a->text() == item)
                    pick = a;
            }
            // A greyed entry takes no click: the menu would stay open.
            if (pick && pick->isEnabled())
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(pick).center());
            else
                menu->close();
        });
        const QPoint at = target->rect().center();
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &e);
        QTest::qWait(100);
        return items;
    }

    int loglength() const { return int(form->Memo1->count()); }
    QStringList logsince(int from) const { return untimed(linesFrom(*form, from)); }
};

} // namespace fixture
