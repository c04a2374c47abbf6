#pragma once
// Making the window's controls at their designed places, the same way in every group.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace controls {

constexpr int EditHeight = 21;

inline QLabel* label(QWidget* parent, const QString& text, int left, int top)
{
    auto* l = new QLabel(text, parent);
    l->move(left, top);
    l->adjustSize();
    return l;
}

inline QLabel* centred(QWidget* parent, const QString& text, int left, int top, int width)
{
    auto* l = new QLabel(text, parent);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    l->adjustSize();
    l->setGeometry(left, top, width, l->height());
    return l;
}

inline QLineEdit* edit(QWidget* parent, const QString& text, int left, int top, int width)
{
    auto* e = new QLineEdit(text, parent);
    e->setGeometry(left, top, width, EditHeight);
    e->setCursorPosition(0);
    return e;
}

inline QPushButton* button(QWidget* parent, const QString& text, int left, int top, int width,
                           int height)
{
    auto* b = new QPushButton(text, parent);
    b->setGeometry(left, top, width, height);
    return b;
}

} // namespace controls
